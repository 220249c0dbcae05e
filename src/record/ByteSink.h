#pragma once
// Where the data-file writers put their bytes: a string in memory or a file being written.
// Writers collect their output in blocks, so a sink sees few, large writes.

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace vexal {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Takes the bytes or throws; a sink never takes part of them silently.
  virtual void write(std::string_view bytes) = 0;
};

class StringSink : public ByteSink {
 public:
  explicit StringSink(std::string &out) : out_(out) {}
  void write(std::string_view bytes) override { out_.append(bytes); }

 private:
  std::string &out_;
};

// Collects small pieces and hands them to the sink in blocks of up to `kBlock` bytes. The
// first block is small and each full one is followed by one twice its size, so writing a
// few rows costs a few kilobytes while a long file soon goes out in whole `kBlock` pieces.
class BlockWriter {
 public:
  static constexpr std::size_t kFirstBlock = 1 << 12;
  static constexpr std::size_t kBlock = 1 << 16;

  explicit BlockWriter(ByteSink &sink) : sink_(sink), buffer_(new char[kFirstBlock]) {}
  BlockWriter(const BlockWriter &) = delete;
  BlockWriter &operator=(const BlockWriter &) = delete;

  void put(std::string_view bytes) {
    if (bytes.size() > capacity_ - used_) {
      nextBlock(bytes.size());
      if (bytes.size() > capacity_) return sink_.write(bytes);
    }
    std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }
  void put(char c) {
    if (used_ == capacity_) nextBlock(1);
    buffer_[used_++] = c;
  }
  // Room for up to `bytes` (at most kBlock) written straight into the block, for a writer
  // that knows how long its piece can get; `commit` then takes the piece up to `end`.
  char *room(std::size_t bytes) {
    if (bytes > capacity_ - used_) nextBlock(bytes);
    return buffer_.get() + used_;
  }
  void commit(const char *end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
  // Hands everything collected so far to the sink. Must be called at the end.
  void flush() {
    if (used_ == 0) return;
    sink_.write(std::string_view(buffer_.get(), used_));
    used_ = 0;
  }

 private:
  // Hands the full block on and, below kBlock, takes one at least twice as large (and large
  // enough for `atLeast` bytes where that fits in kBlock).
  void nextBlock(std::size_t atLeast) {
    flush();
    std::size_t next = capacity_;
    while (next < kBlock && (next == capacity_ || next < atLeast)) next *= 2;
    if (next == capacity_) return;
    buffer_.reset(new char[next]);
    capacity_ = next;
  }

  ByteSink &sink_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = kFirstBlock;
  std::size_t used_ = 0;
};

}  // namespace vexal
