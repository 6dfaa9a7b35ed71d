// Shared by the tests of the control layer: an application object and main window per test, torn
// down through the real close path, and helpers to serve messages while waiting.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>

#include "ui/controls/ControlObject.h"

namespace quarvo {
inline void PrintTo(const Bounds& b, std::ostream* out) {
  *out << "{" << b.left << ", " << b.top << ", " << b.right << ", " << b.bottom << "}";
}
}  // namespace quarvo

namespace quarvo::testing_ui {

// Serves this thread's messages until `done` holds; false after `milliseconds` without.
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    PumpPending();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// Serves messages for a while, to let posted work and timers run.
inline void PumpFor(int milliseconds) {
  PumpUntil([] { return false; }, milliseconds);
}

// A window's bounds relative to its parent's client area.
inline Bounds ChildBounds(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right, r.bottom};
}

inline std::wstring WindowText(HWND window) {
  wchar_t buffer[512] = {};
  GetWindowTextW(window, buffer, 512);
  return buffer;
}

class UiTest : public testing::Test {
 protected:
  void SetUp() override {
    app = CreateAppWindow("Quarvo");
    form = CreateTopWindow(app, "form");
  }

  // Closes the main window the way the user does; the loop then releases every window.
  void TearDown() override {
    if (loopDone) return;
    CreateMissingWindows(app);
    PostCloseRequest(form);
    RunLoop();
  }

  void RunLoop() {
    RunMessageLoop(app);
    loopDone = true;
  }

  bool loopDone = false;
  ControlObject* app = nullptr;
  ControlObject* form = nullptr;
};

}  // namespace quarvo::testing_ui
