#pragma once
// Long file work off the GUI thread. While it runs, the GUI thread goes on painting, ticking
// its timers and taking posted events, but no user input; after a moment a busy box shows
// that something is going on. The window never freezes.

#include <QString>
#include <functional>

#include "record/FileProgress.h"

class QWidget;
class QProgressDialog;

namespace vexal {

// Runs `work` on a worker thread and returns when it is done. An exception escaping `work`
// is thrown again here, on the calling thread. `work` must not touch widgets.
void runFileJob(QWidget *parent, const QString &label, const std::function<void()> &work);

// Calls `step(first, count)` for consecutive slices of [0, total) on the calling thread,
// letting the GUI thread handle paints, timers and posted events (not user input) between
// slices, with the same busy box once it takes longer than a moment.
void runInSlices(QWidget *parent, const QString &label, std::size_t total,
                 const std::function<void(std::size_t first, std::size_t count)> &step);

// How long a job may take before the busy box appears, in milliseconds.
inline constexpr int kBusyBoxDelayMs = 400;

// What the progress box counts.
enum class ProgressUnit { Rows, Bytes };

// Runs `work` on a worker thread as runFileJob does, but once it takes longer than a moment
// a progress box shows how far it has got ("<label>" over "<done> of <total> rows/MB") with
// a Cancel button. Cancel asks `work` to stop: the next FileProgress::advance returns false.
// Until the box shows, user input waits; while it shows, it blocks the parent window. True
// when the job ran to its end without a cancel request being seen by `work`.
bool runFileJobWithProgress(QWidget *parent, const QString &label, ProgressUnit unit,
                            const std::function<void(FileProgress &)> &work);

}  // namespace vexal
