#include "report/qt/FrmArchive.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "archive/Archive.h"
#include "report/ArchivedRuns.h"
#include "report/AssetHistory.h"
#include "report/AssetHistoryReport.h"
#include "report/qt/ArchiveCharts.h"
#include "report/qt/ArchiveWorker.h"
#include "report/qt/FrmInsulation.h"
#include "report/qt/ReportFlows.h"
#include "report/qt/ResultColours.h"

namespace vexal {

namespace {

// The search is asked for once typing pauses this long.
constexpr int kSearchPauseMs = 250;
// Pixels of the trend's picture in the report: about five to the millimetre.
const QSize kReportTrendPixels(950, 450);
// The curves ticked when an asset is chosen: the latest tests.
constexpr int kCurvesAtFirst = 3;

QString utf8(const std::string &text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QTableWidget *newTable(const QStringList &columns, QWidget *parent) {
  auto *table = new QTableWidget(0, static_cast<int>(columns.size()), parent);
  table->setHorizontalHeaderLabels(columns);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  return table;
}

QTableWidgetItem *cell(const std::string &text, const std::optional<QColor> &colour = {}) {
  auto *item = new QTableWidgetItem(utf8(text));
  if (colour) {
    item->setForeground(*colour);
    QFont bold = item->font();
    bold.setBold(true);
    item->setFont(bold);
  }
  return item;
}

// The curves of stored tests, read on the archive's thread.
std::vector<OverlayCurve> readCurves(Archive &archive, const std::vector<TestSummary> &tests) {
  std::vector<OverlayCurve> curves;
  for (const TestSummary &test : tests) {
    const auto readings = archive.testReadings(test.id);
    if (!readings) continue;
    ReadingTable table;
    fillTableWithTest(table, *readings);
    const auto runs = findInsulationRuns(table);
    if (runs.empty()) continue;
    // The date names a curve; the test voltage too where the tests differ in it.
    const auto volts = functionTestVolts(test.function);
    const bool oneVoltage = std::all_of(tests.begin(), tests.end(), [&](const TestSummary &t) {
      return functionTestVolts(t.function) == volts;
    });
    curves.push_back(
        {utf8(test.particulars.date) +
             (volts && !oneVoltage ? QStringLiteral(" %1 V").arg(*volts, 0, 'f', 0) : QString()),
         runCurve(table, runs.front())});
  }
  return curves;
}

// A stored test's readings as a table of its own, kept with the window that shows them.
class StoredTestTable : public QObject {
 public:
  ReadingTable table;
};

}  // namespace

TFrmArchive::TFrmArchive(ArchiveWorker &worker, PreviewerMaker previewers, const QString &where,
                         QWidget *parent)
    : QWidget(parent, Qt::Window), worker_(worker), previewers_(std::move(previewers)) {
  setObjectName(QStringLiteral("FrmArchive"));
  setWindowTitle(QStringLiteral("Archive - ") + where);
  resize(1280, 820);

  Search = new QLineEdit(this);
  Search->setPlaceholderText(QStringLiteral("Search tag, name or location"));
  Search->setClearButtonEnabled(true);
  QStringList assetColumns, historyColumns{QStringLiteral("Curve")};
  for (const char *c : kAssetColumns) assetColumns << QString::fromUtf8(c);
  for (const char *c : kHistoryColumns) historyColumns << QString::fromUtf8(c);
  AssetList = newTable(assetColumns, this);
  History = newTable(historyColumns, this);
  AssetInfo = new QLabel(QStringLiteral("Choose an asset on the left to see its tests."), this);
  AssetInfo->setWordWrap(true);
  AssetInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Status = new QLabel(this);
  Status->setWordWrap(true);
  Trend = new AssetTrendChart(this);
  Trend->setMinimumSize(420, 300);
  Overlay = new CurveOverlayChart(this);
  Overlay->setMinimumSize(360, 300);
  OpenTestButton = new QPushButton(QStringLiteral("Open Test"), this);
  ReportButton = new QPushButton(QStringLiteral("History Report..."), this);
  RefreshButton = new QPushButton(QStringLiteral("Refresh"), this);
  CloseButton = new QPushButton(QStringLiteral("Close"), this);

  auto *left = new QWidget(this);
  auto *leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->addWidget(Search);
  leftLayout->addWidget(AssetList, 1);

  auto *charts = new QSplitter(Qt::Horizontal, this);
  auto *trendBox = new QGroupBox(QStringLiteral("Trend"), this);
  (new QVBoxLayout(trendBox))->addWidget(Trend);
  auto *overlayBox = new QGroupBox(QStringLiteral("Curves of the tests ticked"), this);
  (new QVBoxLayout(overlayBox))->addWidget(Overlay);
  charts->addWidget(trendBox);
  charts->addWidget(overlayBox);
  charts->setStretchFactor(0, 3);
  charts->setStretchFactor(1, 2);

  auto *right = new QWidget(this);
  auto *rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  rightLayout->addWidget(AssetInfo);
  rightLayout->addWidget(History, 2);
  rightLayout->addWidget(charts, 3);

  auto *split = new QSplitter(Qt::Horizontal, this);
  split->addWidget(left);
  split->addWidget(right);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 3);
  split->setSizes({440, 840});

  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton *b : {OpenTestButton, ReportButton, RefreshButton, CloseButton})
    buttons->addWidget(b);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(split, 1);
  // A row of its own: a long message wraps onto as many lines as it needs.
  layout->addWidget(Status);
  layout->addLayout(buttons);

  searchSoon_ = new QTimer(this);
  searchSoon_->setSingleShot(true);
  searchSoon_->setInterval(kSearchPauseMs);
  connect(searchSoon_, &QTimer::timeout, this, &TFrmArchive::refreshAssets);
  connect(Search, &QLineEdit::textChanged, searchSoon_, qOverload<>(&QTimer::start));
  connect(AssetList, &QTableWidget::itemSelectionChanged, this, &TFrmArchive::assetChosen);
  connect(History, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
    if (item->column() == 0) loadOverlay();
  });
  connect(History, &QTableWidget::itemSelectionChanged, this,
          [this] { OpenTestButton->setEnabled(!History->selectedItems().isEmpty()); });
  connect(History, &QTableWidget::cellDoubleClicked, this, &TFrmArchive::OpenTestClick);
  connect(OpenTestButton, &QPushButton::clicked, this, &TFrmArchive::OpenTestClick);
  connect(ReportButton, &QPushButton::clicked, this, &TFrmArchive::ReportClick);
  connect(RefreshButton, &QPushButton::clicked, this, &TFrmArchive::refreshAssets);
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
  OpenTestButton->setEnabled(false);
  ReportButton->setEnabled(false);
}

TFrmArchive::~TFrmArchive() = default;

// Every call goes to the archive's thread; its answer, or its failure, comes back here.
template <class Job, class Done>
void TFrmArchive::ask(Job job, Done done) {
  if (waiting_++ == 0) Status->setText(QStringLiteral("Reading the archive..."));
  Status->setStyleSheet(QString());
  worker_.run(
      this, std::move(job),
      [this, done = std::move(done)](auto &&...result) {
        --waiting_;
        if (waiting_ == 0) Status->clear();
        done(std::forward<decltype(result)>(result)...);
        emit shown();
      },
      [this](const QString &reason) {
        --waiting_;
        tellFailure(reason);
        emit shown();
      });
}

void TFrmArchive::tellFailure(const QString &reason) {
  Status->setStyleSheet(QStringLiteral("color: #c00000"));
  Status->setText(QStringLiteral("The archive could not be read: ") + reason +
                  (reason.endsWith('.') ? QStringLiteral(" ") : QStringLiteral(". ")) +
                  QStringLiteral("Press Refresh to try again."));
}

void TFrmArchive::showArchive() {
  show();
  raise();
  activateWindow();
  refreshAssets();
}

void TFrmArchive::refreshAssets() {
  searchSoon_->stop();
  const std::string search = Search->text().trimmed().toStdString();
  ask([search](Archive &archive) { return archive.assets(search); },
      [this](std::vector<AssetSummary> assets) {
        assets_ = std::move(assets);
        fillAssets();
      });
}

void TFrmArchive::fillAssets() {
  const QSignalBlocker quiet(AssetList);
  AssetList->setRowCount(static_cast<int>(assets_.size()));
  int chosenRow = -1;
  for (std::size_t i = 0; i < assets_.size(); ++i) {
    const AssetLine line = assetLine(assets_[i]);
    const int row = static_cast<int>(i);
    for (int c = 0; c < kAssetColumnCount; ++c)
      AssetList->setItem(
          row, c,
          cell(line.cells[static_cast<std::size_t>(c)],
               c == kAssetVerdictColumn ? std::optional<QColor>(toneColour(line.verdictTone))
                                        : std::nullopt));
    if (utf8(assets_[i].asset.tag) == chosenTag_) chosenRow = row;
  }
  AssetList->resizeColumnsToContents();
  if (chosenRow >= 0) {
    AssetList->selectRow(chosenRow);
    chooseAsset(chosenTag_);  // its history may have grown
  } else if (assets_.size() == 1) {
    AssetList->selectRow(0);
    chooseAsset(utf8(assets_.front().asset.tag));
  }
}

void TFrmArchive::assetChosen() {
  const auto rows = AssetList->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  const auto row = static_cast<std::size_t>(rows.first().row());
  if (row < assets_.size()) chooseAsset(utf8(assets_[row].asset.tag));
}

void TFrmArchive::chooseAsset(const QString &tag) {
  chosenTag_ = tag;
  const unsigned asked = ++historyAsked_;
  struct Answer {
    std::optional<Asset> asset;
    std::vector<TestSummary> tests;
  };
  ask(
      [tag = tag.toStdString()](Archive &archive) {
        return Answer{archive.findAsset(tag), archive.history(tag)};
      },
      [this, asked](Answer answer) {
        if (asked != historyAsked_) return;
        asset_ = std::move(answer.asset);
        tests_ = std::move(answer.tests);
        fillHistory();
      });
}

void TFrmArchive::fillHistory() {
  {
    const QSignalBlocker quiet(History);
    const auto lines = historyLines(tests_);
    History->setRowCount(static_cast<int>(lines.size()));
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const int row = static_cast<int>(i);
      auto *curve = new QTableWidgetItem;
      curve->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      curve->setCheckState(i + kCurvesAtFirst >= lines.size() ? Qt::Checked : Qt::Unchecked);
      History->setItem(row, 0, curve);
      for (int c = 0; c < kHistoryColumnCount; ++c) {
        std::optional<QColor> colour;
        if (c == kHistoryHalvedColumn && lines[i].halved) colour = QColor(200, 0, 0);
        if (c == kHistoryHalvedColumn - 1) colour = toneColour(lines[i].verdictTone);
        History->setItem(row, c + 1, cell(lines[i].cells[static_cast<std::size_t>(c)], colour));
      }
    }
    History->resizeColumnsToContents();
    if (!lines.empty()) History->selectRow(static_cast<int>(lines.size()) - 1);
  }
  OpenTestButton->setEnabled(!tests_.empty());
  ReportButton->setEnabled(asset_.has_value());
  QStringList info;
  if (asset_)
    for (const ParticularLine &line : assetLines(*asset_))
      if (!line.value.empty())
        info << QStringLiteral("<b>%1</b>: %2")
                    .arg(utf8(line.label), utf8(line.value).toHtmlEscaped());
  AssetInfo->setText(info.join(QStringLiteral(" &nbsp; ")));
  Trend->setTrend(asset_ ? assetTrend(tests_, *asset_) : AssetTrend{});
  loadOverlay();
}

std::vector<std::string> TFrmArchive::overlaidTests() const {
  std::vector<std::string> ids;
  for (int row = 0; row < History->rowCount() && row < static_cast<int>(tests_.size()); ++row)
    if (History->item(row, 0) && History->item(row, 0)->checkState() == Qt::Checked)
      ids.push_back(tests_[static_cast<std::size_t>(row)].id);
  return ids;
}

void TFrmArchive::loadOverlay() {
  const std::vector<std::string> ids = overlaidTests();
  const std::set<std::string> wanted(ids.begin(), ids.end());
  std::vector<TestSummary> chosen;
  for (const TestSummary &t : tests_)
    if (wanted.count(t.id)) chosen.push_back(t);
  const unsigned asked = ++overlayAsked_;
  ask([chosen](Archive &archive) { return readCurves(archive, chosen); },
      [this, asked](std::vector<OverlayCurve> curves) {
        if (asked == overlayAsked_) Overlay->setCurves(curves);
      });
}

void TFrmArchive::OpenTestClick() {
  const auto rows = History->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  const auto row = static_cast<std::size_t>(rows.first().row());
  if (row >= tests_.size()) return;
  ask(
      [id = tests_[row].id](Archive &archive) {
        std::optional<StoredTest> test;
        auto summary = archive.findTest(id);
        auto readings = archive.testReadings(id);
        if (summary && readings) test = StoredTest{std::move(*summary), std::move(*readings)};
        return test;
      },
      [this](std::optional<StoredTest> test) {
        if (test)
          openTest(*test);
        else
          tellFailure(QStringLiteral("the test is no longer in the archive."));
      });
}

void TFrmArchive::openTest(const StoredTest &test) {
  auto *readings = new StoredTestTable;
  fillTableWithTest(readings->table, test.readings);
  auto *window = new TFrmInsulation(readings->table, previewers_ ? previewers_() : nullptr, this);
  readings->setParent(window);  // the table goes with its window, after it
  window->setAttribute(Qt::WA_DeleteOnClose);
  const TestSummary &s = test.summary;
  window->showStoredTest(particularsOf(s),
                         QStringLiteral("Insulation Test - %1, %2 (stored test, read-only)")
                             .arg(utf8(s.assetTag), utf8(s.particulars.date)));
}

std::vector<TFrmInsulation *> TFrmArchive::openedTests() const {
  const auto windows = findChildren<TFrmInsulation *>(QString(), Qt::FindDirectChildrenOnly);
  return {windows.begin(), windows.end()};
}

void TFrmArchive::ReportClick() {
  if (!asset_ || !previewers_) return;
  const QImage trend = chartPicture(*Trend, kReportTrendPixels);
  if (auto previewer = previewers_())
    previewer->preview(openAssetHistoryReport(*asset_, tests_, ReportFlows::printDate()), trend);
}

}  // namespace vexal
