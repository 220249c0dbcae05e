#include "common/qt/ErrorBox.h"

#include "common/ErrorText.h"
#include "common/qt/WindowStyle.h"

namespace vexal {

void showErrorBox(Dialogs &dialogs, const QString &message) {
  const std::string text = withFullStop(message.toStdString());
  dialogs.messageBox({QString::fromUtf8(kAppTitle.data(), kAppTitle.size()),
                      QString::fromStdString(text), BoxIcon::Error, BoxButtons::Ok});
}

void showException(Dialogs &dialogs, std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception &e) {
    showErrorBox(dialogs, QString::fromUtf8(e.what()));
  } catch (...) {
    showErrorBox(dialogs, QStringLiteral("Unknown exception"));
  }
}

VexalApplication::VexalApplication(int &argc, char **argv)
    : QApplication(argc, argv),
      ownDialogs_(std::make_unique<QtDialogs>()),
      errorDialogs_(ownDialogs_.get()) {
  useWindowStyle(*this);
}

VexalApplication::~VexalApplication() = default;

bool VexalApplication::notify(QObject *receiver, QEvent *event) {
  bool handled = false;
  runGuarded(*errorDialogs_, [&] { handled = QApplication::notify(receiver, event); });
  return handled;
}

}  // namespace vexal
