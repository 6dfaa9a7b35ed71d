// The shipping program worked through its window from a first start to a restart, the way a user
// would. Each step's logic has tests of its own; this shows the real window, message boxes, settings
// and list file wired to it. ARP answers come from the scripted iphlpapi.dll beside the program
// (addresses of the documentation range 192.0.2.0/24 only); magic packets go to the logging ws2_32.dll
// beside it and never leave the machine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

#include "QuarvoDriver.h"
#include "text/Cp936Texts.h"

namespace quarvo::e2e {
namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<Strings>;

constexpr UINT kKeyF1Message = 0x004D;  // WM_KEYF1: what the system sends for F1; it asks for help
const std::string kOk = texts::kStatusAnswered, kNo = texts::kStatusSilent;  // "√" and "×"
const char kThreeMachines[] =
    "192.0.2.10 00-1A-2B-3C-4D-01\n"
    "192.0.2.11 - 200\n"
    "192.0.2.13 00-1A-2B-3C-4D-02 300\n"
    "192.0.2.20 00-1A-2B-3C-4D-03\n";

// A summary line with its elapsed milliseconds as "#": "<run>耗时: # ms　IP: <counts>[　New: <added>]".
std::string Summary(const char* run, const std::string& counts, const std::string& added = "") {
  return std::string(run) + texts::kSummaryElapsed + "#" + texts::kSummaryMsIp + counts +
         (added.empty() ? "" : texts::kSummaryNew + added);
}

class QuarvoE2e : public testing::Test {
 protected:
  const MainWindows& W() const { return quarvo.W(); }

  // New answers for the scripted library, and a fresh log of what it is asked.
  void Script(const std::string& lines) const {
    quarvo.WriteFile("arp-script.txt", lines);
    quarvo.WriteFile("arp-log.txt", "");
  }
  // The addresses asked since the last script, sorted; each request is one entry.
  Strings Probed() const {
    std::istringstream log(quarvo.ReadFile("arp-log.txt"));
    Strings addresses;
    for (std::string address, reply; log >> address >> reply;) addresses.push_back(address);
    std::sort(addresses.begin(), addresses.end());
    return addresses;
  }

  // The main window's caption, with the elapsed milliseconds of a summary as "#".
  std::string Caption() const {
    return std::regex_replace(quarvo.Text(W().form), std::regex(": [0-9]+ ms"), ": # ms");
  }

  void Scan(const std::string& start, const std::string& end, const std::string& threads = "0") const {
    ASSERT_TRUE(quarvo.Scan(start, end, threads)) << "the scan did not end; caption \"" << Caption() << "\"";
  }
  Rows ShownRows(int expected) const {
    WaitUntil([&] { return quarvo.RowCount() == expected; });
    return quarvo.Rows();
  }

  // Closes through the window or the menu's Exit, answers the prompt to save the list, and sees the
  // process end well.
  void Close(int answer, bool byMenu) {
    byMenu ? quarvo.Menu(kMenuExit) : void(PostMessageW(W().form, WM_CLOSE, 0, 0));
    EXPECT_EQ(quarvo.Answer(texts::kSavePromptCaption, answer), texts::kSavePrompt);
    DWORD code = 1234;
    ASSERT_TRUE(quarvo.WaitForExit(code)) << "the program did not end";
    EXPECT_EQ(code, 0u);
  }

  Quarvo quarvo;
};

TEST_F(QuarvoE2e, FirstStartEveryCommandButWakeAndARestartWithTheStoredRange) {
  const std::string stored = "keep\tthis\tlist\r\n";
  quarvo.WriteFile(texts::kResultsFileName, stored);
  Script(kThreeMachines);
  ASSERT_EQ(quarvo.Start(), "");
  // The default range, and the stored list is not loaded at start.
  const std::pair<HWND, std::string> shown[] = {
      {W().form, texts::kMainCaption},      {W().startIp, texts::kDefaultStartIp},
      {W().endIp, texts::kDefaultEndIp},    {W().threads, "0"},
      {W().direction, texts::kDirectionUp}, {W().startStop, texts::kStartCaption},
      {W().clear, texts::kClearCaption},    {W().rangePanel, texts::kRangePanelCaption},
  };
  for (const auto& [window, text] : shown) EXPECT_EQ(quarvo.Text(window), text);
  EXPECT_EQ(quarvo.Text(W().listPanel).rfind(texts::kListPanelCaption, 0), 0u);
  EXPECT_EQ(quarvo.RowCount(), 0);

  // F1 and the menu's About show the same box: lines of its own, then the help text; only an OK button.
  std::string about[2];
  for (bool byKey : {true, false}) {
    byKey ? void(PostMessageW(W().form, kKeyF1Message, 0, 0)) : quarvo.Menu(kMenuAbout);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(quarvo.WaitForBox(texts::kAboutCaption), IDCANCEL)));
    about[byKey] = quarvo.Answer(texts::kAboutCaption, IDOK);
  }
  EXPECT_THAT(about[0], testing::EndsWith(texts::kHelpText));
  EXPECT_NE(about[0], texts::kHelpText);
  EXPECT_EQ(about[1], about[0]);

  // A threads box that is no integer: an error box, the caption says why, and the program is idle.
  for (const std::string threads : {"abc", "5 "}) {
    quarvo.StartScan("192.0.2.1", "192.0.2.2", threads);
    EXPECT_EQ(quarvo.Answer(texts::kAppCaption, IDOK), "'" + threads + "' is not a valid integer value");
    EXPECT_TRUE(WaitUntil([&] { return Caption() == texts::kThreadsRefused; })) << Caption();
    EXPECT_EQ(quarvo.Text(W().startStop), texts::kStartCaption);
  }
  EXPECT_EQ(Probed(), Strings{});

  // Blanks are trimmed, an octal part is read as such, and a range typed downwards is scanned
  // upwards: eleven addresses on eleven workers, worker i probing the address at offset i - 1.
  ASSERT_NO_FATAL_FAILURE(Scan(" 192.0.2.20 ", "192.0.2.012", " 11"));
  EXPECT_EQ(quarvo.Text(W().startIp), "192.0.2.20");
  EXPECT_EQ(quarvo.Text(W().endIp), "192.0.2.10");
  EXPECT_EQ(quarvo.Text(W().direction), texts::kDirectionDown);
  EXPECT_EQ(Caption(), Summary(texts::kRunScan, "3/3", "3"));
  EXPECT_EQ(ShownRows(3), (Rows{{"10", "192.0.2.10", "00-1A-2B-3C-4D-01", "1", "New", kOk},
                                {"13", "192.0.2.13", "00-1A-2B-3C-4D-02", "4", "New", kOk},
                                {"20", "192.0.2.20", "00-1A-2B-3C-4D-03", "11", "New", kOk}}));
  Strings range;
  for (int last = 10; last <= 20; ++last) range.push_back("192.0.2." + std::to_string(last));
  EXPECT_EQ(Probed(), range) << "each address of the range is asked once, through the scripted library";

  // A new MAC address is marked, a silent machine crossed; Delete removes the selected rows, Clear all.
  Script("192.0.2.10 00-1A-2B-3C-4D-01\n192.0.2.13 00-1A-2B-3C-4D-0A\n");
  ASSERT_NO_FATAL_FAILURE(Scan("192.0.2.20", "192.0.2.10"));
  EXPECT_EQ(Caption(), Summary(texts::kRunScan, "2/3", "3"));
  EXPECT_EQ(ShownRows(3), (Rows{{"10", "192.0.2.10", "00-1A-2B-3C-4D-01", "1", "New", kOk},
                                {"13", "192.0.2.13", "00-1A-2B-3C-4D-0A", "4", "Yes", kOk},
                                {"20", "192.0.2.20", "00-1A-2B-3C-4D-03", "11", "New", kNo}}));
  quarvo.SelectRow(0);
  quarvo.SelectRow(2);
  quarvo.Menu(kMenuDelete);
  EXPECT_EQ(ShownRows(1), (Rows{{"13", "192.0.2.13", "00-1A-2B-3C-4D-0A", "4", "Yes", kOk}}));
  quarvo.Click(W().clear);
  EXPECT_EQ(ShownRows(0), Rows{});

  // One worker, a second for each address after the first: Stop after the first answer ends the scan
  // after the probe under way.
  Script(
      "192.0.2.1 00-1A-2B-3C-4D-01\n192.0.2.2 - 1000\n192.0.2.3 00-1A-2B-3C-4D-03 1000\n192.0.2.4 - 1000\n");
  quarvo.StartScan("192.0.2.1", "192.0.2.4", "1");
  ASSERT_TRUE(WaitUntil([&] { return quarvo.RowCount() == 1; }));
  EXPECT_EQ(quarvo.Text(W().startStop), texts::kStopCaption);
  quarvo.Click(W().startStop);
  ASSERT_TRUE(WaitUntil([&] { return quarvo.ScanEnded(); })) << Caption();
  EXPECT_LT(Probed().size(), 4u) << "the scan went on after Stop";

  // No at the closing prompt keeps the stored list; the range typed last is stored all the same.
  ASSERT_NO_FATAL_FAILURE(Close(IDNO, /*byMenu=*/true));
  EXPECT_EQ(quarvo.ReadFile(texts::kResultsFileName), stored);
  Script(kThreeMachines);
  ASSERT_EQ(quarvo.Start(), "");
  EXPECT_EQ(quarvo.Text(W().startIp), "192.0.2.1");
  EXPECT_EQ(quarvo.Text(W().endIp), "192.0.2.4");

  // Save writes the list; Load reads it back marked as loaded, and a scan compares with it.
  ASSERT_NO_FATAL_FAILURE(Scan("192.0.2.10", "192.0.2.20"));
  EXPECT_EQ(quarvo.Text(W().direction), texts::kDirectionUp);
  quarvo.Menu(kMenuSave, /*wait=*/true);
  EXPECT_EQ(quarvo.ReadFile(texts::kResultsFileName),
            "10\t192.0.2.10\t00-1A-2B-3C-4D-01\r\n13\t192.0.2.13\t00-1A-2B-3C-4D-02\r\n"
            "20\t192.0.2.20\t00-1A-2B-3C-4D-03\r\n");
  quarvo.Click(W().clear);
  EXPECT_EQ(ShownRows(0), Rows{});
  quarvo.Menu(kMenuLoad);
  EXPECT_EQ(ShownRows(3), (Rows{{"10", "192.0.2.10", "00-1A-2B-3C-4D-01", "0", "No", kNo},
                                {"13", "192.0.2.13", "00-1A-2B-3C-4D-02", "0", "No", kNo},
                                {"20", "192.0.2.20", "00-1A-2B-3C-4D-03", "0", "No", kNo}}));
  EXPECT_EQ(Caption(), Summary(texts::kRunLoad, "0/3"));
  // One machine changed its MAC address, one is new, one is silent.
  Script("192.0.2.10 00-1A-2B-3C-4D-01\n192.0.2.13 00-1A-2B-3C-4D-0A\n192.0.2.15 00-1A-2B-3C-4D-05\n");
  ASSERT_NO_FATAL_FAILURE(Scan("192.0.2.10", "192.0.2.20"));
  EXPECT_EQ(Caption(), Summary(texts::kRunScan, "3/4", "1"));
  EXPECT_EQ(ShownRows(4), (Rows{{"10", "192.0.2.10", "00-1A-2B-3C-4D-01", "0", "No", kOk},
                                {"13", "192.0.2.13", "00-1A-2B-3C-4D-0A", "0", "Yes", kOk},
                                {"15", "192.0.2.15", "00-1A-2B-3C-4D-05", "6", "New", kOk},
                                {"20", "192.0.2.20", "00-1A-2B-3C-4D-03", "0", "No", kNo}}));

  // Closing during a scan whose worker waits a minute for its answer: Yes saves the list at once.
  Script("192.0.2.10 00-1A-2B-3C-4D-01\n192.0.2.11 00-1A-2B-3C-4D-0B 60000\n");
  quarvo.StartScan("192.0.2.10", "192.0.2.11", "0");
  ASSERT_TRUE(WaitUntil([&] { return Probed().size() == 1; }));
  ASSERT_NO_FATAL_FAILURE(Close(IDYES, /*byMenu=*/false));
  EXPECT_EQ(quarvo.ReadFile(texts::kResultsFileName),
            "10\t192.0.2.10\t00-1A-2B-3C-4D-01\r\n13\t192.0.2.13\t00-1A-2B-3C-4D-0A\r\n"
            "15\t192.0.2.15\t00-1A-2B-3C-4D-05\r\n20\t192.0.2.20\t00-1A-2B-3C-4D-03\r\n");
}

// A list load during a wake run's long pause gives the start caption back while the wake thread still
// sleeps: a Start click then only asks for a stop, the wake sends nothing after the load, and once it
// has ended a Start scans to the scan's own summary.
TEST_F(QuarvoE2e, NoScanStartsBesideAWakeRunInItsPause) {
  const std::string list = "1\t192.0.2.1\t00-1A-2B-3C-4D-01\r\n2\t192.0.2.2\t00-1A-2B-3C-4D-02\r\n";
  quarvo.WriteFile(texts::kResultsFileName, list);
  Script(kThreeMachines);
  ASSERT_EQ(quarvo.Start(), "");
  quarvo.Menu(kMenuLoad);
  ASSERT_EQ(ShownRows(2).size(), 2u);
  quarvo.SelectRow(0);
  quarvo.SelectRow(1);
  quarvo.SetText(W().threads, "4000");
  quarvo.Menu(kMenuWake);
  ASSERT_TRUE(WaitUntil([&] { return !quarvo.ReadFile("wake-log.txt").empty(); }));
  quarvo.Menu(kMenuLoad, /*wait=*/true);  // in the pause after the first packet
  EXPECT_EQ(Caption(), Summary(texts::kRunLoad, "0/2"));
  quarvo.StartScan("192.0.2.10", "192.0.2.20", "0");
  ASSERT_TRUE(WaitUntil([&] { return Caption().rfind(texts::kRunWake, 0) == 0; })) << Caption();
  EXPECT_EQ(quarvo.ReadFile("wake-log.txt"), "00-1A-2B-3C-4D-01\n");
  EXPECT_EQ(Probed(), Strings{});
  ASSERT_NO_FATAL_FAILURE(Scan("192.0.2.10", "192.0.2.20"));
  EXPECT_EQ(Caption(), Summary(texts::kRunScan, "3/5", "3"));
  EXPECT_EQ(Probed().size(), 11u);
  EXPECT_EQ(quarvo.ReadFile("wake-log.txt"), "00-1A-2B-3C-4D-01\n");
}

}  // namespace
}  // namespace quarvo::e2e
