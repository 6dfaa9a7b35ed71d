// Drives the real Quarvo.exe from another process, the way a user would: it starts the program in a
// folder of its own beside the scripted IP Helper library, finds its windows by class, types into the
// boxes, clicks, picks menu items, answers message boxes and reads captions, list cells and files.
// Every wait is bounded; a program that is still running when its driver goes away is ended.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace quarvo::e2e {

// A path of the build machine as the program sees it: under Wine a Unix path is reached through Z:.
std::wstring WindowsPath(const std::string& path);

// Polls `done` every few milliseconds; false when `milliseconds` pass without it.
bool WaitUntil(const std::function<bool()>& done, int milliseconds);

// A temporary folder holding a copy of Quarvo.exe and of the scripted iphlpapi.dll; removed with
// everything in it at the end.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  bool Ready() const { return ready_; }
  std::wstring Folder() const { return folder_; }
  std::wstring PathOf(const std::string& name) const;
  bool Exists(const std::string& name) const;
  std::string Read(const std::string& name) const;
  void Write(const std::string& name, const std::string& bytes) const;
  void Remove(const std::string& name) const;

 private:
  std::wstring folder_;
  bool ready_ = false;
};

// Removes the settings that earlier starts stored, so that the next start is a first start.
void ForgetSettings();

struct MainWindows {
  HWND form = nullptr;
  HWND rangePanel = nullptr;
  HWND listPanel = nullptr;
  HWND direction = nullptr;
  HWND startIp = nullptr;
  HWND endIp = nullptr;
  HWND threads = nullptr;
  HWND startStop = nullptr;
  HWND clear = nullptr;
  HWND list = nullptr;
};

class QuarvoProcess {
 public:
  QuarvoProcess() = default;
  ~QuarvoProcess();
  QuarvoProcess(const QuarvoProcess&) = delete;
  QuarvoProcess& operator=(const QuarvoProcess&) = delete;

  // Starts the program in the sandbox with the scripted library; fills `error` and returns false
  // when it does not come up with all its windows, or did not load the scripted library.
  bool Start(const Sandbox& sandbox, std::string& error);
  const MainWindows& Windows() const { return windows_; }
  DWORD ProcessId() const { return info_.dwProcessId; }

  std::string Text(HWND window) const;  // code-page-936 bytes
  void SetText(HWND window, const std::string& text) const;
  void Click(HWND button) const;  // posted: a click may open a modal box
  void PostMessageTo(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  void MenuCommand(int index) const;  // an item of the list's popup menu, by its index

  // Types the range and the threads box, presses Start and waits for the scan's summary line;
  // false when it does not come within the time.
  bool Scan(const std::string& start, const std::string& end, const std::string& threads, int milliseconds);

  int RowCount() const;
  std::string Cell(int row, int column) const;
  std::vector<std::string> Row(int row) const;
  bool SelectRow(int row) const;

  // A message box of this process with that caption, or null after the time-out.
  HWND WaitForBox(const std::string& caption, int milliseconds = 10000) const;
  std::string BoxText(HWND box) const;
  void AnswerBox(HWND box, int buttonId) const;

  // Waits for the process to end; false after the time-out.
  bool WaitForExit(int milliseconds, DWORD& exitCode);
  void Kill();

 private:
  PROCESS_INFORMATION info_{};
  MainWindows windows_;
};

}  // namespace quarvo::e2e
