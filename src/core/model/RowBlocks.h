// The results table's rows in order, kept in blocks of a few hundred: an insert or delete in the
// middle of 65,536 rows moves at most one block's pointers instead of half the table's, and a row is
// found by its index after a walk over the blocks.
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
    if (blocks_.empty()) blocks_.emplace_back();
    // An index at the end belongs to the last block.
    std::size_t block = blocks_.size() - 1, offset = blocks_.back().size();
    if (index < size_) std::tie(block, offset) = Locate(index);
    Block& into = blocks_[block];
    into.insert(into.begin() + static_cast<std::ptrdiff_t>(offset), std::move(row));
    ++size_;
    if (into.size() >= 2 * kBlockRows) {
      Block upper(std::make_move_iterator(into.begin() + kBlockRows), std::make_move_iterator(into.end()));
      into.resize(kBlockRows);
      blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(upper));
    }
  }

  void Erase(std::size_t index) {
    const auto [block, offset] = Locate(index);
    Block& from = blocks_[block];
    from.erase(from.begin() + static_cast<std::ptrdiff_t>(offset));
    --size_;
    if (from.empty()) blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(block));
  }

  void Clear() {
    blocks_.clear();
    size_ = 0;
  }

  void Swap(RowBlocks& other) {
    blocks_.swap(other.blocks_);
    std::swap(size_, other.size_);
  }

  // The index of the first row for which less(row) is false, the rows being ordered so that
  // less(row) holds for a leading run of them (as std::partition_point).
  template <class Less>
  std::size_t PartitionPoint(Less less) const {
    std::size_t before = 0;
    for (const Block& block : blocks_) {
      if (less(*block.back())) {
        before += block.size();
        continue;
      }
      std::size_t lo = 0, hi = block.size();
      while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (less(*block[mid]))
          lo = mid + 1;
        else
          hi = mid;
      }
      return before + lo;
    }
    return before;
  }

  // The index of the first row from `start` on for which test(row) holds, or Size().
  template <class Test>
  std::size_t FindFrom(std::size_t start, Test test) const {
    std::size_t index = 0;
    for (const Block& block : blocks_) {
      if (index + block.size() <= start) {
        index += block.size();
        continue;
      }
      for (std::size_t i = start > index ? start - index : 0; i < block.size(); ++i) {
        if (test(*block[i])) return index + i;
      }
      index += block.size();
    }
    return size_;
  }

 private:
  static constexpr std::size_t kBlockRows = 256;

  std::pair<std::size_t, std::size_t> Locate(std::size_t index) const {
    std::size_t block = 0;
    while (index >= blocks_[block].size()) index -= blocks_[block++].size();
    return {block, index};
  }

  std::vector<Block> blocks_;  // none empty
  std::size_t size_ = 0;
};

}  // namespace quarvo
