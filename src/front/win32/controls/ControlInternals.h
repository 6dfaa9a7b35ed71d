// What the files of the control layer share among themselves; not for the rest of the program.
#pragma once

#include "front/win32/controls/ControlObject.h"

namespace quarvo {

enum class ControlKind { App, Form, GroupBox, Label, EditBox, Button, ReportList };

// One row of the kinds table: how a kind of control is created, and the messages it handles itself.
struct KindInfo {
  ControlKind id;
  const wchar_t* baseName;       // the window class is registered as "obj_" + baseName
  const wchar_t* platformClass;  // the class it is a superclass of; null for the layer's own
  DWORD style;
  DWORD exStyle;
  int width;  // size at creation; -1: the platform's default
  int height;
  Insets inner;      // the area for docked children, inside the client area
  bool eraseOnText;  // repaint the background when the text changes
  // After the platform window exists.
  void (*created)(ControlObject& self);
  // The kind's own handling of its window's messages; true when consumed.
  bool (*handle)(ControlObject& self, ControlMessage& message);
  // WM_COMMAND, WM_NOTIFY and control-colour messages that the parent passes on; true when handled.
  bool (*reflected)(ControlObject& self, ControlMessage& message);
};

const KindInfo& KindOf(ControlKind kind);
bool IsTopLevel(const ControlObject& control);
// Registers the kind's window class on first use; returns its name.
const wchar_t* WindowClassOf(const KindInfo& kind);
WNDPROC BaseProcOf(const KindInfo& kind);

inline constexpr int kDockSpacing = 2;

// Private messages of the layer.
inline constexpr UINT kApplyTextMessage = WM_APP + 0x51;    // show the stored text
inline constexpr UINT kCaptureTextMessage = WM_APP + 0x52;  // lParam: std::string* for the text
inline constexpr UINT kTableChangedMessage = WM_APP + 0x53;

// Process-wide state of the layer; touched by the user-interface thread only, except as noted.
struct LayerState {
  ControlObject* app = nullptr;
  ControlObject* mainWindow = nullptr;
  bool taskbarMark = false;
  bool loopRunning = false;
  std::atomic<bool> loopTerminated{false};
  UINT nextMenuId = 0x1000;
  HICON icon = nullptr;
  // Application objects stay allocated until the process ends: a worker thread may still hold a
  // control after the loop has released the windows, and the state itself is never destroyed.
  std::vector<std::unique_ptr<ControlObject>> roots;
};
LayerState& Layer();

ControlObject* NewControl(ControlKind kind, ControlObject* parent, const std::string& text);
void CreatePlatformWindow(ControlObject& control, bool hidden);
// The object of one of the layer's windows; null for any other window.
ControlObject* ObjectOf(HWND window);
// The object of a window that the layer's procedure serves, adopting a window being created.
ControlObject* AdoptedObject(HWND window);
LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallDefault(ControlObject& self, const ControlMessage& message);

// Geometry.
void ApplyBounds(ControlObject& control);
void SyncBounds(ControlObject& control);
void LayOutChildren(ControlObject& container);

// Appearance.
void ApplyFont(ControlObject& control);
HBRUSH BackBrush(ControlObject& control);
FontSpec& FontOf(ControlObject& control);
// Paints an edit box or label with its stored colours (WM_CTLCOLOREDIT / WM_CTLCOLORSTATIC).
bool PaintColors(ControlObject& self, ControlMessage& message);

// Text, on the user-interface thread.
bool HandleTextMessage(ControlObject& self, ControlMessage& message);
// The timer that shows a text held back by HandleTextMessage.
bool IsTextTimer(const ControlMessage& message);

// Report list.
void ReportListCreated(ControlObject& self);
bool ReportListMessage(ControlObject& self, ControlMessage& message);
bool ReportListNotify(ControlObject& self, ControlMessage& message);
void UnbindTable(ControlObject& list);

}  // namespace quarvo
