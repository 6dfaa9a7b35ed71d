#include "app/TableView.h"

#include <algorithm>

namespace quarvo {

TableView::Update TableView::Refresh() {
  cachedRow_ = -1;
  std::vector<bool> selected;
  table_.Transact([&](ResultsTable::Rows& rows) {
    const auto count = static_cast<std::size_t>(rows.RowCount());
    // The keys are rewritten in place: a fresh vector of a few megabytes each time costs more than
    // copying the keys.
    keys_.resize(count);
    selected.resize(count);
    std::size_t row = 0;
    rows.VisitRows([&](std::string_view sortKey, bool isSelected) {
      keys_[row] = sortKey;
      selected[row++] = isSelected;
    });
    version_ = rows.Version();
  });
  Update update;
  update.count = Count();
  for (std::size_t i = 0; i < selected_.size(); ++i) {
    if (selected_[i] && (i >= selected.size() || !selected[i])) {
      update.deselect.push_back(static_cast<std::int32_t>(i));
    }
  }
  for (std::size_t i = 0; i < selected.size(); ++i) {
    if (selected[i] && (i >= selected_.size() || !selected_[i])) {
      update.select.push_back(static_cast<std::int32_t>(i));
    }
  }
  selected_ = std::move(selected);
  return update;
}

std::int32_t TableView::TableRow(const ResultsTable::Rows& rows, std::int32_t shownRow) const {
  if (shownRow < 0 || shownRow >= Count()) return -1;
  if (rows.Version() == version_) return shownRow;
  // Rows with equal keys keep their order and new ones go after them, so the n-th row shown with a
  // key is still the n-th row of the table with that key.
  const auto at = static_cast<std::size_t>(shownRow);
  const auto first = std::lower_bound(keys_.begin(), keys_.begin() + shownRow, keys_[at]);
  const std::int32_t firstWithKey = rows.FindRow(keys_[at]);
  if (firstWithKey < 0) return -1;
  const std::int32_t row = firstWithKey + static_cast<std::int32_t>(keys_.begin() + shownRow - first);
  if (SortKeyOf(rows.GetCell(row, ColNumber)) != keys_[at]) return -1;
  return row;
}

std::string TableView::CellText(std::int32_t shownRow, int column) {
  if (column < 0 || column >= kColumnCount) return std::string();
  if (shownRow != cachedRow_) {
    table_.Transact([&](ResultsTable::Rows& rows) {
      const std::int32_t row = TableRow(rows, shownRow);
      for (int c = 0; c < kColumnCount; ++c) cachedCells_[static_cast<std::size_t>(c)] = rows.GetCell(row, c);
    });
    cachedRow_ = shownRow;
  }
  return cachedCells_[static_cast<std::size_t>(column)];
}

void TableView::UserSelected(std::int32_t first, std::int32_t last, bool selected) {
  if (first < 0) {
    first = 0;
    last = Count() - 1;
  }
  last = std::min(last, Count() - 1);
  if (first > last) return;
  cachedRow_ = -1;
  table_.Transact([&](ResultsTable::Rows& rows) {
    for (std::int32_t shown = first; shown <= last; ++shown) {
      rows.SetSelected(TableRow(rows, shown), selected);
      selected_[static_cast<std::size_t>(shown)] = selected;
    }
  });
}

std::int32_t TableView::FindPrefix(const std::string& prefix, std::int32_t start, bool wrap) const {
  const std::string key = SortKeyOf(prefix);
  const std::int32_t count = Count();
  const std::int32_t steps = wrap ? count : count - std::max(start, 0);
  for (std::int32_t step = 0; step < steps; ++step) {
    const std::int32_t row = (std::max(start, 0) + step) % count;
    if (keys_[static_cast<std::size_t>(row)].compare(0, key.size(), key) == 0) return row;
  }
  return -1;
}

}  // namespace quarvo
