#pragma once
// The error box of the message loop: an exception that escapes any handler is shown with an
// error icon, titled with the application title, and the program goes on.

#include <QApplication>
#include <exception>
#include <memory>

#include "common/qt/Dialogs.h"

namespace vexal {

// Shows `message` (UTF-8) in the error box, full-stop rule applied.
void showErrorBox(Dialogs &dialogs, const QString &message);

// Shows the exception held by `error` in the error box.
void showException(Dialogs &dialogs, std::exception_ptr error);

// Runs `handler`; an exception escaping it is shown in the error box and swallowed.
// Returns false when that happened.
template <class Handler>
bool runGuarded(Dialogs &dialogs, Handler &&handler) {
  try {
    handler();
    return true;
  } catch (...) {
    showException(dialogs, std::current_exception());
    return false;
  }
}

// The application object: every event is delivered under the error box's guard.
class VexalApplication : public QApplication {
 public:
  VexalApplication(int &argc, char **argv);
  ~VexalApplication() override;

  bool notify(QObject *receiver, QEvent *event) override;

  // Where the error boxes go; the toolkit's message boxes unless set.
  void setErrorDialogs(Dialogs *dialogs) { errorDialogs_ = dialogs; }

 private:
  std::unique_ptr<QtDialogs> ownDialogs_;
  Dialogs *errorDialogs_;
};

}  // namespace vexal
