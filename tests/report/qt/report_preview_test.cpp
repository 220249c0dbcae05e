// The preview window: pages laid out only when seen, paging and the typed page number, zoom,
// and its print, PDF and export commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "common/qt/Dialogs.h"
#include "report/PrintReports.h"
#include "report/qt/ReportPreview.h"
#include "report/qt/ReportPrinting.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

class NoPrinter : public PrintService {
 public:
  bool choosePrinter(QPrinter &, int pageCount, QWidget *) override {
    asked = pageCount;
    return false;
  }
  int asked = 0;
};

ReadingTable tableOf(int rows) {
  ReadingTable t;
  for (int i = 1; i <= rows; ++i) {
    TableRow r;
    r.no = i;
    r.timeMs = i;
    r.value = std::to_string(i);
    r.unit = "G\xA6\xB8";
    t.appendRow(r);
  }
  return t;
}

class ReportPreviewTest : public ::testing::Test {
 protected:
  std::unique_ptr<TReportPreview> open(int rows) {
    table = tableOf(rows);
    auto preview = std::make_unique<TReportPreview>(reports.openDataReport(table, "d"), QImage(),
                                                    dialogs, printing);
    preview->resize(800, 900);
    preview->show();
    QApplication::processEvents();
    return preview;
  }

  ReadingTable table;
  PrintReports reports;
  ScriptedDialogs dialogs;
  NoPrinter printing;
  QTemporaryDir dir;
};

TEST_F(ReportPreviewTest, LaysOutOnlyThePagesInView) {
  auto preview = open(100'000);
  ReportPageView *view = preview->pages();
  EXPECT_EQ(preview->document().pageCount(), 2703);
  EXPECT_EQ(preview->PageTotal->text(), "of 2703");
  EXPECT_GE(view->pagesRendered(), 1);
  EXPECT_LE(view->pagesRendered(), 3);
  preview->Last->click();
  QApplication::processEvents();
  EXPECT_EQ(view->currentPage(), 2703);
  EXPECT_EQ(preview->PageNumber->value(), 2703);
  EXPECT_LE(view->pagesRendered(), 6);
  // Visiting many pages keeps only a few pictures.
  for (int p = 1; p <= 40; ++p) {
    view->goToPage(p * 50);
    view->viewport()->repaint();
  }
  EXPECT_LE(view->pagesKept(), 8);
  EXPECT_GE(view->pagesRendered(), 40);
}

TEST_F(ReportPreviewTest, PagesWithTheButtonsAndATypedNumber) {
  auto preview = open(200);  // 6 pages
  ReportPageView *view = preview->pages();
  preview->ZoomBox->setCurrentIndex(1);
  view->setZoomMode(ReportPageView::ZoomMode::FitPage);
  EXPECT_EQ(view->currentPage(), 1);
  preview->Next->click();
  EXPECT_EQ(view->currentPage(), 2);
  preview->Next->click();
  preview->Prior->click();
  EXPECT_EQ(view->currentPage(), 2);
  preview->Last->click();
  EXPECT_EQ(view->currentPage(), 6);
  preview->Next->click();
  EXPECT_EQ(view->currentPage(), 6);
  preview->First->click();
  EXPECT_EQ(view->currentPage(), 1);
  preview->Prior->click();
  EXPECT_EQ(view->currentPage(), 1);
  preview->PageNumber->setValue(4);
  EXPECT_EQ(view->currentPage(), 4);
  EXPECT_EQ(preview->PageNumber->maximum(), 6);
}

TEST_F(ReportPreviewTest, ZoomsToFitAndWithCtrlWheel) {
  auto preview = open(10);
  ReportPageView *view = preview->pages();
  view->setZoomMode(ReportPageView::ZoomMode::FitWidth);
  const double width = view->zoom();
  view->setZoomMode(ReportPageView::ZoomMode::FitPage);
  const double page = view->zoom();
  EXPECT_LT(page, width);  // a tall page fits in less
  view->setZoom(1.0);
  EXPECT_DOUBLE_EQ(view->zoom(), 1.0);
  QWheelEvent wheel(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &wheel);
  EXPECT_NEAR(view->zoom(), 1.1, 1e-9);
  EXPECT_EQ(view->zoomMode(), ReportPageView::ZoomMode::Fixed);
  view->setZoom(100);
  EXPECT_DOUBLE_EQ(view->zoom(), ReportPageView::kMaxZoom);
}

TEST_F(ReportPreviewTest, PrintAsksThePrintServiceForTheReportsPages) {
  auto preview = open(80);
  preview->PrintButton->click();
  EXPECT_EQ(printing.asked, 3);
}

TEST_F(ReportPreviewTest, PrintsThePageRangeChosen) {
  auto preview = open(80);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const QString out = dir.filePath(QStringLiteral("range.pdf"));
  printer.setOutputFileName(out);
  printer.setPrintRange(QPrinter::PageRange);
  printer.setFromTo(2, 3);
  ASSERT_TRUE(preview->printOn(printer));
  QFile f(out);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray pdf = f.readAll();
  EXPECT_TRUE(pdf.contains("/Count 2"));
  EXPECT_EQ(printer.docName(), "TEST DATA REPORT");
}

TEST_F(ReportPreviewTest, SavesAsPdfAndExportsThroughTheFileDialog) {
  auto preview = open(5);
  const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
  dialogs.chooseNextFile(pdf);
  preview->PdfButton->click();
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  EXPECT_EQ(dialogs.fileDialogs[0].mode, FileDialogMode::Save);
  EXPECT_TRUE(dialogs.fileDialogs[0].confirmOverwrite);
  QFile saved(pdf);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll().startsWith("%PDF-"));

  const QString csv = dir.filePath(QStringLiteral("r.csv"));
  dialogs.chooseNextFile(csv);
  preview->ExportButton->click();
  ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
  EXPECT_EQ(dialogs.fileDialogs[1].nameFilters.size(), 3);
  QFile exported(csv);
  ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
  EXPECT_TRUE(
      exported.readAll().startsWith("\xEF\xBB\xBFNo,Time,Value,Unit,Function,Remark\r\n1,"));

  dialogs.chooseNextFile(std::nullopt);  // cancelled: nothing written
  preview->ExportButton->click();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

// "report" typed with "Comma-separated text (*.csv)" chosen writes CSV to report.csv.
TEST_F(ReportPreviewTest, ExportWritesTheChosenTypeUnlessTheNameCarriesOne) {
  auto preview = open(3);
  const QString csvFilter = QStringLiteral("Comma-separated text (*.csv)");
  dialogs.chooseNextFile(dir.filePath(QStringLiteral("report")), csvFilter);
  preview->ExportButton->click();
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  EXPECT_TRUE(dialogs.fileDialogs[0].suffixFromFilter);
  EXPECT_TRUE(dialogs.fileDialogs[0].nameFilters.contains(csvFilter));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"report.csv"});
  QFile csv(dir.filePath(QStringLiteral("report.csv")));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  EXPECT_TRUE(csv.readAll().startsWith("\xEF\xBB\xBFNo,Time,Value"));
  EXPECT_TRUE(dialogs.boxes.empty());

  // A typed extension wins over the chosen type.
  dialogs.chooseNextFile(dir.filePath(QStringLiteral("plain.txt")), csvFilter);
  preview->ExportButton->click();
  QFile text(dir.filePath(QStringLiteral("plain.txt")));
  ASSERT_TRUE(text.open(QIODevice::ReadOnly));
  EXPECT_FALSE(text.readAll().contains("No,Time"));
  dialogs.chooseNextFile(dir.filePath(QStringLiteral("page.htm")), csvFilter);
  preview->ExportButton->click();
  QFile html(dir.filePath(QStringLiteral("page.htm")));
  ASSERT_TRUE(html.open(QIODevice::ReadOnly));
  EXPECT_TRUE(html.readAll().contains("<html"));
}

TEST_F(ReportPreviewTest, ExportAsksBeforeReplacingAFileTheDialogDidNotName) {
  auto preview = open(3);
  const QString existing = dir.filePath(QStringLiteral("report.txt"));
  {
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep me");
  }
  dialogs.chooseNextFile(dir.filePath(QStringLiteral("report")), QStringLiteral("Plain text (*.txt)"));
  dialogs.answerNextBox(BoxAnswer::No);
  preview->ExportButton->click();
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].buttons, BoxButtons::YesNo);
  EXPECT_TRUE(dialogs.boxes[0].text.contains(QStringLiteral("report.txt")));
  QFile kept(existing);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "keep me");
  kept.close();

  dialogs.chooseNextFile(dir.filePath(QStringLiteral("report")), QStringLiteral("Plain text (*.txt)"));
  dialogs.answerNextBox(BoxAnswer::Yes);
  preview->ExportButton->click();
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_NE(kept.readAll(), "keep me");
}

TEST(FileDialogFilters, TheFilterExtensionIsTheFirstPatterns) {
  EXPECT_EQ(filterExtension(QStringLiteral("Comma-separated text (*.csv)")), "csv");
  EXPECT_EQ(filterExtension(QStringLiteral("HTML document (*.html *.htm)")), "html");
  EXPECT_EQ(filterExtension(QStringLiteral("All files (*)")), "");
}

TEST_F(ReportPreviewTest, ExportToAnotherNameIsRefusedAndWritesNothing) {
  auto preview = open(5);
  EXPECT_THROW(preview->exportTo(dir.filePath(QStringLiteral("r.xls"))), EExportName);
  EXPECT_THROW(preview->exportTo(dir.filePath(QStringLiteral("r.pdf"))), EExportName);
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

// VEXAL_SHOT_DIR keeps the picture for the eye.
TEST_F(ReportPreviewTest, AtFitWidthThePaperFillsTheView) {
  auto preview = open(100);
  preview->pages()->setZoomMode(ReportPageView::ZoomMode::FitWidth);
  QApplication::processEvents();
  const QImage shot = preview->pages()->viewport()->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  // Across the middle of the view, nearly every pixel is paper or print, not background.
  int paper = 0;
  const int y = shot.height() / 2;
  for (int x = 0; x < shot.width(); ++x) {
    const int lightness = shot.pixelColor(x, y).lightness();
    if (lightness > 200 || lightness < 60) ++paper;
  }
  EXPECT_GT(paper, shot.width() * 8 / 10);
  const QByteArray shotDir = qgetenv("VEXAL_SHOT_DIR");
  if (!shotDir.isEmpty()) {
    EXPECT_TRUE(preview->grab().save(QString::fromUtf8(shotDir) + "/preview.png"));
  }
}

}  // namespace
}  // namespace vexal
