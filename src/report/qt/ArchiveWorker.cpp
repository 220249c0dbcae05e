#include "report/qt/ArchiveWorker.h"

#include <QPointer>
#include <exception>

#include "archive/Archive.h"

namespace vexal {

ArchiveWorker::ArchiveWorker(Opener open, QObject *parent)
    : QObject(parent), home_(new QObject), open_(std::move(open)) {
  thread_.setObjectName(QStringLiteral("archive"));
  home_->moveToThread(&thread_);
  connect(&thread_, &QThread::finished, home_, &QObject::deleteLater);
  thread_.start();
}

ArchiveWorker::~ArchiveWorker() {
  // The archive is closed on its own thread, after the call under way; calls still queued
  // are dropped with `home_` (their posted events go with it).
  QMetaObject::invokeMethod(
      home_, [this] { store_.reset(); }, Qt::BlockingQueuedConnection);
  thread_.quit();
  thread_.wait();
}

void ArchiveWorker::post(QObject *receiver, Answer job, std::function<void(QString)> failed) {
  if (pending_++ == 0) emit busyChanged(true);
  QMetaObject::invokeMethod(
      home_,
      [this, receiver = QPointer<QObject>(receiver), job = std::move(job),
       failed = std::move(failed)] {
        std::function<void()> reply;
        try {
          if (!store_) store_ = open_();
          reply = job(*store_);
        } catch (const std::exception &e) {
          // The connection may be the cause: the next call opens the archive afresh.
          store_.reset();
          const QString reason = QString::fromUtf8(e.what());
          reply = [this, failed, reason] {
            emit this->failed(reason);
            if (failed) failed(reason);
          };
        }
        // Answered on the worker's own thread (the window's), unless the receiver is gone.
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
