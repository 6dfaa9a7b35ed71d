// Any bytes as the results file: the menu's load takes every line as a row, the menu's save writes
// what was loaded, and loading that file again gives the same rows. The file format alone round-trips
// too: the rows parsed from the bytes, formatted and parsed again, are the same rows.
#include <algorithm>
#include <tuple>

#include "FuzzCheck.h"
#include "store/ResultsFileFormat.h"
#include "store/StoreFakes.h"

namespace {

std::vector<quarvo::StoredRow> TableRows(quarvo::ResultsTable& table) {
  std::vector<quarvo::StoredRow> rows;
  for (std::int32_t row = 0; row < table.RowCount(); ++row) {
    rows.push_back({table.GetCell(row, quarvo::ColNumber), table.GetCell(row, quarvo::ColIp),
                    table.GetCell(row, quarvo::ColMac)});
  }
  return rows;
}

bool SameRows(std::vector<quarvo::StoredRow> a, std::vector<quarvo::StoredRow> b) {
  const auto less = [](const quarvo::StoredRow& x, const quarvo::StoredRow& y) {
    return std::tie(x.number, x.ip, x.mac) < std::tie(y.number, y.ip, y.mac);
  };
  std::sort(a.begin(), a.end(), less);
  std::sort(b.begin(), b.end(), less);
  return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarvo;
  using fuzz::Check;
  const std::string bytes = fuzz::Text(data, size);
  const std::vector<StoredRow> parsed = ParseResultsFile(bytes);
  Check(ParseResultsFile(FormatResultsFile(parsed)) == parsed, "the format round-trips");

  quarvo::testing::PersistenceHarness harness;
  harness.files.files[texts::kResultsFileName] = bytes;
  LoadList(harness.persistence);
  const std::vector<StoredRow> loaded = TableRows(harness.table);
  Check(SameRows(loaded, parsed), "the load takes every row of the file");
  Check(SaveListOnRequest(harness.persistence) && harness.ListFile() == FormatResultsFile(loaded),
        "the save writes the table's rows in its order");
  LoadList(harness.persistence);
  Check(TableRows(harness.table) == loaded, "the saved file loads as the same rows");
  Check(harness.dialogs.errors.empty(), "no error box");
  return 0;
}
