#include "scan/RunSummary.h"

#include "text/Cp936Texts.h"
#include "text/TextHelpers.h"

namespace quarvo {

std::string SummaryLine(const std::string& runName, std::uint32_t elapsedMs, std::uint32_t count,
                        std::uint32_t rowCount, bool withNew, std::uint32_t newCount) {
  std::string line = runName + texts::kSummaryElapsed + DecimalText(elapsedMs) + texts::kSummaryMsIp +
                     DecimalText(count) + "/" + DecimalText(rowCount);
  if (withNew) line += texts::kSummaryNew + DecimalText(newCount);
  return line;
}

void ShowRunSummary(RunContext& context, const std::string& runName, std::uint32_t count) {
  context.state.StopRequested = true;
  context.window.SetText(UiText::StartStop, texts::kStartCaption);
  context.state.RunEndTick = context.clock.TickCount();

  const bool afterScan = runName == texts::kRunScan;
  std::uint32_t newCount = 0;
  std::uint32_t rowCount = 0;
  context.table.Transact([&](ResultsTable::Rows& rows) {
    rowCount = static_cast<std::uint32_t>(rows.RowCount());
    if (!afterScan) return;
    for (std::int32_t row = 0; row < rows.RowCount(); ++row) {
      if (rows.GetCell(row, ColStatus) != texts::kStatusSilent) ++count;
      if (rows.GetCell(row, ColThread) != texts::kLoadedThread) ++newCount;
    }
  });
  const std::uint32_t elapsed = context.state.RunEndTick - context.state.RunStartTick;
  context.window.SetText(UiText::MainCaption,
                         SummaryLine(runName, elapsed, count, rowCount, afterScan, newCount));
}

}  // namespace quarvo
