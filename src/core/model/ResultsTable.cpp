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

bool KeyLess(std::string_view a, std::string_view b) {
  // Unsigned byte order, so that double-byte characters sort after ASCII.
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

}  // namespace

ResultsTable::Rows::Row::Row(const std::string& key, const std::array<std::string, kColumnCount>& cells) {
  std::size_t size = key.size();
  for (const std::string& cell : cells) size += cell.size();
  text.reserve(size);
  text = key;
  ends[0] = static_cast<std::uint32_t>(text.size());
  for (std::size_t column = 0; column < cells.size(); ++column) {
    text += cells[column];
    ends[column + 1] = static_cast<std::uint32_t>(text.size());
  }
}

void ResultsTable::Rows::Row::SetCell(int column, const std::string& value) {
  const auto at = static_cast<std::size_t>(column);
  const std::uint32_t begin = ends[at], oldSize = ends[at + 1] - begin;
  text.replace(begin, oldSize, value);
  const auto grown = static_cast<std::uint32_t>(value.size()) - oldSize;  // modulo 2^32, as the ends
  for (std::size_t i = at + 1; i < ends.size(); ++i) ends[i] += grown;
}

std::int32_t ResultsTable::Rows::LowerBound(std::string_view key) const {
  return static_cast<std::int32_t>(rows_.PartitionPoint([&](const Row& r) { return KeyLess(r.Key(), key); }));
}

std::int32_t ResultsTable::Rows::UpperBound(std::string_view key) const {
  return static_cast<std::int32_t>(
      rows_.PartitionPoint([&](const Row& r) { return !KeyLess(key, r.Key()); }));
}

std::int32_t ResultsTable::Rows::AddRow(const std::string& number) {
  std::array<std::string, kColumnCount> cells;
  cells[ColNumber] = number;
  return AddRow(cells);
}

std::int32_t ResultsTable::Rows::AddRow(const std::array<std::string, kColumnCount>& cells) {
  auto row = std::make_unique<Row>(SortKeyOf(cells[ColNumber]), cells);
  // After any rows with an equal key, so equal keys keep the order in which they came.
  const std::int32_t at = UpperBound(row->Key());
  rows_.Insert(static_cast<std::size_t>(at), std::move(row));
  ++version_;
  return at;
}

std::int32_t ResultsTable::Rows::FindRow(const std::string& number) const {
  const std::string key = SortKeyOf(number);
  const std::int32_t at = LowerBound(key);
  if (at == RowCount() || At(at).Key() != key) return -1;
  return at;
}

std::string ResultsTable::Rows::GetCell(std::int32_t row, int column) const {
  if (!Valid(row) || column < 0 || column >= kColumnCount) return std::string();
  return std::string(At(row).Cell(column));
}

void ResultsTable::Rows::SetCell(std::int32_t row, int column, const std::string& text) {
  // The machine number is the row's key: it never changes after the row was added.
  if (!Valid(row) || column <= ColNumber || column >= kColumnCount) return;
  Row& at = At(row);
  if (at.Cell(column) == text) return;
  at.SetCell(column, text);
  ++version_;
}

void ResultsTable::Rows::DeleteRow(std::int32_t row) {
  if (!Valid(row)) return;
  rows_.Erase(static_cast<std::size_t>(row));
  ++version_;
}

void ResultsTable::Rows::ClearRows() {
  if (rows_.Empty()) return;
  rows_.Clear();
  ++version_;
}

std::int32_t ResultsTable::Rows::RowCount() const {
  return static_cast<std::int32_t>(rows_.Size());
}

std::int32_t ResultsTable::Rows::SelectedCount() const {
  std::int32_t count = 0;
  rows_.FindFrom(0, [&](const Row& r) { return count += r.selected, false; });
  return count;
}

std::int32_t ResultsTable::Rows::FirstSelected() const {
  return NextSelected(-1);
}

std::int32_t ResultsTable::Rows::NextSelected(std::int32_t row) const {
  const std::size_t at =
      rows_.FindFrom(static_cast<std::size_t>(std::max(row + 1, 0)), [](const Row& r) { return r.selected; });
  return at == rows_.Size() ? -1 : static_cast<std::int32_t>(at);
}

bool ResultsTable::Rows::IsSelected(std::int32_t row) const {
  return Valid(row) && At(row).selected;
}

void ResultsTable::Rows::SetSelected(std::int32_t row, bool selected) {
  if (Valid(row)) At(row).selected = selected;
}

std::int32_t ResultsTable::Rows::NumberOrdinal(std::int32_t row) const {
  if (!Valid(row)) return 0;
  return row - LowerBound(At(row).Key()) + 1;
}

std::int32_t ResultsTable::Rows::NextSelectedAfter(const std::string& number, std::int32_t ordinal) const {
  const std::string key = SortKeyOf(number);
  const std::int32_t first = LowerBound(key);
  const std::int32_t held = UpperBound(key) - first;
  return NextSelected(first + std::min(std::max(ordinal, 0), held) - 1);
}

void ResultsTable::Rows::SwapRows(Rows& other) {
  rows_.Swap(other.rows_);
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
