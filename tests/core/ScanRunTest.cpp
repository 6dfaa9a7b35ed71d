#include <gtest/gtest.h>

#include <map>

#include "ScanHarness.h"
#include "net/AddressForms.h"
#include "text/TextHelpers.h"

namespace quarvo {
namespace {

using testing::NetworkOrder;
using testing::ScanHarness;
using V = std::vector<std::string>;

const MacBytes kMacA = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacBytes kMacB = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F};

TEST(ScanWorkers, CountRules) {
  const struct {
    std::int64_t typed;
    std::uint32_t ipCount;
    std::uint32_t workers;
  } cases[] = {{0, 254, 254},      {10, 254, 10},     {300, 254, 254},   {-1, 254, 254},   {0, 2000, 800},
               {1000, 5000, 1000}, {1001, 5000, 800}, {5000, 1500, 800}, {5000, 900, 900}, {1, 1, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(WorkerCount(static_cast<std::uint32_t>(c.typed), c.ipCount), c.workers) << c.typed;
  }
  ScanHarness scan;
  scan.Run("10.0.0.1", "10.0.0.254", "-1");
  EXPECT_EQ(scan.threads.Launched(), 1 + 254);         // the starter and the workers
  EXPECT_EQ(scan.window.Text(UiText::Threads), "-1");  // the box keeps what was typed
}

TEST(ScanWorkers, SharesAreInterleavedAndCoverTheRangeOnce) {
  ScanHarness scan;
  for (int i = 0; i < 10; ++i) scan.probe.Answer("10.0.0." + std::to_string(i + 1), kMacA);
  scan.Run("10.0.0.1", "10.0.0.10", "3");
  // Worker 1 probes offsets 0, 3, 6, 9; worker 2 offsets 1, 4, 7; worker 3 offsets 2, 5, 8.
  for (int k = 0; k < 10; ++k)
    EXPECT_EQ(scan.Row(FormatMachineNumber(k + 1, 2))[2], DecimalText(k % 3 + 1)) << k;
  EXPECT_EQ(scan.probe.RequestCount(), 10);
}

TEST(ScanStartRange, BoxesRewrittenAndDirectionShown) {
  ScanHarness up;
  up.Run("  10.1 ", "10.0.0.3\t", "0");
  EXPECT_EQ(up.window.Text(UiText::StartIp) + " " + up.window.Text(UiText::EndIp), "10.0.0.1 10.0.0.3");
  EXPECT_EQ(up.window.Text(UiText::Direction), texts::kDirectionUp);
  EXPECT_EQ(up.state.FirstIp, NetworkOrder("10.0.0.1"));

  ScanHarness down;
  down.Run("192.168.1.010", "192.168.1.5", "0");
  EXPECT_EQ(down.window.Text(UiText::StartIp), "192.168.1.8");  // octal part
  EXPECT_EQ(down.window.Text(UiText::Direction), texts::kDirectionDown);
  EXPECT_EQ(down.state.FirstIp, NetworkOrder("192.168.1.5"));
  EXPECT_EQ(down.probe.RequestCount(), 4);
  for (const char* ip : {"192.168.1.5", "192.168.1.6", "192.168.1.7", "192.168.1.8"})
    EXPECT_EQ(down.probe.Requests()[NetworkOrder(ip)], 1) << ip;

  ScanHarness same;
  same.Run("0.0.0.0", "0.0.0.0", "0");
  EXPECT_EQ(same.window.Text(UiText::Direction), texts::kDirectionDown);
  EXPECT_EQ(same.threads.Launched(), 1 + 1);
  EXPECT_EQ(same.state.NumberBase, -1);
}

TEST(ScanStartRange, RangeAcrossAnOctetBoundaryAndMachineNumbers) {
  ScanHarness scan;
  scan.probe.Answer("192.168.0.254", kMacA);
  scan.probe.Answer("192.168.1.0", kMacA);
  scan.probe.Answer("192.168.1.5", kMacB);
  scan.Run("192.168.0.250", "192.168.1.5", "4");
  EXPECT_EQ(scan.state.NumberDigits, 2u);
  EXPECT_EQ(scan.Row("254")[0], "192.168.0.254");
  EXPECT_EQ(scan.Row(".00")[0], "192.168.1.0");
  EXPECT_EQ(scan.Row(".05")[1], "00-1A-2B-3C-4D-5F");

  // Past 512 addresses every machine still gets a row of its own: 10.0.2.1 is no change of 10.0.1.1.
  ScanHarness wide;
  for (const char* ip : {"10.0.0.1", "10.0.1.1", "10.0.2.1", "10.0.3.1", "10.0.15.1"})
    wide.probe.Answer(ip, kMacA);
  wide.Run("10.0.0.1", "10.0.15.254", "1000");
  EXPECT_EQ(wide.table.RowCount(), 5);
  EXPECT_EQ(wide.Row("3.001")[0], "10.0.3.1");
  EXPECT_EQ(wide.Row("15.001")[3], "New");
}

TEST(ScanMerge, NewSameChangedSilentRules) {
  ScanHarness scan;
  scan.probe.Answer("10.0.0.1", kMacA);
  scan.probe.Answer("10.0.0.2", kMacA);
  scan.Run("10.0.0.1", "10.0.0.3", "0");
  EXPECT_EQ(scan.Row("1"), (V{"10.0.0.1", "00-1A-2B-3C-4D-5E", "1", "New", texts::kStatusAnswered}));
  EXPECT_EQ(scan.table.RowCount(), 2);  // 10.0.0.3 did not answer and had no row
  EXPECT_TRUE(scan.state.ListChanged);

  // Second scan: 1 answers the same, 2 answers with a MAC differing only in case, 3 stays silent.
  scan.state.ListChanged = false;
  scan.table.SetCell(scan.table.FindRow("1"), ColStatus, texts::kStatusSilent);
  scan.table.SetCell(scan.table.FindRow("2"), ColMac, "00-1a-2b-3c-4d-5e");
  scan.Run("10.0.0.1", "10.0.0.2", "0");
  EXPECT_EQ(scan.Row("1"), (V{"10.0.0.1", "00-1A-2B-3C-4D-5E", "1", "New", texts::kStatusAnswered}));
  EXPECT_EQ(scan.Row("2"), (V{"10.0.0.2", "00-1A-2B-3C-4D-5E", "2", "Yes", texts::kStatusAnswered}));
  EXPECT_TRUE(scan.state.ListChanged);

  // Same answers again: nothing added or changed, ListChanged stays clear.
  scan.state.ListChanged = false;
  scan.Run("10.0.0.1", "10.0.0.2", "0");
  EXPECT_FALSE(scan.state.ListChanged);
  EXPECT_EQ(scan.Row("2")[3], "Yes");  // "Yes" stays
}

TEST(ScanMerge, ExistingRowKeepsItsAddressAndFinderSilentRowsGetCross) {
  ScanHarness scan;
  for (const char* number : {"005", "zzz"}) {
    const std::int32_t row = scan.table.AddRow(number);
    scan.table.SetCell(row, ColIp, "somewhere else");
    scan.table.SetCell(row, ColThread, "0");
    scan.table.SetCell(row, ColMac, "00-1A-2B-3C-4D-5E");
    scan.table.SetCell(row, ColStatus, texts::kStatusAnswered);
  }
  scan.probe.Answer("10.0.0.5", kMacB);
  scan.Run("10.0.0.0", "10.0.0.199", "0");
  EXPECT_EQ(scan.Row("005"), (V{"somewhere else", "00-1A-2B-3C-4D-5F", "0", "Yes", texts::kStatusAnswered}));
  EXPECT_EQ(scan.table.RowCount(), 2);

  scan.probe.Answer("10.0.0.5", {0, 0, 0, 0, 0, 0});  // silent now
  scan.Run("10.0.0.0", "10.0.0.199", "0");
  EXPECT_EQ(scan.Row("005")[4], texts::kStatusSilent);
  EXPECT_EQ(scan.Row("zzz")[4], texts::kStatusAnswered);  // outside the range: untouched
  // The row outside the range still counts as answered; neither row was found by a scan.
  EXPECT_NE(scan.Summaries().back().find("IP: 1/2" + std::string(texts::kSummaryNew) + "0"),
            std::string::npos);
}

TEST(ScanEnd, ExactlyOneSummaryAndStopEndsEachWorkerAfterItsProbe) {
  ScanHarness scan;
  std::atomic<int> seen{0};
  scan.probe.OnRequest([&](std::uint32_t) {
    if (++seen == 20) scan.state.StopRequested = true;
  });
  scan.probe.SetLatency(2);
  for (int i = 1; i <= 254; ++i) scan.probe.Answer("10.0.0." + std::to_string(i), kMacA);
  scan.Run("10.0.0.1", "10.0.0.254", "8");
  // A worker sees the stop at its next address: at most one probe per worker after the 20th.
  EXPECT_LE(scan.probe.RequestCount(), 20 + 8);
  EXPECT_EQ(scan.table.RowCount(), scan.probe.RequestCount());  // every probe under way was merged
  ASSERT_EQ(scan.Summaries().size(), 1u);
  EXPECT_EQ(scan.window.Text(UiText::MainCaption), scan.Summaries()[0]);
  EXPECT_EQ(scan.window.Text(UiText::StartStop), texts::kStartCaption);
  EXPECT_EQ(scan.state.LiveThreads, 0u);
}

// Launches are counted from 0: the first starts the thread that starts the workers. When that one
// cannot be had, the workers are started by the caller.
TEST(ScanEnd, WorkersThatCannotStartAreNotWaitedFor) {
  const struct {
    int refuseFrom, probes;
  } cases[] = {{0, 0}, {1, 0}, {3, 2}};  // nothing at all, the starter alone, the starter and two
  for (const auto& c : cases) {
    ScanHarness scan;
    scan.threads.RefuseFrom(c.refuseFrom);
    scan.Run("10.0.0.1", "10.0.0.9", "0");
    EXPECT_EQ(scan.probe.RequestCount(), c.probes) << c.refuseFrom;  // each worker probes its one address
    EXPECT_EQ(scan.Summaries().size(), 1u) << c.refuseFrom;
    EXPECT_TRUE(scan.state.StopRequested);
    EXPECT_EQ(scan.window.Text(UiText::StartStop), texts::kStartCaption);
    EXPECT_EQ(scan.state.LiveThreads, 0u);
  }
}

TEST(ScanEnd, CaptionShowsEachProbedAddressThenTheSummary) {
  ScanHarness scan;
  scan.clock.Set(1000);
  scan.clock.SetStep(5230);
  scan.probe.Answer("10.0.0.2", kMacA);
  scan.Run("10.0.0.1", "10.0.0.3", "1");
  EXPECT_EQ(scan.window.History(UiText::MainCaption),
            (V{"10.0.0.1", "10.0.0.2", "10.0.0.3",
               std::string(texts::kRunScan) + texts::kSummaryElapsed + "5230" + texts::kSummaryMsIp + "1/1" +
                   texts::kSummaryNew + "1"}));
  EXPECT_EQ(scan.window.History(UiText::StartStop), (V{texts::kStopCaption, texts::kStartCaption}));
}

}  // namespace
}  // namespace quarvo
