#include "front/cli/TableOutput.h"

#include <algorithm>
#include <cstdint>

#include "platform/posix/Cp936Utf8.h"
#include "text/Cp936Texts.h"
#include "text/VisibleText.h"

namespace quarvo {

namespace {

bool IsWide(std::uint32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::size_t DisplayWidth(const std::string& utf8) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::uint32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    }
    width += IsWide(c) ? 2u : 1u;
    i += length;
  }
  return width;
}

std::vector<CellRow> Utf8Rows(ResultsTable& table) {
  std::vector<CellRow> rows;
  table.Transact([&](ResultsTable::Rows& current) {
    for (std::int32_t row = 0; row < current.RowCount(); ++row) {
      CellRow cells;
      for (int column = 0; column < kColumnCount; ++column) {
        cells[static_cast<std::size_t>(column)] = Cp936ToUtf8(current.GetCell(row, column));
      }
      rows.push_back(std::move(cells));
    }
  });
  return rows;
}

std::string AlignedTable(const std::vector<CellRow>& rows) {
  std::vector<std::vector<std::string>> lines;
  for (const CellRow& row : rows) lines.emplace_back(row.begin(), row.end());
  return AlignedLines(lines, {});
}

std::string AlignedLines(const std::vector<std::vector<std::string>>& rows,
                         const std::vector<std::string>& moreCaptions) {
  std::vector<std::vector<std::string>> lines;
  lines.push_back({Cp936ToUtf8(texts::kColNumberCaption), Cp936ToUtf8(texts::kColIpCaption),
                   Cp936ToUtf8(texts::kColMacCaption), Cp936ToUtf8(texts::kColThreadCaption),
                   Cp936ToUtf8(texts::kColChangeCaption), Cp936ToUtf8(texts::kColStatusCaption)});
  lines.back().insert(lines.back().end(), moreCaptions.begin(), moreCaptions.end());
  for (const std::vector<std::string>& row : rows) {
    std::vector<std::string>& line = lines.emplace_back();
    for (const std::string& cell : row) line.push_back(VisibleText(cell));
  }
  std::vector<std::size_t> widths(lines.front().size());
  for (const auto& line : lines) {
    for (std::size_t column = 0; column < widths.size() && column < line.size(); ++column) {
      widths[column] = std::max(widths[column], DisplayWidth(line[column]));
    }
  }
  std::string text;
  for (const auto& line : lines) {
    std::string out;
    for (std::size_t column = 0; column < widths.size() && column < line.size(); ++column) {
      if (column > 0) out += "  ";
      out += line[column];
      out.append(widths[column] - DisplayWidth(line[column]), ' ');
    }
    out.erase(out.find_last_not_of(' ') + 1);
    text += out + "\n";
  }
  return text;
}

std::string TsvLines(const std::vector<CellRow>& rows) {
  std::string text;
  for (const CellRow& row : rows) {
    for (std::size_t column = 0; column < row.size(); ++column)
      text += (column > 0 ? "\t" : "") + VisibleText(row[column]);
    text += "\n";
  }
  return text;
}

}  // namespace quarvo
