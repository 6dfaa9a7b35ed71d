#include "store/ResultsFileFormat.h"

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

std::vector<StoredRow> ParseResultsFile(const std::string& bytes, std::size_t maxRows) {
  // Counted first, so that a file of too many lines is refused before any row is made, and the
  // rows take no more room than they need.
  std::size_t count = 0;
  ForEachLine(bytes, [&count](const std::string&) { ++count; });
  if (count > maxRows) throw IoError(io_code::kNotEnoughMemory);
  std::vector<StoredRow> rows;
  rows.reserve(count);
  ForEachLine(bytes, [&rows](const std::string& line) { rows.push_back(SplitResultsLine(line)); });
  return rows;
}

}  // namespace quarvo
