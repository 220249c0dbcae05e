// Saving onto odd targets: devices, FIFOs, links, other owners, and a save cut short by a
// signal.
#include "record/AtomicFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "record/TempFileCleanup.h"

namespace vexal {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const fs::path &p, const std::string &bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::function<void(ByteSink &)> writes(std::string bytes) {
  return [bytes](ByteSink &sink) { sink.write(bytes); };
}

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vexal-atomic-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string &name) const { return (dir_ / name).string(); }
  std::vector<std::string> names(const fs::path &folder) const {
    std::vector<std::string> found;
    for (const auto &e : fs::directory_iterator(folder)) found.push_back(e.path().filename());
    std::sort(found.begin(), found.end());
    return found;
  }

  fs::path dir_;
};

TEST_F(AtomicFileTest, CharacterDeviceIsWrittenThroughNotReplaced) {
  // A null device of our own, in the scratch folder.
  if (::mknod(path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "cannot make a device node here";
  writeFileAtomically(path("null"), writes("table text"));
  struct stat st;
  ASSERT_EQ(::lstat(path("null").c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_EQ(st.st_rdev, makedev(1, 3));
  EXPECT_EQ(names(dir_), std::vector<std::string>{"null"});
}

// Bytes of `size` that tell where they stand: a piece out of place or missing shows.
std::string numbered(std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; bytes.size() < size; ++i) bytes += std::to_string(i) + ',';
  bytes.resize(size);
  return bytes;
}

// Writes `bytes` in pieces of `piece` bytes, as the file writers hand over their blocks.
std::function<void(ByteSink &)> writesInPieces(const std::string &bytes, std::size_t piece) {
  return [&bytes, piece](ByteSink &sink) {
    for (std::size_t at = 0; at < bytes.size(); at += piece)
      sink.write(std::string_view(bytes).substr(at, piece));
  };
}

TEST_F(AtomicFileTest, LargeFilesArriveWholeAndInOrder) {
  // Pieces smaller than, equal to and larger than the chunks the writer thread takes.
  const std::string bytes = numbered(5'500'003);
  for (std::size_t piece : {std::size_t{65'536}, std::size_t{1} << 20, std::size_t{3'000'001}}) {
    SCOPED_TRACE(piece);
    put(path("big.xml"), "previous");
    writeFileAtomically(path("big.xml"), writesInPieces(bytes, piece));
    EXPECT_TRUE(slurp(path("big.xml")) == bytes);
    EXPECT_EQ(names(dir_), std::vector<std::string>{"big.xml"});
  }
}

TEST_F(AtomicFileTest, AFullDeviceFailsTheSaveWithItsReason) {
  // A device that takes no byte, like a full disk: small and large saves both fail, and a
  // large one stops soon after the first write fails instead of hanging.
  ASSERT_EQ(::mknod(path("full").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0)
      << "the suite runs as root and makes its own device nodes";
  const std::string large = numbered(64 << 20);
  for (const std::string &bytes : {std::string("a few bytes"), large}) {
    SCOPED_TRACE(bytes.size());
    std::size_t handed = 0;
    try {
      writeFileAtomically(path("full"), [&](ByteSink &sink) {
        for (std::size_t at = 0; at < bytes.size(); at += 65'536) {
          sink.write(std::string_view(bytes).substr(at, 65'536));
          handed += 65'536;
        }
      });
      FAIL() << "no error";
    } catch (const EFileError &e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot write file \"" + path("full") + "\". No space left on device");
    }
    EXPECT_LT(handed, std::size_t{16} << 20);
  }
}

TEST_F(AtomicFileTest, AProducerThatFailsMidwayKeepsTheOldFile) {
  put(path("keep.xml"), "previous");
  const std::string bytes = numbered(3 << 20);
  EXPECT_THROW(writeFileAtomically(path("keep.xml"),
                                   [&](ByteSink &sink) {
                                     writesInPieces(bytes, 65'536)(sink);
                                     throw std::runtime_error("cancelled");
                                   }),
               std::runtime_error);
  EXPECT_EQ(slurp(path("keep.xml")), "previous");
  EXPECT_EQ(names(dir_), std::vector<std::string>{"keep.xml"});
}

TEST_F(AtomicFileTest, FifoReceivesTheBytesAndStaysAFifo) {
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  // Held open for reading (and writing, so opening never waits); read until the end mark,
  // giving up after 5 s without data.
  int fd = ::open(path("pipe").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  const std::string sent = std::string(200000, 'x') + "end";
  std::string received;
  std::thread reader([&] {
    pollfd in{fd, POLLIN, 0};
    char buf[65536];
    while (received.size() < sent.size() && ::poll(&in, 1, 5000) > 0) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) received.append(buf, static_cast<std::size_t>(n));
    }
  });
  writeFileAtomically(path("pipe"), writes(sent));
  reader.join();
  ::close(fd);
  EXPECT_EQ(received.size(), sent.size());
  EXPECT_TRUE(received == sent);
  struct stat st;
  ASSERT_EQ(::lstat(path("pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(names(dir_), std::vector<std::string>{"pipe"});
}

TEST_F(AtomicFileTest, LinkToAPipeWritesDownThePipe) {
  // As /dev/stdout does when standard output is a pipe.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  fs::create_symlink("/proc/self/fd/" + std::to_string(fds[1]), path("out"));
  writeFileAtomically(path("out"), writes("down the pipe"));
  ::close(fds[1]);
  char buf[64];
  ssize_t n = ::read(fds[0], buf, sizeof buf);
  ::close(fds[0]);
  EXPECT_EQ(std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0), "down the pipe");
  EXPECT_TRUE(fs::is_symlink(path("out")));
}

TEST_F(AtomicFileTest, RelativeLinkChainReplacesTheFileAtItsEnd) {
  fs::create_directory(path("sub"));
  put(path("sub/real.txt"), "old");
  fs::create_symlink("real.txt", path("sub/hop"));
  fs::create_symlink("sub/hop", path("link.txt"));
  writeFileAtomically(path("link.txt"), writes("new"));
  EXPECT_TRUE(fs::is_symlink(path("link.txt")));
  EXPECT_TRUE(fs::is_symlink(path("sub/hop")));
  EXPECT_EQ(slurp(path("sub/real.txt")), "new");
  EXPECT_EQ(names(dir_ / "sub"), (std::vector<std::string>{"hop", "real.txt"}));
}

TEST_F(AtomicFileTest, DanglingLinkCreatesItsTargetBesideIt) {
  fs::create_directory(path("sub"));
  fs::create_symlink("sub/new.txt", path("link.txt"));
  writeFileAtomically(path("link.txt"), writes("fresh"));
  EXPECT_TRUE(fs::is_symlink(path("link.txt")));
  EXPECT_EQ(slurp(path("sub/new.txt")), "fresh");
  EXPECT_EQ(names(dir_ / "sub"), std::vector<std::string>{"new.txt"});
}

TEST_F(AtomicFileTest, ExistingFileKeepsOwnerAndPermissions) {
  put(path("theirs.txt"), "old");
  ::chmod(path("theirs.txt").c_str(), 0640);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path("theirs.txt").c_str(), 4321, 4322), 0);
  }
  writeFileAtomically(path("theirs.txt"), writes("new"));
  struct stat st;
  ASSERT_EQ(::stat(path("theirs.txt").c_str(), &st), 0);
  EXPECT_EQ(slurp(path("theirs.txt")), "new");
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
}

TEST_F(AtomicFileTest, FolderIsRefusedWithItsReason) {
  fs::create_directory(path("folder"));
  try {
    writeFileAtomically(path("folder"), writes("x"));
    FAIL() << "no error";
  } catch (const EFileError &e) {
    EXPECT_EQ(std::string(e.what()),
              "Cannot create file \"" + path("folder") + "\". Is a directory");
  }
  EXPECT_EQ(names(dir_), std::vector<std::string>{"folder"});
}

// A child process saves, stops half-way, and is ended by `sig`: the old file stays and the
// temporary file is gone; the child ends by the signal itself.
void interruptedSave(const std::string &target, const fs::path &dir, int sig) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    installTempFileCleanup();
    try {
      writeFileAtomically(target, [&](ByteSink &sink) {
        sink.write(std::string(1 << 20, 'n'));
        (void)::write(ready[1], "r", 1);
        for (;;) ::pause();
      });
    } catch (...) {
    }
    ::_exit(3);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  std::size_t during = 0;
  for (const auto &e : fs::directory_iterator(dir)) during += e.path().extension() == ".tmp";
  EXPECT_EQ(during, 1u);
  ::kill(child, sig);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
}

TEST_F(AtomicFileTest, SignalDuringSaveRemovesTheTemporaryFile) {
  put(path("keep.xls"), "previous");
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    interruptedSave(path("keep.xls"), dir_, sig);
    EXPECT_EQ(slurp(path("keep.xls")), "previous");
    EXPECT_EQ(names(dir_), std::vector<std::string>{"keep.xls"});
  }
}

TEST_F(AtomicFileTest, FinishedSaveLeavesNothingForTheSignalToRemove) {
  // Slots are given back: many saves in a row are all still guarded.
  for (int i = 0; i < 40; ++i) writeFileAtomically(path("f.txt"), writes(std::to_string(i)));
  put(path("keep.xls"), "previous");
  interruptedSave(path("keep.xls"), dir_, SIGTERM);
  EXPECT_EQ(names(dir_), (std::vector<std::string>{"f.txt", "keep.xls"}));
  EXPECT_EQ(slurp(path("f.txt")), "39");
}

}  // namespace
}  // namespace vexal
