#include "app/Geometry.h"

#include <algorithm>

namespace quarvo {

namespace {

Bounds Clamped(Bounds b) {
  b.right = std::max(b.right, b.left);
  b.bottom = std::max(b.bottom, b.top);
  return b;
}

}  // namespace

void LayOutDocked(const Bounds& client, const Insets& insets, int spacing,
                  std::vector<DockedChild>& children) {
  Bounds area{client.left + insets.left, client.top + insets.top, client.right - insets.right,
              client.bottom - insets.bottom};
  for (DockedChild& child : children) {
    if (child.dock != Dock::Top) continue;
    const int height = child.bounds.Height();
    child.bounds =
        Clamped({area.left + spacing, area.top + spacing, area.right - spacing, area.top + spacing + height});
    area.top += height + spacing;
  }
  for (DockedChild& child : children) {
    if (child.dock != Dock::Client) continue;
    child.bounds =
        Clamped({area.left + spacing, area.top + spacing, area.right - spacing, area.bottom - spacing});
  }
}

Bounds Resized(Bounds b, int width, int height) {
  if (width != 0) b.right = b.left + width;
  if (height != 0) b.bottom = b.top + height;
  return b;
}

Bounds Moved(Bounds b, int left, int top) {
  return {left, top, left + b.Width(), top + b.Height()};
}

int CentredOrigin(int screen, int size) {
  const int excess = screen - size;
  return excess >= 0 ? excess / 2 : -((1 - excess) / 2);
}

}  // namespace quarvo
