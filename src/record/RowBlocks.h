#pragma once
// Storage for many small fixed records that are only appended, or cut back from the end (the
// reading table's rows and its change log).
// Appending never moves a record, so references to earlier ones stay valid (snapshots read
// them while the table grows).
//
// A store costs about what it holds: the first block has room for kFirstRows records and
// each next one for twice as many, up to an eighth of 2 MiB. From then on every block is
// 2 MiB, aligned to 2 MiB and offered to the system as one large page: a million readings
// cost a few dozen page faults instead of ten thousand, which is most of what filling the
// table costs. Small tables (a file of a few rows, a test) stay a few hundred bytes, and
// the growing blocks are held in the store itself, so a small table's records cost one
// allocation.

#include <sys/mman.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace vexal {

template <class T>
class RowBlocks {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  static constexpr std::size_t kLargeBlockBytes = std::size_t{2} << 20;
  static constexpr std::size_t kLargeRows = kLargeBlockBytes / sizeof(T);
  static constexpr std::size_t kFirstRows = 4;
  static_assert(kFirstRows <= kLargeRows / 8, "a record is too large for these blocks");

 private:
  // The growing blocks: kFirstRows << k records in block k, each at most an eighth of a
  // large one (larger ones would only add small pages to fault in before the large blocks).
  static constexpr std::size_t growingBlockCount() {
    std::size_t count = 1;
    while ((kFirstRows << count) <= kLargeRows / 8) ++count;
    return count;
  }

 public:
  static constexpr std::size_t kGrowingBlocks = growingBlockCount();
  // Records held before the first large block.
  static constexpr std::size_t kGrowingRows = kFirstRows * ((std::size_t{1} << kGrowingBlocks) - 1);

  RowBlocks() = default;
  RowBlocks(const RowBlocks &) = delete;
  RowBlocks &operator=(const RowBlocks &) = delete;
  // The moved-from store is empty.
  RowBlocks(RowBlocks &&other) noexcept { take(other); }
  RowBlocks &operator=(RowBlocks &&other) noexcept {
    if (this != &other) take(other);
    return *this;
  }

  // A store holding copies of the first `count` records of `other`.
  RowBlocks(const RowBlocks &other, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) push_back(other[i]);
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const T &front() const { return (*this)[0]; }
  const T &back() const { return (*this)[size_ - 1]; }
  // Bytes of the blocks held now, used or not.
  std::size_t reservedBytes() const { return startOf(blockCount_) * sizeof(T); }

  // Walks the records in order.
  class const_iterator {
   public:
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    const_iterator(const RowBlocks *store, std::size_t i) : store_(store), i_(i) {}
    const T &operator*() const { return (*store_)[i_]; }
    const_iterator &operator++() {
      ++i_;
      return *this;
    }
    bool operator==(const const_iterator &other) const { return i_ == other.i_; }

   private:
    const RowBlocks *store_;
    std::size_t i_;
  };
  const_iterator begin() const { return {this, 0}; }
  const_iterator end() const { return {this, size_}; }

  bool operator==(const RowBlocks &other) const {
    if (size_ != other.size_) return false;
    for (std::size_t i = 0; i < size_; ++i)
      if (!((*this)[i] == other[i])) return false;
    return true;
  }

  const T &operator[](std::size_t i) const {
    if (i < kGrowingRows) {
      // Block k starts at record kFirstRows * (2^k - 1).
      const std::size_t k = std::bit_width(i / kFirstRows + 1) - 1;
      return growing_[k][i - kFirstRows * ((std::size_t{1} << k) - 1)];
    }
    i -= kGrowingRows;
    return large_[i / kLargeRows][i % kLargeRows];
  }

  void push_back(const T &record) {
    if (next_ == blockEnd_) addBlock();
    *next_++ = record;
    ++size_;
  }

  void clear() { resize(0); }

  // Keeps the first `count` records (never more than there are).
  void resize(std::size_t count) {
    if (count >= size_) return;
    size_ = count;
    if (count == 0) {
      dropBlocksFrom(0);
      next_ = blockEnd_ = nullptr;
      return;
    }
    std::size_t last = blockOf(count - 1);
    dropBlocksFrom(last + 1);
    next_ = block(last) + (count - startOf(last));
    blockEnd_ = block(last) + capacityOf(last);
  }

 private:
  struct Free {
    void operator()(T *block) const { std::free(block); }
  };
  using Block = std::unique_ptr<T[], Free>;

  static constexpr std::size_t capacityOf(std::size_t block) {
    return block < kGrowingBlocks ? kFirstRows << block : kLargeRows;
  }
  // The index of the first record of `block` (or the capacity of that many blocks).
  static constexpr std::size_t startOf(std::size_t block) {
    if (block <= kGrowingBlocks) return kFirstRows * ((std::size_t{1} << block) - 1);
    return kGrowingRows + (block - kGrowingBlocks) * kLargeRows;
  }
  static constexpr std::size_t blockOf(std::size_t i) {
    if (i < kGrowingRows) return std::bit_width(i / kFirstRows + 1) - 1;
    return kGrowingBlocks + (i - kGrowingRows) / kLargeRows;
  }

  T *block(std::size_t k) const {
    return k < kGrowingBlocks ? growing_[k].get() : large_[k - kGrowingBlocks].get();
  }

  // Frees the blocks from `first` on.
  void dropBlocksFrom(std::size_t first) {
    large_.resize(first > kGrowingBlocks ? first - kGrowingBlocks : 0);
    for (std::size_t k = first; k < kGrowingBlocks && k < blockCount_; ++k) growing_[k].reset();
    if (first < blockCount_) blockCount_ = first;
  }

  void addBlock() {
    const std::size_t k = blockCount_;
    void *memory = nullptr;
    if (k < kGrowingBlocks) {
      memory = std::malloc(capacityOf(k) * sizeof(T));
    } else {
      memory = std::aligned_alloc(kLargeBlockBytes, kLargeBlockBytes);
      // Only a hint: where the system has no large pages the block works all the same.
      if (memory) ::madvise(memory, kLargeBlockBytes, MADV_HUGEPAGE);
    }
    if (!memory) throw std::bad_alloc();
    Block owned(static_cast<T *>(memory));
    if (k < kGrowingBlocks)
      growing_[k] = std::move(owned);
    else
      large_.push_back(std::move(owned));
    ++blockCount_;
    next_ = block(k);
    blockEnd_ = next_ + capacityOf(k);
  }

  void take(RowBlocks &other) {
    growing_ = std::move(other.growing_);
    large_ = std::move(other.large_);
    blockCount_ = std::exchange(other.blockCount_, 0);
    size_ = std::exchange(other.size_, 0);
    next_ = std::exchange(other.next_, nullptr);
    blockEnd_ = std::exchange(other.blockEnd_, nullptr);
    other.large_.clear();
  }

  std::array<Block, kGrowingBlocks> growing_;
  std::vector<Block> large_;  // the 2 MiB blocks after the growing ones
  std::size_t blockCount_ = 0;
  std::size_t size_ = 0;
  // Where the next record goes, and the end of its block (equal when a new block is due).
  T *next_ = nullptr;
  T *blockEnd_ = nullptr;
};

}  // namespace vexal
