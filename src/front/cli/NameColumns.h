// Vendor and host name beside the table's rows (--names, --json), and the rows as JSON Lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "front/cli/TableOutput.h"
#include "platform/linux/HostNames.h"
#include "vendor/VendorRegistry.h"

namespace quarvo {

// What the vendor cell says of a locally administered MAC address.
inline constexpr char kLocalMacText[] = "randomised or local";

struct NameCells {
  std::string vendor;    // "" when unknown
  std::string hostName;  // "" when unknown
};

// The names of each row, from its MAC and IP cells. Either source may be null.
std::vector<NameCells> RowNames(const std::vector<CellRow>& rows, VendorNames* vendors,
                                const HostNames* hosts);

// The aligned table with two more columns, vendor and host name; control bytes show as escapes.
std::string AlignedTableWithNames(const std::vector<CellRow>& rows, const std::vector<NameCells>& names);

// One JSON object a line: number, ip, mac, worker, change, status as the cells hold them, vendor and
// hostname (null when unknown).
std::string JsonLines(const std::vector<CellRow>& rows, const std::vector<NameCells>& names);

}  // namespace quarvo
