// The results table as the terminal shows it, in UTF-8: an aligned table with a header, or one
// tab-separated line per row.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "model/ResultsTable.h"

namespace quarvo {

using CellRow = std::array<std::string, kColumnCount>;

// Every row's six cells in the table's order, converted to UTF-8.
std::vector<CellRow> Utf8Rows(ResultsTable& table);

// A header of the column captions and one line per row, each column as wide as its widest cell
// and two blanks between columns; no blanks end a line. Control bytes in cells show as escapes.
std::string AlignedTable(const std::vector<CellRow>& rows);

// The same for lines of any number of cells: the six captions, then `moreCaptions`.
std::string AlignedLines(const std::vector<std::vector<std::string>>& rows,
                         const std::vector<std::string>& moreCaptions);

// The cells of each row joined by tabs, one line per row, nothing else; control bytes and
// backslashes in cells show as escapes (VisibleText), so every line has six fields.
std::string TsvLines(const std::vector<CellRow>& rows);

// Columns a UTF-8 text takes on a terminal: two for wide East Asian characters, one for others.
std::size_t DisplayWidth(const std::string& utf8);

}  // namespace quarvo
