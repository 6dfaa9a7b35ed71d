// The one window procedure of the layer: hooks first, then the kind's own handling, then what the
// layer does for every window, then the platform.
#include "front/win32/controls/ControlInternals.h"

namespace quarvo {

namespace {

bool IsCloser(const ControlObject& self) {
  return &self == Layer().app || &self == Layer().mainWindow;
}

// WM_COMMAND, WM_NOTIFY and the control-colour messages concern the child that sent them: its own
// object handles them.
bool PassToChild(ControlMessage& message) {
  HWND child = nullptr;
  if (message.message == WM_NOTIFY) {
    child = reinterpret_cast<const NMHDR*>(message.lParam)->hwndFrom;
  } else {
    child = reinterpret_cast<HWND>(message.lParam);
  }
  ControlObject* object = ObjectOf(child);
  return object != nullptr && object->kind.reflected != nullptr && object->kind.reflected(*object, message);
}

bool BuiltIn(ControlObject& self, ControlMessage& message) {
  switch (message.message) {
    case WM_CLOSE:
      if (IsCloser(self)) PostQuitMessage(0);
      return false;  // the platform then destroys the window
    case WM_SIZE:
    case WM_MOVE:
      SyncBounds(self);
      if (message.message == WM_SIZE) LayOutChildren(self);
      return false;
    case WM_CHAR:
      // Tab moves no focus in this program, and an edit box does not take it as text.
      return message.wParam == '\t' && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_MENU) >= 0;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      return PassToChild(message);
    case kApplyTextMessage:
    case kCaptureTextMessage:
      return HandleTextMessage(self, message);
    case WM_TIMER:
      return IsTextTimer(message) && HandleTextMessage(self, message);
    default:
      return false;
  }
}

bool Dispatch(ControlObject& self, ControlMessage& message) {
  const LayerState& layer = Layer();
  ControlObject* app = layer.app;
  if (layer.loopRunning && app != nullptr && &self != app && app->MessageHook && app->MessageHook(message)) {
    return true;
  }
  if (self.MessageHook && self.MessageHook(message)) return true;
  if (self.kind.handle != nullptr && self.kind.handle(self, message)) return true;
  for (auto& handler : self.attached) {
    if (handler(message)) return true;
  }
  return BuiltIn(self, message);
}

}  // namespace

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ControlObject* self = AdoptedObject(window);
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  ControlMessage record{window, message, wParam, lParam, 0};
  const LRESULT result = Dispatch(*self, record) ? record.result : CallDefault(*self, record);
  if (message == WM_NCDESTROY) {
    self->handle = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  }
  return result;
}

LRESULT CallDefault(ControlObject& self, const ControlMessage& message) {
  return CallWindowProcW(BaseProcOf(self.kind), message.window, message.message, message.wParam,
                         message.lParam);
}

}  // namespace quarvo
