#include <gtest/gtest.h>

#include "store/ResultsFileFormat.h"

namespace quarvo {
namespace {

using Lines = std::vector<std::string>;
using std::string_literals::operator""s;

TEST(ResultsFileLines, LineEndsCtrlZAndEmptyLines) {
  const struct {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb", {"a", "b"}},      // LF alone; last line without its end
      {"a\r\n\r\n", {"a", ""}},  // a further line end is an empty line
      {"\r\n\n", {"", ""}},
      {"a\rb\r\n", {"ab"}},  // a lone CR is dropped, the line goes on
      {"a\r\r\n", {"a"}},
      {"a\r", {"a"}},
      {"a\r\n\r", {"a", ""}},     // a dropped CR still opened a last line
      {"a\r\n\032b\r\n", {"a"}},  // Ctrl-Z (\032) at the start of a line ends the file
      {"\032", {}},
      {"a\032b\r\nc\r\n", {"a"}},  // inside a line it ends the line and the file
      {"\0\xFF\x80\t\xA1\xC1\r\n"s, {"\0\xFF\x80\t\xA1\xC1"s}},  // any other byte is kept
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitResultsLines(c.bytes), c.lines) << ::testing::PrintToString(c.bytes);
  }

  const std::string longLine(3 * 1024 * 1024, 'x');
  EXPECT_EQ(SplitResultsLines(longLine + "\r\nz"), (Lines{longLine, "z"}));
}

TEST(ResultsFileLines, FieldsCutAtTheFirstTwoTabs) {
  const struct {
    std::string line;
    StoredRow row;
  } cases[] = {
      {"001\t192.168.0.1\t00-1A-2B-3C-4D-5E", {"001", "192.168.0.1", "00-1A-2B-3C-4D-5E"}},
      {"A\tB\tC\tD", {"A", "B", "C\tD"}},  // further tabs stay in the MAC
      {"A\tB", {"A", "", "B"}},
      {"no tab", {"", "", "no tab"}},
      {"", {"", "", ""}},
      {"\t", {"", "", ""}},
      {"\t\t\t", {"", "", "\t"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitResultsLine(c.line), c.row) << c.line;
}

TEST(ResultsFileFormat, WritesRowsByteForByteAndReadsThemBack) {
  EXPECT_EQ(FormatResultsFile({}), "");
  const std::vector<StoredRow> rows = {{"001", "192.168.0.1", "00-1A-2B-3C-4D-5E"},
                                       {"", "", ""},
                                       {"\xBB\xFA", "\x01\xFF", "C\tD\t"},
                                       {"x", "", "y"}};
  const std::string bytes = FormatResultsFile(rows);
  EXPECT_EQ(bytes, "001\t192.168.0.1\t00-1A-2B-3C-4D-5E\r\n\t\t\r\n\xBB\xFA\t\x01\xFF\tC\tD\t\r\nx\t\ty\r\n");
  EXPECT_EQ(ParseResultsFile(bytes), rows);
  EXPECT_EQ(FormatResultsFile(ParseResultsFile(bytes)), bytes);
}

}  // namespace
}  // namespace quarvo
