#pragma once
// Where the data-file writers put their bytes: a string in memory or a file being written.
// Writers collect their output in blocks, so a sink sees few, large writes.

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

// Collects small pieces and hands them to the sink in blocks of about `kBlock` bytes.
class BlockWriter {
 public:
  static constexpr std::size_t kBlock = 1 << 16;

  explicit BlockWriter(ByteSink &sink) : sink_(sink) { buffer_.reserve(kBlock + 512); }
  BlockWriter(const BlockWriter &) = delete;
  BlockWriter &operator=(const BlockWriter &) = delete;

  void put(std::string_view bytes) {
    buffer_.append(bytes);
    if (buffer_.size() >= kBlock) flush();
  }
  void put(char c) {
    buffer_.push_back(c);
    if (buffer_.size() >= kBlock) flush();
  }
  // Hands everything collected so far to the sink. Must be called at the end.
  void flush() {
    if (buffer_.empty()) return;
    sink_.write(buffer_);
    buffer_.clear();
  }

 private:
  ByteSink &sink_;
  std::string buffer_;
};

}  // namespace vexal
