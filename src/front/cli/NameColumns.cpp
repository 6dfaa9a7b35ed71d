#include "front/cli/NameColumns.h"

#include <arpa/inet.h>

#include <nlohmann/json.hpp>

namespace quarvo {

namespace {

nlohmann::ordered_json TextOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

}  // namespace

std::vector<NameCells> RowNames(const std::vector<CellRow>& rows, VendorNames* vendors,
                                const HostNames* hosts) {
  std::vector<NameCells> names;
  names.reserve(rows.size());
  for (const CellRow& row : rows) {
    NameCells cells;
    if (vendors != nullptr) {
      const VendorAnswer answer = vendors->Lookup(row[ColMac]);
      if (answer.kind == VendorAnswer::Local) cells.vendor = kLocalMacText;
      if (answer.kind == VendorAnswer::Vendor) cells.vendor = answer.name;
    }
    in_addr address{};
    if (hosts != nullptr && inet_pton(AF_INET, row[ColIp].c_str(), &address) == 1) {
      cells.hostName = hosts->Find(address.s_addr);
    }
    names.push_back(std::move(cells));
  }
  return names;
}

std::string AlignedTableWithNames(const std::vector<CellRow>& rows, const std::vector<NameCells>& names) {
  std::vector<std::vector<std::string>> lines;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::vector<std::string> line(rows[i].begin(), rows[i].end());
    line.push_back(names[i].vendor);
    line.push_back(names[i].hostName);
    lines.push_back(std::move(line));
  }
  return AlignedLines(lines, {"Vendor", "Host name"});
}

std::string JsonLines(const std::vector<CellRow>& rows, const std::vector<NameCells>& names) {
  static const char* const kKeys[kColumnCount] = {"number", "ip", "mac", "worker", "change", "status"};
  std::string text;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    nlohmann::ordered_json line;
    for (std::size_t column = 0; column < kColumnCount; ++column) line[kKeys[column]] = rows[i][column];
    line["vendor"] = TextOrNull(names[i].vendor);
    line["hostname"] = TextOrNull(names[i].hostName);
    // Cells of a hand-edited list may hold bytes that are no UTF-8: they become U+FFFD.
    text += line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  }
  return text;
}

}  // namespace quarvo
