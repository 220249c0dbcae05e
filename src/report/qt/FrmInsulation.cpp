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
#include <span>

#include "common/Cp936.h"
#include "record/ReadingQuantity.h"
#include "record/TimeOfDay.h"
#include "report/qt/ReportFlows.h"
#include "report/qt/ResultColours.h"
#include "report/qt/RunCurveChart.h"

namespace vexal {

namespace {

// Pixels of the curve's picture in the report: about five to the millimetre.
const QSize kReportCurvePixels(950, 390);
// While readings arrive the window follows them at most this often.
constexpr int kRefreshMs = 300;

QString utf8(const std::string &text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString cp936(const std::optional<std::string> &text) {
  return text ? utf8(cp936ToUtf8(*text)) : QString();
}

QString ratioText(const std::optional<double> &ratio, std::span<const double> limits) {
  return ratio ? utf8(formatRatio(*ratio, limits)) : QString();
}

// A number as typed: blanks around it, "." or "," as the decimal separator.
std::optional<double> typedNumber(const QLineEdit *box) {
  const QString text = box->text().trimmed();
  if (text.isEmpty()) return std::nullopt;
  return readingNumber(text.toStdString());
}

// Why the number in `box` is left out, or nothing when it is used (or the box is empty).
std::optional<std::string> numberProblem(const QLineEdit *box, Particular which) {
  if (box->text().trimmed().isEmpty()) return std::nullopt;
  const auto number = typedNumber(box);
  if (!number) return std::string("Not a number: this value is left out");
  return particularProblem(which, *number);
}

// The number of `box` when it is used.
std::optional<double> usedNumber(const QLineEdit *box, Particular which) {
  return numberProblem(box, which) ? std::nullopt : typedNumber(box);
}

// A number box shows in red, with the reason in its tool tip, when its value is left out.
void markNumberBox(QLineEdit *box, Particular which) {
  const auto problem = numberProblem(box, which);
  box->setStyleSheet(problem ? QStringLiteral("background: #ffd0d0") : QString());
  box->setToolTip(problem ? utf8(*problem) : QString());
}

const QStringList kRunColumns = {"Run",      "Start", "Function", "Mode", "Duration",
                                 "R(1 min)", "DAR",   "PI",       "Note"};

constexpr InsulationClass kClasses[] = {InsulationClass::A, InsulationClass::B, InsulationClass::F,
                                        InsulationClass::H};
constexpr WindingKind kWindings[] = {WindingKind::FormWound, WindingKind::RandomOrLowVolt,
                                     WindingKind::OlderOrField, WindingKind::DcArmature};
constexpr EquipmentKind kEquipment[] = {EquipmentKind::RotatingMachine, EquipmentKind::Cable,
                                        EquipmentKind::Transformer, EquipmentKind::Other};

// The combo box's entry for `value` among `all`, after the blank entry when there is one.
template <class T, std::size_t N>
int comboIndex(const std::optional<T> &value, const T (&all)[N], int blank) {
  if (!value) return 0;
  for (std::size_t i = 0; i < N; ++i)
    if (all[i] == *value) return static_cast<int>(i) + blank;
  return 0;
}

template <class T, std::size_t N>
std::optional<T> comboValue(const QComboBox *box, const T (&all)[N], int blank) {
  const int i = box->currentIndex() - blank;
  if (i < 0 || i >= static_cast<int>(N)) return std::nullopt;
  return all[i];
}

// R(1 min) in the run list: the reading, "over range", or nothing.
QString r60Text(const InsulationRun &run) {
  if (run.r60) return utf8(formatOhms(*run.r60));
  return run.markAt(60).state == MarkState::OverRange ? QStringLiteral("over range") : QString();
}

QString numberText(const std::optional<double> &value) {
  return value ? QString::number(*value) : QString();
}

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
  RunList->verticalHeader()->setDefaultSectionSize(RunList->fontMetrics().height() + 6);
  RunList->setMinimumHeight(140);
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
  EquipmentKindBox = new QComboBox(this);
  EquipmentKindBox->setObjectName(QStringLiteral("EquipmentKind"));
  for (EquipmentKind kind : kEquipment) EquipmentKindBox->addItem(utf8(equipmentKindName(kind)));
  EquipmentKindBox->setToolTip(
      QStringLiteral("The IEEE 43 checks cover rotating machines; other equipment is shown, "
                     "not judged"));
  // The blank entries: not chosen yet, so the checks that need them are not determined.
  InsulationClassBox = new QComboBox(this);
  InsulationClassBox->addItem(QString());
  for (InsulationClass c : kClasses) InsulationClassBox->addItem(utf8(insulationClassName(c)));
  WindingKindBox = new QComboBox(this);
  WindingKindBox->addItem(QString());
  for (WindingKind kind : kWindings) WindingKindBox->addItem(utf8(windingKindName(kind)));

  auto *left = new QFormLayout;
  left->addRow(QStringLiteral("Equipment / asset"), Equipment);
  left->addRow(QStringLiteral("Equipment kind"), EquipmentKindBox);
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

  const std::pair<QLineEdit *, Particular> numbers[] = {
      {WindingTemperature, Particular::WindingTemperature},
      {AmbientTemperature, Particular::AmbientTemperature},
      {Humidity, Particular::Humidity},
      {RatedVoltage, Particular::RatedVoltage}};
  for (auto [box, which] : numbers)
    connect(box, &QLineEdit::textChanged, this, [this, box, which] {
      markNumberBox(box, which);
      particularsEdited();
    });
  for (QLineEdit *text : {Equipment, Location, OperatorName})
    connect(text, &QLineEdit::textChanged, this, &TFrmInsulation::particularsEdited);
  for (QComboBox *choice : {EquipmentKindBox, InsulationClassBox, WindingKindBox})
    connect(choice, &QComboBox::currentIndexChanged, this, &TFrmInsulation::particularsEdited);
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
  p.windingTemperatureC = usedNumber(WindingTemperature, Particular::WindingTemperature);
  p.ambientTemperatureC = usedNumber(AmbientTemperature, Particular::AmbientTemperature);
  p.humidityPercent = usedNumber(Humidity, Particular::Humidity);
  p.ratedKv = usedNumber(RatedVoltage, Particular::RatedVoltage);
  p.equipmentKind =
      comboValue(EquipmentKindBox, kEquipment, 0).value_or(EquipmentKind::RotatingMachine);
  p.insulationClass = comboValue(InsulationClassBox, kClasses, 1);
  p.windingKind = comboValue(WindingKindBox, kWindings, 1);
  return p;
}

// The boxes as `p` says, typed values shown as they were typed.
void TFrmInsulation::showParticulars(const TypedParticulars &p) {
  loading_ = true;
  Equipment->setText(p.texts[0]);
  Location->setText(p.texts[1]);
  OperatorName->setText(p.texts[2]);
  WindingTemperature->setText(p.texts[3]);
  AmbientTemperature->setText(p.texts[4]);
  Humidity->setText(p.texts[5]);
  RatedVoltage->setText(p.texts[6]);
  EquipmentKindBox->setCurrentIndex(p.equipmentKind);
  InsulationClassBox->setCurrentIndex(p.insulationClass);
  WindingKindBox->setCurrentIndex(p.windingKind);
  loading_ = false;
}

TFrmInsulation::TypedParticulars TFrmInsulation::typedParticulars() const {
  TypedParticulars p;
  const QLineEdit *boxes[] = {Equipment,          Location, OperatorName, WindingTemperature,
                              AmbientTemperature, Humidity, RatedVoltage};
  for (std::size_t i = 0; i < std::size(boxes); ++i) p.texts[i] = boxes[i]->text();
  p.equipmentKind = EquipmentKindBox->currentIndex();
  p.insulationClass = InsulationClassBox->currentIndex();
  p.windingKind = WindingKindBox->currentIndex();
  return p;
}

// Particulars belong to the run they were typed for.
void TFrmInsulation::particularsEdited() {
  if (loading_) return;
  if (shownRun_) typed_[*shownRun_] = typedParticulars();
  showResults();
}

void TFrmInsulation::setParticulars(const TestParticulars &p) {
  TypedParticulars typed;
  typed.texts = {utf8(p.equipment),
                 utf8(p.location),
                 utf8(p.operatorName),
                 numberText(p.windingTemperatureC),
                 numberText(p.ambientTemperatureC),
                 numberText(p.humidityPercent),
                 numberText(p.ratedKv)};
  typed.equipmentKind = comboIndex(std::optional(p.equipmentKind), kEquipment, 0);
  typed.insulationClass = comboIndex(p.insulationClass, kClasses, 1);
  typed.windingKind = comboIndex(p.windingKind, kWindings, 1);
  showParticulars(typed);
  particularsEdited();
}

void TFrmInsulation::showStoredTest(const TestParticulars &p, const QString &title) {
  readOnly_ = true;
  setWindowTitle(title);
  showRuns();
  setParticulars(p);
  for (QLineEdit *box : findChildren<QLineEdit *>()) box->setReadOnly(true);
  for (QComboBox *box : {EquipmentKindBox, InsulationClassBox, WindingKindBox})
    box->setEnabled(false);
  SaveToArchiveButton->hide();
  ArchiveButton->hide();
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
  std::optional<RunKey> kept;
  if (before && userChose_) kept = RunKey{runs_[*before].firstRow, runs_[*before].startMs};
  // Delete Data or a file opened in the table's place: other tests, none of the particulars.
  if (table_.generation() != generation_) {
    generation_ = table_.generation();
    typed_.clear();
    shownRun_.reset();
    kept.reset();
    userChose_ = false;
    showParticulars(TypedParticulars{});
  }
  runs_ = findInsulationRuns(table_);
  fillRunList();
  if (runs_.empty()) {
    showSelectedRun();
    return;
  }
  // A run the user chose stays; otherwise the one worth reading.
  std::size_t index = runToOpen(runs_);
  for (std::size_t i = 0; kept && i < runs_.size(); ++i)
    if (RunKey{runs_[i].firstRow, runs_[i].startMs} == *kept) index = i;
  pickRun(index);
}

void TFrmInsulation::fillRunList() {
  const QSignalBlocker quiet(RunList);
  RunList->setRowCount(static_cast<int>(runs_.size()));
  for (std::size_t i = 0; i < runs_.size(); ++i) {
    const InsulationRun &run = runs_[i];
    const QString tooShort = utf8(runTooShortReason(run));
    const QStringList cells = {QString::number(run.number),
                               utf8(formatTimeWithMilliseconds(run.startMs)),
                               cp936(run.function),
                               cp936(run.mode),
                               utf8(formatElapsed(run.durationMs)),
                               r60Text(run),
                               ratioText(run.dar, kDarLimits),
                               ratioText(run.pi, kPiLimits),
                               tooShort};
    for (int c = 0; c < cells.size(); ++c) {
      auto *item = new QTableWidgetItem(cells[c]);
      item->setTextAlignment(c + 1 == cells.size() ? Qt::AlignLeft | Qt::AlignVCenter
                                                   : Qt::AlignCenter);
      // Too short to judge: listed, greyed, with the reason.
      if (!tooShort.isEmpty()) {
        item->setForeground(QColor(Qt::gray));
        item->setToolTip(tooShort);
      }
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
  userChose_ = true;
  pickRun(index);
}

void TFrmInsulation::pickRun(std::size_t index) {
  selecting_ = true;
  RunList->selectRow(static_cast<int>(index));
  selecting_ = false;
  showSelectedRun();
}

void TFrmInsulation::showSelectedRun() {
  if (!selecting_) userChose_ = true;
  const auto index = selectedRun();
  std::optional<RunKey> key;
  if (index) key = RunKey{runs_[*index].firstRow, runs_[*index].startMs};
  if (key != shownRun_) {
    shownRun_ = key;
    const auto typed = key ? typed_.find(*key) : typed_.end();
    showParticulars(typed != typed_.end() ? typed->second : TypedParticulars{});
  }
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
