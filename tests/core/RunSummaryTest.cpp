#include <gtest/gtest.h>

#include "ScanHarness.h"
#include "scan/RunSummary.h"

namespace quarvo {
namespace {

using testing::ScanHarness;

void AddRow(ResultsTable& table, const std::string& number, const char* thread, const char* status) {
  const std::int32_t row = table.AddRow(number);
  table.SetCell(row, ColThread, thread);
  table.SetCell(row, ColStatus, status);
}

TEST(RunSummary, LinesByteForByte) {
  // 扫描耗时: 5230 ms　IP: 12/30　New: 4 and 载入耗时: 16 ms　IP: 0/25
  EXPECT_EQ(SummaryLine(texts::kRunScan, 5230, 12, 30, true, 4),
            "\xC9\xA8\xC3\xE8\xBA\xC4\xCA\xB1: 5230 ms\xA1\xA1IP: 12/30\xA1\xA1New: 4");
  EXPECT_EQ(SummaryLine(texts::kRunLoad, 16, 0, 25, false, 0),
            "\xD4\xD8\xC8\xEB\xBA\xC4\xCA\xB1: 16 ms\xA1\xA1IP: 0/25");
}

TEST(RunSummary, ScanCountsAnsweredAndFoundRowsOtherRunsShowTheirCount) {
  ScanHarness h;
  AddRow(h.table, "001", "0", texts::kStatusSilent);
  AddRow(h.table, "002", "0", texts::kStatusAnswered);
  AddRow(h.table, "003", "7", texts::kStatusAnswered);
  AddRow(h.table, "004", "12", "");  // anything but "×" counts as answered
  h.state.StopRequested = false;
  h.state.RunStartTick = 0xFFFFFFF0u;  // the tick counter wraps during the run
  h.clock.Set(0x10);
  ShowRunSummary(h.context, texts::kRunScan, 0);
  EXPECT_EQ(h.window.Text(UiText::MainCaption), SummaryLine(texts::kRunScan, 32, 3, 4, true, 2));
  EXPECT_TRUE(h.state.StopRequested);
  EXPECT_EQ(h.window.Text(UiText::StartStop), texts::kStartCaption);
  EXPECT_EQ(h.state.RunEndTick, 0x10u);

  ShowRunSummary(h.context, texts::kRunLoad, 0);
  EXPECT_EQ(h.window.Text(UiText::MainCaption), SummaryLine(texts::kRunLoad, 32, 0, 4, false, 0));
  ShowRunSummary(h.context, texts::kRunWake, 3);
  EXPECT_EQ(h.window.Text(UiText::MainCaption), SummaryLine(texts::kRunWake, 32, 3, 4, false, 0));

  ScanHarness empty;
  ShowRunSummary(empty.context, texts::kRunScan, 0);
  const std::string line = empty.window.Text(UiText::MainCaption);
  EXPECT_EQ(line.substr(line.size() - 15), "IP: 0/0\xA1\xA1New: 0");
}

}  // namespace
}  // namespace quarvo
