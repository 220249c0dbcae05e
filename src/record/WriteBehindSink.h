#pragma once
// A file's bytes written by a thread of its own, so that making the next bytes, copying the
// last ones to the system and sending them on to the disk all go on at once.
//
// The producer fills chunks; a full chunk goes to the writer thread, which writes it and
// asks the system to start writing it to disk right away (so the flush at the end of a
// save finds little left to do). A file that fits in one chunk is written without a thread.
// At most a few chunks wait at any time: a slow disk holds the producer back, it never
// makes memory grow.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "record/ByteSink.h"

namespace vexal {

class WriteBehindSink : public ByteSink {
 public:
  static constexpr std::size_t kChunk = std::size_t{1} << 20;
  static constexpr std::size_t kChunksWaiting = 4;
  // How much is written between two requests to start writing to disk.
  static constexpr std::uint64_t kDiskRequestEvery = std::uint64_t{8} << 20;

  // Writes to `fd` (not owned). `failed(err)` is called with the system's error code of the
  // first write that fails, on the producer's thread, and must throw.
  WriteBehindSink(int fd, std::function<void(int err)> failed);
  // Stops the thread; bytes not yet written are dropped (the file is being given up).
  ~WriteBehindSink() override;
  WriteBehindSink(const WriteBehindSink &) = delete;
  WriteBehindSink &operator=(const WriteBehindSink &) = delete;

  void write(std::string_view bytes) override;
  // Writes everything still held and waits until it is written.
  void finish();

 private:
  using Chunk = std::vector<char>;

  void handOver();
  void writeChunk(const Chunk &chunk);
  void run();
  void throwIfFailed();

  int fd_;
  std::function<void(int)> failed_;
  Chunk filling_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Chunk> waiting_;  // full chunks, oldest first
  std::vector<Chunk> spare_;   // written chunks, to be filled again
  bool busy_ = false;          // the thread is writing a chunk
  bool stopping_ = false;
  int error_ = 0;
  std::uint64_t written_ = 0, requested_ = 0;  // bytes written, bytes sent on to disk
  std::thread thread_;
};

}  // namespace vexal
