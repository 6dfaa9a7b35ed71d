// Clock and threads on Windows.
#include <windows.h>

#include <memory>

#include "platform/System.h"
#include "sys/Clock.h"
#include "sys/ThreadLauncher.h"

namespace quarvo {

namespace {

class TickClock final : public Clock {
 public:
  std::uint32_t TickCount() override { return GetTickCount(); }
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

DWORD WINAPI RunBody(LPVOID arg) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
  (*body)();
  return 0;
}

// The linker's default reservation (2 MiB a thread) would not let 1000 workers fit in a 32-bit
// address space; the workers need little stack.
constexpr SIZE_T kWorkerStackReservation = 256 * 1024;

class DetachedThreads final : public ThreadLauncher {
 public:
  bool Launch(std::function<void()> body) override {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    HANDLE thread = CreateThread(nullptr, kWorkerStackReservation, RunBody, owned.get(),
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) return false;
    owned.release();  // the thread owns it now
    CloseHandle(thread);
    return true;
  }
};

}  // namespace

Clock& SystemClock() {
  static TickClock& clock = *new TickClock;  // never freed: see System.h
  return clock;
}

ThreadLauncher& SystemThreads() {
  static DetachedThreads& threads = *new DetachedThreads;  // never freed: see System.h
  return threads;
}

}  // namespace quarvo
