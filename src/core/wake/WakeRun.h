// The wake run: one magic packet to every selected row of the table, one row after another, with
// the pause typed into the threads box after each packet, on a thread of its own.
#pragma once

#include <cstdint>
#include <string>

#include "net/WakeSocket.h"
#include "scan/RunContext.h"

namespace quarvo {

// Starts a wake run on a new thread and returns at once, but only while no run is active
// (StopRequested set and no thread of an earlier run alive) and at least one row is selected; true
// when the thread was started. The run counts as begun from here: the stop flag is cleared here
// and nowhere else, so a Stop given before the thread runs is kept, and the run counts as a live
// run until its thread has returned.
//
// The thread walks the live selection in the table's order: after each pause it goes on with the
// first row selected then after the machine just woken, found by its machine number, so rows added
// or removed meanwhile cannot make it wake a row nobody selected. Each row's packet leaves by the
// network that holds the row's IP address (SendWakePacket). The pause comes between two machines,
// not after the last, and a stop ends it at once. It shows each row's IP address in the window
// caption while it is woken, checks for a stop before every row, and ends with the summary line
// "唤醒..." counting the rows whose packet the system took, also when it was stopped. A row whose
// MAC text cannot be read is left out and not counted.
bool StartWakeRun(RunContext& context, WakeSocket& socket);

// The pause after a packet, in milliseconds, from the threads box's text: its whole number when
// that is 0 or more (0 only gives up the time slice), else 1 (an empty box, or one holding no
// whole number or a negative one, which must never turn into an endless wait).
std::uint32_t WakePause(const std::string& threadsText);

}  // namespace quarvo
