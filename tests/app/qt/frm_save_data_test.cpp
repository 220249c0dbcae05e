// Save Data where a user's readings are at stake: a save whose final rename fails keeps the
// old file and leaves nothing behind, and a save during which the cable is pulled out and
// plugged in again writes every row, then recording goes on, without a deadlock.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <future>
#include <thread>

#include "app/qt/FrmTest.h"
#include "support/FixedClock.h"
#include "support/MeterFrames.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedHidPlatform.h"

namespace vexal {
namespace {

using namespace std::chrono_literals;

// Two readings that differ, so the repeat filter records each.
constexpr const char *kExampleFrame = kWorkedExampleFrame;
constexpr const char *kOtherValueFrame = "FFC0000000000000000006EBA7078057D7DFD0EF0D0A";

ScriptedHidPlatform::Device cable(const std::string &path, std::uint32_t id) {
  ScriptedHidPlatform::Device d;
  d.path = path;
  d.instanceId = id;
  d.attributes = {0x1A86, 0xE008, 0x0100};
  d.product = u"USB to Serial";
  return d;
}

// Sets or clears the file's immutable flag (no rename may replace it, not even root's).
bool setImmutable(const QString &path, bool on) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

QByteArray contentOf(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class FrmSaveDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    frm = std::make_unique<TFrmTest>(TFrmTest::Services{&clock, &dialogs, platform});
  }

  void feedFrames(int n) {
    for (int i = 0; i < n; ++i) {
      clock.now += 1000;
      for (const auto &report : cableReportsFor(i % 2 ? kOtherValueFrame : kExampleFrame))
        frm->ReadLusk(0, report.data(), static_cast<std::uint16_t>(report.size()));
    }
  }

  bool processUntil(const std::function<bool()> &done, std::chrono::milliseconds wait = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
  }

  QStringList filesInDir() const {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
  }

  QTemporaryDir dir;
  FixedClock clock{36'000'000};
  ScriptedDialogs dialogs;
  std::shared_ptr<ScriptedHidPlatform> platform = std::make_shared<ScriptedHidPlatform>();
  std::unique_ptr<TFrmTest> frm;
};

TEST_F(FrmSaveDataTest, RenameThatFailsKeepsTheOldFileAndLeavesNoTemporaryFile) {
  const QString file = dir.filePath(QStringLiteral("readings.xls"));
  {
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("the readings of yesterday\r\n");
  }
  if (!setImmutable(file, true))
    GTEST_SKIP() << "this file system or user cannot make a file immutable, which makes the "
                    "rename fail";
  feedFrames(3);
  dialogs.chooseNextFile(file);
  frm->SpeedButton1->click();
  ASSERT_TRUE(setImmutable(file, false));

  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, "Could not save table to specified file: " + file);
  EXPECT_EQ(contentOf(file), "the readings of yesterday\r\n");
  EXPECT_EQ(filesInDir(), QStringList{"readings.xls"});
  // Recording goes on after the failed save.
  const auto rows = frm->session().cds1.rowCount();
  feedFrames(1);
  EXPECT_EQ(frm->session().cds1.rowCount(), rows + 1);
}

// The save writes into a FIFO whose reader comes only after the cable was pulled out and
// plugged in again, so the save is certainly in progress meanwhile.
TEST_F(FrmSaveDataTest, CableUnpluggedAndPluggedInDuringTheSave) {
  platform->Plug(cable("/dev/hidraw0", 1));
  ASSERT_TRUE(processUntil([&] { return frm->DevListBox->count() == 1; }));
  frm->Panel2Click();
  ASSERT_TRUE(frm->link().LinkOpened());
  feedFrames(40);
  const std::size_t rowsAtSave = frm->session().cds1.rowCount();
  ASSERT_EQ(rowsAtSave, 40u);

  const QString fifo = dir.filePath(QStringLiteral("readings.txt"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  std::future<QByteArray> written;
  bool replugged = false;
  QTimer::singleShot(0, [&] {
    // The save is waiting for its reader: the cable goes and comes back.
    platform->Unplug("/dev/hidraw0");
    replugged = processUntil([&] { return frm->DevListBox->count() == 0; });
    platform->Plug(cable("/dev/hidraw1", 2));
    replugged = replugged && processUntil([&] { return frm->DevListBox->count() == 1; });
    written = std::async(std::launch::async, [&] { return contentOf(fifo); });
  });
  dialogs.chooseNextFile(fifo);
  const auto started = std::chrono::steady_clock::now();
  frm->SpeedButton1->click();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
  EXPECT_TRUE(replugged);
  ASSERT_TRUE(written.valid());
  ASSERT_EQ(written.wait_for(10s), std::future_status::ready) << "the save never finished";

  // Complete: the header line and every row held when the save began.
  const QList<QByteArray> lines = written.get().split('\n');
  ASSERT_EQ(lines.size(), static_cast<qsizetype>(rowsAtSave + 2));  // header, rows, empty end
  EXPECT_TRUE(lines[0].startsWith("Measurement No.\t"));
  EXPECT_TRUE(lines[rowsAtSave].startsWith(QByteArray::number(qulonglong(rowsAtSave)) + "\t"));
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_TRUE(dialogs.boxes[0].text.endsWith(" Scuss!")) << dialogs.boxes[0].text.toStdString();

  // The new cable is read on: its frames are recorded.
  EXPECT_TRUE(frm->link().USBConDown());
  for (const auto &report : cableReportsFor(kExampleFrame)) {
    std::vector<std::uint8_t> withId{0x00};
    withId.insert(withId.end(), report.begin(), report.end());
    platform->QueueReport("/dev/hidraw1", withId);
  }
  EXPECT_TRUE(processUntil([&] { return frm->session().cds1.rowCount() > rowsAtSave; }))
      << "recording did not resume on the cable plugged in again";
}

}  // namespace
}  // namespace vexal
