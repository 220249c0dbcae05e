#pragma once
// The archive's own thread. Every call to the archive runs there, one after the other, so a
// window never waits on a large file or a slow server; each result comes back on the
// window's thread. A call that fails (a lost connection, a full disk, a refused server)
// brings its message back instead, and the next call opens the archive afresh.
//
// Closing never waits long on the archive: the calls asked get a moment to finish, then the
// one running is cancelled (rolled back on the archive, never half-written), and a call that
// still does not end (a server that does not answer) is left to end on its own thread.

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

  // How long closing waits for the calls asked to finish, and then for the one running to
  // be cancelled.
  static constexpr int kFinishWaitMs = 500;
  static constexpr int kCancelWaitMs = 500;

  explicit ArchiveWorker(Opener open, QObject *parent = nullptr);
  // Lets the calls asked finish for a moment, then cancels the one running and drops the
  // rest; closes the archive. Never calls anyone back.
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
  struct Shared;
  void post(QObject *receiver, Answer job, std::function<void(QString)> failed);
  void answered();

  // What the archive's thread uses: it outlives the worker when a call does not end.
  std::shared_ptr<Shared> shared_;
  QThread *thread_;
  QObject *home_;    // lives on thread_: posted calls run in its context
  int pending_ = 0;  // touched on the window's thread only
};

}  // namespace vexal
