// The window as the runs see it: texts of a few controls, readable and writable from any thread.
#pragma once

#include <string>

namespace quarvo {

enum class UiText {
  MainCaption,  // the caption of the main window: the status line
  StartIp,      // the start address box
  EndIp,        // the end address box
  Threads,      // the threads / wake pause box
  Direction,    // the direction label between the address boxes
  StartStop,    // the caption of the Start/Stop button
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;
  virtual std::string GetText(UiText control) = 0;
  virtual void SetText(UiText control, const std::string& text) = 0;
};

}  // namespace quarvo
