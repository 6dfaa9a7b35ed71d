// Geometry of the control layer that needs no window: docked layout, resizing and centring. Kept
// free of the platform so that it is tested on its own.
#pragma once

#include <vector>

namespace quarvo {

// A rectangle in pixels: relative to the parent's client area for a control, on the screen for a
// top-level window.
struct Bounds {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Bounds& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const Bounds& o) const { return !(*this == o); }
};

// How far a container's area for docked children lies inside its client area.
struct Insets {
  int top = 0;
  int bottom = 0;
  int left = 0;
  int right = 0;
};

enum class Dock { None, Top, Client };

struct DockedChild {
  Dock dock = Dock::None;
  Bounds bounds;
};

// Lays out a container's children, given in creation order, inside its client area less its insets:
// first the Top children one under the other (full width, own height), then the Client children in
// what is left, each `spacing` pixels inside the area. Children docked None keep their bounds; a
// width or height that would be negative becomes 0.
void LayOutDocked(const Bounds& client, const Insets& insets, int spacing,
                  std::vector<DockedChild>& children);

// The bounds with a new outer size; a 0 keeps that dimension.
Bounds Resized(Bounds b, int width, int height);
// The bounds moved to a new top-left corner, size kept.
Bounds Moved(Bounds b, int left, int top);

// Where a window of `size` starts when centred on a screen of `screen`: half the difference,
// rounded towards minus infinity when the window is larger than the screen.
int CentredOrigin(int screen, int size);

}  // namespace quarvo
