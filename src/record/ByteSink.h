#pragma once
// Where the data-file writers put their bytes: a string in memory or a file being written.
// Writers collect their output in blocks, so a sink sees few, large writes.

#include <algorithm>
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
  // The string a sink in memory appends to, which writers may fill directly; null for others.
  virtual std::string *directString() { return nullptr; }
};

class StringSink : public ByteSink {
 public:
  explicit StringSink(std::string &out) : out_(out) {}
  void write(std::string_view bytes) override { out_.append(bytes); }
  std::string *directString() override { return &out_; }

 private:
  std::string &out_;
};

// Collects small pieces and hands them to the sink in blocks of up to `kBlock` bytes. The
// first block is small and each full one is followed by one twice its size, so writing a
// few rows costs a few kilobytes while a long file soon goes out in whole `kBlock` pieces.
// A string sink needs no block of its own: the pieces go straight into its string, which
// grows the same way (writing a table or a single line in memory costs what it writes).
class BlockWriter {
 public:
  static constexpr std::size_t kFirstBlock = 1 << 12;
  static constexpr std::size_t kBlock = 1 << 16;
  static constexpr std::size_t kFirstStringRoom = 1 << 8;

  explicit BlockWriter(ByteSink &sink) : sink_(sink), string_(sink.directString()) {
    if (string_) {
      base_ = string_->size();
      growString(kFirstStringRoom);
    } else {
      owned_.reset(new char[kFirstBlock]);
      block_ = owned_.get();
      capacity_ = kFirstBlock;
    }
  }
  // A string left early (a writer that throws) holds the bytes put so far, never the room.
  ~BlockWriter() {
    if (string_) string_->resize(base_ + used_);
  }
  BlockWriter(const BlockWriter &) = delete;
  BlockWriter &operator=(const BlockWriter &) = delete;

  void put(std::string_view bytes) {
    if (bytes.size() > capacity_ - used_) {
      nextBlock(bytes.size());
      if (bytes.size() > capacity_ - used_) return sink_.write(bytes);
    }
    std::memcpy(block_ + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }
  void put(char c) {
    if (used_ == capacity_) nextBlock(1);
    block_[used_++] = c;
  }
  // Room for up to `bytes` (at most kBlock) written straight into the block, for a writer
  // that knows how long its piece can get; `commit` then takes the piece up to `end`.
  char *room(std::size_t bytes) {
    if (bytes > capacity_ - used_) nextBlock(bytes);
    return block_ + used_;
  }
  void commit(const char *end) { used_ = static_cast<std::size_t>(end - block_); }
  // Hands everything collected so far to the sink. Must be called at the end.
  void flush() {
    if (string_) {
      string_->resize(base_ + used_);
      capacity_ = used_;
      return;
    }
    if (used_ == 0) return;
    sink_.write(std::string_view(block_, used_));
    used_ = 0;
  }

 private:
  // Hands the full block on and, below kBlock, takes one at least twice as large (and large
  // enough for `atLeast` bytes where that fits in kBlock). A string grows to hold at least
  // `atLeast` more bytes.
  void nextBlock(std::size_t atLeast) {
    if (string_) return growString(std::max(capacity_, atLeast));
    flush();
    std::size_t next = capacity_;
    while (next < kBlock && (next == capacity_ || next < atLeast)) next *= 2;
    if (next == capacity_) return;
    owned_.reset(new char[next]);
    block_ = owned_.get();
    capacity_ = next;
  }
  void growString(std::size_t more) {
    capacity_ = used_ + more;
    string_->resize(base_ + capacity_);
    block_ = string_->data() + base_;
  }

  ByteSink &sink_;
  std::string *string_;   // the sink's own string, written directly; null for other sinks
  std::size_t base_ = 0;  // where this writer's bytes start in that string
  std::unique_ptr<char[]> owned_;
  char *block_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
};

}  // namespace vexal
