#include "app/qt/FileJob.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
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

}  // namespace

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
