// The command line as the program runs it: the system's ARP engines, sockets, files, clock and
// threads, the terminal, and Ctrl-C.
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <iostream>

#include "front/cli/CommandLine.h"
#include "platform/System.h"

namespace quarvo {

namespace {

// A name that takes longer than this is left out of the table; at most this many lookups run at once.
constexpr int kNameTimeoutMs = 2000;
constexpr int kNetbiosTimeoutMs = 700;
constexpr int kNameLookupsAtOnce = 16;

volatile std::sig_atomic_t interruptSeen = 0;

// The first Ctrl-C asks the run to stop; the next one ends the program at once.
void OnInterrupt(int) {
  interruptSeen = 1;
  signal(SIGINT, SIG_DFL);
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
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
                     [] { return interruptSeen != 0; }};
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
