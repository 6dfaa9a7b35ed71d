#include "model/ResultsTable.h"

#include <algorithm>

namespace quarvo {

std::string SortKeyOf(const std::string& text) {
  std::string key = text;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const auto byte = static_cast<unsigned char>(key[i]);
    if (byte >= 0x81 && byte <= 0xFE) {
      ++i;  // lead byte of a double-byte character: leave its second byte alone
    } else if (byte >= 'a' && byte <= 'z') {
      key[i] = static_cast<char>(byte - 'a' + 'A');
    }
  }
  return key;
}

namespace {

bool KeyLess(const std::string& a, const std::string& b) {
  // Unsigned byte order, so that double-byte characters sort after ASCII.
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

}  // namespace

std::int32_t ResultsTable::Rows::LowerBound(const std::string& key) const {
  auto at = std::lower_bound(
      rows_.begin(), rows_.end(), key,
      [](const std::unique_ptr<Row>& r, const std::string& k) { return KeyLess(r->sortKey, k); });
  return static_cast<std::int32_t>(at - rows_.begin());
}

std::int32_t ResultsTable::Rows::UpperBound(const std::string& key) const {
  auto at = std::upper_bound(
      rows_.begin(), rows_.end(), key,
      [](const std::string& k, const std::unique_ptr<Row>& r) { return KeyLess(k, r->sortKey); });
  return static_cast<std::int32_t>(at - rows_.begin());
}

std::int32_t ResultsTable::Rows::AddRow(const std::string& number) {
  auto row = std::make_unique<Row>();
  row->sortKey = SortKeyOf(number);
  row->cells[ColNumber] = number;
  // After any rows with an equal key, so equal keys keep the order in which they came.
  const std::int32_t at = UpperBound(row->sortKey);
  rows_.insert(rows_.begin() + at, std::move(row));
  ++version_;
  return at;
}

std::int32_t ResultsTable::Rows::FindRow(const std::string& number) const {
  const std::string key = SortKeyOf(number);
  const std::int32_t at = LowerBound(key);
  if (at == RowCount() || rows_[static_cast<std::size_t>(at)]->sortKey != key) return -1;
  return at;
}

std::string ResultsTable::Rows::GetCell(std::int32_t row, int column) const {
  if (!Valid(row) || column < 0 || column >= kColumnCount) return std::string();
  return rows_[static_cast<std::size_t>(row)]->cells[static_cast<std::size_t>(column)];
}

void ResultsTable::Rows::SetCell(std::int32_t row, int column, const std::string& text) {
  // The machine number is the row's key: it never changes after the row was added.
  if (!Valid(row) || column <= ColNumber || column >= kColumnCount) return;
  std::string& cell = rows_[static_cast<std::size_t>(row)]->cells[static_cast<std::size_t>(column)];
  if (cell == text) return;
  cell = text;
  ++version_;
}

void ResultsTable::Rows::DeleteRow(std::int32_t row) {
  if (!Valid(row)) return;
  rows_.erase(rows_.begin() + row);
  ++version_;
}

void ResultsTable::Rows::ClearRows() {
  if (rows_.empty()) return;
  rows_.clear();
  ++version_;
}

std::int32_t ResultsTable::Rows::RowCount() const {
  return static_cast<std::int32_t>(rows_.size());
}

std::int32_t ResultsTable::Rows::SelectedCount() const {
  return static_cast<std::int32_t>(
      std::count_if(rows_.begin(), rows_.end(), [](const std::unique_ptr<Row>& r) { return r->selected; }));
}

std::int32_t ResultsTable::Rows::FirstSelected() const {
  return NextSelected(-1);
}

std::int32_t ResultsTable::Rows::NextSelected(std::int32_t row) const {
  for (std::int32_t i = std::max(row + 1, 0); i < RowCount(); ++i) {
    if (rows_[static_cast<std::size_t>(i)]->selected) return i;
  }
  return -1;
}

bool ResultsTable::Rows::IsSelected(std::int32_t row) const {
  return Valid(row) && rows_[static_cast<std::size_t>(row)]->selected;
}

void ResultsTable::Rows::SetSelected(std::int32_t row, bool selected) {
  if (Valid(row)) rows_[static_cast<std::size_t>(row)]->selected = selected;
}

std::int32_t ResultsTable::Rows::NumberOrdinal(std::int32_t row) const {
  if (!Valid(row)) return 0;
  return row - LowerBound(rows_[static_cast<std::size_t>(row)]->sortKey) + 1;
}

std::int32_t ResultsTable::Rows::NextSelectedAfter(const std::string& number, std::int32_t ordinal) const {
  const std::string key = SortKeyOf(number);
  const std::int32_t first = LowerBound(key);
  const std::int32_t held = UpperBound(key) - first;
  return NextSelected(first + std::min(std::max(ordinal, 0), held) - 1);
}

void ResultsTable::Rows::SwapRows(Rows& other) {
  rows_.swap(other.rows_);
  ++version_;
}

void ResultsTable::SetListener(TableListener* listener) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  listener_ = listener;
}

void ResultsTable::Finish(std::unique_lock<std::recursive_mutex>& lock, std::uint64_t versionBefore) {
  const bool changed = rows_.Version() != versionBefore;
  TableListener* listener = listener_;
  lock.unlock();
  if (changed && listener != nullptr) listener->TableChanged();
}

std::int32_t ResultsTable::AddRow(const std::string& number) {
  return Transact([&](Rows& r) { return r.AddRow(number); });
}
std::int32_t ResultsTable::FindRow(const std::string& number) {
  return Transact([&](Rows& r) { return r.FindRow(number); });
}
std::string ResultsTable::GetCell(std::int32_t row, int column) {
  return Transact([&](Rows& r) { return r.GetCell(row, column); });
}
void ResultsTable::SetCell(std::int32_t row, int column, const std::string& text) {
  Transact([&](Rows& r) { r.SetCell(row, column, text); });
}
void ResultsTable::DeleteRow(std::int32_t row) {
  Transact([&](Rows& r) { r.DeleteRow(row); });
}
void ResultsTable::ClearRows() {
  Transact([](Rows& r) { r.ClearRows(); });
}
std::int32_t ResultsTable::RowCount() {
  return Transact([](Rows& r) { return r.RowCount(); });
}
std::int32_t ResultsTable::SelectedCount() {
  return Transact([](Rows& r) { return r.SelectedCount(); });
}
std::int32_t ResultsTable::FirstSelected() {
  return Transact([](Rows& r) { return r.FirstSelected(); });
}
std::int32_t ResultsTable::NextSelected(std::int32_t row) {
  return Transact([&](Rows& r) { return r.NextSelected(row); });
}
void ResultsTable::SetSelected(std::int32_t row, bool selected) {
  Transact([&](Rows& r) { r.SetSelected(row, selected); });
}
bool ResultsTable::IsSelected(std::int32_t row) {
  return Transact([&](Rows& r) { return r.IsSelected(row); });
}

}  // namespace quarvo
