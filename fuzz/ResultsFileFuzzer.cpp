// Any bytes as the results file: the menu's load takes every line as a row, the menu's save writes
// what was loaded, and loading that file again gives the same rows. The file format alone round-trips
// too: the rows parsed from the bytes, formatted and parsed again, are the same rows.
#include <algorithm>
#include <tuple>

#include "FuzzCheck.h"
#include "store/ResultsFileFormat.h"
#include "store/StoreFakes.h"

using namespace quarvo;

static std::vector<StoredRow> TableRows(ResultsTable& table) {
  std::vector<StoredRow> rows;
  for (std::int32_t row = 0; row < table.RowCount(); ++row) {
    rows.push_back({table.GetCell(row, ColNumber), table.GetCell(row, ColIp), table.GetCell(row, ColMac)});
  }
  return rows;
}

static std::vector<StoredRow> Sorted(std::vector<StoredRow> rows) {
  std::sort(rows.begin(), rows.end(), [](const StoredRow& x, const StoredRow& y) {
    return std::tie(x.number, x.ip, x.mac) < std::tie(y.number, y.ip, y.mac);
  });
  return rows;
}

QUARVO_FUZZ_TEXT(bytes) {
  using fuzz::Check;
  const std::vector<StoredRow> parsed = ParseResultsFile(bytes);
  Check(ParseResultsFile(FormatResultsFile(parsed)) == parsed, "the format round-trips");

  quarvo::testing::PersistenceHarness harness;
  harness.files.files[texts::kResultsFileName] = bytes;
  LoadList(harness.persistence);
  const std::vector<StoredRow> loaded = TableRows(harness.table);
  Check(Sorted(loaded) == Sorted(parsed), "the load takes every row of the file");
  Check(SaveListOnRequest(harness.persistence) && harness.ListFile() == FormatResultsFile(loaded),
        "the save writes the table's rows in its order");
  LoadList(harness.persistence);
  Check(TableRows(harness.table) == loaded, "the saved file loads as the same rows");
  Check(harness.dialogs.errors.empty(), "no error box");
}
