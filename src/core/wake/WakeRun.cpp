#include "wake/WakeRun.h"

#include "net/MagicPacket.h"
#include "scan/RunSummary.h"
#include "text/Cp936Texts.h"
#include "text/TextHelpers.h"

namespace quarvo {

std::uint32_t WakePause(const std::string& threadsText) {
  constexpr std::uint32_t kEmptyBoxPause = 1;
  if (threadsText.empty()) return kEmptyBoxPause;
  try {
    const std::int32_t pause = ParseInt(threadsText);
    return pause < 0 ? kEmptyBoxPause : static_cast<std::uint32_t>(pause);
  } catch (const ConversionError&) {
    return kEmptyBoxPause;
  }
}

namespace {

// The row to wake next, read in the step that found it.
struct WakeTarget {
  bool found = false;
  std::string number, ip, mac;
  std::int32_t ordinal = 0;  // among the rows of its machine number
};

WakeTarget TargetAt(const ResultsTable::Rows& rows, std::int32_t row) {
  WakeTarget target;
  if (row < 0) return target;
  target.found = true;
  target.number = rows.GetCell(row, ColNumber);
  target.ip = rows.GetCell(row, ColIp);
  target.mac = rows.GetCell(row, ColMac);
  target.ordinal = rows.NumberOrdinal(row);
  return target;
}

void WakeWorker(RunContext& context, WakeSocket& socket) {
  RunState& state = context.state;
  ResultsTable& table = context.table;
  std::uint32_t count = 0;
  context.window.SetText(UiText::StartStop, texts::kStopCaption);
  state.RunStartTick = context.clock.TickCount();

  WakeTarget target =
      table.Transact([](ResultsTable::Rows& rows) { return TargetAt(rows, rows.FirstSelected()); });
  const auto nextAfter = [&table](const WakeTarget& done) {
    return table.Transact([&done](ResultsTable::Rows& rows) {
      return TargetAt(rows, rows.NextSelectedAfter(done.number, done.ordinal));
    });
  };
  while (target.found && !state.StopRequested) {
    context.window.SetText(UiText::MainCaption, target.ip);
    bool readable = true;
    try {
      // Counted when the system took its packet: a row whose every send was refused was not woken.
      if (SendWakePacket(target.mac, target.ip, socket)) ++count;
    } catch (const ConversionError&) {
      readable = false;  // no MAC address to wake: the row is left out, the run goes on
    }
    WakeTarget next = nextAfter(target);
    // The pause separates two machines; after the last there is nothing to wait for. A Stop ends it.
    if (readable && next.found) {
      // Read afresh after every packet, so that a new pause typed during the run takes effect.
      context.clock.Pause(WakePause(context.window.GetText(UiText::Threads)), state.StopRequested);
      next = nextAfter(target);  // the live selection, as it is after the pause
    }
    target = next;
  }
  ShowRunSummary(context, texts::kRunWake, count);
  state.LiveRuns.fetch_sub(1);  // the last use of the shared state
}

}  // namespace

bool StartWakeRun(RunContext& context, WakeSocket& socket) {
  RunState& state = context.state;
  if (!state.StopRequested || state.RunThreadAlive() || context.table.SelectedCount() <= 0) return false;
  // The run counts as begun from here, before its thread runs: a second "唤醒" or a Start click in
  // between finds the program busy instead of starting a second run beside this one, and a Stop
  // given meanwhile is kept, as only this clears the flag.
  state.LiveRuns.fetch_add(1);
  state.StopRequested = false;
  context.window.SetText(UiText::StartStop, texts::kStopCaption);
  if (context.threads.Launch([&context, &socket] { WakeWorker(context, socket); })) return true;
  state.StopRequested = true;
  context.window.SetText(UiText::StartStop, texts::kStartCaption);
  state.LiveRuns.fetch_sub(1);
  return false;
}

}  // namespace quarvo
