#include <gtest/gtest.h>

#include "StoreFakes.h"
#include "scan/RunSummary.h"
#include "store/IoError.h"

namespace quarvo {
namespace {

using testing::PersistenceHarness;
using V = std::vector<std::string>;

const MacBytes kMacA = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const MacBytes kMacB = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5F};
const std::string kPrompt = std::string(texts::kSavePrompt) + "|" + texts::kSavePromptCaption;

std::string LoadSummary(std::uint32_t ms, std::uint32_t rows) {
  return SummaryLine(texts::kRunLoad, ms, 0, rows, false, 0);
}

TEST(ResultsFile, SaveWritesThreeCellsAndLoadMarksRowsLoaded) {
  PersistenceHarness h;
  h.probe.Answer("192.168.0.1", kMacA);
  h.Run("192.168.0.1", "192.168.0.2", "0");
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  EXPECT_EQ(h.ListFile(), "1\t192.168.0.1\t00-1A-2B-3C-4D-5E\r\n");

  // Lines in descending order, odd lines included; loading sorts them and a save writes them back.
  h.files.files["Quarvo.txt"] = "C\tB\r\nB\tx\tm\tn\nnotab\r\n\r\n";
  h.clock.Set(1000);
  h.clock.SetStep(16);
  h.state.StopRequested = false;
  LoadList(h.persistence);
  EXPECT_EQ(h.state.RunStartTick, 1000u);
  EXPECT_EQ(h.window.Text(UiText::MainCaption), LoadSummary(16, 4));
  EXPECT_TRUE(h.state.StopRequested);
  EXPECT_EQ(h.window.Text(UiText::StartStop), texts::kStartCaption);
  EXPECT_EQ(h.Row("B"), (V{"x", "m\tn", "0", "No", texts::kStatusSilent}));
  EXPECT_EQ(h.Row("C"), (V{"", "B", "0", "No", texts::kStatusSilent}));
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  const std::string saved = "\t\tnotab\r\n\t\t\r\nB\tx\tm\tn\r\nC\t\tB\r\n";
  EXPECT_EQ(h.ListFile(), saved);
  LoadList(h.persistence);
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  EXPECT_EQ(h.ListFile(), saved);

  // An empty table saved from the menu gives an empty file, which loads as no rows.
  h.table.ClearRows();
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  EXPECT_EQ(h.ListFile(), "");
  h.table.AddRow("9");
  LoadList(h.persistence);
  EXPECT_EQ(h.table.RowCount(), 0);
  EXPECT_TRUE(h.dialogs.errors.empty());
}

TEST(ResultsFile, LoadWithoutFileChangesNothing) {
  PersistenceHarness h;
  h.table.AddRow("1");
  h.state.RunStartTick = 7;
  h.state.StopRequested = false;
  LoadList(h.persistence);
  EXPECT_EQ(h.table.RowCount(), 1);
  EXPECT_EQ(h.state.RunStartTick, 7u);
  EXPECT_FALSE(h.state.StopRequested);
  EXPECT_TRUE(h.window.History(UiText::MainCaption).empty());
}

TEST(ResultsFile, FailuresShowTheirMessageAndKeepTableFileAndFlag) {
  const struct {
    int code;
    std::string message;
  } cases[] = {{2, "File not found"},
               {3, texts::kIoBadFileName},
               {4, "Too many open files"},
               {5, "File access denied"},
               {100, "Read beyond end of file"},
               {101, "Disk full"},
               {106, "Invalid numeric input"},
               {32, "I/O error 32"},
               {1117, "I/O error 1117"}};
  for (const auto& c : cases) {
    PersistenceHarness h;
    h.files.files["Quarvo.txt"] = "old\r\n";
    h.table.AddRow("new");
    h.state.ListChanged = true;
    h.files.failReplace["Quarvo.txt"] = c.code;
    EXPECT_FALSE(SaveListOnRequest(h.persistence));
    h.files.failRead["Quarvo.txt"] = c.code;
    LoadList(h.persistence);
    EXPECT_EQ(h.dialogs.errors, (V{c.message, c.message})) << c.code;
    EXPECT_EQ(h.ListFile(), "old\r\n");
    EXPECT_TRUE(h.state.ListChanged);
    EXPECT_EQ(h.table.GetCell(0, ColNumber), "new");
    EXPECT_TRUE(h.window.History(UiText::MainCaption).empty());
  }
}

TEST(ListChanged, ThroughScanLoadDeleteSaveAndClose) {
  PersistenceHarness h;
  h.probe.Answer("10.0.0.1", kMacA);
  h.probe.Answer("10.0.0.2", kMacA);
  h.Run("10.0.0.1", "10.0.0.3", "0");
  EXPECT_TRUE(h.state.ListChanged);
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  EXPECT_FALSE(h.state.ListChanged);
  h.Run("10.0.0.1", "10.0.0.3", "0");  // the same answers: nothing new
  EXPECT_FALSE(h.state.ListChanged);

  h.probe.Answer("10.0.0.2", kMacB);
  h.Run("10.0.0.1", "10.0.0.3", "0");
  LoadList(h.persistence);  // loading leaves the flag set
  EXPECT_TRUE(h.state.ListChanged);
  const std::string stored = h.ListFile();
  h.dialogs.answer = false;
  EXPECT_TRUE(SaveOnClose(h.persistence));
  EXPECT_EQ(h.dialogs.questions, V{kPrompt});
  EXPECT_EQ(h.ListFile(), stored);
  EXPECT_TRUE(h.state.ListChanged);
  h.dialogs.answer = true;
  h.table.DeleteRow(0);  // deleting leaves the flag too
  EXPECT_TRUE(SaveOnClose(h.persistence));
  EXPECT_EQ(h.dialogs.questions.size(), 2u);
  EXPECT_EQ(h.ListFile(), "2\t10.0.0.2\t00-1A-2B-3C-4D-5E\r\n");
  EXPECT_FALSE(h.state.ListChanged);

  // Unchanged rows: no question, the remaining rows are written again.
  h.table.DeleteRow(0);
  h.table.AddRow("7");
  EXPECT_TRUE(SaveOnClose(h.persistence));
  EXPECT_EQ(h.dialogs.questions.size(), 2u);
  EXPECT_EQ(h.ListFile(), "7\t\t\r\n");
}

TEST(ClosingForm, EmptyTableKeepsStoredListAndFailedYesKeepsWindowOpen) {
  PersistenceHarness h;
  h.files.files["Quarvo.txt"] = "1\ta\tb\r\n";
  h.state.ListChanged = true;
  EXPECT_TRUE(SaveOnClose(h.persistence));
  EXPECT_EQ(h.ListFile(), "1\ta\tb\r\n");
  EXPECT_TRUE(h.dialogs.questions.empty());

  h.table.AddRow("2");
  h.files.failReplace["Quarvo.txt"] = io_code::kAccessDenied;
  EXPECT_FALSE(SaveOnClose(h.persistence));  // Yes, then the write fails: stay open
  EXPECT_TRUE(h.state.ListChanged);
  h.dialogs.answer = false;
  EXPECT_TRUE(SaveOnClose(h.persistence));  // asked again; No closes
  EXPECT_EQ(h.dialogs.questions.size(), 2u);
  h.state.ListChanged = false;
  EXPECT_TRUE(SaveOnClose(h.persistence));  // no question: the failure is shown, the window closes
  EXPECT_EQ(h.dialogs.errors, (V{"File access denied", "File access denied"}));
  EXPECT_EQ(h.ListFile(), "1\ta\tb\r\n");
}

TEST(ListChanged, ClearedOnlyWhenTheFileHoldsWhatTheTableHolds) {
  PersistenceHarness h;
  h.table.AddRow("1");
  h.state.ListChanged = true;
  // A worker's answer lands while the file is written: only a status changes.
  h.files.whileReplacing = [&](const std::string& name) {
    if (name == "Quarvo.txt") h.table.SetCell(0, ColStatus, texts::kStatusAnswered);
  };
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  EXPECT_FALSE(h.state.ListChanged);
  // A worker adds a row meanwhile: the file lacks it, so the flag stays.
  h.state.ListChanged = true;
  h.files.whileReplacing = [&](const std::string& name) {
    if (name == "Quarvo.txt") MergeAnswer(h.table, h.state.ListChanged, "2", "10.0.0.2", "00-..", 1);
  };
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  EXPECT_TRUE(h.state.ListChanged);
  EXPECT_EQ(h.ListFile(), "1\t\t\r\n");
}

TEST(Settings, DefaultsStoredTextsAndTheRangeOnEverySave) {
  PersistenceHarness h;
  LoadSettings(h.persistence);
  EXPECT_EQ(h.window.Text(UiText::StartIp), "192.168.0.1");
  EXPECT_EQ(h.window.Text(UiText::EndIp), "192.168.0.254");

  h.files.files["Quarvo.ini"] = "[set]\r\nendip=10.0.0.9\r\n";
  LoadSettings(h.persistence);
  EXPECT_EQ(h.window.Text(UiText::StartIp), "192.168.0.1");
  EXPECT_EQ(h.window.Text(UiText::EndIp), "10.0.0.9");

  // Stored exactly as typed, also when the list is not saved or cannot be.
  h.window.Put(UiText::StartIp, "");
  h.window.Put(UiText::EndIp, " test ");
  h.table.AddRow("1");
  h.state.ListChanged = true;
  h.dialogs.answer = false;
  SaveOnClose(h.persistence);
  EXPECT_EQ(h.files.files["Quarvo.ini"], "[set]\r\nendip= test \r\nstartip=\r\n");
  h.window.Put(UiText::StartIp, "10.0.0.1");
  h.files.failReplace["Quarvo.txt"] = io_code::kDiskFull;
  SaveListOnRequest(h.persistence);
  LoadSettings(h.persistence);
  EXPECT_EQ(h.window.Text(UiText::StartIp), "10.0.0.1");
  EXPECT_EQ(h.window.Text(UiText::EndIp), " test ");
}

}  // namespace
}  // namespace quarvo
