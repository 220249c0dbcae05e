// The writer thread of a save: a slow reader holds the producer back instead of letting the
// waiting chunks pile up, and everything arrives in order once the reader goes on.
#include "record/WriteBehindSink.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

namespace vexal {
namespace {

TEST(WriteBehindSink, ASlowReaderHoldsTheProducerBack) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  std::string sent;
  for (std::size_t i = 0; sent.size() < (std::size_t{24} << 20); ++i)
    sent += std::to_string(i) + ';';

  std::atomic<std::size_t> handed{0};
  std::atomic<bool> done{false};
  std::thread producer([&] {
    WriteBehindSink sink(pipeFds[1],
                         [](int err) { throw std::runtime_error(std::to_string(err)); });
    for (std::size_t at = 0; at < sent.size(); at += 65'536) {
      sink.write(std::string_view(sent).substr(at, 65'536));
      handed += std::min<std::size_t>(65'536, sent.size() - at);
    }
    sink.finish();
    ::close(pipeFds[1]);
    done = true;
  });

  // Nobody reads for a while: the producer gets no further than the chunks that may wait,
  // the one being written, the one being filled and what the pipe holds.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::size_t bound =
      (WriteBehindSink::kChunksWaiting + 2) * WriteBehindSink::kChunk + (std::size_t{1} << 20);
  EXPECT_LE(handed.load(), bound);
  EXPECT_FALSE(done.load());

  std::string received;
  char buffer[1 << 16];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
    received.append(buffer, static_cast<std::size_t>(n));
  producer.join();
  ::close(pipeFds[0]);
  EXPECT_TRUE(done.load());
  EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes";
}

}  // namespace
}  // namespace vexal
