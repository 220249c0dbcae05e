// Program entry: the application titled "Vexal", its main window, and the message loop whose
// error box shows any exception that escapes a handler.

#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/ProcessClock.h"
#include "app/qt/FrmAbout.h"
#include "app/qt/FrmTest.h"
#include "app/qt/JournalKeeper.h"
#include "common/ErrorText.h"
#include "common/qt/ErrorBox.h"
#include "record/TempFileCleanup.h"
#include "report/qt/ArchiveCommands.h"
#include "report/qt/FrmInsulation.h"
#include "report/qt/FrmPrint.h"
#include "report/qt/FrmStore.h"
#include "report/qt/ReportFlows.h"

namespace {

// For the start-up timing check only: with VEXAL_STARTUP_PROBE set, the program prints how
// long after the process start the main window's first frame was shown, and ends.
class StartupProbe : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Paint && !reported_) {
      reported_ = true;
      // Queued: runs once the painted frame has been handed to the screen.
      QTimer::singleShot(0, this, [] {
        const auto ms = vexal::msSinceProcessStart();
        std::printf("first frame shown %.0f ms after process start\n", ms ? *ms : -1.0);
        std::fflush(stdout);
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool reported_ = false;
};

// "--archive LOCATION" or "--archive=LOCATION": the test archive to use instead of
// $VEXAL_ARCHIVE or the default file. Nothing when not given; exits with a message when the
// location is missing.
std::optional<std::string> archiveOption(const QStringList &arguments) {
  std::optional<std::string> location;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString &a = arguments[i];
    if (a.startsWith(QStringLiteral("--archive="))) {
      location = a.mid(10).toStdString();
    } else if (a == QStringLiteral("--archive")) {
      if (i + 1 >= arguments.size()) {
        std::fprintf(stderr, "vexal: --archive needs a location (a file or a connection)\n");
        std::exit(2);
      }
      location = arguments[++i].toStdString();
    }
  }
  return location;
}

void centreOnDesktop(QWidget &window) {
  const QScreen *screen = window.screen();
  if (!screen) return;
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace

int main(int argc, char **argv) {
  // A save cut short by Ctrl+C or a shutdown leaves no temporary file behind.
  vexal::installTempFileCleanup();
  // The window icon lives in the GUI library's resources.
  Q_INIT_RESOURCE(vexal);
  vexal::VexalApplication app(argc, argv);
  app.setApplicationName(QString::fromUtf8(vexal::kAppTitle.data(), vexal::kAppTitle.size()));
  app.setDesktopFileName(QStringLiteral("vexal"));
  app.setWindowIcon(QIcon(QStringLiteral(":/vexal/vexal.svg")));

  vexal::TFrmTest FrmTest;
  app.setErrorDialogs(&FrmTest.dialogs());
  QObject::connect(&FrmTest, &vexal::TFrmTest::endRequested, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);

  StartupProbe probe;
  if (std::getenv("VEXAL_STARTUP_PROBE")) FrmTest.installEventFilter(&probe);

  // Every recorded reading also goes to the journal of this run; journals that earlier runs
  // left with unsaved readings are offered once the window shows.
  vexal::JournalKeeper journal(FrmTest, vexal::journalFolderFromEnvironment());

  centreOnDesktop(FrmTest);
  FrmTest.show();
  QTimer::singleShot(0, &journal, [&journal] { journal.offerStrandedJournals(); });

  // The other windows are created hidden and live until the end; each is shown modally over
  // the main window when it asks for it.
  vexal::TFrmAbout FrmAbout(&FrmTest);
  vexal::TFrmprint Frmprint(FrmTest.dialogs(), &FrmTest, &FrmTest.reportFlows());
  vexal::TFrmstore Frmstore(
      {FrmTest.StoreSaveData, FrmTest.StoreDeleteData, FrmTest.StoreOpenData, FrmTest.StoreReport},
      &FrmTest);
  QObject::connect(&FrmTest, &vexal::TFrmTest::aboutRequested, &FrmAbout, &QDialog::exec);
  QObject::connect(&FrmTest, &vexal::TFrmTest::printStyleRequested, &Frmprint, &QDialog::exec);
  QObject::connect(&FrmTest, &vexal::TFrmTest::storeWindowRequested, &Frmstore, &QDialog::exec);
  // The insulation test window is not modal: it stays open beside the main window.
  vexal::TFrmInsulation FrmInsulation(
      FrmTest.session().cds1,
      std::make_unique<vexal::QtReportPreviewer>(FrmTest.dialogs(), &FrmTest), &FrmTest);
  QObject::connect(&FrmTest, &vexal::TFrmTest::insulationTestRequested, &FrmInsulation,
                   &vexal::TFrmInsulation::showRuns);
  // The test archive: its window from the menu bar's "Archive" and from the insulation test
  // window, which also stores its runs there and tells how that went over itself.
  vexal::QtDialogs archiveBoxes(&FrmInsulation);
  vexal::ArchiveCommands archive(
      vexal::chooseArchiveLocation(archiveOption(app.arguments())), FrmTest.session().cds1,
      FrmInsulation,
      [&FrmTest] {
        return std::make_unique<vexal::QtReportPreviewer>(FrmTest.dialogs(), &FrmTest);
      },
      archiveBoxes, &FrmTest);
  QObject::connect(&FrmTest, &vexal::TFrmTest::archiveRequested, &archive,
                   &vexal::ArchiveCommands::showArchive);
  QObject::connect(&FrmTest, &vexal::TFrmTest::dataFileOpened, &archive,
                   &vexal::ArchiveCommands::fileOpened);

  const int status = app.exec();
  journal.closeAtExit();
  return status;
}
