#include "record/WriteBehindSink.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace vexal {

namespace {

// Writes all of `data`; returns 0 or the system's error code.
int writeAll(int fd, const char *data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

}  // namespace

WriteBehindSink::WriteBehindSink(int fd, std::function<void(int err)> failed)
    : fd_(fd), failed_(std::move(failed)) {
  filling_.reserve(kChunk);
  // Room for every chunk there can be, so the thread never needs memory of its own.
  spare_.reserve(kChunksWaiting + 2);
}

WriteBehindSink::~WriteBehindSink() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.clear();
  }
  changed_.notify_all();
  thread_.join();
}

void WriteBehindSink::write(std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t n = std::min(bytes.size(), kChunk - filling_.size());
    filling_.insert(filling_.end(), bytes.data(), bytes.data() + n);
    bytes.remove_prefix(n);
    if (filling_.size() == kChunk) handOver();
  }
}

void WriteBehindSink::handOver() {
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread(&WriteBehindSink::run, this);
    } catch (const std::system_error &) {
      // No thread to be had: this thread writes the chunk itself.
      writeChunk(filling_);
      filling_.clear();
      return throwIfFailed();
    }
  }
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.size() < kChunksWaiting || error_ != 0; });
    if (error_ == 0) {
      waiting_.push_back(std::move(filling_));
      filling_ = Chunk();
      if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
      }
    }
  }
  changed_.notify_all();
  throwIfFailed();
  filling_.clear();
  filling_.reserve(kChunk);
}

void WriteBehindSink::finish() {
  if (!thread_.joinable()) {
    writeChunk(filling_);
    filling_.clear();
    return throwIfFailed();
  }
  if (!filling_.empty()) handOver();
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return (waiting_.empty() && !busy_) || error_ != 0; });
    stopping_ = true;
    waiting_.clear();
  }
  changed_.notify_all();
  thread_.join();
  throwIfFailed();
}

// Writes one chunk and, every so often, asks the system to start putting what was written
// since the last time on disk. That request is only a hint (a pipe or a device refuses
// it), the flush after the last chunk is what makes the file safe.
void WriteBehindSink::writeChunk(const Chunk &chunk) {
  const int err = writeAll(fd_, chunk.data(), chunk.size());
  std::uint64_t from = 0, count = 0;
  {
    std::lock_guard lock(mutex_);
    if (err != 0 && error_ == 0) error_ = err;
    written_ += chunk.size();
    if (written_ - requested_ >= kDiskRequestEvery) {
      from = requested_;
      count = written_ - requested_;
      requested_ = written_;
    }
  }
  if (count > 0)
    ::sync_file_range(fd_, static_cast<off_t>(from), static_cast<off_t>(count),
                      SYNC_FILE_RANGE_WRITE);
}

void WriteBehindSink::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
    if (waiting_.empty()) return;
    Chunk chunk = std::move(waiting_.front());
    waiting_.pop_front();
    busy_ = true;
    const bool failedBefore = error_ != 0;
    lock.unlock();
    // After a failure the rest is not written: the file is given up anyway.
    if (!failedBefore) writeChunk(chunk);
    chunk.clear();
    lock.lock();
    busy_ = false;
    spare_.push_back(std::move(chunk));
    changed_.notify_all();
  }
}

void WriteBehindSink::throwIfFailed() {
  int err;
  {
    std::lock_guard lock(mutex_);
    err = error_;
  }
  if (err != 0) failed_(err);
}

}  // namespace vexal
