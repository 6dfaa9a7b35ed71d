// Drives the real Quarvo.exe from another process, the way a user would: it starts the program in a
// folder of its own beside the scripted IP Helper library, finds its windows, types into the boxes,
// clicks, picks menu items, answers message boxes and reads captions, list cells and files. Every wait
// is bounded; a program that is still running when its driver goes away is ended.
#pragma once

#include <windows.h>
// The common controls and the shell need the declarations of windows.h first.
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "front/win32/controls/WideText.h"
#include "text/Cp936Texts.h"

namespace quarvo::e2e {

constexpr int kPatience = 20000;  // milliseconds: the bound of every wait, generous for a loaded machine
constexpr int kMenuAbout = 0, kMenuWake = 2, kMenuSave = 4, kMenuLoad = 6, kMenuDelete = 8, kMenuExit = 10;

// A path of the build machine as the program sees it: under Wine a Unix path is reached through Z:.
inline std::wstring WindowsPath(const std::string& path) {
  std::wstring wide = WideFromCp936(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide.rfind(L"\\", 0) == 0 ? L"Z:" + wide : wide;
}

inline bool WaitUntil(const std::function<bool()>& done, int milliseconds = kPatience) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
    if (std::chrono::steady_clock::now() > deadline) return false;
  }
  return true;
}

struct MainWindows {
  HWND form, rangePanel, listPanel, direction, startIp, endIp, threads, startStop, clear, list;
};

// A temporary folder (removed with everything in it at the end) from which the program is started.
// The settings that earlier starts stored are removed first, so that the first start is a first start.
class Quarvo {
 public:
  Quarvo() {
    wchar_t settings[MAX_PATH] = {};
    GetWindowsDirectoryW(settings, MAX_PATH);
    DeleteFileW((std::wstring(settings) + L"\\Quarvo.ini").c_str());
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, settings))) {
      DeleteFileW((std::wstring(settings) + L"\\Quarvo\\Quarvo.ini").c_str());
    }
    static int made = 0;
    folder_ = std::filesystem::temp_directory_path() /
              ("quarvo-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(made++));
    std::error_code failed;  // shows when Start cannot copy the program there
    std::filesystem::create_directory(folder_, failed);
  }
  ~Quarvo() {
    Kill();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  Quarvo(const Quarvo&) = delete;
  Quarvo& operator=(const Quarvo&) = delete;

  std::string ReadFile(const std::string& name) const {  // empty when missing
    std::ifstream in(PathOf(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream(PathOf(name), std::ios::binary) << bytes;
  }

  // Copies Quarvo.exe, the scripted iphlpapi.dll and the logging ws2_32.dll into the folder and starts
  // the program; what went wrong (empty when nothing did): it does not come up with all its windows,
  // or did not load the scripted library; nothing may be scanned unless that library answers the
  // requests, and no magic packet leaves the machine.
  std::string Start() {
    Kill();
    if (!CopyFileW(WindowsPath(QUARVO_EXE_PATH).c_str(), PathOf("Quarvo.exe").c_str(), FALSE) ||
        !CopyFileW(WindowsPath(QUARVO_FAKE_ARP_PATH).c_str(), PathOf("iphlpapi.dll").c_str(), FALSE) ||
        !CopyFileW(WindowsPath(QUARVO_FAKE_SOCKETS_PATH).c_str(), PathOf("ws2_32.dll").c_str(), FALSE)) {
      return "the program could not be copied into its folder";
    }
    // Wine prefers the libraries beside the program to its built-in ones while this key exists. Wine
    // takes this key, not WINEDLLOVERRIDES in the environment given to CreateProcess, for a program
    // that another Windows program starts; the loader reads it when the process starts.
    const wchar_t* key = L"Software\\Wine\\AppDefaults\\Quarvo.exe\\DllOverrides";
    const wchar_t order[] = L"native,builtin";
    for (const wchar_t* dll : {L"iphlpapi", L"ws2_32"})
      RegSetKeyValueW(HKEY_CURRENT_USER, key, dll, REG_SZ, order, sizeof order);
    std::wstring command = L"\"" + PathOf("Quarvo.exe").wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        folder_.wstring().c_str(), &startup, &info_) != 0;
    const std::string startError = std::to_string(GetLastError());
    const bool shown = started && WaitUntil([this] {
                         HWND form = TopWindow(L"obj_Form");
                         w_ = form != nullptr ? FindControls(form) : MainWindows{};
                         const auto all = {w_.form,  w_.rangePanel, w_.listPanel, w_.direction, w_.startIp,
                                           w_.endIp, w_.threads,    w_.startStop, w_.clear,     w_.list};
                         return std::count(all.begin(), all.end(), nullptr) == 0;
                       });
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
    const std::string error =
        !started ? "CreateProcess failed: " + startError
        : !shown ? "the main window and its controls did not appear"
        : ReadFile("arp-loaded.txt").find(std::to_string(info_.dwProcessId)) == std::string::npos
            ? "the program did not load the scripted iphlpapi.dll"
            : "";
    if (!error.empty()) Kill();
    return error;
  }
  const MainWindows& W() const { return w_; }

  std::string Text(HWND window) const {  // code-page-936 bytes
    std::wstring text(kTextLimit, L'\0');
    LRESULT length = 0;
    if (!Send(window, WM_GETTEXT, kTextLimit, reinterpret_cast<LPARAM>(text.data()), &length)) {
      return "<no answer>";
    }
    return Cp936FromWide(text.substr(0, static_cast<std::size_t>(length)));
  }
  void SetText(HWND window, const std::string& text) const {
    Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideFromCp936(text).c_str()));
  }
  void Click(HWND button) const { PostMessageW(button, BM_CLICK, 0, 0); }  // posted: it may open a box
  // An item of the list's popup menu: posted, as it may open a box, or sent, which returns when it is
  // done. (Under Wine a file that is open here cannot be replaced: wait for a save, then read.)
  void Menu(int index, bool wait = false) const {
    const auto id = static_cast<WPARAM>(0x1000 + index);
    wait ? void(Send(w_.list, WM_COMMAND, id, 0)) : void(PostMessageW(w_.list, WM_COMMAND, id, 0));
  }

  // Types the range and the threads box, blanks the caption (so that an old summary cannot pass for a
  // new one) and presses Start; Scan then waits until the scan has ended: its summary and Start shown.
  void StartScan(const std::string& start, const std::string& end, const std::string& threads) const {
    SetText(w_.startIp, start);
    SetText(w_.endIp, end);
    SetText(w_.threads, threads);
    SetText(w_.form, "-");
    Click(w_.startStop);
  }
  bool ScanEnded() const {
    return Text(w_.startStop) == texts::kStartCaption && Text(w_.form).rfind(texts::kRunScan, 0) == 0;
  }
  bool Scan(const std::string& start, const std::string& end, const std::string& threads) const {
    StartScan(start, end, threads);
    return WaitUntil([this] { return ScanEnded(); });
  }

  int RowCount() const {
    LRESULT count = -1;
    return Send(w_.list, LVM_GETITEMCOUNT, 0, 0, &count) ? static_cast<int>(count) : -1;
  }
  std::vector<std::vector<std::string>> Rows() const {
    std::vector<std::vector<std::string>> rows(static_cast<std::size_t>(std::max(RowCount(), 0)));
    for (std::size_t row = 0; row < rows.size(); ++row) {
      for (LVITEMW item{}; item.iSubItem < 6; ++item.iSubItem) {
        rows[row].push_back(ItemCall(LVM_GETITEMTEXTW, static_cast<int>(row), item));
      }
    }
    return rows;
  }
  void SelectRow(int row) const {
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED;
    ItemCall(LVM_SETITEMSTATE, row, item);
  }

  // A visible message box of the program with that caption, or null after the time-out.
  HWND WaitForBox(const std::string& caption) const {
    const std::wstring title = WideFromCp936(caption);
    HWND box = nullptr;
    WaitUntil([&] { return (box = TopWindow(L"#32770", title.c_str())) != nullptr; });
    return box;
  }
  // Presses that button of the box and waits for the box to go; its text, or what went wrong.
  std::string Answer(const std::string& caption, int button) const {
    HWND box = WaitForBox(caption);
    if (box == nullptr) return "<no box>";
    const std::string text = Text(GetDlgItem(box, 0xFFFF));
    Click(GetDlgItem(box, button));
    return WaitUntil([&] { return !IsWindow(box); }) ? text : "<the box stayed>";
  }

  bool WaitForExit(DWORD& exitCode) const {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, kPatience) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(info_.hProcess, &exitCode);
  }
  void Kill() {
    if (info_.hProcess == nullptr) return;
    TerminateProcess(info_.hProcess, 99);  // fails, harmlessly, for a process that has ended
    WaitForSingleObject(info_.hProcess, kPatience);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    info_ = PROCESS_INFORMATION{};
  }

 private:
  static constexpr int kTextLimit = 1024;

  std::filesystem::path PathOf(const std::string& name) const { return folder_ / WideFromCp936(name); }

  static bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
    DWORD_PTR answer = 0;
    const bool sent =
        SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kPatience, &answer) != 0;
    if (result != nullptr) *result = static_cast<LRESULT>(answer);
    return sent;
  }

  // A visible top-level window of the program with that class and, when given, that caption.
  HWND TopWindow(const wchar_t* className, const wchar_t* caption = nullptr) const {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, caption)) != nullptr;) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == info_.dwProcessId && IsWindowVisible(window)) return window;
    }
    return nullptr;
  }

  // The controls of the main window by their fixed places: the range boxes and buttons in the panel
  // docked at the top, the list in the panel below it.
  static MainWindows FindControls(HWND form) {
    const auto at = [](HWND parent, int x, int y) {
      HWND child = parent != nullptr ? ChildWindowFromPointEx(parent, POINT{x, y}, CWP_ALL) : nullptr;
      return child == parent ? nullptr : child;
    };
    HWND range = at(form, 20, 20), list = at(form, 20, 150);
    // clang-format off
    return {form, range, list, at(range, 115, 30), at(range, 20, 30), at(range, 150, 30), at(range, 240, 30),
            at(range, 290, 30), at(range, 360, 30), at(list, 40, 80)};
    // clang-format on
  }

  // Sends a list-view message about an item placed in the program's memory, with room for a text
  // after it; the text that the list put there.
  std::string ItemCall(UINT message, int row, LVITEMW item) const {
    HANDLE process = info_.hProcess;
    char* remote = static_cast<char*>(VirtualAllocEx(
        process, nullptr, sizeof item + kTextLimit * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    if (remote == nullptr) return "<no memory>";
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof item);
    item.cchTextMax = kTextLimit;
    std::wstring text(kTextLimit, L'\0');
    const bool done =
        WriteProcessMemory(process, remote, &item, sizeof item, nullptr) &&
        Send(w_.list, message, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote)) &&
        ReadProcessMemory(process, item.pszText, text.data(), text.size() * sizeof(wchar_t), nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return done ? Cp936FromWide(text.c_str()) : "<no answer>";
  }

  std::filesystem::path folder_;
  PROCESS_INFORMATION info_{};
  MainWindows w_{};
};

}  // namespace quarvo::e2e
