// What a run works with: the shared state, the table, the window and the platform seams.
#pragma once

#include "model/ResultsTable.h"
#include "model/RunState.h"
#include "net/ArpProbe.h"
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
