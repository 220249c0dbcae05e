#include "record/TextFileLoad.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace vexal {

namespace {

constexpr std::size_t kPiece = std::size_t{256} << 10;
// Pieces in all: one being read, some waiting, one being added to the table.
constexpr std::size_t kBatches = 4;

// A piece of the file (after the unfinished line the piece before left) and the rows read
// from its complete lines, as views into its bytes.
struct Batch final : TextRowTarget {
  std::unique_ptr<char[]> bytes;
  std::size_t capacity = 0, size = 0;
  std::vector<TableRowView> rows;
  std::uint64_t readBefore = 0;  // bytes of the file read before this piece
  bool last = false;             // nothing follows: the end, a failing line or a read error

  void appendRow(const TableRowView &row) override { rows.push_back(row); }
  // Room for `total` bytes; what the piece held before is given up.
  void reserve(std::size_t total) {
    if (total <= capacity) return;
    bytes = std::make_unique_for_overwrite<char[]>(total);
    capacity = total;
  }
};

// Reads the file piece by piece on a thread of its own and converts the lines of each piece
// into rows; hands the pieces over in order.
class LineThread {
 public:
  LineThread(int fd, std::uint64_t size) : fd_(fd), size_(size) {
    for (Batch &batch : batches_) free_.push_back(&batch);
    thread_ = std::thread(&LineThread::run, this);
  }
  // Stops the thread early when the load ends before the file does (cancelled).
  ~LineThread() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  LineThread(const LineThread &) = delete;
  LineThread &operator=(const LineThread &) = delete;

  // The next piece, once it is read; the last one says so. What ended the thread (running out
  // of memory) is thrown here.
  Batch &next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    Batch *batch = ready_.front();
    ready_.pop_front();
    return *batch;
  }
  void giveBack(Batch &batch) {
    {
      std::lock_guard lock(mutex_);
      free_.push_back(&batch);
    }
    changed_.notify_all();
  }
  // After the last piece: how reading went.
  TextLoadResult finish() {
    thread_.join();
    return result_;
  }

 private:
  void run();
  void readPieces();
  Batch *takeFree();
  void handOver(Batch &batch);

  const int fd_;
  const std::uint64_t size_;
  std::array<Batch, kBatches> batches_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Batch *> free_;
  std::deque<Batch *> ready_;
  bool stopping_ = false;
  std::exception_ptr failure_;
  TextLoadResult result_;  // written by the thread before it hands over the last piece
  std::thread thread_;
};

void LineThread::run() {
  try {
    readPieces();
  } catch (...) {
    {
      std::lock_guard lock(mutex_);
      failure_ = std::current_exception();
    }
    changed_.notify_all();
  }
}

// The buffer of a piece holds the unfinished line carried over and the bytes read after it.
// A line longer than a piece makes the pieces grow with it, so it is scanned a bounded
// number of times; near the file's end, no more room than needed is taken.
void LineThread::readPieces() {
  struct Forward final : TextRowTarget {
    Batch *to = nullptr;
    void appendRow(const TableRowView &row) override { to->appendRow(row); }
  } target;
  TextTableReader reader(target);
  std::string carry;
  std::uint64_t read = 0;
  for (bool last = false; !last;) {
    Batch *batch = takeFree();
    if (!batch) return;
    target.to = batch;
    batch->rows.clear();
    batch->readBefore = read;
    const std::uint64_t left = size_ > read ? size_ - read : 0;
    std::size_t room = std::max(kPiece, carry.size());
    room = static_cast<std::size_t>(
        std::min<std::uint64_t>(room, std::max<std::uint64_t>(left + 1, kPiece)));
    batch->reserve(carry.size() + room);
    std::memcpy(batch->bytes.get(), carry.data(), carry.size());
    ssize_t n;
    do {
      n = ::read(fd_, batch->bytes.get() + carry.size(), room);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      result_.readError = errno;
      batch->size = 0;
      batch->last = true;
      return handOver(*batch);
    }
    batch->size = carry.size() + static_cast<std::size_t>(n);
    read += static_cast<std::uint64_t>(n);
    const std::string_view bytes(batch->bytes.get(), batch->size);
    const std::size_t used = reader.feed(bytes, n == 0);
    carry.assign(bytes.substr(used));
    last = n == 0 || !reader.result().ok;
    batch->last = last;
    if (last) result_.lines = reader.result();
    handOver(*batch);
  }
}

Batch *LineThread::takeFree() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || !free_.empty(); });
  if (stopping_) return nullptr;
  Batch *batch = free_.back();
  free_.pop_back();
  return batch;
}

void LineThread::handOver(Batch &batch) {
  {
    std::lock_guard lock(mutex_);
    ready_.push_back(&batch);
  }
  changed_.notify_all();
}

}  // namespace

TextLoadResult loadTextRows(int fd, std::uint64_t size, ReadingTable &table,
                            FileProgress *progress) {
  LineThread lines(fd, size);
  for (bool last = false; !last;) {
    Batch &batch = lines.next();
    reportProgress(progress, batch.readBefore, size);
    for (const TableRowView &row : batch.rows) table.appendRow(row);
    last = batch.last;
    lines.giveBack(batch);
  }
  return lines.finish();
}

}  // namespace vexal
