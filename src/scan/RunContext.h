// What a run works with: the shared state, the table, the window and the platform seams.
#pragma once

#include "net/ArpProbe.h"
#include "scan/RunState.h"
#include "store/ResultsTable.h"
#include "sys/Clock.h"
#include "sys/ThreadLauncher.h"
#include "sys/WindowPort.h"

namespace quarvo {

struct RunContext {
  RunState& state;
  ResultsTable& table;
  WindowPort& window;
  Clock& clock;
  ThreadLauncher& threads;
  ArpProbe& arp;
};

}  // namespace quarvo
