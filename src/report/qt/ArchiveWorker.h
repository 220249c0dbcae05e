#pragma once
// The archive's own thread. Every call to the archive runs there, one after the other, so a
// window never waits on a large file or a slow server; each result comes back on the
// window's thread. A call that fails (a lost connection, a full disk, a refused server)
// brings its message back instead, and the next call opens the archive afresh.

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>

namespace vexal {

class Archive;

class ArchiveWorker : public QObject {
  Q_OBJECT
 public:
  // Opens the archive on the worker thread when the first call needs it; throws on failure.
  using Opener = std::function<std::unique_ptr<Archive>()>;

  explicit ArchiveWorker(Opener open, QObject *parent = nullptr);
  // Waits for the call under way, drops the ones still queued, and closes the archive.
  ~ArchiveWorker() override;

  // Runs `job` on the archive's thread; then `done` with its result, or `failed` with the
  // reason, on the thread the worker was made on (the window's). Nothing is called back once
  // `receiver` is gone.
  template <class Job, class Done>
  void run(QObject *receiver, Job job, Done done, std::function<void(QString)> failed = {}) {
    using Result = std::invoke_result_t<Job &, Archive &>;
    post(
        receiver,
        [job = std::move(job), done = std::move(done)](Archive &archive) mutable {
          if constexpr (std::is_void_v<Result>) {
            job(archive);
            return std::function<void()>([done] { done(); });
          } else {
            auto result = std::make_shared<Result>(job(archive));
            return std::function<void()>([done, result] { done(std::move(*result)); });
          }
        },
        std::move(failed));
  }

  // Calls posted and not yet answered.
  int pending() const { return pending_; }

 signals:
  // The first call is posted / the last one answered: the window may say it is busy.
  void busyChanged(bool busy);
  // A call failed; its reason (also given to its own `failed`).
  void failed(const QString &reason);

 private:
  using Answer = std::function<std::function<void()>(Archive &)>;
  void post(QObject *receiver, Answer job, std::function<void(QString)> failed);
  void answered();

  QThread thread_;
  QObject *home_;  // lives on thread_: posted calls run in its context
  Opener open_;
  std::unique_ptr<Archive> store_;  // touched on thread_ only
  int pending_ = 0;                 // touched on the window's thread only
};

}  // namespace vexal
