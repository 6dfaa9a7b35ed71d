// The wake run: one magic packet to every selected row of the table, one row after another, with
// the pause typed into the threads box after each packet, on a thread of its own.
#pragma once

#include <cstdint>
#include <string>

#include "net/WakeSocket.h"
#include "scan/RunContext.h"

namespace quarvo {

// Starts a wake run on a new thread and returns at once, but only while no run is active
// (StopRequested set and no scan worker left) and at least one row is selected; true when the thread
// was started.
bool StartWakeRun(RunContext& context, WakeSocket& socket);

// The body of the wake thread. Walks the live selection: a row selected or deselected below the
// current one during the run is woken or left out. Shows each row's IP address in the window
// caption while it is woken, checks for a stop before every row, and ends with the summary line
// "唤醒..." counting the packets sent, also when it was stopped. A row whose MAC text cannot be
// read is left out and not counted.
void WakeWorker(RunContext& context, WakeSocket& socket);

// The pause after a packet, in milliseconds, from the threads box's text: its whole number when
// that is 0 or more (0 only gives up the time slice), else 1 (an empty box, or one holding no
// whole number or a negative one, which must never turn into an endless wait).
std::uint32_t WakePause(const std::string& threadsText);

}  // namespace quarvo
