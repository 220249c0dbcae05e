#pragma once
// For window tests that open a modal window (whose exec() runs its own event loop): runs a
// check on the window once it is the active modal window, then closes it. When another
// window is modal instead, or none becomes modal within the wait, the test fails at once
// and every open modal window is closed, so the test goes on to its end instead of hanging
// in exec() until the suite's timeout.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

namespace vexal::test_windows {

inline void closeEveryModalWindow() {
  while (QWidget *modal = QApplication::activeModalWidget()) {
    if (auto *dialog = qobject_cast<QDialog *>(modal))
      dialog->reject();
    else
      modal->close();
    if (QApplication::activeModalWidget() == modal) modal->hide();
  }
}

// Lives in the test: polling stops when it goes, so it never reaches into a later test.
template <class Window>
class ModalWindowCheck {
 public:
  // `whileOpen` runs on the window; `close` then closes it (unless the check closed it).
  ModalWindowCheck(std::function<void(Window &)> whileOpen, std::function<void(Window &)> close,
                   int waitMs = 3000)
      : whileOpen_(std::move(whileOpen)), close_(std::move(close)), waitMs_(waitMs) {
    clock_.start();
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start();
  }

  bool seen() const { return seen_; }

 private:
  void poll() {
    QWidget *active = QApplication::activeModalWidget();
    if (auto *window = qobject_cast<Window *>(active)) {
      timer_.stop();
      seen_ = true;
      whileOpen_(*window);
      if (QApplication::activeModalWidget() == window) close_(*window);
      return;
    }
    // Something else is modal: it is not going to be the window, fail now.
    if (!active && clock_.elapsed() < waitMs_) return;
    timer_.stop();
    ADD_FAILURE() << "the expected window is not the active modal window; active: "
                  << (active ? active->metaObject()->className() : "none");
    closeEveryModalWindow();
  }

  std::function<void(Window &)> whileOpen_;
  std::function<void(Window &)> close_;
  int waitMs_;
  QElapsedTimer clock_;
  QTimer timer_;
  bool seen_ = false;
};

}  // namespace vexal::test_windows
