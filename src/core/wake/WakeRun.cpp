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

void WakeWorker(RunContext& context, WakeSocket& socket) {
  RunState& state = context.state;
  ResultsTable& table = context.table;
  std::uint32_t count = 0;
  state.StopRequested = false;
  context.window.SetText(UiText::StartStop, texts::kStopCaption);
  state.RunStartTick = context.clock.TickCount();

  std::int32_t row = table.SelectedCount() > 0 ? table.FirstSelected() : -1;
  while (row != -1 && !state.StopRequested) {
    context.window.SetText(UiText::MainCaption, table.GetCell(row, ColIp));
    bool sent = true;
    try {
      SendWakePacket(table.GetCell(row, ColMac), socket);
    } catch (const ConversionError&) {
      sent = false;  // no MAC address to wake: the row is left out, the run goes on
    }
    row = table.NextSelected(row);
    if (!sent) continue;
    ++count;
    // Read afresh after every packet, so that a new pause typed during the run takes effect.
    context.clock.Sleep(WakePause(context.window.GetText(UiText::Threads)));
  }
  ShowRunSummary(context, texts::kRunWake, count);
}

bool StartWakeRun(RunContext& context, WakeSocket& socket) {
  RunState& state = context.state;
  // Workers of a stopped scan that are still finishing would take the cleared stop flag as theirs
  // and scan on: no run starts before they are done.
  if (!state.StopRequested || state.LiveThreads != 0 || context.table.SelectedCount() <= 0) return false;
  // The run counts as begun from here, before its thread runs: a second "唤醒" or a Start click in
  // between finds the program busy instead of starting a second run beside this one.
  state.StopRequested = false;
  context.window.SetText(UiText::StartStop, texts::kStopCaption);
  if (context.threads.Launch([&context, &socket] { WakeWorker(context, socket); })) return true;
  state.StopRequested = true;
  context.window.SetText(UiText::StartStop, texts::kStartCaption);
  return false;
}

}  // namespace quarvo
