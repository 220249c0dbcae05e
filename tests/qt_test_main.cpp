// Entry point of the Qt-side test executables: a QApplication must exist before any
// widget is made. Tests run on the offscreen platform unless one is set.
#include <gtest/gtest.h>
#include <QApplication>

#include "common/qt/WindowStyle.h"

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  // The program's own look, as the windows are drawn in it.
  vexal::useWindowStyle(app);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
