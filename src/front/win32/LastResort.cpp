// The error box that ends the program when an exception reaches a handler or the start-up.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "front/win32/MainWindow.h"
#include "front/win32/controls/WideText.h"
#include "store/IoError.h"
#include "text/TextHelpers.h"

namespace quarvo {

namespace {

const char* ClassNameOf(const std::exception& error) {
  if (dynamic_cast<const ConversionError*>(&error) != nullptr) return "ConversionError";
  if (dynamic_cast<const IoError*>(&error) != nullptr) return "IoError";
  return "Exception";
}

}  // namespace

void LastResort(const std::exception& error) {
  wchar_t module[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  const wchar_t* name = wcsrchr(module, L'\\');
  const std::string message = error.what();
  const bool fullStop = !message.empty() && message.back() == '.';
  char text[1024];
  std::snprintf(text, sizeof text, "Exception %s in module %s at %p.\r\n%s%s\r\n", ClassNameOf(error),
                Cp936FromWide(name != nullptr ? name + 1 : module).c_str(), static_cast<const void*>(&error),
                message.c_str(), fullStop ? "" : ".");
  MessageBoxW(nullptr, WideFromCp936(text).c_str(), L"Application Error",
              MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}

}  // namespace quarvo

// What the runtime calls when an exception leaves a thread's function. The library's own handler
// writes to a console this program does not have, and brings a demangler of about 50 KB into it.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
  try {
    if (std::current_exception()) std::rethrow_exception(std::current_exception());
  } catch (const std::exception& error) {
    quarvo::LastResort(error);
  } catch (...) {
  }
  std::abort();
}
}  // namespace __gnu_cxx
