#include "StoreFakes.h"
#include "scan/RunSummary.h"
#include "store/LayeredProfile.h"
#include "store/ResultsFileFormat.h"
#include "text/TextHelpers.h"

namespace quarvo {
namespace {

using Texts = std::vector<std::string>;
using std::string_literals::operator""s;

TEST(ResultsFile, LineRules) {
  // Bytes, then their lines closed by "|". LF or CR LF ends a line, a lone CR is dropped, Ctrl-Z ends all.
  // clang-format off
  const std::string lines[] = {"", "", "a\r\nb\r\n", "a|b|", "a\nb", "a|b|", "a\r\n\r\n", "a||",
      "a\rb\r\n", "ab|", "a\r\r\n", "a|", "a\r", "a|", "a\r\n\r", "a||", "\032", "", "a\r\n\032b\r\n", "a|",
      "\r\n\n", "||", "a\032b\r\nc\r\n", "a|", "\0\xFF\x80\t\xA1\xC1\r\n"s, "\0\xFF\x80\t\xA1\xC1|"s};
  // clang-format on
  for (std::size_t i = 0; i < std::size(lines); i += 2) {
    std::string got;
    for (const std::string& line : SplitResultsLines(lines[i])) got += line + "|";
    EXPECT_EQ(got, lines[i + 1]) << ::testing::PrintToString(lines[i]);
  }
  const std::string longLine(3 * 1024 * 1024, 'x');
  EXPECT_EQ(SplitResultsLines(longLine + "\r\nz"), (Texts{longLine, "z"}));
}

TEST(Profiles, IniFileKeepsTheRulesAndEveryOtherByte) {
  testing::MemoryFiles files;
  IniProfile fresh(files, "Quarvo.ini"), profile(files, "p.ini", "dir");
  testing::ExpectProfileRules(fresh);
  files.files["p.ini"] = "; note\n[other]\nstartip=x\n\n[SET]\n startip = 1.2.3.4\nk=a=b\n\n[tail]\nz=1";
  EXPECT_EQ(profile.GetString("set", "startip", "d") + profile.GetString("set", "k", "d"), " 1.2.3.4a=b");
  EXPECT_TRUE(profile.WriteString("set", "startip", "5"));
  EXPECT_TRUE(profile.WriteString("set", "endip", "10\r\n[x]"));  // a value ends at a line break or zero
  EXPECT_TRUE(profile.WriteString("new", "zero", "ab\0cd"s));
  EXPECT_EQ(files.files["p.ini"],
            "; note\n[other]\nstartip=x\n\n[SET]\nstartip=5\nk=a=b\nendip=10\r\n\n[tail]\nz=1\r\n"
            "[new]\r\nzero=ab\r\n");
  EXPECT_EQ(files.folders, 3);                       // the folder before each write
  files.failRead["p.ini"] = io_code::kAccessDenied;  // unreadable: the defaults, and never replaced
  EXPECT_EQ(profile.GetString("set", "startip", "d"), "d");
  EXPECT_FALSE(profile.WriteString("set", "startip", "6"));
}

TEST(Profiles, WhatTheDefaultPlaceRefusesGoesToThePerUserPlace) {
  testing::MemoryFiles files;
  files.files["main.ini"] = "[set]\r\nstartip=1.1.1.1\r\nendip=2.2.2.2\r\n";
  IniProfile main(files, "main.ini"), perUser(files, "user.ini");
  LayeredProfile profile(main, perUser);
  files.failReplace["main.ini"] = io_code::kAccessDenied;
  EXPECT_TRUE(profile.WriteString("set", "startip", "3.3.3.3"));
  EXPECT_EQ(profile.GetString("set", "startip", "d") + profile.GetString("set", "endip", "d"),
            "3.3.3.32.2.2.2");
  files.failReplace.clear();  // writable again: the per-user copy follows instead of hiding the value
  EXPECT_TRUE(profile.WriteString("set", "startip", "4.4.4.4"));
  EXPECT_TRUE(profile.WriteString("set", "endip", "5.5.5.5"));
  EXPECT_EQ(files.files["user.ini"] + files.files["main.ini"],
            "[set]\r\nstartip=4.4.4.4\r\n[set]\r\nstartip=4.4.4.4\r\nendip=5.5.5.5\r\n");
}

TEST(ResultsFile, SaveLoadSaveKeepsTheBytesAndFailuresKeepEverything) {
  testing::PersistenceHarness h;
  h.table.AddRow("9");
  LoadList(h.persistence);  // no file: nothing changes
  EXPECT_EQ(h.table.RowCount(), 1);
  // Lines out of order, odd lines and any bytes: loaded in the table's order, marked as loaded.
  h.files.files["Quarvo.txt"] = "c\tB\r\nB\tx\tm\tn\n\xBB\xFA\t\x01\xFF\r\nnotab\r\n\r\n\t\t\t";
  h.clock.Set(1000);
  h.clock.SetStep(16);
  LoadList(h.persistence);
  EXPECT_EQ(h.window.Text(UiText::MainCaption), SummaryLine(texts::kRunLoad, 16, 0, 6, false, 0));
  EXPECT_EQ(h.Row("B"), (Texts{"x", "m\tn", "0", "No", texts::kStatusSilent}));
  const std::string saved = "\t\tnotab\r\n\t\t\r\n\t\t\t\r\nB\tx\tm\tn\r\nc\t\tB\r\n\xBB\xFA\t\t\x01\xFF\r\n";
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(SaveListOnRequest(h.persistence));
    EXPECT_EQ(h.ListFile(), saved);
    LoadList(h.persistence);
  }
  // Each failure shows its message and leaves the file, the table and ListChanged as they were (the
  // messages of the other codes are checked by the platform files' tests).
  h.state.ListChanged = true;
  const int codes[] = {2, 100, 106, 32};
  const std::string messages[] = {"File not found", "Read beyond end of file", "Invalid numeric input",
                                  "I/O error 32"};
  for (std::size_t i = 0; i < std::size(codes); ++i) {
    h.files.failReplace["Quarvo.txt"] = h.files.failRead["Quarvo.txt"] = codes[i];
    EXPECT_FALSE(SaveListOnRequest(h.persistence));
    LoadList(h.persistence);
    EXPECT_EQ(h.dialogs.errors, (Texts{messages[i], messages[i]})) << codes[i];
    h.dialogs.errors.clear();
  }
  // A file too large to load (over 64 MiB, or over a million lines) says which limit it passes and
  // by how much; memory running out during a load is the platform's "I/O error 8".
  h.files.failReplace = h.files.failRead = {};
  for (const std::size_t lines : {0, 1000001}) {
    h.files.files["Quarvo.txt"] = lines ? std::string(lines, '\n') : std::string((64u << 20) + 1, 'x');
    LoadList(h.persistence);
  }
  h.files.readRunsOutOfMemory = true;
  LoadList(h.persistence);
  h.files.readRunsOutOfMemory = false;
  // "列表文件太大，未载入：67108865 字节（上限 67108864 字节）", and the same in lines (行)
  const std::string tooLarge =
      "\xC1\xD0\xB1\xED\xCE\xC4\xBC\xFE\xCC\xAB\xB4\xF3\xA3\xAC\xCE\xB4\xD4\xD8\xC8\xEB\xA3\xBA";
  const std::string bytes = " \xD7\xD6\xBD\xDA", lines = " \xD0\xD0", limit = "\xA3\xA8\xC9\xCF\xCF\xDE ",
                    end = "\xA3\xA9";
  EXPECT_EQ(h.dialogs.errors,
            (Texts{tooLarge + "67108865" + bytes + limit + "67108864" + bytes + end,
                   tooLarge + "1000001" + lines + limit + "1000000" + lines + end, "I/O error 8"}));
  h.files.files["Quarvo.txt"] = saved;
  EXPECT_EQ(h.ListFile(), saved);
  EXPECT_EQ(h.table.RowCount(), 6);
  EXPECT_TRUE(h.state.ListChanged);
  EXPECT_EQ(h.window.History(UiText::MainCaption).size(), 3u);  // the three loads before
  h.files.failReplace = h.files.failRead = {};
  h.table.ClearRows();  // an empty table saved from the menu: an empty file, loaded as no rows
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  h.table.AddRow("9");
  LoadList(h.persistence);
  EXPECT_EQ(h.ListFile() + DecimalText(h.table.RowCount()), "0");
}

TEST(ListChanged, ThroughScanLoadDeleteSaveAndClose) {
  testing::PersistenceHarness h;
  LoadSettings(h.persistence);  // no settings file: the default range
  EXPECT_EQ(h.window.Text(UiText::StartIp) + "-" + h.window.Text(UiText::EndIp), "192.168.0.1-192.168.0.254");
  h.probe.Answer("10.0.0.1", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
  h.probe.Answer("10.0.0.2", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E});
  h.Run("10.0.0.1", "10.0.0.3", "0");
  EXPECT_TRUE(h.state.ListChanged);
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  LoadList(h.persistence);
  EXPECT_FALSE(h.state.ListChanged);  // cleared by the save; a load neither sets nor clears it
  h.state.ListChanged = true;         // as a scan finding a new machine or MAC address sets it
  LoadList(h.persistence);
  EXPECT_TRUE(h.state.ListChanged);
  h.window.Put(UiText::StartIp, "");  // the settings are stored as typed on every close
  h.window.Put(UiText::EndIp, " test ");
  h.dialogs.answer = false;
  EXPECT_TRUE(SaveOnClose(h.persistence));  // No: the file stays as it was
  EXPECT_EQ(h.dialogs.questions, Texts{std::string(texts::kSavePrompt) + "|" + texts::kSavePromptCaption});
  EXPECT_EQ(h.ListFile(), "1\t10.0.0.1\t00-1A-2B-3C-4D-5E\r\n2\t10.0.0.2\t00-1A-2B-3C-4D-5E\r\n");
  EXPECT_EQ(h.files.files["Quarvo.ini"], "[set]\r\nstartip=\r\nendip= test \r\n");
  h.dialogs.answer = true;
  h.table.DeleteRow(0);
  EXPECT_TRUE(SaveOnClose(h.persistence));  // still changed after the delete: asked, written
  EXPECT_EQ(h.ListFile(), "2\t10.0.0.2\t00-1A-2B-3C-4D-5E\r\n");
  h.table.DeleteRow(0);
  h.table.AddRow("7");
  EXPECT_TRUE(SaveOnClose(h.persistence));  // unchanged: written again without a question
  h.table.ClearRows();
  h.state.ListChanged = true;
  EXPECT_TRUE(SaveOnClose(h.persistence));  // an empty table never replaces the stored list
  h.table.AddRow("8");
  h.files.failReplace["Quarvo.txt"] = io_code::kAccessDenied;
  EXPECT_FALSE(SaveOnClose(h.persistence));  // Yes, and the write fails: the window stays open
  EXPECT_TRUE(h.state.ListChanged);
  h.dialogs.answer = false;
  EXPECT_TRUE(SaveOnClose(h.persistence));  // asked again; No closes
  h.state.ListChanged = false;
  EXPECT_TRUE(SaveOnClose(h.persistence));  // not asked: the failure is shown, the window closes
  EXPECT_EQ(h.dialogs.questions.size(), 4u);
  EXPECT_EQ(h.dialogs.errors, (Texts{"File access denied", "File access denied"}));
  EXPECT_EQ(h.ListFile(), "7\t\t\r\n");
  h.files.failReplace.clear();  // a worker adds a row while the file is written: still changed
  h.files.whileWriting = [&] { MergeAnswer(h.table, h.state.ListChanged, "9", "10.0.0.9", "00-..", 1); };
  ASSERT_TRUE(SaveListOnRequest(h.persistence));
  EXPECT_TRUE(h.state.ListChanged);
}

}  // namespace
}  // namespace quarvo
