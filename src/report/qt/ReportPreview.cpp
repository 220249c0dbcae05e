#include "report/qt/ReportPreview.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>

#include "common/qt/Dialogs.h"
#include "common/qt/ProgressBox.h"
#include "report/qt/ReportPrinting.h"
#include "report/qt/ReportRenderer.h"

namespace vexal {

namespace {

constexpr std::size_t kPagesKept = 8;  // pictures of pages kept for scrolling back and forth

}  // namespace

// --- The pages --------------------------------------------------------------------------

ReportPageView::ReportPageView(const ReportDocument &doc, const QImage *picture, QWidget *parent)
    : QAbstractScrollArea(parent), doc_(doc), picture_(picture) {
  viewport()->setBackgroundRole(QPalette::Dark);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(40);
  updateGeometry();
}

double ReportPageView::screenPxPerMm() const {
  return logicalDpiX() / 25.4;
}

QSize ReportPageView::pageSize() const {
  const PageSetup &page = doc_.layout().page;
  const double ppm = screenPxPerMm() * zoom_;
  return {std::max(1, qRound(page.width * ppm)), std::max(1, qRound(page.height * ppm))};
}

void ReportPageView::updateGeometry() {
  const QSize page = pageSize();
  const QSize view = viewport()->size();
  const qint64 total = static_cast<qint64>(doc_.pageCount()) * pageStride() + kGap;
  verticalScrollBar()->setPageStep(view.height());
  verticalScrollBar()->setRange(
      0, static_cast<int>(std::min<qint64>(INT32_MAX, std::max<qint64>(0, total - view.height()))));
  horizontalScrollBar()->setPageStep(view.width());
  horizontalScrollBar()->setRange(0, std::max(0, page.width() + 2 * kGap - view.width()));
}

void ReportPageView::applyZoom(double zoom, ZoomMode mode) {
  const int page = currentPage();
  mode_ = mode;
  zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
  if (std::abs(zoom - zoom_) > 1e-6) {
    zoom_ = zoom;
    cache_.clear();
  }
  updateGeometry();
  goToPage(page);
  viewport()->update();
  emit zoomChanged(zoom_);
}

void ReportPageView::setZoom(double zoom) {
  applyZoom(zoom, ZoomMode::Fixed);
}

void ReportPageView::setZoomMode(ZoomMode mode) {
  const PageSetup &page = doc_.layout().page;
  const double ppm = screenPxPerMm();
  const QSize view = viewport()->size();
  double zoom = zoom_;
  // A pixel to spare, so that rounding never calls up the horizontal scroll bar.
  const double fitWidth = (view.width() - 2 * kGap - 2) / (page.width * ppm);
  const double fitHeight = (view.height() - 2 * kGap) / (page.height * ppm);
  if (mode == ZoomMode::FitWidth) zoom = fitWidth;
  if (mode == ZoomMode::FitPage) zoom = std::min(fitWidth, fitHeight);
  applyZoom(zoom, mode);
}

int ReportPageView::currentPage() const {
  const int page = verticalScrollBar()->value() / pageStride() + 1;
  return std::clamp(page, 1, doc_.pageCount());
}

void ReportPageView::goToPage(int page) {
  page = std::clamp(page, 1, doc_.pageCount());
  const qint64 top = static_cast<qint64>(page - 1) * pageStride();
  verticalScrollBar()->setValue(static_cast<int>(std::min<qint64>(top, INT32_MAX)));
  viewport()->update();
}

const QImage &ReportPageView::pageImage(int page) {
  for (auto it = cache_.begin(); it != cache_.end(); ++it)
    if (it->first == page) {
      cache_.splice(cache_.begin(), cache_, it);
      return cache_.front().second;
    }
  const double dpi = screenPxPerMm() * zoom_ * 25.4;
  cache_.emplace_front(page, renderReportPage(doc_, page, dpi, picture_));
  ++rendered_;
  while (cache_.size() > kPagesKept) cache_.pop_back();
  return cache_.front().second;
}

void ReportPageView::paintEvent(QPaintEvent *) {
  QPainter painter(viewport());
  const QSize page = pageSize();
  const int stride = pageStride();
  const int top = verticalScrollBar()->value();
  const int x =
      std::max(kGap, (viewport()->width() - page.width()) / 2) - horizontalScrollBar()->value();
  for (int p = top / stride + 1; p <= doc_.pageCount(); ++p) {
    const qint64 y = static_cast<qint64>(p - 1) * stride + kGap - top;
    if (y >= viewport()->height()) break;
    painter.fillRect(QRect(x + 3, static_cast<int>(y) + 3, page.width(), page.height()),
                     QColor(0, 0, 0, 60));
    painter.drawImage(QPoint(x, static_cast<int>(y)), pageImage(p));
  }
}

void ReportPageView::resizeEvent(QResizeEvent *event) {
  QAbstractScrollArea::resizeEvent(event);
  if (mode_ == ZoomMode::Fixed)
    updateGeometry();
  else
    setZoomMode(mode_);
}

void ReportPageView::wheelEvent(QWheelEvent *event) {
  if (event->modifiers() & Qt::ControlModifier) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0) setZoom(zoom_ * std::pow(1.1, steps));
    event->accept();
    return;
  }
  QAbstractScrollArea::wheelEvent(event);
}

void ReportPageView::scrollContentsBy(int, int) {
  viewport()->update();
  const int page = currentPage();
  if (page != lastReported_) {
    lastReported_ = page;
    emit currentPageChanged(page);
  }
}

// --- The window -------------------------------------------------------------------------

TReportPreview::TReportPreview(ReportDocument doc, QImage picture, Dialogs &dialogs,
                               PrintService &printing, QWidget *parent)
    : QDialog(parent),
      doc_(std::move(doc)),
      picture_(std::move(picture)),
      dialogs_(dialogs),
      printing_(printing) {
  setObjectName(QStringLiteral("ReportPreview"));
  setWindowTitle(QStringLiteral("Print Preview - ") + reportTitle(doc_));
  setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);

  auto tool = [this](const QString &text, const QString &tip) {
    auto *b = new QToolButton(this);
    b->setText(text);
    b->setToolTip(tip);
    return b;
  };
  First = tool(QStringLiteral("|<"), QStringLiteral("First page"));
  Prior = tool(QStringLiteral("<"), QStringLiteral("Previous page"));
  Next = tool(QStringLiteral(">"), QStringLiteral("Next page"));
  Last = tool(QStringLiteral(">|"), QStringLiteral("Last page"));
  PageNumber = new QSpinBox(this);
  PageNumber->setRange(1, doc_.pageCount());
  PageNumber->setKeyboardTracking(false);
  PageNumber->setToolTip(QStringLiteral("Page number"));
  PageTotal = new QLabel(QStringLiteral("of %1").arg(doc_.pageCount()), this);
  ZoomBox = new QComboBox(this);
  ZoomBox->addItems(
      {QStringLiteral("Fit width"), QStringLiteral("Fit page"), QStringLiteral("100 %")});
  ZoomBox->setEditable(false);
  ZoomBox->setToolTip(QStringLiteral("Zoom (Ctrl + mouse wheel)"));
  PrintButton = new QPushButton(QStringLiteral("Print..."), this);
  PdfButton = new QPushButton(QStringLiteral("Save as PDF"), this);
  ExportButton = new QPushButton(QStringLiteral("Export"), this);
  CloseButton = new QPushButton(QStringLiteral("Close"), this);
  for (QPushButton *b : {PrintButton, PdfButton, ExportButton, CloseButton})
    b->setAutoDefault(false);

  view_ = new ReportPageView(doc_, &picture_, this);

  auto *bar = new QHBoxLayout;
  for (QWidget *w :
       std::initializer_list<QWidget *>{First, Prior, PageNumber, PageTotal, Next, Last, ZoomBox})
    bar->addWidget(w);
  bar->addStretch();
  for (QWidget *w : {PrintButton, PdfButton, ExportButton, CloseButton}) bar->addWidget(w);
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(view_, 1);

  connect(First, &QToolButton::clicked, this, [this] { view_->goToPage(1); });
  connect(Prior, &QToolButton::clicked, this,
          [this] { view_->goToPage(view_->currentPage() - 1); });
  connect(Next, &QToolButton::clicked, this, [this] { view_->goToPage(view_->currentPage() + 1); });
  connect(Last, &QToolButton::clicked, this, [this] { view_->goToPage(doc_.pageCount()); });
  connect(PageNumber, &QSpinBox::valueChanged, this, [this](int p) {
    if (p != view_->currentPage()) view_->goToPage(p);
  });
  connect(view_, &ReportPageView::currentPageChanged, this, [this](int p) {
    const QSignalBlocker block(PageNumber);
    PageNumber->setValue(p);
  });
  connect(ZoomBox, &QComboBox::activated, this, [this](int index) {
    if (index == 0) view_->setZoomMode(ReportPageView::ZoomMode::FitWidth);
    if (index == 1) view_->setZoomMode(ReportPageView::ZoomMode::FitPage);
    if (index == 2) view_->setZoom(1.0);
  });
  connect(view_, &ReportPageView::zoomChanged, this, &TReportPreview::showZoom);
  connect(PrintButton, &QPushButton::clicked, this, &TReportPreview::PrintClick);
  connect(PdfButton, &QPushButton::clicked, this, &TReportPreview::SavePdfClick);
  connect(ExportButton, &QPushButton::clicked, this, &TReportPreview::ExportClick);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

  // A page and a half high on a typical screen, but never beyond the screen.
  QSize size(900, 1000);
  if (const QScreen *s = screen()) size = size.boundedTo(s->availableSize() * 0.9);
  resize(size);
}

TReportPreview::~TReportPreview() = default;

void TReportPreview::showZoom(double zoom) {
  ZoomBox->setToolTip(QStringLiteral("Zoom %1 % (Ctrl + mouse wheel)").arg(qRound(zoom * 100)));
}

bool TReportPreview::withProgress(const QString &label,
                                  const std::function<void(const ExportProgress &)> &work) {
  QProgressDialog box(this);
  setUpProgressBox(box, label, 100);
  box.setWindowTitle(windowTitle());
  try {
    work([&box](std::size_t done, std::size_t total) {
      box.setValue(total ? static_cast<int>(done * 100 / total) : 100);
      QCoreApplication::processEvents();
      return !box.wasCanceled();
    });
  } catch (const ExportCancelled &) {
    return false;
  }
  return true;
}

bool TReportPreview::printOn(QPrinter &printer) {
  return withProgress(QStringLiteral("Printing..."), [&](const ExportProgress &progress) {
    printReport(printer, doc_, &picture_, progress);
  });
}

bool TReportPreview::savePdf(const QString &path) {
  return withProgress(QStringLiteral("Saving as PDF..."), [&](const ExportProgress &progress) {
    saveReportPdf(doc_, path, &picture_, progress);
  });
}

bool TReportPreview::exportTo(const QString &path) {
  const auto format = exportFormatFor(path.toStdString());
  if (!format || *format == ExportFormat::Pdf)
    throw EExportName("Cannot export to \"" + path.toStdString() +
                      "\": choose a name ending in .html, .txt or .csv");
  return exportAs(path, *format);
}

bool TReportPreview::exportAs(const QString &path, ExportFormat format) {
  return withProgress(QStringLiteral("Exporting..."), [&](const ExportProgress &progress) {
    saveReport(doc_, format, path, &picture_, progress);
  });
}

void TReportPreview::PrintClick() {
  QPrinter printer(QPrinter::HighResolution);
  if (!printing_.choosePrinter(printer, doc_.pageCount(), this)) return;
  printOn(printer);
}

void TReportPreview::SavePdfClick() {
  FileDialogRequest request;
  request.mode = FileDialogMode::Save;
  request.nameFilters = {QStringLiteral("PDF document (*.pdf)")};
  request.defaultSuffix = QStringLiteral("pdf");
  request.confirmOverwrite = true;
  const auto chosen = dialogs_.fileDialog(request);
  if (chosen) savePdf(*chosen);
}

void TReportPreview::ExportClick() {
  FileDialogRequest request;
  request.mode = FileDialogMode::Save;
  request.nameFilters = {QStringLiteral("HTML document (*.html)"),
                         QStringLiteral("Plain text (*.txt)"),
                         QStringLiteral("Comma-separated text (*.csv)")};
  request.suffixFromFilter = true;
  request.confirmOverwrite = true;
  const auto chosen = dialogs_.chooseFile(request);
  if (!chosen) return;
  // The format follows the chosen file type unless the name carries one of its own.
  const ExportTarget target = exportTargetFor(chosen->path.toStdString(),
                                              filterExtension(chosen->nameFilter).toStdString());
  const QString path = QString::fromStdString(target.path);
  // The dialog asked about the name as typed; a name it did not see is asked about here.
  if (path != chosen->path && QFileInfo::exists(path) &&
      dialogs_.messageBox({windowTitle(),
                           QStringLiteral("%1 already exists.\nDo you want to replace it?")
                               .arg(QFileInfo(path).fileName()),
                           BoxIcon::Question, BoxButtons::YesNo}) != BoxAnswer::Yes)
    return;
  exportAs(path, target.format);
}

}  // namespace vexal
