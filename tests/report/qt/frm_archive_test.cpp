// The archive in the windows, on a scratch SQLite archive: a run saved from the Insulation
// Test window shows in the Archive window's history; an asset with five tests over five
// years shows its halved mark, trend and overlay, opens a test read-only and prints its
// history; an archive that cannot be read is told and loses nothing typed. On a PostgreSQL
// archive: a lost server connection is told, nothing typed is lost and the next try connects
// again; closing during a call the server holds up neither waits for it nor half-writes it.
// VEXAL_SHOT_DIR keeps a picture of the Archive window and the history report as PDF.
#include "report/qt/FrmArchive.h"

#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QXYSeries>
#include <atomic>
#include <chrono>
#include <cstdio>

#include "archive/Archive.h"
#include "common/Cp936.h"
#include "recording_previewer.h"
#include "report/ArchivedRuns.h"
#include "report/AssetHistoryReport.h"
#include "report/qt/ArchiveCharts.h"
#include "report/qt/ArchiveCommands.h"
#include "report/qt/ArchiveWorker.h"
#include "report/qt/FrmInsulation.h"
#include "report/qt/ReportRenderer.h"
#include "report/qt/SaveToArchive.h"
#include "support/EventPump.h"
#include "support/PostgresServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

using namespace std::chrono_literals;
using test_events::pumpUntil;
using test_rows::at;
using test_rows::makeRow;

const std::string kGOhm = "G" + std::string(kOhm);
const std::string kFunction = "IR:2500 100G" + std::string(kOhm);

// A ten-minute PI run: `scale` × (0.60 GΩ at the start, 13 MΩ more every second).
void addPiRun(ReadingTable &table, std::int32_t startMs, double scale = 1.0) {
  for (int s = 0; s <= 600; ++s) {
    char value[16];
    std::snprintf(value, sizeof value, "%.2f", scale * (0.60 + 0.013 * s));
    table.appendRow(makeRow(s + 1, startMs + 1000 * s, value, kGOhm, kFunction, "PI"));
  }
}

// Every preview the windows open is kept in one place.
class ForwardingPreviewer : public ReportPreviewer {
 public:
  explicit ForwardingPreviewer(RecordingPreviewer &to) : to_(to) {}
  void preview(ReportDocument doc, const QImage &picture) override {
    to_.preview(std::move(doc), picture);
  }

 private:
  RecordingPreviewer &to_;
};

QString shotDir() {
  return QString::fromLocal8Bit(qgetenv("VEXAL_SHOT_DIR"));
}

class FrmArchiveTest : public ::testing::Test {
 protected:
  FrmArchiveTest() { location = archiveLocation(dir.filePath("archive.sqlite").toStdString()); }

  void openWindows() {
    insulation = std::make_unique<TFrmInsulation>(table, nullptr);
    commands = std::make_unique<ArchiveCommands>(
        location, table, *insulation,
        [this] { return std::make_unique<ForwardingPreviewer>(previews); }, dialogs, nullptr);
    insulation->showRuns();
  }

  TFrmArchive &window() { return commands->window(); }
  bool settled() {
    return pumpUntil([this] { return commands->worker().pending() == 0; }, 10s);
  }

  // An asset with a test in each of five years: R(1 min) falling, the fourth at less than
  // half of the third (halved), the tests taken at 20 °C.
  void storeFiveYears() {
    auto archive = Archive::open(location);
    Asset asset;
    asset.tag = "M-101";
    asset.name = "Feed pump motor";
    asset.location = "Hall 2";
    asset.ratedKv = 6.6;
    asset.insulationClass = ArchiveClass::F;
    asset.winding = ArchiveWinding::FormWound;
    archive->addAsset(asset);
    const double scales[] = {1.6, 1.4, 1.3, 0.25, 0.22};
    for (int year = 0; year < 5; ++year) {
      ReadingTable run;
      addPiRun(run, at(10, 0, 0), scales[year]);
      NewTest test;
      test.assetTag = "M-101";
      test.particulars.date = std::to_string(2020 + year) + "-05-0" + std::to_string(year + 1);
      test.particulars.operatorName = "J. Smith";
      test.particulars.windingTemperatureC = 20;
      test.readings = testReadingsOfRun(run.snapshot(), findInsulationRuns(run).front());
      archive->storeTest(test);
    }
  }

  QTemporaryDir dir;
  ArchiveLocation location;
  ReadingTable table;
  ScriptedDialogs dialogs;
  RecordingPreviewer previews;
  std::unique_ptr<TFrmInsulation> insulation;
  std::unique_ptr<ArchiveCommands> commands;
};

TEST_F(FrmArchiveTest, SavedRunShowsInTheArchiveWindowsHistory) {
  addPiRun(table, at(10, 0, 0));
  openWindows();
  insulation->WindingTemperature->setText("20");
  TSaveToArchive *save = commands->saveRun();
  ASSERT_NE(save, nullptr);
  ASSERT_TRUE(settled());
  EXPECT_EQ(save->AssetBox->count(), 1);  // "New asset..." in an empty archive
  EXPECT_EQ(save->Date->date(), QDate::currentDate());
  EXPECT_FALSE(save->DateConfirmed->isVisibleTo(save));
  save->Tag->setText("M-101");
  save->AssetName->setText("Feed pump motor");
  save->RatedKv->setText("6.6");
  // The asset's particulars fill the window's, which judges with them.
  EXPECT_EQ(insulation->RatedVoltage->text(), "6.6");
  EXPECT_EQ(insulation->Equipment->text(), "M-101  Feed pump motor");
  save->Operator->setText("A. Jones");
  save->SaveClick();
  ASSERT_TRUE(pumpUntil([&] { return !dialogs.boxes.empty(); }, 10s));
  EXPECT_TRUE(dialogs.boxes.back().text.startsWith("Stored as test "))
      << dialogs.boxes.back().text.toStdString();

  commands->showArchive();
  ASSERT_TRUE(settled());
  ASSERT_EQ(window().AssetList->rowCount(), 1);
  EXPECT_EQ(window().AssetList->item(0, 0)->text(), "M-101");
  EXPECT_EQ(window().AssetList->item(0, 2)->text(), "1");
  const QString today = QDate::currentDate().toString(Qt::ISODate);
  EXPECT_EQ(window().AssetList->item(0, 3)->text(), today);
  ASSERT_EQ(window().History->rowCount(), 1);
  EXPECT_EQ(window().History->item(0, 1)->text(), today);
  EXPECT_EQ(window().History->item(0, 2)->text(), "2500 V");
  EXPECT_EQ(window().History->item(0, 4)->text(), QString::fromUtf8("345 M\xCE\xA9"));
  EXPECT_EQ(window().History->item(0, 9)->text(), "A. Jones");

  // The same run again is found, not stored twice.
  TSaveToArchive *again = commands->saveRun();
  ASSERT_TRUE(settled());
  ASSERT_EQ(again->AssetBox->currentText(), "M-101  Feed pump motor");
  again->SaveClick();
  ASSERT_TRUE(pumpUntil([&] { return dialogs.boxes.size() == 2; }, 10s));
  EXPECT_TRUE(dialogs.boxes.back().text.contains("in the archive already"));
  ASSERT_TRUE(settled());
  EXPECT_EQ(window().History->rowCount(), 1);
}

TEST_F(FrmArchiveTest, FiveYearsShowHalvedMarkTrendOverlayTestAndReport) {
  storeFiveYears();
  openWindows();
  commands->showArchive();
  ASSERT_TRUE(settled());
  ASSERT_EQ(window().tests().size(), 5u);
  TFrmArchive &w = window();
  for (int row = 0; row < 5; ++row)
    EXPECT_EQ(w.History->item(row, 1 + kHistoryHalvedColumn)->text(),
              row == 3 ? QString(kHalvedMark) : QString())
        << row;
  EXPECT_EQ(w.History->item(3, 7)->text(), "fail");
  EXPECT_EQ(w.History->item(0, 7)->text(), "pass");
  EXPECT_EQ(w.AssetList->item(0, kAssetVerdictColumn)->text(), "fail");
  EXPECT_EQ(w.AssetList->item(0, kAssetVerdictColumn)->foreground().color(), QColor(200, 0, 0));

  auto points = [&](const char *name) {
    return static_cast<QXYSeries *>(w.Trend->series(name))->count();
  };
  EXPECT_EQ(points("halved"), 1);
  EXPECT_EQ(points("pass") + points("fail"), 5);
  EXPECT_EQ(points("Min PI"), 2);
  // The date axis is labelled at each new year, each year once (2020 and 2024 are leap years).
  const auto *dates = static_cast<QDateTimeAxis *>(w.Trend->chart()->axes(Qt::Horizontal)[0]);
  const qint64 from = dates->min().toMSecsSinceEpoch(), to = dates->max().toMSecsSinceEpoch();
  QStringList labels;
  for (int k = 0; k < dates->tickCount(); ++k)
    labels << QDateTime::fromMSecsSinceEpoch(from + (to - from) * k / (dates->tickCount() - 1))
                  .toString(dates->format());
  EXPECT_EQ(labels.join(' ').toStdString(), "2020 2021 2022 2023 2024 2025");
  EXPECT_EQ(w.Overlay->curveCount(), 3);
  // Ticking another test adds its curve.
  w.History->item(0, 0)->setCheckState(Qt::Checked);
  ASSERT_TRUE(settled());
  EXPECT_EQ(w.Overlay->curveCount(), 4);

  if (!shotDir().isEmpty()) {
    QDir().mkpath(shotDir());
    w.resize(1400, 860);
    QTest::qWait(50);
    EXPECT_TRUE(w.grab().save(shotDir() + "/archive-window.png"));
  }

  // A test opens read-only with its stored particulars.
  w.History->selectRow(3);
  w.OpenTestClick();
  ASSERT_TRUE(settled());
  ASSERT_EQ(w.openedTests().size(), 1u);
  TFrmInsulation *opened = w.openedTests().front();
  EXPECT_TRUE(opened->readOnly());
  EXPECT_TRUE(opened->windowTitle().contains("2023-05-04"));
  EXPECT_TRUE(opened->WindingTemperature->isReadOnly());
  EXPECT_EQ(opened->WindingTemperature->text(), "20");
  EXPECT_EQ(opened->RatedVoltage->text(), "6.6");
  EXPECT_FALSE(opened->SaveToArchiveButton->isVisible());
  ASSERT_EQ(opened->runs().size(), 1u);
  EXPECT_EQ(opened->runs().front().rows, 601u);

  // The history report: the asset, the trend as its picture, the five tests.
  w.ReportClick();
  ASSERT_EQ(previews.shown.size(), 1u);
  EXPECT_EQ(previews.shown[0].layout, "AssetHistoryReport");
  EXPECT_EQ(previews.shown[0].picture, QSize(950, 450));
  EXPECT_EQ(previews.shown[0].lastDetail[0], "2024-05-05");
  if (!shotDir().isEmpty()) {
    const QImage trend = chartPicture(*w.Trend, QSize(950, 450));
    const ReportDocument doc = openAssetHistoryReport(*w.asset(), w.tests(), "10/12/2026");
    saveReportPdf(doc, shotDir() + "/asset-history-report.pdf", &trend);
  }
}

TEST_F(FrmArchiveTest, SearchNarrowsTheAssets) {
  storeFiveYears();
  {
    auto archive = Archive::open(location);
    Asset cable;
    cable.tag = "C-7";
    cable.name = "Feeder cable";
    cable.location = "Substation North";
    cable.kind = AssetKind::Cable;
    archive->addAsset(cable);
  }
  openWindows();
  commands->showArchive();
  ASSERT_TRUE(settled());
  EXPECT_EQ(window().AssetList->rowCount(), 2);
  window().Search->setText("north");
  ASSERT_TRUE(pumpUntil([&] { return window().AssetList->rowCount() == 1; }, 10s));
  EXPECT_EQ(window().AssetList->item(0, 0)->text(), "C-7");
  EXPECT_EQ(window().AssetList->item(0, 2)->text(), "0");
}

TEST_F(FrmArchiveTest, AnUnreadableArchiveIsToldAndNothingTypedIsLost) {
  QFile foreign(dir.filePath("foreign.sqlite"));
  ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
  foreign.write(QByteArray(4096, 'x'));
  foreign.close();
  location = archiveLocation(foreign.fileName().toStdString());
  addPiRun(table, at(10, 0, 0));
  openWindows();

  commands->showArchive();
  window().Search->setText("M-1");
  window().refreshAssets();
  ASSERT_TRUE(settled());
  EXPECT_TRUE(window().Status->text().startsWith("The archive could not be read"));
  EXPECT_EQ(window().Search->text(), "M-1");

  TSaveToArchive *save = commands->saveRun();
  ASSERT_TRUE(settled());
  save->Tag->setText("M-101");
  save->Remarks->setText("after rewind");
  save->SaveClick();
  ASSERT_TRUE(settled());
  EXPECT_TRUE(save->Status->text().startsWith("Not stored: "))
      << save->Status->text().toStdString();
  EXPECT_TRUE(save->isVisible());
  EXPECT_TRUE(save->SaveButton->isEnabled());
  EXPECT_EQ(save->Tag->text(), "M-101");
  EXPECT_EQ(save->Remarks->text(), "after rewind");
  ASSERT_TRUE(foreign.open(QIODevice::ReadOnly));
  EXPECT_EQ(foreign.readAll(), QByteArray(4096, 'x'));
}

TEST_F(FrmArchiveTest, ARunFromADataFileWaitsForItsDateToBeConfirmed) {
  addPiRun(table, at(10, 0, 0));
  openWindows();
  commands->fileOpened();
  TSaveToArchive *save = commands->saveRun();
  ASSERT_TRUE(settled());
  save->Tag->setText("M-101");
  EXPECT_TRUE(save->DateConfirmed->isVisibleTo(save));
  EXPECT_FALSE(save->SaveButton->isEnabled());
  save->Date->setDate(QDate(2025, 3, 14));
  save->DateConfirmed->setChecked(true);
  ASSERT_TRUE(save->SaveButton->isEnabled());
  save->SaveClick();
  ASSERT_TRUE(pumpUntil([&] { return !dialogs.boxes.empty(); }, 10s));
  const auto history = Archive::open(location)->history("M-101");
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].particulars.date, "2025-03-14");
}

// Archive calls run on the archive's thread: the window's thread goes on while one is held
// up, the answer comes back on the window's thread, and after a failure the archive is
// opened afresh.
TEST_F(FrmArchiveTest, ArchiveCallsNeverHoldTheWindowsThread) {
  int opened = 0;
  ArchiveWorker worker([&] {
    ++opened;
    return Archive::open(location);
  });
  QObject receiver;
  QSemaphore release;
  QThread *ranOn = nullptr;
  std::optional<std::size_t> answer;
  QThread *answeredOn = nullptr;
  worker.run(
      &receiver,
      [&](Archive &archive) {
        ranOn = QThread::currentThread();
        release.acquire();  // a slow server
        return archive.assets().size();
      },
      [&](std::size_t assets) {
        answer = assets;
        answeredOn = QThread::currentThread();
      });
  EXPECT_EQ(worker.pending(), 1);
  bool ticked = false;
  QTimer::singleShot(20, [&] { ticked = true; });
  ASSERT_TRUE(pumpUntil([&] { return ticked; }, 5s));  // the window's events go on
  EXPECT_FALSE(answer);
  release.release();
  ASSERT_TRUE(pumpUntil([&] { return answer.has_value(); }, 10s));
  EXPECT_EQ(*answer, 0u);
  EXPECT_NE(ranOn, QThread::currentThread());
  EXPECT_EQ(answeredOn, QThread::currentThread());

  QString reason;
  worker.run(
      &receiver, [](Archive &) -> int { throw EArchiveError("server closed the connection"); },
      [](int) {}, [&](const QString &why) { reason = why; });
  ASSERT_TRUE(pumpUntil([&] { return !reason.isEmpty(); }, 10s));
  EXPECT_EQ(reason, "server closed the connection");
  answer.reset();
  worker.run(
      &receiver, [](Archive &archive) { return archive.assets().size(); },
      [&](std::size_t assets) { answer = assets; });
  ASSERT_TRUE(pumpUntil([&] { return answer.has_value(); }, 10s));
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(worker.pending(), 0);
}

// A call that never ends (a server that answers nothing, not even a cancel) is left to its
// thread when the worker closes: closing does not wait for it, and nobody is answered later.
TEST_F(FrmArchiveTest, ClosingLeavesACallThatNeverEndsBehind) {
  QObject receiver;
  QSemaphore release;
  std::atomic<bool> ended{false};
  bool answered = false;
  auto worker = std::make_unique<ArchiveWorker>([&] { return Archive::open(location); });
  worker->run(
      &receiver,
      [&](Archive &) {
        release.acquire();
        ended = true;
        return 0;
      },
      [&](int) { answered = true; });
  QTest::qWait(50);
  QElapsedTimer closing;
  closing.start();
  worker.reset();
  EXPECT_LT(closing.elapsed(), 3000);
  release.release();
  ASSERT_TRUE(pumpUntil([&] { return ended.load(); }, 10s));
  QTest::qWait(50);
  EXPECT_FALSE(answered);
}

// A connection of the test's own to the server of the archive.
class ServerSide {
 public:
  explicit ServerSide(const std::string &conninfo) : conn_(PQconnectdb(conninfo.c_str())) {}
  ~ServerSide() { PQfinish(conn_); }
  // The first value of the statement's first row ("" when none); fails the test on error.
  std::string run(const std::string &sql) {
    PGresult *r = PQexec(conn_, sql.c_str());
    const auto status = PQresultStatus(r);
    EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        << sql << ": " << PQresultErrorMessage(r);
    std::string first = PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    return first;
  }

 private:
  PGconn *conn_;
};

constexpr const char *kOtherBackends =
    "FROM pg_stat_activity WHERE datname = current_database() AND pid <> pg_backend_pid()";

class FrmArchiveServerTest : public FrmArchiveTest {
 protected:
  FrmArchiveServerTest() : conninfo(test_pg::freshDatabase()), server(conninfo) {
    location = archiveLocation(conninfo);
  }
  // Drops every connection of the program to the archive, as a server restart would.
  void dropConnections() {
    EXPECT_NE(server.run(std::string("SELECT count(pg_terminate_backend(pid)) ") + kOtherBackends),
              "0");
  }

  std::string conninfo;
  ServerSide server;
};

TEST_F(FrmArchiveServerTest, ALostConnectionIsToldNothingTypedIsLostAndTheNextTryConnects) {
  addPiRun(table, at(10, 0, 0));
  openWindows();
  insulation->WindingTemperature->setText("20");
  commands->showArchive();
  TSaveToArchive *save = commands->saveRun();
  ASSERT_TRUE(settled());
  dropConnections();

  save->Tag->setText("M-101");
  save->AssetName->setText("Feed pump motor");
  save->Remarks->setText("after rewind");
  save->SaveClick();
  ASSERT_TRUE(settled());
  const QString told = save->Status->text();
  EXPECT_TRUE(told.startsWith("Not stored: ") && told.contains("connection to the server was lost"))
      << told.toStdString();
  EXPECT_TRUE(save->isVisible());
  EXPECT_TRUE(save->SaveButton->isEnabled());
  EXPECT_EQ(save->Tag->text(), "M-101");
  EXPECT_EQ(save->Remarks->text(), "after rewind");
  EXPECT_EQ(insulation->runs().size(), 1u);
  EXPECT_TRUE(dialogs.boxes.empty());
  if (!shotDir().isEmpty()) {
    QDir().mkpath(shotDir());
    QTest::qWait(50);
    EXPECT_TRUE(save->grab().save(shotDir() + "/save-lost-connection.png"));
  }

  save->SaveClick();
  ASSERT_TRUE(pumpUntil([&] { return !dialogs.boxes.empty(); }, 10s));
  EXPECT_TRUE(dialogs.boxes.back().text.startsWith("Stored as test "))
      << dialogs.boxes.back().text.toStdString();
  ASSERT_TRUE(settled());
  EXPECT_EQ(window().AssetList->rowCount(), 1);

  // The Archive window alike: told, its search kept, and read again on Refresh.
  dropConnections();
  window().Search->setText("M-1");
  window().refreshAssets();
  ASSERT_TRUE(settled());
  EXPECT_TRUE(window().Status->text().startsWith("The archive could not be read"))
      << window().Status->text().toStdString();
  EXPECT_EQ(window().Search->text(), "M-1");
  if (!shotDir().isEmpty()) {
    QTest::qWait(50);
    EXPECT_TRUE(window().grab().save(shotDir() + "/archive-lost.png"));
  }
  window().refreshAssets();
  ASSERT_TRUE(settled());
  EXPECT_EQ(window().Status->text(), "");
  EXPECT_EQ(window().AssetList->rowCount(), 1);
}

// Another program holds the assets table: the save waits on the server when the program is
// closed. Closing cancels it, and the archive has none of it.
TEST_F(FrmArchiveServerTest, ClosingDuringAHeldSaveNeitherWaitsNorHalfWrites) {
  Archive::open(location);
  addPiRun(table, at(10, 0, 0));
  openWindows();
  TSaveToArchive *save = commands->saveRun();
  ASSERT_TRUE(settled());
  ServerSide holder(conninfo);
  holder.run("BEGIN");
  holder.run("LOCK TABLE assets IN SHARE MODE");
  save->Tag->setText("M-101");
  save->SaveClick();
  ASSERT_TRUE(pumpUntil(
      [&] {
        return server.run(std::string("SELECT count(*) ") + kOtherBackends +
                          " AND wait_event_type = 'Lock'") == "1";
      },
      10s));

  QElapsedTimer closing;
  closing.start();
  commands.reset();
  EXPECT_LT(closing.elapsed(), 3000);
  holder.run("COMMIT");
  auto archive = Archive::open(location);
  EXPECT_FALSE(archive->findAsset("M-101"));
  EXPECT_TRUE(archive->check().problems.empty());
  archive.reset();
  // The program's connections end (the server notes it a moment later): the holder's is left.
  EXPECT_TRUE(pumpUntil(
      [&] { return server.run(std::string("SELECT count(*) ") + kOtherBackends) == "1"; }, 10s));
}

}  // namespace
}  // namespace vexal
