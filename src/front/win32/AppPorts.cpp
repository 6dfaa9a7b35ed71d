#include "front/win32/AppPorts.h"

namespace quarvo {

namespace {

ControlObject* ControlOf(UiText control) {
  MainControls& c = Controls();
  switch (control) {
    case UiText::MainCaption:
      return c.MainForm;
    case UiText::StartIp:
      return c.StartIpEdit;
    case UiText::EndIp:
      return c.EndIpEdit;
    case UiText::Threads:
      return c.ThreadsEdit;
    case UiText::Direction:
      return c.DirectionLabel;
    case UiText::StartStop:
      return c.StartStopButton;
  }
  return nullptr;
}

}  // namespace

std::string ControlWindowPort::GetText(UiText control) {
  return GetControlText(ControlOf(control));
}

void ControlWindowPort::SetText(UiText control, const std::string& text) {
  SetControlText(ControlOf(control), text);
}

void WinShell::ShowListMenuAtCursor() {
  POINT cursor;
  if (GetCursorPos(&cursor)) ShowContextMenu(Controls().ListMenu, cursor.x, cursor.y);
}

void WinShell::PostCloseRequest() {
  quarvo::PostCloseRequest(Controls().MainForm);
}

}  // namespace quarvo
