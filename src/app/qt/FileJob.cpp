#include "app/qt/FileJob.h"
#include "common/qt/ProgressBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

namespace vexal {

namespace {

// A box without a cancel button that shows itself once the job has taken a moment.
std::unique_ptr<QProgressDialog> makeBusyBox(QWidget *parent, const QString &label, int maximum) {
  auto box = std::make_unique<QProgressDialog>(label, QString(), 0, maximum, parent);
  box->setWindowModality(Qt::WindowModal);
  box->setCancelButton(nullptr);
  box->setAutoClose(false);
  box->setAutoReset(false);
  box->setValue(0);
  box->setMinimumDuration(kBusyBoxDelayMs);
  return box;
}

// The worker's progress, read by the GUI thread; the GUI thread's cancel request, read by the
// worker.
class SharedProgress : public FileProgress {
 public:
  bool advance(std::uint64_t done, std::uint64_t total) override {
    done_.store(done);
    total_.store(total);
    if (cancelRequested_.load()) stopSeen_.store(true);
    return !stopSeen_.load();
  }
  void requestCancel() { cancelRequested_.store(true); }
  bool stopSeen() const { return stopSeen_.load(); }
  std::uint64_t done() const { return done_.load(); }
  std::uint64_t total() const { return total_.load(); }

 private:
  std::atomic<std::uint64_t> done_{0}, total_{0};
  std::atomic<bool> cancelRequested_{false}, stopSeen_{false};
};

constexpr int kProgressSteps = 1000;

QString amountText(std::uint64_t done, std::uint64_t total, ProgressUnit unit) {
  if (unit == ProgressUnit::Rows) return QStringLiteral("%1 of %2 rows").arg(done).arg(total);
  const double mb = 1024.0 * 1024.0;
  return QStringLiteral("%1 of %2 MB").arg(done / mb, 0, 'f', 1).arg(total / mb, 0, 'f', 1);
}

void showProgress(QProgressDialog &box, const QString &label, const SharedProgress &progress,
                  ProgressUnit unit) {
  const std::uint64_t total = progress.total(), done = std::min(progress.done(), total);
  if (total == 0 || box.wasCanceled()) return;
  box.setLabelText(label + QLatin1Char('\n') + amountText(done, total, unit));
  box.setValue(static_cast<int>(static_cast<double>(done) / total * kProgressSteps));
}

}  // namespace

bool runFileJobWithProgress(QWidget *parent, const QString &label, ProgressUnit unit,
                            const std::function<void(FileProgress &)> &work) {
  SharedProgress progress;
  QProgressDialog box(parent);
  box.setObjectName(QStringLiteral("FileProgressBox"));
  setUpProgressBox(box, label, kProgressSteps);
  QObject::connect(&box, &QProgressDialog::canceled, [&] { progress.requestCancel(); });
  QTimer poll;
  poll.setInterval(50);
  QObject::connect(&poll, &QTimer::timeout, [&] { showProgress(box, label, progress, unit); });
  poll.start();

  std::atomic<bool> finished{false};
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work(progress);
    } catch (...) {
      failure = std::current_exception();
    }
    finished.store(true);
    // Wakes the GUI thread's wait below.
    QMetaObject::invokeMethod(
        &poll, [] {}, Qt::QueuedConnection);
  });
  while (!finished.load()) {
    // The box takes input once it shows; the window behind it stays blocked by it.
    const auto input = box.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
    QCoreApplication::processEvents(input | QEventLoop::WaitForMoreEvents);
  }
  worker.join();
  poll.stop();
  box.hide();
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const EFileCancelled &) {
      return false;
    }
  }
  return !progress.stopSeen();
}

void runFileJob(QWidget *parent, const QString &label, const std::function<void()> &work) {
  auto busy = makeBusyBox(parent, label, 0);
  QEventLoop loop;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    // Queued: the loop quits on the GUI thread, also if the work ends before it starts.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
  busy.reset();
  if (failure) std::rethrow_exception(failure);
}

void runInSlices(QWidget *parent, const QString &label, std::size_t total,
                 const std::function<void(std::size_t, std::size_t)> &step) {
  constexpr std::size_t kSlice = 20000;
  std::unique_ptr<QProgressDialog> busy;
  QElapsedTimer clock;
  clock.start();
  for (std::size_t first = 0; first < total; first += kSlice) {
    step(first, std::min(kSlice, total - first));
    if (!busy && clock.elapsed() >= kBusyBoxDelayMs) {
      busy = makeBusyBox(parent, label, 1000);
      busy->show();
    }
    if (busy) busy->setValue(static_cast<int>(1000.0 * (first + kSlice) / total));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
}

}  // namespace vexal
