// Reports of 100,000 readings (2,703 pages): how soon the preview shows its first page after
// "Print Data", how fast it shows any page, what an open preview costs in resident memory,
// and how long the exports take. The anchor, measured in the same run on the same report, is
// the toolkit's own print preview dialog, which draws every page when it opens. Run
// offscreen.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSpinBox>
#include <QTemporaryDir>
#include <fstream>
#include <map>
#include <random>

#include "common/qt/Dialogs.h"
#include "record/TimeOfDay.h"
#include "report/PrintReports.h"
#include "report/qt/ReportPreview.h"
#include "report/qt/ReportPrinting.h"
#include "report/qt/ReportRenderer.h"
#include "support/ScriptedDialogs.h"

namespace vexal {
namespace {

class NoPrinting : public PrintService {
 public:
  bool choosePrinter(QPrinter &, int, QWidget *) override { return false; }
};

const ReadingTable &tableOf(std::int64_t rows) {
  static std::map<std::int64_t, ReadingTable> tables;
  auto [it, added] = tables.try_emplace(rows);
  if (added)
    for (std::int64_t i = 1; i <= rows; ++i) {
      TableRow r;
      r.no = static_cast<std::int32_t>(i);
      r.timeMs = static_cast<std::int32_t>((i * 500) % kMsPerDay);
      r.value = "12.34";
      r.unit = "G\xA6\xB8";
      r.vRange = "IR:1000V 40G\xA6\xB8";
      r.iRange = "Continuous";
      it->second.appendRow(r);
    }
  return it->second;
}

long residentKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::unique_ptr<TReportPreview> openPreview(const ReadingTable &table, PrintReports &reports,
                                            Dialogs &dialogs, PrintService &printing) {
  auto preview = std::make_unique<TReportPreview>(reports.openDataReport(table, "01/02/2026"),
                                                  QImage(), dialogs, printing);
  preview->resize(800, 900);
  preview->show();
  QCoreApplication::processEvents();  // shown and painted: the first page is drawn
  if (preview->pages()->pagesRendered() == 0) preview->pages()->viewport()->repaint();
  return preview;
}

// "Print Data" to the first page on screen.
void BM_PreviewFirstPage(benchmark::State &state) {
  const ReadingTable &table = tableOf(state.range(0));
  PrintReports reports;
  ScriptedDialogs dialogs;
  NoPrinting printing;
  for (auto _ : state) {
    auto preview = openPreview(table, reports, dialogs, printing);
    if (preview->pages()->pagesRendered() < 1) {
      state.SkipWithError("no page drawn");
      break;
    }
    state.PauseTiming();
    preview.reset();
    QCoreApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["pages"] = pageTotal(table.rowCount());
}
BENCHMARK(BM_PreviewFirstPage)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Jumping to a page anywhere in the report and drawing it.
void BM_PreviewAnyPage(benchmark::State &state) {
  const ReadingTable &table = tableOf(state.range(0));
  PrintReports reports;
  ScriptedDialogs dialogs;
  NoPrinting printing;
  auto preview = openPreview(table, reports, dialogs, printing);
  std::mt19937 random(7);
  std::uniform_int_distribution<int> page(1, preview->document().pageCount());
  for (auto _ : state) {
    preview->PageNumber->setValue(page(random));
    preview->pages()->viewport()->repaint();
  }
  state.counters["pages_drawn"] = preview->pages()->pagesRendered();
}
BENCHMARK(BM_PreviewAnyPage)->Arg(100'000)->Unit(benchmark::kMillisecond);

// Resident memory of an open preview that has shown its first, middle and last pages.
void BM_PreviewResidentMemory(benchmark::State &state) {
  const ReadingTable &table = tableOf(state.range(0));
  PrintReports reports;
  ScriptedDialogs dialogs;
  NoPrinting printing;
  long grown = 0;
  for (auto _ : state) {
    const long before = residentKb();
    auto preview = openPreview(table, reports, dialogs, printing);
    for (int p : {preview->document().pageCount() / 2, preview->document().pageCount()}) {
      preview->PageNumber->setValue(p);
      preview->pages()->viewport()->repaint();
    }
    grown = residentKb() - before;
  }
  state.counters["rss_growth_kB"] = static_cast<double>(grown);
  state.counters["pages"] = pageTotal(table.rowCount());
}
BENCHMARK(BM_PreviewResidentMemory)
    ->Arg(370)
    ->Arg(100'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The anchor: the toolkit's print preview dialog on the same report, to its first page.
void BM_AnchorToolkitPreviewFirstPage(benchmark::State &state) {
  const ReadingTable &table = tableOf(state.range(0));
  PrintReports reports;
  long grown = 0;
  for (auto _ : state) {
    const long before = residentKb();
    const ReportDocument doc = reports.openDataReport(table, "01/02/2026");
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer);
    int pagesDrawn = 0;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, [&](QPrinter *p) {
      paintReportPages(*p, doc, 1, doc.pageCount(), nullptr, [&](std::size_t done, std::size_t) {
        pagesDrawn = static_cast<int>(done);
        return true;
      });
    });
    dialog.resize(800, 900);
    dialog.show();
    QCoreApplication::processEvents();
    grown = residentKb() - before;
    if (pagesDrawn != doc.pageCount()) {
      state.SkipWithError("the dialog did not draw its pages");
      break;
    }
    state.PauseTiming();
    dialog.hide();
    state.ResumeTiming();
  }
  state.counters["rss_growth_kB"] = static_cast<double>(grown);
}
BENCHMARK(BM_AnchorToolkitPreviewFirstPage)
    ->Arg(100'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void exportBench(benchmark::State &state, ExportFormat format, const char *name) {
  const ReadingTable &table = tableOf(state.range(0));
  PrintReports reports;
  const ReportDocument doc = reports.openDataReport(table, "01/02/2026");
  QTemporaryDir dir;
  const QString path = dir.filePath(QString::fromLatin1(name));
  for (auto _ : state) saveReport(doc, format, path, nullptr);
  state.counters["bytes"] = static_cast<double>(QFileInfo(path).size());
}

void BM_ExportCsv(benchmark::State &state) {
  exportBench(state, ExportFormat::Csv, "r.csv");
}
void BM_ExportHtml(benchmark::State &state) {
  exportBench(state, ExportFormat::Html, "r.html");
}
void BM_ExportText(benchmark::State &state) {
  exportBench(state, ExportFormat::Text, "r.txt");
}
void BM_ExportPdf(benchmark::State &state) {
  exportBench(state, ExportFormat::Pdf, "r.pdf");
}
BENCHMARK(BM_ExportCsv)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportHtml)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportText)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPdf)->Arg(100'000)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexal
