// What the report list shows of the results table: the rows as they were when the list last caught
// up with the table, and the selection that the list shows.
//
// The table changes on any thread; the list catches up on the user-interface thread, in batches
// (Refresh). In between, the list's row indexes are those of the last refresh, while the table's
// may have moved (a scan inserts rows above). So every index that comes from the list (a row to
// draw, a row the user selects) goes through the key that the row had at the last refresh, and
// reaches the same machine in the table whatever was inserted since. The selection lives in the
// table; the list only shows it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/ResultsTable.h"

namespace quarvo {

class TableView {
 public:
  explicit TableView(ResultsTable& table) : table_(table) {}
  TableView(const TableView&) = delete;
  TableView& operator=(const TableView&) = delete;

  // What the list must do to show the table as it is now, in this order: deselect `deselect` (indexes
  // of the rows shown so far), take `count` rows, select `select` (indexes of the new rows).
  struct Update {
    std::vector<std::int32_t> deselect;
    std::int32_t count = 0;
    std::vector<std::int32_t> select;
  };
  Update Refresh();

  std::int32_t Count() const { return static_cast<std::int32_t>(keys_.size()); }

  // The text of a cell of a row shown; empty when that machine has left the table since. A list
  // draws a row cell by cell: the row's cells are read together, and kept until the list next
  // catches up or changes the selection.
  std::string CellText(std::int32_t shownRow, int column);

  // The user selected or deselected the shown rows first..last; first -1 stands for every row.
  void UserSelected(std::int32_t first, std::int32_t last, bool selected);

  // The first shown row from `start` on whose machine number begins with `prefix`, letter case
  // ignored; with `wrap` the search goes on from the top. -1 when there is none.
  std::int32_t FindPrefix(const std::string& prefix, std::int32_t start, bool wrap) const;

 private:
  std::int32_t TableRow(const ResultsTable::Rows& rows, std::int32_t shownRow) const;

  ResultsTable& table_;
  std::vector<std::string> keys_;  // sort keys of the rows shown, in the order shown
  std::vector<bool> selected_;     // the selection the list shows
  std::uint64_t version_ = 0;      // the table's version at the last refresh
  std::int32_t cachedRow_ = -1;    // the shown row whose cells cachedCells_ holds
  std::array<std::string, kColumnCount> cachedCells_;
};

}  // namespace quarvo
