#pragma once

#include <functional>

namespace quarvo {

// Starts a thread that nothing waits for. Tests use launchers that can join what they started.
class ThreadLauncher {
 public:
  virtual ~ThreadLauncher() = default;
  // Runs body on a new thread; false when no thread could be started (body is then not run).
  virtual bool Launch(std::function<void()> body) = 0;
};

}  // namespace quarvo
