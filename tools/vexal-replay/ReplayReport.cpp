#include "ReplayReport.h"

#include <QDate>
#include <QGuiApplication>
#include <QLocale>
#include <iostream>
#include <memory>

#include "ReplayFiles.h"
#include "report/PrintReports.h"
#include "report/ReportExport.h"
#include "report/qt/ReportRenderer.h"

namespace vexal {

namespace {

// Drawing PDF pages needs the toolkit's fonts, hence an application; no screen is needed.
std::unique_ptr<QGuiApplication> guiForDrawing() {
  if (QCoreApplication::instance()) return nullptr;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "vexal-replay";
  static char *argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

bool isReportFileName(const std::string &path) {
  return path == "-" || exportFormatFor(path).has_value();
}

int writeReplayReport(const ReadingTable &table, const std::string &path) {
  const auto format = path == "-" ? std::optional(ExportFormat::Text) : exportFormatFor(path);
  if (!format) {
    std::cerr << "vexal-replay: --report '" << path
              << "': the name must end in .pdf, .html, .txt or .csv\n";
    return 2;
  }
  PrintReports reports;
  const std::string date =
      QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
  const ReportDocument doc = reports.openDataReport(table, date);
  try {
    if (path == "-") {
      return writeToStdout([&](ByteSink &sink) { writeReportText(doc, sink); }) ? 0 : 1;
    } else if (*format == ExportFormat::Pdf) {
      auto app = guiForDrawing();
      saveReportPdf(doc, QString::fromStdString(path), nullptr);
    } else {
      exportReport(doc, *format, path);
    }
  } catch (const std::exception &e) {
    std::cerr << "vexal-replay: --report: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace vexal
