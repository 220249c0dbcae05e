#pragma once
// Collects what Qt would print on stderr while it lives, but for what the offscreen platform
// says of itself, so that a test can require a window to run quietly.

#include <QStringList>
#include <QtGlobal>

namespace vexal::test_qt {

class QtMessages {
 public:
  QtMessages() : previous_(qInstallMessageHandler(&collect)) { current() = this; }
  ~QtMessages() {
    qInstallMessageHandler(previous_);
    current() = nullptr;
  }
  QtMessages(const QtMessages &) = delete;
  QtMessages &operator=(const QtMessages &) = delete;

  bool empty() const { return messages_.isEmpty(); }
  std::string text() const { return messages_.join("\n").toStdString(); }

 private:
  static QtMessages *&current() {
    static QtMessages *collector = nullptr;
    return collector;
  }
  static void collect(QtMsgType, const QMessageLogContext &, const QString &text) {
    if (current() && !text.contains("This plugin does not support"))
      current()->messages_.append(text);
  }

  QtMessageHandler previous_;
  QStringList messages_;
};

}  // namespace vexal::test_qt
