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

// Collects small pieces and hands them to the sink in blocks of `kBlock` bytes.
class BlockWriter {
 public:
  static constexpr std::size_t kBlock = 1 << 16;

  explicit BlockWriter(ByteSink &sink) : sink_(sink), buffer_(new char[kBlock]) {}
  BlockWriter(const BlockWriter &) = delete;
  BlockWriter &operator=(const BlockWriter &) = delete;

  void put(std::string_view bytes) {
    if (bytes.size() > kBlock - used_) {
      flush();
      if (bytes.size() > kBlock) return sink_.write(bytes);
    }
    std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }
  void put(char c) {
    if (used_ == kBlock) flush();
    buffer_[used_++] = c;
  }
  // Room for up to `bytes` (at most kBlock) written straight into the block, for a writer
  // that knows how long its piece can get; `commit` then takes the piece up to `end`.
  char *room(std::size_t bytes) {
    if (bytes > kBlock - used_) flush();
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
  ByteSink &sink_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

}  // namespace vexal
