#include "report/qt/FrmInsulation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
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

#include "common/Cp936.h"
#include "record/ReadingQuantity.h"
#include "record/TimeOfDay.h"
#include "report/qt/ReportFlows.h"
#include "report/qt/RunCurveChart.h"

namespace vexal {

namespace {

// Pixels of the curve's picture in the report: about five to the millimetre.
const QSize kReportCurvePixels(950, 390);
// While readings arrive the window follows them at most this often.
constexpr int kRefreshMs = 300;

QColor toneColour(ResultTone tone) {
  switch (tone) {
    case ResultTone::Good:
      return QColor(0, 128, 0);
    case ResultTone::Warning:
      return QColor(190, 110, 0);
    case ResultTone::Bad:
      return QColor(200, 0, 0);
    case ResultTone::Neutral:
      break;
  }
  return QColor(Qt::black);
}

QString utf8(const std::string &text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString cp936(const std::optional<std::string> &text) {
  return text ? utf8(cp936ToUtf8(*text)) : QString();
}

QString ratioText(const std::optional<double> &ratio) {
  return ratio ? QString::number(*ratio, 'f', 2) : QString();
}

// A number as typed: blanks around it, "." or "," as the decimal separator.
std::optional<double> typedNumber(const QLineEdit *box) {
  const QString text = box->text().trimmed();
  if (text.isEmpty()) return std::nullopt;
  return readingNumber(text.toStdString());
}

// A number box shows in red when it holds something that is not a number.
void markNumberBox(QLineEdit *box) {
  const bool bad = !box->text().trimmed().isEmpty() && !typedNumber(box);
  box->setStyleSheet(bad ? QStringLiteral("background: #ffd0d0") : QString());
  box->setToolTip(bad ? QStringLiteral("Not a number: this value is left out") : QString());
}

const QStringList kRunColumns = {"Run",      "Start",    "Function", "Mode",
                                 "Duration", "R(1 min)", "DAR",      "PI"};

}  // namespace

TFrmInsulation::TFrmInsulation(ReadingTable &table, std::unique_ptr<ReportPreviewer> previewer,
                               QWidget *parent)
    : QWidget(parent, Qt::Window), table_(table), previewer_(std::move(previewer)) {
  setObjectName(QStringLiteral("FrmInsulation"));
  setWindowTitle(QStringLiteral("Insulation Test"));
  resize(1000, 720);

  RunList = new QTableWidget(0, static_cast<int>(kRunColumns.size()), this);
  RunList->setHorizontalHeaderLabels(kRunColumns);
  RunList->setSelectionBehavior(QAbstractItemView::SelectRows);
  RunList->setSelectionMode(QAbstractItemView::SingleSelection);
  RunList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  RunList->verticalHeader()->hide();
  RunList->horizontalHeader()->setStretchLastSection(true);
  RunList->setMinimumHeight(120);
  NoRuns = new QLabel(
      QStringLiteral("No insulation run in the table yet: record an insulation test (IR) or "
                     "open a data file that holds one."),
      this);
  NoRuns->setWordWrap(true);

  Curve = new RunCurveChart(this);
  Curve->setMinimumSize(460, 300);
  LogTime = new QCheckBox(QStringLiteral("Logarithmic time"), this);

  ReportButton = new QPushButton(QStringLiteral("Report..."), this);
  CloseButton = new QPushButton(QStringLiteral("Close"), this);
  SaveToArchiveButton = new QPushButton(QStringLiteral("Save to Archive..."), this);
  ArchiveButton = new QPushButton(QStringLiteral("Archive..."), this);

  auto *curveSide = new QWidget(this);
  auto *curveLayout = new QVBoxLayout(curveSide);
  curveLayout->setContentsMargins(0, 0, 0, 0);
  curveLayout->addWidget(LogTime);
  curveLayout->addWidget(Curve, 1);

  auto *middle = new QHBoxLayout;
  middle->addWidget(curveSide, 3);
  middle->addWidget(createResults(), 2);

  auto *buttons = new QHBoxLayout;
  buttons->addWidget(SaveToArchiveButton);
  buttons->addWidget(ArchiveButton);
  buttons->addStretch(1);
  buttons->addWidget(ReportButton);
  buttons->addWidget(CloseButton);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(RunList, 1);
  layout->addWidget(NoRuns);
  layout->addLayout(middle, 3);
  layout->addWidget(createParticulars());
  layout->addLayout(buttons);

  refreshSoon_ = new QTimer(this);
  refreshSoon_->setSingleShot(true);
  refreshSoon_->setInterval(kRefreshMs);
  connect(refreshSoon_, &QTimer::timeout, this, &TFrmInsulation::refresh);
  connect(RunList, &QTableWidget::itemSelectionChanged, this, &TFrmInsulation::showSelectedRun);
  connect(LogTime, &QCheckBox::toggled, Curve, &RunCurveChart::setLogTime);
  connect(ReportButton, &QPushButton::clicked, this, &TFrmInsulation::ReportClick);
  connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
  connect(SaveToArchiveButton, &QPushButton::clicked, this,
          &TFrmInsulation::saveToArchiveRequested);
  connect(ArchiveButton, &QPushButton::clicked, this, &TFrmInsulation::archiveRequested);
  table_.addObserver(this);
  refresh();
}

TFrmInsulation::~TFrmInsulation() {
  table_.removeObserver(this);
}

QWidget *TFrmInsulation::createParticulars() {
  auto *box = new QGroupBox(QStringLiteral("Particulars of the test"), this);
  auto line = [this](const QString &name) {
    auto *edit = new QLineEdit(this);
    edit->setObjectName(name);
    return edit;
  };
  Equipment = line(QStringLiteral("Equipment"));
  Location = line(QStringLiteral("Location"));
  OperatorName = line(QStringLiteral("OperatorName"));
  WindingTemperature = line(QStringLiteral("WindingTemperature"));
  AmbientTemperature = line(QStringLiteral("AmbientTemperature"));
  Humidity = line(QStringLiteral("Humidity"));
  RatedVoltage = line(QStringLiteral("RatedVoltage"));
  InsulationClassBox = new QComboBox(this);
  InsulationClassBox->addItems(
      {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("F"), QStringLiteral("H")});
  InsulationClassBox->setCurrentIndex(1);
  WindingKindBox = new QComboBox(this);
  for (WindingKind kind :
       {WindingKind::OlderOrField, WindingKind::FormWound, WindingKind::RandomOrLowVolt})
    WindingKindBox->addItem(utf8(windingKindName(kind)), static_cast<int>(kind));
  WindingKindBox->setCurrentIndex(1);

  auto *left = new QFormLayout;
  left->addRow(QStringLiteral("Equipment / asset"), Equipment);
  left->addRow(QStringLiteral("Location"), Location);
  left->addRow(QStringLiteral("Operator"), OperatorName);
  left->addRow(QStringLiteral("Insulation class"), InsulationClassBox);
  auto *right = new QFormLayout;
  right->addRow(QStringLiteral("Winding temperature (\u00B0C)"), WindingTemperature);
  right->addRow(QStringLiteral("Ambient temperature (\u00B0C)"), AmbientTemperature);
  right->addRow(QStringLiteral("Humidity (%)"), Humidity);
  right->addRow(QStringLiteral("Rated voltage (kV)"), RatedVoltage);
  auto *columns = new QHBoxLayout;
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
  auto *all = new QVBoxLayout(box);
  all->addLayout(columns);
  auto *winding = new QFormLayout;
  winding->addRow(QStringLiteral("Winding"), WindingKindBox);
  all->addLayout(winding);

  for (QLineEdit *number : {WindingTemperature, AmbientTemperature, Humidity, RatedVoltage})
    connect(number, &QLineEdit::textChanged, this, [this, number] {
      markNumberBox(number);
      showResults();
    });
  connect(InsulationClassBox, &QComboBox::currentIndexChanged, this, &TFrmInsulation::showResults);
  connect(WindingKindBox, &QComboBox::currentIndexChanged, this, &TFrmInsulation::showResults);
  return box;
}

QWidget *TFrmInsulation::createResults() {
  auto *box = new QGroupBox(QStringLiteral("Results"), this);
  resultGrid_ = new QGridLayout(box);
  resultGrid_->setColumnStretch(2, 1);
  return box;
}

TestParticulars TFrmInsulation::particulars() const {
  TestParticulars p;
  p.equipment = Equipment->text().toStdString();
  p.location = Location->text().toStdString();
  p.operatorName = OperatorName->text().toStdString();
  p.windingTemperatureC = typedNumber(WindingTemperature);
  p.ambientTemperatureC = typedNumber(AmbientTemperature);
  p.humidityPercent = typedNumber(Humidity);
  p.ratedKv = typedNumber(RatedVoltage);
  static constexpr InsulationClass kClasses[] = {InsulationClass::A, InsulationClass::B,
                                                 InsulationClass::F, InsulationClass::H};
  p.insulationClass = kClasses[std::clamp(InsulationClassBox->currentIndex(), 0, 3)];
  p.windingKind = static_cast<WindingKind>(WindingKindBox->currentData().toInt());
  return p;
}

void TFrmInsulation::showStoredTest(const TestParticulars &p, const QString &title) {
  readOnly_ = true;
  setWindowTitle(title);
  auto number = [](const std::optional<double> &value) {
    return value ? QString::number(*value) : QString();
  };
  Equipment->setText(utf8(p.equipment));
  Location->setText(utf8(p.location));
  OperatorName->setText(utf8(p.operatorName));
  WindingTemperature->setText(number(p.windingTemperatureC));
  AmbientTemperature->setText(number(p.ambientTemperatureC));
  Humidity->setText(number(p.humidityPercent));
  RatedVoltage->setText(number(p.ratedKv));
  InsulationClassBox->setCurrentIndex(static_cast<int>(p.insulationClass));
  WindingKindBox->setCurrentIndex(WindingKindBox->findData(static_cast<int>(p.windingKind)));
  for (QLineEdit *box : findChildren<QLineEdit *>()) box->setReadOnly(true);
  InsulationClassBox->setEnabled(false);
  WindingKindBox->setEnabled(false);
  SaveToArchiveButton->hide();
  ArchiveButton->hide();
  showRuns();
}

// --- The runs ------------------------------------------------------------------------------

void TFrmInsulation::showRuns() {
  refresh();
  // The first time, over the middle of the window that asked for it.
  if (!placed_ && parentWidget()) {
    const QRect over = parentWidget()->window()->frameGeometry();
    move(over.center() - QPoint(width() / 2, height() / 2));
  }
  placed_ = true;
  show();
  raise();
  activateWindow();
}

void TFrmInsulation::rowsAppended(std::size_t, std::size_t) {
  if (isVisible() && !refreshSoon_->isActive()) refreshSoon_->start();
}

void TFrmInsulation::tableReset() {
  if (isVisible() && !refreshSoon_->isActive()) refreshSoon_->start();
}

void TFrmInsulation::refresh() {
  const auto before = selectedRun();
  const bool followLast = !before || *before + 1 == runs_.size();
  const int selectedNumber = before ? runs_[*before].number : 0;
  runs_ = findInsulationRuns(table_);
  fillRunList();
  if (runs_.empty()) {
    showSelectedRun();
    return;
  }
  // The latest run stays selected as runs come; an earlier one chosen by the user stays.
  const bool keep = !followLast && selectedNumber <= static_cast<int>(runs_.size());
  selectRun(keep ? static_cast<std::size_t>(selectedNumber - 1) : runs_.size() - 1);
}

void TFrmInsulation::fillRunList() {
  const QSignalBlocker quiet(RunList);
  RunList->setRowCount(static_cast<int>(runs_.size()));
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    const InsulationRun &run = runs_[i];
    const QStringList cells = {QString::number(run.number),
                               utf8(formatTimeWithMilliseconds(run.startMs)),
                               cp936(run.function),
                               cp936(run.mode),
                               utf8(formatElapsed(run.durationMs)),
                               run.r60 ? utf8(formatOhms(*run.r60)) : QString(),
                               ratioText(run.dar),
                               ratioText(run.pi)};
    for (int c = 0; c < cells.size(); ++c) {
      auto *item = new QTableWidgetItem(cells[c]);
      item->setTextAlignment(Qt::AlignCenter);
      RunList->setItem(static_cast<int>(i), c, item);
    }
  }
  RunList->resizeColumnsToContents();
  NoRuns->setVisible(runs_.empty());
  ReportButton->setEnabled(!runs_.empty());
  SaveToArchiveButton->setEnabled(!runs_.empty() && !readOnly_);
}

std::optional<std::size_t> TFrmInsulation::selectedRun() const {
  const auto rows = RunList->selectionModel()->selectedRows();
  if (rows.isEmpty()) return std::nullopt;
  const auto row = static_cast<std::size_t>(rows.first().row());
  return row < runs_.size() ? std::optional(row) : std::nullopt;
}

void TFrmInsulation::selectRun(std::size_t index) {
  if (index >= runs_.size()) return;
  RunList->selectRow(static_cast<int>(index));
  showSelectedRun();
}

void TFrmInsulation::showSelectedRun() {
  const auto index = selectedRun();
  if (!index) {
    Curve->setRun(InsulationRun{}, {});
  } else {
    Curve->setRun(runs_[*index], runCurve(table_, runs_[*index]));
  }
  showResults();
}

void TFrmInsulation::showResults() {
  while (QLayoutItem *item = resultGrid_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  // The lines are laid anew; only the space below the last one stretches.
  for (int r = 0; r < resultGrid_->rowCount(); ++r) resultGrid_->setRowStretch(r, 0);
  const auto index = selectedRun();
  results_ = index ? insulationResults(runs_[*index], particulars()) : std::vector<ResultLine>{};
  int row = 0;
  for (const ResultLine &line : results_) {
    auto *label = new QLabel(utf8(line.label));
    auto *value = new QLabel(utf8(line.value));
    QFont bold = value->font();
    bold.setBold(true);
    value->setFont(bold);
    auto *judgement = new QLabel(utf8(line.judgement));
    QPalette palette = judgement->palette();
    palette.setColor(QPalette::WindowText, toneColour(line.tone));
    judgement->setPalette(palette);
    judgement->setFont(bold);
    resultGrid_->addWidget(label, row, 0);
    resultGrid_->addWidget(value, row, 1);
    resultGrid_->addWidget(judgement, row, 2);
    ++row;
  }
  resultGrid_->setRowStretch(row, 1);
}

void TFrmInsulation::ReportClick() {
  const auto index = selectedRun();
  if (!index || !previewer_) return;
  const QImage curve = Curve->picture(kReportCurvePixels);
  previewer_->preview(
      openInsulationReport(table_, runs_[*index], particulars(), ReportFlows::printDate()), curve);
}

}  // namespace vexal
