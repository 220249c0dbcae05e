#include "report/qt/ArchiveWorker.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <exception>
#include <mutex>
#include <vector>

#include "archive/Archive.h"

namespace vexal {

namespace {

// The threads left running a call that never ended, with the object their calls run on: they
// live as long as the program, and are kept in reach here (a list never freed) rather than
// lost.
struct LeftBehind {
  QThread *thread;
  QObject *home;
};
std::vector<LeftBehind> &leftBehind() {
  static auto *threads = new std::vector<LeftBehind>;
  return *threads;
}

}  // namespace

struct ArchiveWorker::Shared {
  explicit Shared(Opener opener) : open(std::move(opener)) {}

  // The archive, opened on the archive's thread when a call needs it.
  Archive &archive() {
    if (!store) {
      auto opened = open();
      const std::lock_guard lock(mutex);
      store = std::move(opened);
    }
    return *store;
  }
  // Closes the archive (on the archive's thread, or once it has ended).
  void drop() {
    std::unique_ptr<Archive> old;
    const std::lock_guard lock(mutex);
    old = std::move(store);
  }
  bool isClosing() {
    const std::lock_guard lock(mutex);
    return closing;
  }

  const Opener open;
  // Guards `closing` and the `store` pointer (which only the archive's thread changes; the
  // window's thread reads it to cancel the call running).
  std::mutex mutex;
  bool closing = false;
  std::unique_ptr<Archive> store;
};

ArchiveWorker::ArchiveWorker(Opener open, QObject *parent)
    : QObject(parent),
      shared_(std::make_shared<Shared>(std::move(open))),
      thread_(new QThread),
      home_(new QObject) {
  thread_->setObjectName(QStringLiteral("archive"));
  home_->moveToThread(thread_);
  thread_->start();
}

ArchiveWorker::~ArchiveWorker() {
  // The calls asked so far may finish for a moment (a save about to commit is kept) ...
  QMetaObject::invokeMethod(
      home_, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
  bool ended = thread_->wait(QDeadlineTimer(kFinishWaitMs));
  {
    // ... then nobody is answered any more, the calls still queued are dropped and the one
    // running is cancelled: its transaction is rolled back.
    const std::lock_guard lock(shared_->mutex);
    shared_->closing = true;
    if (!ended && shared_->store) shared_->store->cancel();
  }
  if (!ended) ended = thread_->wait(QDeadlineTimer(kCancelWaitMs));
  if (!ended) {
    // A call that does not end (a connection that does not answer, even to a cancel) is
    // left to its thread; an archive's transaction is whole or absent whenever it ends, and
    // the program does not wait for it.
    leftBehind().push_back({thread_, home_});
    return;
  }
  delete home_;  // with the calls still queued
  delete thread_;
  shared_->drop();
}

void ArchiveWorker::post(QObject *receiver, Answer job, std::function<void(QString)> failed) {
  if (pending_++ == 0) emit busyChanged(true);
  QMetaObject::invokeMethod(
      home_,
      [this, shared = shared_, receiver = QPointer<QObject>(receiver), job = std::move(job),
       failed = std::move(failed)] {
        if (shared->isClosing()) return;
        std::function<void()> reply;
        try {
          reply = job(shared->archive());
        } catch (const std::exception &e) {
          // The connection may be the cause: the next call opens the archive afresh.
          shared->drop();
          const QString reason = QString::fromUtf8(e.what());
          reply = [this, failed, reason] {
            emit this->failed(reason);
            if (failed) failed(reason);
          };
        }
        // Answered on the worker's own thread (the window's), unless the receiver is gone,
        // or the worker (closing: `this` may be gone).
        const std::lock_guard lock(shared->mutex);
        if (shared->closing) return;
        QMetaObject::invokeMethod(
            this,
            [this, receiver, reply = std::move(reply)] {
              answered();
              if (receiver) reply();
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

void ArchiveWorker::answered() {
  if (--pending_ == 0) emit busyChanged(false);
}

}  // namespace vexal
