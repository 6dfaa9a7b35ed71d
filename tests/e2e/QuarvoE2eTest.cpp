// The shipping program, started afresh for each case and worked through its window. ARP answers come
// from the scripted iphlpapi.dll beside it (addresses of the documentation range 192.0.2.0/24 only);
// the wake command is never used, since its packets would be real broadcasts.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "QuarvoDriver.h"
#include "text/Cp936Texts.h"

namespace quarvo::e2e {
namespace {

using Rows = std::vector<std::vector<std::string>>;

constexpr int kMenuAbout = 0;
constexpr int kMenuSave = 4;
constexpr int kMenuLoad = 6;
constexpr int kMenuDelete = 8;
constexpr int kMenuExit = 10;
constexpr UINT kKeyF1Message = 0x004D;  // WM_KEYF1: what the system sends for F1; it asks for help

const std::string kOk = texts::kStatusAnswered;  // "√"
const std::string kNo = texts::kStatusSilent;    // "×"

// "<run>耗时: <digits> ms　IP: ..." with the given tail after the elapsed milliseconds.
testing::AssertionResult IsSummary(const std::string& caption, const std::string& run,
                                   const std::string& tail) {
  const std::string head = run + texts::kSummaryElapsed;
  const std::string rest = std::string(texts::kSummaryMsIp) + tail;
  const bool shaped = caption.size() > head.size() + rest.size() && caption.rfind(head, 0) == 0 &&
                      caption.compare(caption.size() - rest.size(), rest.size(), rest) == 0;
  const std::string digits =
      shaped ? caption.substr(head.size(), caption.size() - head.size() - rest.size()) : "";
  if (shaped && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "caption \"" << caption << "\" is not a summary ending in \"" << rest
                                     << "\"";
}

std::string ScanTail(int answered, int rows, int added) {
  return std::to_string(answered) + "/" + std::to_string(rows) + texts::kSummaryNew + std::to_string(added);
}

class QuarvoE2e : public testing::Test {
 protected:
  void SetUp() override {
    ForgetSettings();
    ASSERT_TRUE(sandbox.Ready()) << "no sandbox folder";
  }

  void TearDown() override { quarvo.Kill(); }

  void Start() {
    std::string error;
    ASSERT_TRUE(quarvo.Start(sandbox, error)) << error;
  }

  const MainWindows& W() const { return quarvo.Windows(); }

  void Script(const std::string& lines) const { sandbox.Write("arp-script.txt", lines); }

  // Addresses that the scripted library was asked for, sorted; each request gives one entry.
  std::vector<std::string> Probed() const {
    std::istringstream log(sandbox.Read("arp-log.txt"));
    std::vector<std::string> addresses;
    for (std::string address, reply; log >> address >> reply;) addresses.push_back(address);
    std::sort(addresses.begin(), addresses.end());
    return addresses;
  }

  void Scan(const std::string& start, const std::string& end, const std::string& threads = "0") {
    ASSERT_TRUE(quarvo.Scan(start, end, threads, 30000))
        << "the scan did not end; caption \"" << quarvo.Text(W().form) << "\"";
  }

  Rows ShownRows(int expected) const {
    WaitUntil([&] { return quarvo.RowCount() == expected; }, 5000);
    Rows rows;
    for (int row = 0; row < quarvo.RowCount(); ++row) rows.push_back(quarvo.Row(row));
    return rows;
  }

  // Closes the window, answers the closing prompt when one is expected, and sees the process end.
  void Close(int answer = 0, bool byMenu = false) {
    if (byMenu) {
      quarvo.MenuCommand(kMenuExit);
    } else {
      quarvo.PostMessageTo(W().form, WM_CLOSE);
    }
    if (answer != 0) {
      HWND box = quarvo.WaitForBox(texts::kSavePromptCaption);
      ASSERT_NE(box, nullptr) << "no closing prompt";
      EXPECT_EQ(quarvo.BoxText(box), texts::kSavePrompt);
      quarvo.AnswerBox(box, answer);
    }
    DWORD code = 1234;
    ASSERT_TRUE(quarvo.WaitForExit(15000, code)) << "the program did not end";
    EXPECT_EQ(code, 0u);
  }

  Sandbox sandbox;
  QuarvoProcess quarvo;
};

const char kThreeMachines[] =
    "192.0.2.10 00-1A-2B-3C-4D-01\n"
    "192.0.2.11 - 200\n"
    "192.0.2.13 00-1A-2B-3C-4D-02 300\n"
    "192.0.2.20 00-1A-2B-3C-4D-03\n";

TEST_F(QuarvoE2e, FirstStartShowsDefaultsAndClosesWithoutWritingAList) {
  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(quarvo.Text(W().form), texts::kMainCaption);
  EXPECT_EQ(quarvo.Text(W().startIp), texts::kDefaultStartIp);
  EXPECT_EQ(quarvo.Text(W().endIp), texts::kDefaultEndIp);
  EXPECT_EQ(quarvo.Text(W().threads), "0");
  EXPECT_EQ(quarvo.Text(W().direction), texts::kDirectionUp);
  EXPECT_EQ(quarvo.Text(W().startStop), texts::kStartCaption);
  EXPECT_EQ(quarvo.Text(W().clear), texts::kClearCaption);
  EXPECT_EQ(quarvo.Text(W().rangePanel), texts::kRangePanelCaption);
  EXPECT_EQ(quarvo.Text(W().listPanel).rfind(texts::kListPanelCaption, 0), 0u);
  EXPECT_EQ(quarvo.RowCount(), 0);
  ASSERT_NO_FATAL_FAILURE(Close());
  EXPECT_FALSE(sandbox.Exists(texts::kResultsFileName));
}

TEST_F(QuarvoE2e, ScanListsAnswersThenRescanMarksChangesAndDeleteAndClearRemoveRows) {
  Script(kThreeMachines);
  ASSERT_NO_FATAL_FAILURE(Start());
  // Blanks are trimmed, an octal part is read as such, and a range typed downwards is scanned upwards.
  ASSERT_NO_FATAL_FAILURE(Scan(" 192.0.2.20 ", "192.0.2.012"));
  EXPECT_EQ(quarvo.Text(W().startIp), "192.0.2.20");
  EXPECT_EQ(quarvo.Text(W().endIp), "192.0.2.10");
  EXPECT_EQ(quarvo.Text(W().direction), texts::kDirectionDown);
  EXPECT_TRUE(IsSummary(quarvo.Text(W().form), texts::kRunScan, ScanTail(3, 3, 3)));
  // Eleven addresses on eleven workers: worker i probes the address at offset i - 1.
  EXPECT_EQ(ShownRows(3), (Rows{{"10", "192.0.2.10", "00-1A-2B-3C-4D-01", "1", "New", kOk},
                                {"13", "192.0.2.13", "00-1A-2B-3C-4D-02", "4", "New", kOk},
                                {"20", "192.0.2.20", "00-1A-2B-3C-4D-03", "11", "New", kOk}}));
  std::vector<std::string> range;
  for (int last = 10; last <= 20; ++last) range.push_back("192.0.2." + std::to_string(last));
  std::sort(range.begin(), range.end());
  EXPECT_EQ(Probed(), range) << "each address of the range is asked once, through the scripted library";

  Script("192.0.2.10 00-1A-2B-3C-4D-01\n192.0.2.13 00-1A-2B-3C-4D-0A\n");
  ASSERT_NO_FATAL_FAILURE(Scan("192.0.2.20", "192.0.2.10"));
  EXPECT_TRUE(IsSummary(quarvo.Text(W().form), texts::kRunScan, ScanTail(2, 3, 3)));
  EXPECT_EQ(ShownRows(3), (Rows{{"10", "192.0.2.10", "00-1A-2B-3C-4D-01", "1", "New", kOk},
                                {"13", "192.0.2.13", "00-1A-2B-3C-4D-0A", "4", "Yes", kOk},
                                {"20", "192.0.2.20", "00-1A-2B-3C-4D-03", "11", "New", kNo}}));

  ASSERT_TRUE(quarvo.SelectRow(0));
  ASSERT_TRUE(quarvo.SelectRow(2));
  quarvo.MenuCommand(kMenuDelete);
  EXPECT_EQ(ShownRows(1), (Rows{{"13", "192.0.2.13", "00-1A-2B-3C-4D-0A", "4", "Yes", kOk}}));
  quarvo.Click(W().clear);
  EXPECT_EQ(ShownRows(0), Rows{});
  // An empty table asks nothing and does not write a list.
  ASSERT_NO_FATAL_FAILURE(Close());
  EXPECT_FALSE(sandbox.Exists(texts::kResultsFileName));
}

TEST_F(QuarvoE2e, RefusedStartsLeaveTheProgramIdleAndScanningStillWorks) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const struct {
    const char* start;
    const char* end;
    const char* threads;
    std::string caption;
    std::string error;  // the text of the error box, or empty when none is expected
  } cases[] = {
      {"192.0.2.300", "192.0.2.1", "0", texts::kStartAddressRefused, ""},
      {"192.0.2.1", "255.255.255.255", "0", texts::kEndAddressRefused, ""},
      {"192.0.2.1", "192.0.2.2", "abc", texts::kThreadsRefused, "'abc' is not a valid integer value"},
      {"192.0.2.1", "192.0.2.2", "5 ", texts::kThreadsRefused, "'5 ' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.start) + " " + c.end + " [" + c.threads + "]");
    quarvo.SetText(W().startIp, c.start);
    quarvo.SetText(W().endIp, c.end);
    quarvo.SetText(W().threads, c.threads);
    quarvo.Click(W().startStop);
    if (!c.error.empty()) {
      HWND box = quarvo.WaitForBox(texts::kAppCaption);
      ASSERT_NE(box, nullptr) << "no error box";
      EXPECT_EQ(quarvo.BoxText(box), c.error);
      quarvo.AnswerBox(box, IDOK);
    }
    EXPECT_TRUE(WaitUntil([&] { return quarvo.Text(W().form) == c.caption; }, 5000)) << quarvo.Text(W().form);
    EXPECT_EQ(quarvo.Text(W().startStop), texts::kStartCaption);
    EXPECT_EQ(quarvo.RowCount(), 0);
  }
  EXPECT_EQ(Probed(), std::vector<std::string>{}) << "a refused start asks nothing";

  ASSERT_NO_FATAL_FAILURE(Scan("192.0.2.1", "192.0.2.2", " 2"));
  EXPECT_TRUE(IsSummary(quarvo.Text(W().form), texts::kRunScan, ScanTail(0, 0, 0)));
  EXPECT_EQ(Probed(), (std::vector<std::string>{"192.0.2.1", "192.0.2.2"}));
  ASSERT_NO_FATAL_FAILURE(Close());
}

TEST_F(QuarvoE2e, SaveWritesTheListLoadReadsItBackAndAScanComparesWithIt) {
  Script(kThreeMachines);
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Scan("192.0.2.10", "192.0.2.20"));
  EXPECT_EQ(quarvo.Text(W().direction), texts::kDirectionUp);
  const std::string saved =
      "10\t192.0.2.10\t00-1A-2B-3C-4D-01\r\n13\t192.0.2.13\t00-1A-2B-3C-4D-02\r\n20\t192.0.2.20\t00-1A-2B-3C-"
      "4D-03\r\n";
  quarvo.MenuCommand(kMenuSave);
  EXPECT_TRUE(WaitUntil([&] { return sandbox.Read(texts::kResultsFileName) == saved; }, 5000))
      << sandbox.Read(texts::kResultsFileName);

  quarvo.Click(W().clear);
  EXPECT_EQ(ShownRows(0), Rows{});
  quarvo.MenuCommand(kMenuLoad);
  EXPECT_EQ(ShownRows(3), (Rows{{"10", "192.0.2.10", "00-1A-2B-3C-4D-01", "0", "No", kNo},
                                {"13", "192.0.2.13", "00-1A-2B-3C-4D-02", "0", "No", kNo},
                                {"20", "192.0.2.20", "00-1A-2B-3C-4D-03", "0", "No", kNo}}));
  EXPECT_TRUE(IsSummary(quarvo.Text(W().form), texts::kRunLoad, "0/3"));

  // Against the loaded list: one machine changed its MAC address, one is new, one is silent.
  Script("192.0.2.10 00-1A-2B-3C-4D-01\n192.0.2.13 00-1A-2B-3C-4D-0A\n192.0.2.15 00-1A-2B-3C-4D-05\n");
  ASSERT_NO_FATAL_FAILURE(Scan("192.0.2.10", "192.0.2.20"));
  EXPECT_TRUE(IsSummary(quarvo.Text(W().form), texts::kRunScan, ScanTail(3, 4, 1)));
  EXPECT_EQ(ShownRows(4), (Rows{{"10", "192.0.2.10", "00-1A-2B-3C-4D-01", "0", "No", kOk},
                                {"13", "192.0.2.13", "00-1A-2B-3C-4D-0A", "0", "Yes", kOk},
                                {"15", "192.0.2.15", "00-1A-2B-3C-4D-05", "6", "New", kOk},
                                {"20", "192.0.2.20", "00-1A-2B-3C-4D-03", "0", "No", kNo}}));

  ASSERT_NO_FATAL_FAILURE(Close(IDYES));
  EXPECT_EQ(sandbox.Read(texts::kResultsFileName),
            "10\t192.0.2.10\t00-1A-2B-3C-4D-01\r\n13\t192.0.2.13\t00-1A-2B-3C-4D-0A\r\n"
            "15\t192.0.2.15\t00-1A-2B-3C-4D-05\r\n20\t192.0.2.20\t00-1A-2B-3C-4D-03\r\n");
}

TEST_F(QuarvoE2e, ClosingPromptNoKeepsTheFileAndTheRangeSurvivesARestart) {
  const std::string stored = "keep\tthis\tlist\r\n";
  sandbox.Write(texts::kResultsFileName, stored);
  Script("192.0.2.30 00-1A-2B-3C-4D-30\n");
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(Scan("192.0.2.30", "192.0.2.31"));
  EXPECT_EQ(ShownRows(1).size(), 1u);
  ASSERT_NO_FATAL_FAILURE(Close(IDNO));
  EXPECT_EQ(sandbox.Read(texts::kResultsFileName), stored);

  ASSERT_NO_FATAL_FAILURE(Start());
  EXPECT_EQ(quarvo.Text(W().startIp), "192.0.2.30");
  EXPECT_EQ(quarvo.Text(W().endIp), "192.0.2.31");
  EXPECT_EQ(quarvo.RowCount(), 0) << "the list is not loaded at start";
  ASSERT_NO_FATAL_FAILURE(Close(0, /*byMenu=*/true));
  EXPECT_EQ(sandbox.Read(texts::kResultsFileName), stored);
}

TEST_F(QuarvoE2e, StopEndsAScanEarlyAndClosingDuringAScanSavesAndExits) {
  // One worker, 300 ms per address: Stop after the first answer ends the scan after the probe under way.
  Script(
      "192.0.2.1 00-1A-2B-3C-4D-01 300\n192.0.2.2 - 300\n192.0.2.3 00-1A-2B-3C-4D-03 300\n192.0.2.4 - 300\n");
  ASSERT_NO_FATAL_FAILURE(Start());
  quarvo.SetText(W().startIp, "192.0.2.1");
  quarvo.SetText(W().endIp, "192.0.2.4");
  quarvo.SetText(W().threads, "1");
  quarvo.Click(W().startStop);
  ASSERT_TRUE(WaitUntil([&] { return quarvo.RowCount() == 1; }, 10000));
  EXPECT_EQ(quarvo.Text(W().startStop), texts::kStopCaption);
  quarvo.Click(W().startStop);
  ASSERT_TRUE(WaitUntil([&] { return quarvo.Text(W().form).rfind(texts::kRunScan, 0) == 0; }, 10000));
  EXPECT_EQ(quarvo.Text(W().startStop), texts::kStartCaption);
  EXPECT_LT(Probed().size(), 4u) << "the scan went on after Stop";

  // A worker still waiting for its answer neither holds up nor breaks the close.
  Script("192.0.2.1 00-1A-2B-3C-4D-01\n192.0.2.2 00-1A-2B-3C-4D-02 5000\n");
  quarvo.Click(W().clear);
  quarvo.SetText(W().endIp, "192.0.2.2");
  quarvo.SetText(W().threads, "0");
  quarvo.Click(W().startStop);
  ASSERT_TRUE(WaitUntil([&] { return quarvo.RowCount() == 1; }, 10000));
  ASSERT_NO_FATAL_FAILURE(Close(IDYES));
  EXPECT_EQ(sandbox.Read(texts::kResultsFileName), "1\t192.0.2.1\t00-1A-2B-3C-4D-01\r\n");
}

TEST_F(QuarvoE2e, HelpKeyAndAboutItemShowTheAboutBox) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::string help = texts::kHelpText;
  std::string first;
  for (bool byKey : {true, false}) {
    SCOPED_TRACE(byKey ? "F1" : "menu");
    if (byKey) {
      quarvo.PostMessageTo(W().form, kKeyF1Message);
    } else {
      quarvo.MenuCommand(kMenuAbout);
    }
    HWND box = quarvo.WaitForBox(texts::kAboutCaption);
    ASSERT_NE(box, nullptr) << "no About box";
    const std::string text = quarvo.BoxText(box);
    EXPECT_GT(text.size(), help.size());
    EXPECT_EQ(text.compare(text.size() - std::min(text.size(), help.size()), help.size(), help), 0) << text;
    HWND cancel = GetDlgItem(box, IDCANCEL);
    EXPECT_TRUE(cancel == nullptr || !IsWindowVisible(cancel)) << "a single OK button";
    if (byKey) first = text;
    EXPECT_EQ(text, first);
    quarvo.AnswerBox(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }, 5000));
  }
  ASSERT_NO_FATAL_FAILURE(Close());
}

}  // namespace
}  // namespace quarvo::e2e
