// Clock and threads of builds without the Windows API.
#include <pthread.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/System.h"
#include "sys/Clock.h"
#include "sys/ThreadLauncher.h"

namespace quarvo {

namespace {

class SteadyClock final : public Clock {
 public:
  std::uint32_t TickCount() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
  void Sleep(std::uint32_t milliseconds) override {
    if (milliseconds == 0) {
      std::this_thread::yield();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
  }
};

void* RunBody(void* arg) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
  (*body)();
  return nullptr;
}

class DetachedThreads final : public ThreadLauncher {
 public:
  bool Launch(std::function<void()> body) override {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    pthread_attr_t attr;
    if (pthread_attr_init(&attr) != 0) return false;
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, RunBody, owned.get());
    pthread_attr_destroy(&attr);
    if (rc != 0) return false;
    owned.release();  // the thread owns it now
    return true;
  }
};

}  // namespace

Clock& SystemClock() {
  static SteadyClock& clock = *new SteadyClock;  // never freed: see System.h
  return clock;
}

ThreadLauncher& SystemThreads() {
  static DetachedThreads& threads = *new DetachedThreads;  // never freed: see System.h
  return threads;
}

}  // namespace quarvo
