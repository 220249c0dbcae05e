// Drawing laid-out pages: PDF files with the report's pages, title and footer, pictures in
// their boxes, and PDF saving that leaves no partial file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "report/PrintReports.h"
#include "report/qt/ReportRenderer.h"

namespace vexal {
namespace {

ReadingTable tableOf(int rows) {
  ReadingTable t;
  for (int i = 1; i <= rows; ++i) {
    TableRow r;
    r.no = i;
    r.timeMs = i * 1000;
    r.value = std::to_string(i);
    r.unit = "M\xA6\xB8";
    t.appendRow(r);
  }
  return t;
}

QString run(const QString &program, const QStringList &args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

bool havePoppler() {
  return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty();
}

TEST(ReportPdf, HoldsThePagesTitleAndFooters) {
  if (!havePoppler()) GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("two.pdf"));
  ReadingTable t = tableOf(40);
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(t, "01/02/2026");
  saveReportPdf(doc, path, nullptr);
  const QString info = run(QStringLiteral("pdfinfo"), {path});
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))))
      << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+TEST DATA REPORT\\n"))));
  EXPECT_TRUE(info.contains(QStringLiteral("A4")));
  const QString page2 = run(QStringLiteral("pdftotext"),
                            {QStringLiteral("-f"), QStringLiteral("2"), path, QStringLiteral("-")});
  EXPECT_TRUE(page2.simplified().contains(QStringLiteral("The Page 2 Of 2")))
      << page2.toStdString();
  EXPECT_TRUE(page2.contains(QStringLiteral("38")));
  EXPECT_TRUE(page2.contains(QStringLiteral("M\u03A9")));
  EXPECT_FALSE(page2.contains(QStringLiteral("37\n")));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(ReportPdf, CancelledSaveLeavesTheOldFileAndNoOther) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("old.pdf"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep me");
  }
  ReadingTable t = tableOf(200);
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(t, "d");
  EXPECT_THROW(
      saveReportPdf(doc, path, nullptr, [](std::size_t done, std::size_t) { return done < 3; }),
      ExportCancelled);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("keep me"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(ReportPdf, UnwritableFolderThrowsAndLeavesNothing) {
  QTemporaryDir dir;
  ReadingTable t = tableOf(1);
  PrintReports reports;
  EXPECT_ANY_THROW(saveReportPdf(reports.openDataReport(t, "d"),
                                 dir.filePath(QStringLiteral("no/such/r.pdf")), nullptr));
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST(ReportPdf, DataGraphReportIsOnePageWithItsPicture) {
  if (!havePoppler()) GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
  QTemporaryDir dir;
  const QByteArray keep = qgetenv("VEXAL_SHOT_DIR");
  const QString path = keep.isEmpty() ? dir.filePath(QStringLiteral("dg.pdf"))
                                      : QString::fromUtf8(keep) + QStringLiteral("/dg.pdf");
  QImage chart(300, 160, QImage::Format_RGB32);
  chart.fill(Qt::white);
  {
    QPainter p(&chart);
    p.setPen(QPen(Qt::red, 4));
    p.drawLine(0, 160, 300, 0);
    p.drawRect(1, 1, 297, 157);
  }
  PrintReports reports;
  saveReportPdf(reports.openDataGraphReport("01/02/2026"), path, &chart);
  const QString info = run(QStringLiteral("pdfinfo"), {path});
  EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
  const QString text = run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}).simplified();
  EXPECT_TRUE(text.contains(QStringLiteral("LUSK TEST DATA+GRAPH REPORT"))) << text.toStdString();
  for (const char *title : {"No", "Time", "Value", "Unit", "V_Range", "I_Range"})
    EXPECT_TRUE(text.contains(QString::fromLatin1(title))) << title;
  EXPECT_FALSE(text.contains(QStringLiteral("The Page")));  // its footer is empty
  const QString images = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), path});
  EXPECT_EQ(images.count(QStringLiteral("image ")), 1) << images.toStdString();
}

TEST(ReportHtml, CarriesThePictureInside) {
  QTemporaryDir dir;
  QImage chart(8, 4, QImage::Format_RGB32);
  chart.fill(Qt::red);
  PrintReports reports;
  const ReportDocument doc = reports.openGraphReport("d");
  const QString with = dir.filePath(QStringLiteral("with.html"));
  saveReport(doc, ExportFormat::Html, with, &chart);
  saveReport(doc, ExportFormat::Html, dir.filePath(QStringLiteral("without.html")), nullptr);
  QFile f(with);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(f.readAll());
  const QRegularExpression img(QStringLiteral(
      "<img alt=\"graph\" style=\"margin-left: 2.1mm; width: 181.2mm; height: 151.6mm;\" "
      "src=\"data:image/png;base64,([A-Za-z0-9+/=]+)\">"));
  const auto match = img.match(html);
  ASSERT_TRUE(match.hasMatch()) << html.toStdString();
  const QImage back = QImage::fromData(QByteArray::fromBase64(match.captured(1).toLatin1()));
  EXPECT_EQ(back.size(), QSize(8, 4));
  EXPECT_EQ(QColor(back.pixel(3, 2)), QColor(Qt::red));
  QFile g(dir.filePath(QStringLiteral("without.html")));
  ASSERT_TRUE(g.open(QIODevice::ReadOnly));
  EXPECT_FALSE(g.readAll().contains("<img"));
}

TEST(ReportPicture, IsStretchedIntoItsBox) {
  PrintReports reports;
  const ReportDocument doc = reports.openDataGraphReport("d");
  QImage red(4, 3, QImage::Format_RGB32);
  red.fill(Qt::red);
  const double dpi = 50.8;  // 2 pixels per millimetre
  const QImage page = renderReportPage(doc, 1, dpi, &red);
  const QImage bare = renderReportPage(doc, 1, dpi, nullptr);
  EXPECT_EQ(page.size(), QSize(420, 594));
  // The summary's picture: 7.4, 9.5 in the band below header, title, columns and one row.
  const double top = 10 + 10.6 + 0.3 + 10.6 + 6.6 + 9.5, left = 10 + 7.4;
  auto px = [](const QImage &img, double xMm, double yMm) {
    return QColor(img.pixel(qRound(xMm * 2), qRound(yMm * 2)));
  };
  EXPECT_EQ(px(page, left + 1, top + 1), QColor(Qt::red));
  EXPECT_EQ(px(page, left + 142, top + 76.5), QColor(Qt::red));
  EXPECT_EQ(px(page, left - 1, top + 10), QColor(Qt::white));
  EXPECT_EQ(px(page, left + 144, top + 10), QColor(Qt::white));
  EXPECT_EQ(px(page, left + 10, top + 78.5), QColor(Qt::white));
  EXPECT_EQ(px(bare, left + 70, top + 40), QColor(Qt::white));
}

TEST(ReportPage, DrawsTextsOnlyWhereTheLayoutPutsThem) {
  ReadingTable t = tableOf(1);
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(t, "d");
  const QImage page = renderReportPage(doc, 1, 50.8);
  auto inkIn = [&](QRectF mm) {
    for (int y = qRound(mm.top() * 2); y < qRound(mm.bottom() * 2); ++y)
      for (int x = qRound(mm.left() * 2); x < qRound(mm.right() * 2); ++x)
        if (QColor(page.pixel(x, y)) != QColor(Qt::white)) return true;
    return false;
  };
  // "No" of the column header at 18.5, 20.6 + 4.2; nothing left of the margin.
  EXPECT_TRUE(inkIn(QRectF(18.5, 24.8, 5, 4)));
  EXPECT_FALSE(inkIn(QRectF(0, 0, 10, 297)));
  // The blue title lies across the middle of the page header.
  bool blue = false;
  for (int x = 150; x < 270; ++x)
    for (int y = 24; y < 44; ++y)
      blue |= QColor(page.pixel(x, y)).blue() > 200 && QColor(page.pixel(x, y)).red() < 100;
  EXPECT_TRUE(blue);
  // Only one detail row: the space of the second row is empty.
  EXPECT_FALSE(inkIn(QRectF(10, 31.2 + 6.6, 190, 6.6)));
  EXPECT_TRUE(inkIn(QRectF(18.5, 31.2, 5, 6.6)));
}

// "The Page 1 Of 2": the 8 point page number sits on the baseline of the 10 point texts
// beside it, not hung from the same top.
TEST(ReportPage, FooterTextsShareOneBaseline) {
  ReadingTable t = tableOf(45);
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(t, "d");
  const double dpi = 300;
  const double pxPerMm = dpi / 25.4;
  const QImage page = renderReportPage(doc, 1, dpi);
  const PlacedElement *number = nullptr, *of = nullptr;
  const LaidOutPage laidOut = doc.page(1);  // the elements below point into it
  for (const PlacedElement &e : laidOut.elements) {
    if (e.band != BandKind::PageFooter) continue;
    if (e.kind == ReportElementKind::PageNumber) number = &e;
    if (e.text == "Of") of = &e;
  }
  ASSERT_TRUE(number && of);
  ASSERT_EQ(number->y, of->y);  // one line of the layout
  ASSERT_LT(number->font.points, of->font.points);
  // The lowest inked row of a text without descenders is its baseline.
  auto lowestInk = [&](const PlacedElement &e, double widthMm) {
    int lowest = -1;
    for (int y = qRound(e.y * pxPerMm); y < qRound((e.y + 8) * pxPerMm); ++y)
      for (int x = qRound(e.x * pxPerMm); x < qRound((e.x + widthMm) * pxPerMm); ++x)
        if (qGray(page.pixel(x, y)) < 128) lowest = y;
    return lowest;
  };
  const int numberBaseline = lowestInk(*number, 2.5);
  const int ofBaseline = lowestInk(*of, 4.5);
  ASSERT_GT(numberBaseline, 0);
  ASSERT_GT(ofBaseline, 0);
  EXPECT_NEAR(numberBaseline, ofBaseline, 1)
      << "page number baseline " << numberBaseline << " px, \"Of\" " << ofBaseline << " px";
  const QByteArray shots = qgetenv("VEXAL_SHOT_DIR");
  if (!shots.isEmpty())
    page.copy(
            QRect(0, qRound((number->y - 2) * pxPerMm), qRound(80 * pxPerMm), qRound(12 * pxPerMm)))
        .save(QString::fromUtf8(shots) + "/report-footer.png");
}

}  // namespace
}  // namespace vexal
