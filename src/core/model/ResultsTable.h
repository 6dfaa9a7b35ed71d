// The table of known machines: six text cells a row, kept in ascending order of the machine number.
//
// The model is the store; the list view on screen only shows it. Every operation is atomic and may
// be called from any thread. A sequence that must not be interleaved with other threads' changes
// (a scan's find-then-add-or-update) runs as one Transact. A listener hears of every change of rows
// or cells, after the change, outside the table's lock.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model/RowBlocks.h"

namespace quarvo {

enum Column : int { ColNumber = 0, ColIp = 1, ColMac = 2, ColThread = 3, ColChange = 4, ColStatus = 5 };
inline constexpr int kColumnCount = 6;

class TableListener {
 public:
  virtual ~TableListener() = default;
  // Rows or cells changed. Called on the thread that made the change, with no lock of the table held.
  virtual void TableChanged() = 0;
};

class ResultsTable {
 public:
  // The operations without locking; reached through Transact while the table's lock is held.
  // Row indexes count from 0 in the table's order; -1 stands for no row.
  class Rows {
   public:
    std::int32_t AddRow(const std::string& number);
    // A row with all its cells at once (the first the machine number), placed as AddRow places it.
    std::int32_t AddRow(const std::array<std::string, kColumnCount>& cells);
    std::int32_t FindRow(const std::string& number) const;
    std::string GetCell(std::int32_t row, int column) const;
    void SetCell(std::int32_t row, int column, const std::string& text);
    void DeleteRow(std::int32_t row);
    void ClearRows();
    std::int32_t RowCount() const;
    std::int32_t SelectedCount() const;
    std::int32_t FirstSelected() const;
    std::int32_t NextSelected(std::int32_t row) const;
    bool IsSelected(std::int32_t row) const;
    // Where a row stands among the rows of its machine number (1 for the first of them, and for a
    // number held once); 0 for no row.
    std::int32_t NumberOrdinal(std::int32_t row) const;
    // The first selected row after the place of a machine number in the table's order, the first
    // `ordinal` rows of that number counting as before it; -1 for none. Unlike a row index, that
    // place stays right when rows are added or removed meanwhile, or the row itself is gone.
    std::int32_t NextSelectedAfter(const std::string& number, std::int32_t ordinal) const;
    // Puts the rows of `other` in place of these, in one change; `other` gets the old rows.
    void SwapRows(Rows& other);
    // Only the user selects rows; the list view reports the user's selection through this.
    void SetSelected(std::int32_t row, bool selected);
    // Calls visit(sortKey, selected) for every row in the table's order, in one pass.
    template <class Visit>
    void VisitRows(Visit visit) const {
      rows_.FindFrom(0, [&](const Row& r) { return visit(r.Key(), r.selected), false; });
    }
    // Grows with every change of rows or cells (not of the selection).
    std::uint64_t Version() const { return version_; }

   private:
    // The sort key and the six cells, one after another in one text: a million rows take a
    // fraction of the memory of seven texts each.
    struct Row {
      std::string text;
      std::array<std::uint32_t, kColumnCount + 1> ends{};  // where the key and each cell end
      bool selected = false;

      Row(const std::string& key, const std::array<std::string, kColumnCount>& cells);
      std::string_view Key() const { return std::string_view(text.data(), ends[0]); }
      std::string_view Cell(int column) const {
        const std::uint32_t begin = ends[static_cast<std::size_t>(column)];
        return std::string_view(text.data() + begin, ends[static_cast<std::size_t>(column) + 1] - begin);
      }
      void SetCell(int column, const std::string& value);
    };
    bool Valid(std::int32_t row) const { return row >= 0 && row < RowCount(); }
    Row& At(std::int32_t row) const { return rows_.At(static_cast<std::size_t>(row)); }
    // The index of the first row whose key is not less than `key`, and of the first greater.
    std::int32_t LowerBound(std::string_view key) const;
    std::int32_t UpperBound(std::string_view key) const;
    // Rows live on the heap so that an insert in the middle moves pointers, not cells.
    RowBlocks<Row> rows_;
    std::uint64_t version_ = 0;
  };

  ResultsTable() = default;
  ResultsTable(const ResultsTable&) = delete;
  ResultsTable& operator=(const ResultsTable&) = delete;

  void SetListener(TableListener* listener);

  // Runs f(Rows&) under the table's lock and returns its result; tells the listener afterwards if
  // the rows or cells changed.
  template <class F>
  auto Transact(F&& f) -> std::invoke_result_t<F, Rows&> {
    using Result = std::invoke_result_t<F, Rows&>;
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    const std::uint64_t before = rows_.Version();
    if constexpr (std::is_void_v<Result>) {
      f(rows_);
      Finish(lock, before);
    } else {
      Result result = f(rows_);
      Finish(lock, before);
      return result;
    }
  }

  std::int32_t AddRow(const std::string& number);
  std::int32_t FindRow(const std::string& number);
  std::string GetCell(std::int32_t row, int column);
  void SetCell(std::int32_t row, int column, const std::string& text);
  void DeleteRow(std::int32_t row);
  void ClearRows();
  std::int32_t RowCount();
  std::int32_t SelectedCount();
  std::int32_t FirstSelected();
  std::int32_t NextSelected(std::int32_t row);
  void SetSelected(std::int32_t row, bool selected);
  bool IsSelected(std::int32_t row);

 private:
  void Finish(std::unique_lock<std::recursive_mutex>& lock, std::uint64_t versionBefore);

  std::recursive_mutex mutex_;
  Rows rows_;
  TableListener* listener_ = nullptr;
};

// The order of machine numbers: bytes compared with ASCII letters folded to upper case. The second
// byte of a double-byte character is not folded, so the test stays within the text's own characters.
std::string SortKeyOf(const std::string& text);

}  // namespace quarvo
