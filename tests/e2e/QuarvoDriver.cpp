#include "QuarvoDriver.h"

#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "text/Cp936Texts.h"
#include "ui/controls/WideText.h"

namespace quarvo::e2e {

namespace {

constexpr UINT kFirstMenuCommand = 0x1000;
constexpr UINT kSendTimeout = 5000;
constexpr int kTextLimit = 1024;

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
  DWORD_PTR answer = 0;
  const bool sent =
      SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeout, &answer) != 0;
  if (result != nullptr) *result = static_cast<LRESULT>(answer);
  return sent;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM found) {
  reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopWindowsOf(DWORD process, const wchar_t* className) {
  std::vector<HWND> all;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  std::vector<HWND> found;
  for (HWND window : all) {
    if (ProcessOf(window) == process && ClassOf(window) == className) found.push_back(window);
  }
  return found;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

POINT PlaceInParent(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  POINT corner{r.left, r.top};
  ScreenToClient(GetParent(window), &corner);
  return corner;
}

// The controls of the main window, told apart by class, parent and their fixed places.
MainWindows FindControls(HWND form) {
  MainWindows w;
  w.form = form;
  const std::vector<HWND> all = Descendants(form);
  for (HWND window : all) {
    if (GetParent(window) == form && ClassOf(window) == L"obj_BUTTON") {
      (PlaceInParent(window).y <= 2 ? w.rangePanel : w.listPanel) = window;
    }
  }
  for (HWND window : all) {
    const std::wstring kind = ClassOf(window);
    const LONG left = PlaceInParent(window).x;
    if (kind == L"obj_SysListView32") w.list = window;
    if (GetParent(window) != w.rangePanel || w.rangePanel == nullptr) continue;
    if (kind == L"obj_STATIC") w.direction = window;
    if (kind == L"obj_EDIT") (left < 100 ? w.startIp : left < 200 ? w.endIp : w.threads) = window;
    if (kind == L"obj_BUTTON") (left < 300 ? w.startStop : w.clear) = window;
  }
  return w;
}

bool Complete(const MainWindows& w) {
  for (HWND window : {w.form, w.rangePanel, w.listPanel, w.direction, w.startIp, w.endIp, w.threads,
                      w.startStop, w.clear, w.list}) {
    if (window == nullptr) return false;
  }
  return true;
}

// A block of memory in the program's address space holding a list item and room for its text.
class RemoteItem {
 public:
  RemoteItem(HANDLE process, LVITEMW item) : process_(process) {
    memory_ = static_cast<char*>(VirtualAllocEx(process, nullptr, sizeof item + kTextLimit * sizeof(wchar_t),
                                                MEM_COMMIT, PAGE_READWRITE));
    if (memory_ == nullptr) return;
    item.pszText = reinterpret_cast<wchar_t*>(memory_ + sizeof item);
    item.cchTextMax = kTextLimit;
    WriteProcessMemory(process, memory_, &item, sizeof item, nullptr);
  }
  ~RemoteItem() {
    if (memory_ != nullptr) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
  }
  RemoteItem(const RemoteItem&) = delete;
  RemoteItem& operator=(const RemoteItem&) = delete;

  LPARAM Address() const { return reinterpret_cast<LPARAM>(memory_); }
  std::wstring Text(LRESULT length) const {
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    if (length > 0) {
      ReadProcessMemory(process_, memory_ + sizeof(LVITEMW), text.data(), text.size() * sizeof(wchar_t),
                        nullptr);
    }
    return text;
  }

 private:
  HANDLE process_;
  char* memory_ = nullptr;
};

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(folder.c_str());
}

// Makes Wine prefer the library beside Quarvo.exe to its built-in iphlpapi while it exists. Wine
// takes this key, not WINEDLLOVERRIDES in the environment block given to CreateProcess, for a program
// that another Windows program starts. The loader reads it when the process starts.
class NativeIphlpapi {
 public:
  NativeIphlpapi() {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr) != 0)
      return;
    const wchar_t order[] = L"native,builtin";
    RegSetValueExW(key_, L"iphlpapi", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
  }
  ~NativeIphlpapi() {
    if (key_ == nullptr) return;
    RegCloseKey(key_);
    RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
  }
  NativeIphlpapi(const NativeIphlpapi&) = delete;
  NativeIphlpapi& operator=(const NativeIphlpapi&) = delete;

 private:
  static constexpr const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\Quarvo.exe\\DllOverrides";
  HKEY key_ = nullptr;
};

}  // namespace

std::wstring WindowsPath(const std::string& path) {
  std::wstring wide = WideFromCp936(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide.rfind(L"\\", 0) == 0 ? L"Z:" + wide : wide;
}

bool WaitUntil(const std::function<bool()>& done, int milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

Sandbox::Sandbox() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  for (unsigned attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
    const std::wstring candidate = std::wstring(temp) + L"quarvo-e2e-" +
                                   std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) folder_ = candidate;
  }
  ready_ = !folder_.empty() &&
           CopyFileW(WindowsPath(QUARVO_EXE_PATH).c_str(), PathOf("Quarvo.exe").c_str(), FALSE) &&
           CopyFileW(WindowsPath(QUARVO_FAKE_ARP_PATH).c_str(), PathOf("iphlpapi.dll").c_str(), FALSE);
}

Sandbox::~Sandbox() {
  if (!folder_.empty()) RemoveTree(folder_);
}

std::wstring Sandbox::PathOf(const std::string& name) const {
  return folder_ + L"\\" + WideFromCp936(name);
}

bool Sandbox::Exists(const std::string& name) const {
  return GetFileAttributesW(PathOf(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Sandbox::Read(const std::string& name) const {
  std::string bytes;
  if (FILE* in = _wfopen(PathOf(name).c_str(), L"rb")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
    std::fclose(in);
  }
  return bytes;
}

void Sandbox::Write(const std::string& name, const std::string& bytes) const {
  if (FILE* out = _wfopen(PathOf(name).c_str(), L"wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
}

void Sandbox::Remove(const std::string& name) const {
  DeleteFileW(PathOf(name).c_str());
}

void ForgetSettings() {
  wchar_t folder[MAX_PATH] = {};
  GetWindowsDirectoryW(folder, MAX_PATH);
  DeleteFileW((std::wstring(folder) + L"\\Quarvo.ini").c_str());
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    DeleteFileW((std::wstring(folder) + L"\\Quarvo\\Quarvo.ini").c_str());
  }
}

QuarvoProcess::~QuarvoProcess() {
  Kill();
}

bool QuarvoProcess::Start(const Sandbox& sandbox, std::string& error) {
  Kill();
  if (!sandbox.Ready()) {
    error = "the sandbox folder could not be made";
    return false;
  }
  std::wstring command = L"\"" + sandbox.PathOf("Quarvo.exe") + L"\"";
  NativeIphlpapi preferScripted;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, sandbox.Folder().c_str(),
                      &startup, &info_)) {
    error = "CreateProcess failed: " + std::to_string(GetLastError());
    return false;
  }
  WaitForInputIdle(info_.hProcess, 10000);
  const bool found = WaitUntil(
      [this] {
        const std::vector<HWND> forms = TopWindowsOf(info_.dwProcessId, L"obj_Form");
        windows_ = forms.empty() ? MainWindows{} : FindControls(forms.front());
        return Complete(windows_) && IsWindowVisible(windows_.form);
      },
      15000);
  if (!found) {
    error = "the main window and its controls did not appear";
    return false;
  }
  // Nothing may be scanned unless the scripted library, not the system's, answers the requests.
  const std::string loaded = sandbox.Read("arp-loaded.txt");
  if (loaded.find(std::to_string(info_.dwProcessId)) == std::string::npos) {
    error = "the program did not load the scripted iphlpapi.dll";
    Kill();
    return false;
  }
  return true;
}

std::string QuarvoProcess::Text(HWND window) const {
  std::wstring text(kTextLimit, L'\0');
  LRESULT length = 0;
  if (!Send(window, WM_GETTEXT, kTextLimit, reinterpret_cast<LPARAM>(text.data()), &length))
    return "<no answer>";
  text.resize(static_cast<std::size_t>(length));
  return Cp936FromWide(text);
}

void QuarvoProcess::SetText(HWND window, const std::string& text) const {
  const std::wstring wide = WideFromCp936(text);
  Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void QuarvoProcess::Click(HWND button) const {
  PostMessageW(button, BM_CLICK, 0, 0);
}

void QuarvoProcess::PostMessageTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
  PostMessageW(window, message, wParam, lParam);
}

void QuarvoProcess::MenuCommand(int index) const {
  PostMessageW(windows_.list, WM_COMMAND, MAKEWPARAM(kFirstMenuCommand + static_cast<UINT>(index), 0), 0);
}

bool QuarvoProcess::Scan(const std::string& start, const std::string& end, const std::string& threads,
                         int milliseconds) {
  SetText(windows_.startIp, start);
  SetText(windows_.endIp, end);
  SetText(windows_.threads, threads);
  SetText(windows_.form, "-");  // the previous summary must not pass for this one
  Click(windows_.startStop);
  return WaitUntil(
      [&] {
        return Text(windows_.startStop) == texts::kStartCaption &&
               Text(windows_.form).rfind(texts::kRunScan, 0) == 0;
      },
      milliseconds);
}

int QuarvoProcess::RowCount() const {
  LRESULT count = -1;
  return Send(windows_.list, LVM_GETITEMCOUNT, 0, 0, &count) ? static_cast<int>(count) : -1;
}

std::string QuarvoProcess::Cell(int row, int column) const {
  LVITEMW item{};
  item.iSubItem = column;
  RemoteItem remote(info_.hProcess, item);
  LRESULT length = 0;
  if (!Send(windows_.list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), remote.Address(), &length)) {
    return "<no answer>";
  }
  return Cp936FromWide(remote.Text(length));
}

std::vector<std::string> QuarvoProcess::Row(int row) const {
  std::vector<std::string> cells;
  for (int column = 0; column < 6; ++column) cells.push_back(Cell(row, column));
  return cells;
}

bool QuarvoProcess::SelectRow(int row) const {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = LVIS_SELECTED;
  RemoteItem remote(info_.hProcess, item);
  LRESULT done = 0;
  return Send(windows_.list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), remote.Address(), &done) &&
         done != 0;
}

HWND QuarvoProcess::WaitForBox(const std::string& caption, int milliseconds) const {
  HWND box = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : TopWindowsOf(info_.dwProcessId, L"#32770")) {
          if (IsWindowVisible(window) && Text(window) == caption) box = window;
        }
        return box != nullptr;
      },
      milliseconds);
  return box;
}

std::string QuarvoProcess::BoxText(HWND box) const {
  return Text(GetDlgItem(box, 0xFFFF));
}

void QuarvoProcess::AnswerBox(HWND box, int buttonId) const {
  Click(GetDlgItem(box, buttonId));
}

bool QuarvoProcess::WaitForExit(int milliseconds, DWORD& exitCode) {
  if (info_.hProcess == nullptr) return false;
  if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(milliseconds)) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(info_.hProcess, &exitCode);
  return true;
}

void QuarvoProcess::Kill() {
  if (info_.hProcess == nullptr) return;
  if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 10000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
  info_ = PROCESS_INFORMATION{};
}

}  // namespace quarvo::e2e
