// Sizes, positions and docking of controls.
#include "front/win32/controls/ControlInternals.h"

namespace quarvo {

namespace {

Bounds ClientBounds(const ControlObject& container) {
  if (container.handle != nullptr) {
    RECT client;
    GetClientRect(container.handle, &client);
    return {client.left, client.top, client.right, client.bottom};
  }
  // Before its window exists a control's client area is taken as its whole size; containers (group
  // boxes) have no frame of their own.
  return {0, 0, container.bounds.Width(), container.bounds.Height()};
}

void SetBounds(ControlObject& control, const Bounds& bounds) {
  if (bounds == control.bounds) return;
  control.bounds = bounds;
  ApplyBounds(control);
}

}  // namespace

void ApplyBounds(ControlObject& control) {
  const Bounds& b = control.bounds;
  if (control.handle != nullptr) {
    // The window's WM_SIZE lays out its own children.
    SetWindowPos(control.handle, nullptr, b.left, b.top, b.Width(), b.Height(),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    LayOutChildren(control);
  }
}

void SyncBounds(ControlObject& control) {
  if (control.handle == nullptr) return;
  RECT r;
  GetWindowRect(control.handle, &r);
  if (!IsTopLevel(control) && control.parent != nullptr && control.parent->handle != nullptr) {
    MapWindowPoints(nullptr, control.parent->handle, reinterpret_cast<POINT*>(&r), 2);
  }
  control.bounds = {r.left, r.top, r.right, r.bottom};
}

void LayOutChildren(ControlObject& container) {
  std::vector<DockedChild> docked;
  for (const auto& child : container.children) docked.push_back({child->dock, child->bounds});
  LayOutDocked(ClientBounds(container), container.kind.inner, kDockSpacing, docked);
  for (std::size_t i = 0; i < docked.size(); ++i) {
    if (docked[i].dock != Dock::None) SetBounds(*container.children[i], docked[i].bounds);
  }
}

ControlObject* SetControlSize(ControlObject* control, int width, int height) {
  // Before a top-level window exists its default size is not known: a 0 then leaves that side 0.
  control->bounds = Resized(control->bounds, width, height);
  control->defaultSize = false;
  ApplyBounds(*control);
  return control;
}

void PlaceControl(ControlObject* control, int left, int top) {
  control->bounds = Moved(control->bounds, left, top);
  control->defaultPosition = false;
  ApplyBounds(*control);
}

void SetControlWidth(ControlObject* control, int width) {
  control->bounds.right = control->bounds.left + width;
  ApplyBounds(*control);
}

void DockControl(ControlObject* control, Dock dock) {
  control->dock = dock;
  if (control->parent != nullptr) LayOutChildren(*control->parent);
}

void CenterOnScreen(ControlObject* window) {
  CreatePlatformWindow(*window, true);
  const Bounds& b = window->bounds;
  PlaceControl(window, CentredOrigin(GetSystemMetrics(SM_CXSCREEN), b.Width()),
               CentredOrigin(GetSystemMetrics(SM_CYSCREEN), b.Height()));
}

}  // namespace quarvo
