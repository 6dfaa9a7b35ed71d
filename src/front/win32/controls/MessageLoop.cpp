// The message loop of the user-interface thread, and the release of the windows when it ends.
#include "front/win32/controls/ControlInternals.h"

namespace quarvo {

namespace {

void ShowCreatedHidden(ControlObject& control) {
  if (control.createdHidden && control.handle != nullptr) ShowWindow(control.handle, SW_SHOW);
  control.createdHidden = false;
  for (auto& child : control.children) ShowCreatedHidden(*child);
}

// Destroys the platform windows of the tree and what they hold. The objects themselves stay, so that
// a thread still holding one only stores its text.
void ReleaseTree(ControlObject& control) {
  if (control.handle != nullptr) DestroyWindow(control.handle);
  for (auto& child : control.children) ReleaseTree(*child);
  UnbindTable(control);
  for (auto& menu : control.menus) {
    DestroyMenu(menu->handle);
    menu->handle = nullptr;
  }
  if (control.platformFont != nullptr) DeleteObject(control.platformFont);
  if (control.brush != nullptr) DeleteObject(control.brush);
  control.platformFont = nullptr;
  control.brush = nullptr;
}

void Release(ControlObject& app) {
  LayerState& layer = Layer();
  layer.loopTerminated = true;
  layer.loopRunning = false;
  if (layer.app == &app) {
    layer.app = nullptr;
    layer.mainWindow = nullptr;
  }
  ReleaseTree(app);
}

}  // namespace

void CreateMissingWindows(ControlObject* root) {
  CreatePlatformWindow(*root, false);
  for (auto& child : root->children) CreateMissingWindows(child.get());
}

void RunMessageLoop(ControlObject* app) {
  LayerState& layer = Layer();
  layer.loopRunning = true;
  layer.loopTerminated = false;
  CreateMissingWindows(app);
  ShowCreatedHidden(*app);
  for (;;) {
    PumpPending();
    if (layer.loopTerminated) break;
    WaitMessage();
  }
  Release(*app);
}

void PumpPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      Layer().loopTerminated = true;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool LoopTerminated() {
  return Layer().loopTerminated;
}

}  // namespace quarvo
