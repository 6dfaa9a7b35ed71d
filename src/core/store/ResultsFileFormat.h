// The bytes of the results file: one line per row, the machine number, the IP address and the MAC
// address separated by tabs and ended by CR LF; no header. Cells are written byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarvo {

// The three cells of a row that the file keeps.
struct StoredRow {
  std::string number;
  std::string ip;
  std::string mac;

  bool operator==(const StoredRow& other) const {
    return number == other.number && ip == other.ip && mac == other.mac;
  }
};

// The file's bytes for these rows, in their order; no rows give no bytes.
std::string FormatResultsFile(const std::vector<StoredRow>& rows);

// The lines of a file. A line ends at LF or CR LF; a CR not followed by LF is dropped and the line
// goes on. A final line end gives no further line, while an empty line between two line ends is a
// line. A Ctrl-Z ends the file: at the start of a line it and all after it are ignored; inside a
// line the line ends before it.
std::vector<std::string> SplitResultsLines(const std::string& bytes);

// A line cut at its first two tabs. With one tab the IP is empty and the MAC is what follows the
// tab; with none the number and IP are empty and the MAC is the whole line.
StoredRow SplitResultsLine(const std::string& line);

// Hands every row of a file to `take`, in the file's order, each line cut as it is found; no copy
// of all rows is held. A file of more than `maxRows` lines is refused with TooLargeError before
// any row is handed on.
void ForEachResultsRow(const std::string& bytes, std::size_t maxRows,
                       const std::function<void(StoredRow& row)>& take);

// Every row of a file, in the file's order, as ForEachResultsRow hands them on.
std::vector<StoredRow> ParseResultsFile(const std::string& bytes, std::size_t maxRows = SIZE_MAX);

}  // namespace quarvo
