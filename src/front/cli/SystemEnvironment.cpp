// The command line as the program runs it: the system's ARP engines, sockets, files, clock and
// threads, the terminal, and Ctrl-C.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iostream>
#include <mutex>
#include <thread>

#include "front/cli/CommandLine.h"
#include "platform/System.h"

namespace quarvo {

namespace {

// A name that takes longer than this is left out of the table; at most this many lookups run at once.
constexpr int kNameTimeoutMs = 2000;
constexpr int kNetbiosTimeoutMs = 700;
constexpr int kNameLookupsAtOnce = 16;

std::atomic<bool> interruptSeen{false};
int interruptPipe[2] = {-1, -1};

// The first Ctrl-C asks the run to stop; the next one ends the program at once. Only what is safe
// in a signal handler: a lock-free flag, a write to the pipe, the default action back.
void OnInterrupt(int) {
  const int saved = errno;
  interruptSeen = true;
  const char byte = 1;
  (void)!::write(interruptPipe[1], &byte, 1);
  signal(SIGINT, SIG_DFL);
  errno = saved;
}

// What a Ctrl-C does at once, run by the thread that reads the pipe.
std::mutex actionMutex;
std::function<void()> interruptAction;

void SetInterruptAction(std::function<void()> action) {
  std::lock_guard<std::mutex> lock(actionMutex);
  interruptAction = std::move(action);
}

void WatchInterrupts() {
  char byte;
  for (;;) {
    const ssize_t got = ::read(interruptPipe[0], &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    std::lock_guard<std::mutex> lock(actionMutex);
    if (interruptAction) interruptAction();
  }
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  std::function<void(std::function<void()>)> onInterrupt;
  if (::pipe2(interruptPipe, O_CLOEXEC) == 0) {
    std::thread(WatchInterrupts).detach();
    onInterrupt = SetInterruptAction;
  }
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  // A closed standard output is reported as a failed write, with exit status 1, not by the
  // signal's silent end of the program.
  signal(SIGPIPE, SIG_IGN);

  CliEnvironment env{OpenArpEngine,
                     AttachedNetworks,
                     ArpEngineName,
                     SystemWakeSocket(),
                     SystemFiles(),
                     SystemClock(),
                     SystemThreads(),
                     std::cout,
                     std::cerr,
                     isatty(STDERR_FILENO) == 1,
                     [] { return interruptSeen.load(); }};
  env.onInterrupt = onInterrupt;
  // Fresh copies that the registries' update tool fetched come first.
  VendorNames vendors({"/var/lib/ieee-data", "/usr/share/ieee-data"});
  env.vendors = &vendors;
  env.hostNames = [] {
    return std::make_unique<HostNames>(SystemHostNameSource(kNetbiosTimeoutMs), kNameLookupsAtOnce,
                                       std::chrono::milliseconds(kNameTimeoutMs));
  };
  return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), env);
}

}  // namespace quarvo
