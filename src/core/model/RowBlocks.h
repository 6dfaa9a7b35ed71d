// The results table's rows in order, kept in blocks of a few hundred: an insert or delete in the
// middle of a million rows moves at most one block's pointers instead of half the table's. A row's
// block is found in logarithmic time: by a tree of the blocks' row counts for an index, and by a
// binary search over the blocks' last rows for a place in the order. Loading a million rows thus
// stays linear in their number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace quarvo {

template <class Row>
class RowBlocks {
 public:
  using Block = std::vector<std::unique_ptr<Row>>;

  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }

  Row& At(std::size_t index) const {
    const auto [block, offset] = Locate(index);
    return *blocks_[block][offset];
  }

  void Insert(std::size_t index, std::unique_ptr<Row> row) {
    if (blocks_.empty()) {
      blocks_.emplace_back();
      counts_.assign(1, 0);
    }
    // An index at the end belongs to the last block.
    std::size_t block = blocks_.size() - 1, offset = blocks_.back().size();
    if (index < size_) std::tie(block, offset) = Locate(index);
    Block& into = blocks_[block];
    into.insert(into.begin() + static_cast<std::ptrdiff_t>(offset), std::move(row));
    ++size_;
    if (into.size() < 2 * kBlockRows) {
      AddToCount(block, 1);
      return;
    }
    Block upper(std::make_move_iterator(into.begin() + kBlockRows), std::make_move_iterator(into.end()));
    into.resize(kBlockRows);
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(upper));
    RebuildCounts();  // once every few hundred inserts
  }

  void Erase(std::size_t index) {
    const auto [block, offset] = Locate(index);
    Block& from = blocks_[block];
    from.erase(from.begin() + static_cast<std::ptrdiff_t>(offset));
    --size_;
    if (!from.empty()) {
      AddToCount(block, -1);
      return;
    }
    blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(block));
    RebuildCounts();
  }

  void Clear() {
    blocks_.clear();
    counts_.clear();
    size_ = 0;
  }

  void Swap(RowBlocks& other) {
    blocks_.swap(other.blocks_);
    counts_.swap(other.counts_);
    std::swap(size_, other.size_);
  }

  // The index of the first row for which less(row) is false, the rows being ordered so that
  // less(row) holds for a leading run of them (as std::partition_point).
  template <class Less>
  std::size_t PartitionPoint(Less less) const {
    // The first block whose last row is not less: the point lies in it.
    std::size_t lo = 0, hi = blocks_.size();
    while (lo < hi) {
      const std::size_t mid = (lo + hi) / 2;
      if (less(*blocks_[mid].back()))
        lo = mid + 1;
      else
        hi = mid;
    }
    if (lo == blocks_.size()) return size_;
    const Block& block = blocks_[lo];
    std::size_t first = 0, last = block.size() - 1;  // the last row is known not to be less
    while (first < last) {
      const std::size_t mid = (first + last) / 2;
      if (less(*block[mid]))
        first = mid + 1;
      else
        last = mid;
    }
    return RowsBefore(lo) + first;
  }

  // The index of the first row from `start` on for which test(row) holds, or Size().
  template <class Test>
  std::size_t FindFrom(std::size_t start, Test test) const {
    if (start >= size_) return size_;
    auto [block, offset] = Locate(start);
    std::size_t index = start;
    for (; block < blocks_.size(); ++block, offset = 0) {
      for (const Block& rows = blocks_[block]; offset < rows.size(); ++offset, ++index) {
        if (test(*rows[offset])) return index;
      }
    }
    return size_;
  }

 private:
  static constexpr std::size_t kBlockRows = 256;

  // counts_ is a Fenwick tree over the blocks' row counts: entry i (from 1) holds the rows of the
  // blocks i - lowbit(i) + 1 to i.
  void AddToCount(std::size_t block, std::ptrdiff_t delta) {
    for (std::size_t i = block + 1; i <= counts_.size(); i += i & (~i + 1))
      counts_[i - 1] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(counts_[i - 1]) + delta);
  }

  void RebuildCounts() {
    counts_.assign(blocks_.size(), 0);
    for (std::size_t i = 1; i <= counts_.size(); ++i) {
      counts_[i - 1] += blocks_[i - 1].size();
      const std::size_t parent = i + (i & (~i + 1));
      if (parent <= counts_.size()) counts_[parent - 1] += counts_[i - 1];
    }
  }

  // Rows in the blocks before `block`.
  std::size_t RowsBefore(std::size_t block) const {
    std::size_t rows = 0;
    for (std::size_t i = block; i > 0; i -= i & (~i + 1)) rows += counts_[i - 1];
    return rows;
  }

  // The block holding the row at `index` (below Size()), and the row's place in it.
  std::pair<std::size_t, std::size_t> Locate(std::size_t index) const {
    std::size_t step = 1;
    while (step * 2 <= counts_.size()) step *= 2;
    std::size_t at = 0;  // blocks wholly before the row
    for (; step > 0; step /= 2) {
      if (at + step <= counts_.size() && counts_[at + step - 1] <= index) {
        at += step;
        index -= counts_[at - 1];
      }
    }
    return {at, index};
  }

  std::vector<Block> blocks_;        // none empty
  std::vector<std::size_t> counts_;  // one entry per block
  std::size_t size_ = 0;
};

}  // namespace quarvo
