#pragma once
// Storage for many small fixed records that are only appended, or cut back from the end (the
// reading table's rows and its change log).
// Appending never moves a record, so references to earlier ones stay valid (snapshots read
// them while the table grows).
//
// The first records go into a small block; after it, every block is 2 MiB, aligned to 2 MiB
// and offered to the system as one large page. A million readings then cost a few dozen
// page faults instead of ten thousand, which is most of what filling the table costs.

#include <sys/mman.h>

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
  static constexpr std::size_t kSmallRows = 4096;
  static constexpr std::size_t kLargeRows = kLargeBlockBytes / sizeof(T);

  RowBlocks() = default;
  RowBlocks(const RowBlocks &) = delete;
  RowBlocks &operator=(const RowBlocks &) = delete;
  // The moved-from store is empty.
  RowBlocks(RowBlocks &&other) noexcept
      : blocks_(std::move(other.blocks_)), size_(std::exchange(other.size_, 0)) {
    other.blocks_.clear();
  }
  RowBlocks &operator=(RowBlocks &&other) noexcept {
    blocks_ = std::move(other.blocks_);
    size_ = std::exchange(other.size_, 0);
    other.blocks_.clear();
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
    if (i < kSmallRows) return blocks_[0][i];
    i -= kSmallRows;
    return blocks_[1 + i / kLargeRows][i % kLargeRows];
  }

  void push_back(const T &record) {
    if (size_ == capacity()) addBlock();
    T *slot =
        size_ < kSmallRows
            ? &blocks_[0][size_]
            : &blocks_[1 + (size_ - kSmallRows) / kLargeRows][(size_ - kSmallRows) % kLargeRows];
    *slot = record;
    ++size_;
  }

  void clear() { resize(0); }

  // Keeps the first `count` records (never more than there are).
  void resize(std::size_t count) {
    if (count >= size_) return;
    size_ = count;
    std::size_t needed = 0;
    if (count > 0) needed = count <= kSmallRows ? 1 : 2 + (count - kSmallRows - 1) / kLargeRows;
    blocks_.resize(needed);
  }

 private:
  struct Free {
    void operator()(T *block) const { std::free(block); }
  };
  using Block = std::unique_ptr<T[], Free>;

  std::size_t capacity() const {
    return blocks_.empty() ? 0 : kSmallRows + (blocks_.size() - 1) * kLargeRows;
  }

  void addBlock() {
    void *memory = nullptr;
    if (blocks_.empty()) {
      memory = std::malloc(kSmallRows * sizeof(T));
    } else {
      memory = std::aligned_alloc(kLargeBlockBytes, kLargeBlockBytes);
      // Only a hint: where the system has no large pages the block works all the same.
      if (memory) ::madvise(memory, kLargeBlockBytes, MADV_HUGEPAGE);
    }
    if (!memory) throw std::bad_alloc();
    blocks_.emplace_back(static_cast<T *>(memory));
  }

  std::vector<Block> blocks_;
  std::size_t size_ = 0;
};

}  // namespace vexal
