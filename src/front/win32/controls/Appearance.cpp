// Styles, colours and fonts of controls.
#include <windows.h>
// The common controls need the declarations of windows.h first.
#include <commctrl.h>

#include "front/win32/controls/ControlInternals.h"

namespace quarvo {

namespace {

void WriteStyle(ControlObject& control, int index, DWORD value) {
  if (control.handle == nullptr) return;
  SetWindowLongPtrW(control.handle, index, static_cast<LONG_PTR>(value));
  SetWindowPos(control.handle, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(control.handle, nullptr, TRUE);
}

}  // namespace

void SetWindowStyle(ControlObject* control, DWORD style) {
  if (style == control->style) return;
  control->style = style;
  WriteStyle(*control, GWL_STYLE, style);
}

void SetWindowExStyle(ControlObject* control, DWORD exStyle) {
  if (exStyle == control->exStyle) return;
  control->exStyle = exStyle;
  WriteStyle(*control, GWL_EXSTYLE, exStyle);
}

HBRUSH BackBrush(ControlObject& control) {
  if (control.brush == nullptr) control.brush = CreateSolidBrush(control.backColor);
  return control.brush;
}

void SetBackColor(ControlObject* control, COLORREF color) {
  if (color == control->backColor && control->backColorSet) return;
  control->backColor = color;
  control->backColorSet = true;
  if (control->brush != nullptr) DeleteObject(control->brush);
  control->brush = nullptr;
  if (control->handle == nullptr) return;
  if (control->kind.id == ControlKind::ReportList) {
    SendMessageW(control->handle, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(color));
    SendMessageW(control->handle, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(color));
  }
  InvalidateRect(control->handle, nullptr, TRUE);
}

FontSpec& FontOf(ControlObject& control) {
  if (!control.font) control.font.emplace();
  return *control.font;
}

void ApplyFont(ControlObject& control) {
  if (!control.font || control.handle == nullptr) return;
  LOGFONTW description{};
  description.lfHeight = control.font->height;
  description.lfWidth = control.font->width;
  description.lfWeight = control.font->weight;
  description.lfCharSet = control.font->charset;
  lstrcpynW(description.lfFaceName, control.font->face.c_str(), LF_FACESIZE);
  HFONT previous = control.platformFont;
  control.platformFont = CreateFontIndirectW(&description);
  SendMessageW(control.handle, WM_SETFONT, reinterpret_cast<WPARAM>(control.platformFont), TRUE);
  if (previous != nullptr) DeleteObject(previous);
}

void SetFontColor(ControlObject* control, COLORREF color) {
  FontOf(*control).color = color;
  ApplyFont(*control);
}

void SetFontHeight(ControlObject* control, int height) {
  FontOf(*control).height = height;
  ApplyFont(*control);
}

void SetTextAlignment(ControlObject* editBox, Align align) {
  static constexpr DWORD kBits[] = {ES_LEFT, ES_RIGHT, ES_CENTER};
  const DWORD kept = editBox->style & ~static_cast<DWORD>(ES_LEFT | ES_RIGHT | ES_CENTER);
  SetWindowStyle(editBox, kept | kBits[static_cast<int>(align)]);
}

bool PaintColors(ControlObject& self, ControlMessage& message) {
  if (message.message != WM_CTLCOLOREDIT && message.message != WM_CTLCOLORSTATIC) return false;
  auto dc = reinterpret_cast<HDC>(message.wParam);
  SetTextColor(dc, self.font ? self.font->color : FontSpec().color);
  SetBkColor(dc, self.backColor);
  message.result = reinterpret_cast<LRESULT>(BackBrush(self));
  return true;
}

}  // namespace quarvo
