#include "front/win32/controls/ControlObject.h"

#include "front/win32/controls/ControlInternals.h"
#include "front/win32/controls/TableBinding.h"
#include "front/win32/controls/WideText.h"

namespace quarvo {

namespace {

// The object whose platform window CreateWindowEx is making on this thread: its first messages
// arrive before the window's user data can be set.
thread_local ControlObject* creating = nullptr;

}  // namespace

// Allocated once and never freed: when the program's entry returns, the runtime's clean-up runs
// while scan workers or the wake thread may still write texts into controls, so no destructor may
// take the controls away under them. The process's end frees everything.
LayerState& Layer() {
  static LayerState& state = *new LayerState;
  return state;
}

ControlObject::ControlObject(const KindInfo& kindInfo, ControlObject* parentObject)
    : kind(kindInfo),
      parent(parentObject),
      style(kindInfo.style),
      exStyle(kindInfo.exStyle),
      backColor(GetSysColor(COLOR_BTNFACE)) {}

ControlObject::~ControlObject() = default;

ControlObject* NewControl(ControlKind kindId, ControlObject* parent, const std::string& text) {
  const KindInfo& kind = KindOf(kindId);
  auto control = std::make_unique<ControlObject>(kind, parent);
  control->text = text;
  if (kind.width < 0) {
    control->defaultPosition = true;
    control->defaultSize = true;
  } else if (parent != nullptr && !IsTopLevel(*control)) {
    // A control that is never placed starts at the top left of its parent's docking area.
    const int left = kDockSpacing + parent->kind.inner.left;
    const int top = kDockSpacing + parent->kind.inner.top;
    control->bounds = {left, top, left + kind.width, top + kind.height};
  } else {
    control->bounds = {0, 0, kind.width, kind.height};
  }
  if (parent != nullptr && parent->font) control->font = parent->font;
  ControlObject* result = control.get();
  if (parent != nullptr) {
    parent->children.push_back(std::move(control));
  } else {
    Layer().roots.push_back(std::move(control));
  }
  return result;
}

ControlObject* CreateAppWindow(const std::string& caption) {
  LayerState& layer = Layer();
  layer.app = NewControl(ControlKind::App, nullptr, caption);
  layer.mainWindow = nullptr;
  layer.taskbarMark = true;
  // The program's icon, shown by the application object and every top-level window. A program
  // built without it gets the platform's default icon.
  layer.icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  return layer.app;
}

ControlObject* CreateTopWindow(ControlObject* owner, const std::string& caption) {
  ControlObject* form = NewControl(ControlKind::Form, owner, caption);
  LayerState& layer = Layer();
  if (layer.taskbarMark && owner == layer.app && layer.mainWindow == nullptr) layer.mainWindow = form;
  return form;
}

ControlObject* CreateGroupBox(ControlObject* parent, const std::string& caption) {
  return NewControl(ControlKind::GroupBox, parent, caption);
}

ControlObject* CreateLabel(ControlObject* parent, const std::string& caption) {
  return NewControl(ControlKind::Label, parent, caption);
}

ControlObject* CreateButton(ControlObject* parent, const std::string& caption) {
  return NewControl(ControlKind::Button, parent, caption);
}

ControlObject* CreateEditBox(ControlObject* parent) {
  return NewControl(ControlKind::EditBox, parent, "");
}

void CreatePlatformWindow(ControlObject& control, bool hidden) {
  if (control.handle != nullptr) return;
  if (control.parent != nullptr && control.parent->handle == nullptr) {
    CreatePlatformWindow(*control.parent, hidden);
    if (control.parent->handle == nullptr) return;
  }
  const wchar_t* className = WindowClassOf(control.kind);
  DWORD style = control.style;
  if (hidden) style &= ~static_cast<DWORD>(WS_VISIBLE);
  const Bounds& b = control.bounds;
  const int x = control.defaultPosition ? CW_USEDEFAULT : b.left;
  const int y = control.defaultPosition ? CW_USEDEFAULT : b.top;
  const int width = control.defaultSize ? CW_USEDEFAULT : b.Width();
  const int height = control.defaultSize ? CW_USEDEFAULT : b.Height();
  std::wstring text;
  {
    std::lock_guard<std::mutex> lock(control.textLock);
    text = WideFromCp936(control.text);
  }
  HWND parentWindow = control.parent != nullptr ? control.parent->handle.load() : nullptr;
  creating = &control;
  HWND window = CreateWindowExW(control.exStyle, className, text.c_str(), style, x, y, width, height,
                                parentWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
  creating = nullptr;
  if (window == nullptr) return;
  control.createdHidden = hidden;
  control.defaultPosition = false;
  control.defaultSize = false;
  // Focus rectangles are drawn from the start, not only after the first key press.
  SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  SyncBounds(control);
  ApplyFont(control);
  if (IsTopLevel(control) && Layer().icon != nullptr) {
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Layer().icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(Layer().icon));
  }
  if (control.kind.created != nullptr) control.kind.created(control);
  LayOutChildren(control);
}

ControlObject* ObjectOf(HWND window) {
  if (window == nullptr) return nullptr;
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) != ControlWindowProc) return nullptr;
  return reinterpret_cast<ControlObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Finds the object of a window that the layer's procedure serves; adopts a window being created.
ControlObject* AdoptedObject(HWND window) {
  auto* control = reinterpret_cast<ControlObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (control == nullptr && creating != nullptr) {
    control = creating;
    creating = nullptr;
    control->handle = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  }
  return control;
}

HWND WindowHandle(const ControlObject* control) {
  return control->handle;
}

void PostCloseRequest(ControlObject* window) {
  if (window->handle != nullptr) PostMessageW(window->handle, WM_CLOSE, 0, 0);
}

}  // namespace quarvo
