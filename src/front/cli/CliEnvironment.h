// What the command line takes from the system, so that tests can run it with scripted parts.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "net/WakeSocket.h"
#include "platform/linux/ArpEngine.h"
#include "platform/linux/HostNames.h"
#include "store/FileStore.h"
#include "sys/Clock.h"
#include "sys/ThreadLauncher.h"
#include "vendor/VendorRegistry.h"

namespace quarvo {

struct CliEnvironment {
  std::function<OpenedArpEngine(const ArpEngineOptions&)> openArpEngine;
  std::function<std::vector<AttachedNetwork>()> attachedNetworks;
  std::function<const char*(ArpEngineKind)> engineName;
  // The parts below must outlive every thread a run starts: threads that nothing joins may still
  // be returning from their last call when the command has ended.
  WakeSocket& wakeSocket;
  FileStore& files;
  Clock& clock;
  ThreadLauncher& threads;
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;         // a live progress line goes to standard error only then
  std::function<bool()> interrupted;  // true once Ctrl-C was pressed
  // For --names and --json: the vendors of MAC addresses, and a lookup of host names for a scan.
  VendorNames* vendors = nullptr;
  std::function<std::unique_ptr<HostNames>()> hostNames = nullptr;
  // Sets what a Ctrl-C does at once, on a thread of its own (null: nothing but `interrupted`); a
  // command sets it while a run goes on and clears it before the parts the action uses go.
  std::function<void(std::function<void()>)> onInterrupt = nullptr;
};

}  // namespace quarvo
