#include "store/ResultsFileFormat.h"

#include <algorithm>
#include <utility>

#include "net/ExtractField.h"
#include "store/IoError.h"

namespace quarvo {

namespace {

constexpr char kTab[] = "\t";
constexpr char kEndOfFile = '\x1A';

}  // namespace

std::string FormatResultsFile(const std::vector<StoredRow>& rows) {
  std::string bytes;
  for (const StoredRow& row : rows) {
    bytes += row.number;
    bytes += '\t';
    bytes += row.ip;
    bytes += '\t';
    bytes += row.mac;
    bytes += "\r\n";
  }
  return bytes;
}

namespace {

// Hands each line of the file to `take`, in order, as it is found: no copy of all lines is held.
// The line's buffer is reused for the next line.
template <class Take>
void ForEachLine(const std::string& bytes, Take&& take) {
  std::string line;
  // Whether any byte was taken since the last line end: only then does the end of the file close
  // a last line without its line end (a dropped CR counts, as it opened the line).
  bool open = false;
  const std::size_t size = bytes.size();
  for (std::size_t i = 0; i < size; ++i) {
    const char byte = bytes[i];
    if (byte == kEndOfFile) break;
    if (byte == '\n') {
      take(line);
      line.clear();
      open = false;
      continue;
    }
    open = true;
    if (byte == '\r') {
      if (i + 1 < size && bytes[i + 1] == '\n') {
        take(line);
        line.clear();
        open = false;
        ++i;
      }
      continue;  // a lone CR is dropped
    }
    line += byte;
  }
  if (open) take(line);
}

}  // namespace

std::vector<std::string> SplitResultsLines(const std::string& bytes) {
  std::vector<std::string> lines;
  ForEachLine(bytes, [&lines](const std::string& line) { lines.push_back(line); });
  return lines;
}

StoredRow SplitResultsLine(const std::string& line) {
  StoredRow row;
  std::string rest;
  ExtractField(line, "", kTab, rest, row.number);
  ExtractField(rest, "", kTab, rest, row.ip);
  ExtractField(rest, "", "", rest, row.mac);
  return row;
}

namespace {

std::size_t CountLines(const std::string& bytes) {
  std::size_t count = 0;
  ForEachLine(bytes, [&count](const std::string&) { ++count; });
  return count;
}

}  // namespace

void ForEachResultsRow(const std::string& bytes, std::size_t maxRows,
                       const std::function<void(StoredRow& row)>& take) {
  // Counted first, so that a file of too many lines is refused before any row is made.
  const std::size_t count = CountLines(bytes);
  if (count > maxRows) throw TooLargeError(TooLargeError::Unit::Lines, count, maxRows);
  ForEachLine(bytes, [&take](const std::string& line) {
    StoredRow row = SplitResultsLine(line);
    take(row);
  });
}

std::vector<StoredRow> ParseResultsFile(const std::string& bytes, std::size_t maxRows) {
  std::vector<StoredRow> rows;
  rows.reserve(std::min(CountLines(bytes), maxRows));  // no more room than the rows need
  ForEachResultsRow(bytes, maxRows, [&rows](StoredRow& row) { rows.push_back(std::move(row)); });
  return rows;
}

}  // namespace quarvo
