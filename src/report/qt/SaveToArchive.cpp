#include "report/qt/SaveToArchive.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "archive/Archive.h"
#include "record/ReadingQuantity.h"
#include "report/AssetHistory.h"
#include "report/qt/ArchiveWorker.h"
#include "report/qt/FrmInsulation.h"

namespace vexal {

namespace {

QString utf8(const std::string &text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

const AssetKind kKinds[] = {AssetKind::RotatingMachine, AssetKind::Cable, AssetKind::Transformer,
                            AssetKind::Other};
const char *const kKindNames[] = {"rotating machine", "cable", "transformer", "other"};
const ArchiveClass kClasses[] = {ArchiveClass::A, ArchiveClass::B, ArchiveClass::F,
                                 ArchiveClass::H};
const ArchiveWinding kWindings[] = {ArchiveWinding::Older, ArchiveWinding::FormWound,
                                    ArchiveWinding::RandomWound};
const TestPurpose kPurposes[] = {TestPurpose::Acceptance, TestPurpose::Routine,
                                 TestPurpose::AfterRepair, TestPurpose::Troubleshooting};
const char *const kPurposeNames[] = {"acceptance", "routine", "after repair", "troubleshooting"};

template <class T, std::size_t N>
int indexOf(const T (&values)[N], T value) {
  for (std::size_t i = 0; i < N; ++i)
    if (values[i] == value) return static_cast<int>(i);
  return 0;
}

QString numberText(const std::optional<double> &value) {
  return value ? QString::number(*value) : QString();
}

}  // namespace

TSaveToArchive::TSaveToArchive(ArchiveWorker &worker, TFrmInsulation &window, TestReadings readings,
                               bool fromFile)
    : QDialog(&window), worker_(worker), window_(window), readings_(std::move(readings)) {
  setObjectName(QStringLiteral("SaveToArchive"));
  setWindowTitle(QStringLiteral("Save to Archive"));

  AssetBox = new QComboBox(this);
  AssetBox->addItem(QStringLiteral("New asset..."));
  AssetGroup = new QGroupBox(QStringLiteral("Asset"), this);
  Tag = new QLineEdit(this);
  AssetName = new QLineEdit(this);
  AssetLocation = new QLineEdit(this);
  RatedKv = new QLineEdit(this);
  RatedKv->setPlaceholderText(QStringLiteral("in kV, e.g. 6.6"));
  KindBox = new QComboBox(this);
  for (const char *name : kKindNames) KindBox->addItem(QString::fromLatin1(name));
  ClassBox = new QComboBox(this);
  for (ArchiveClass c : kClasses) ClassBox->addItem(utf8(std::string(archiveClassName(c))));
  ClassBox->setCurrentIndex(1);
  WindingBox = new QComboBox(this);
  for (ArchiveWinding w : kWindings) WindingBox->addItem(utf8(windingKindName(windingKindOf(w))));
  WindingBox->setCurrentIndex(1);
  auto *assetForm = new QFormLayout(AssetGroup);
  assetForm->addRow(QStringLiteral("Tag"), Tag);
  assetForm->addRow(QStringLiteral("Name"), AssetName);
  assetForm->addRow(QStringLiteral("Location"), AssetLocation);
  assetForm->addRow(QStringLiteral("Kind"), KindBox);
  assetForm->addRow(QStringLiteral("Rated voltage (kV)"), RatedKv);
  assetForm->addRow(QStringLiteral("Insulation class"), ClassBox);
  assetForm->addRow(QStringLiteral("Winding"), WindingBox);

  Date = new QDateEdit(QDate::currentDate(), this);
  Date->setCalendarPopup(true);
  Date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  DateConfirmed = new QCheckBox(QStringLiteral("The test was made on this date"), this);
  DateConfirmed->setVisible(fromFile);
  DateConfirmed->setChecked(!fromFile);
  Operator = new QLineEdit(window.OperatorName->text(), this);
  PurposeBox = new QComboBox(this);
  for (const char *name : kPurposeNames) PurposeBox->addItem(QString::fromLatin1(name));
  PurposeBox->setCurrentIndex(indexOf(kPurposes, TestPurpose::Routine));
  Remarks = new QLineEdit(this);
  auto *testForm = new QFormLayout;
  testForm->addRow(QStringLiteral("Store as a test of"), AssetBox);
  auto *testGroup = new QGroupBox(QStringLiteral("Test"), this);
  auto *testGroupForm = new QFormLayout(testGroup);
  testGroupForm->addRow(QStringLiteral("Date"), Date);
  testGroupForm->addRow(QString(), DateConfirmed);
  testGroupForm->addRow(QStringLiteral("Operator"), Operator);
  testGroupForm->addRow(QStringLiteral("Purpose"), PurposeBox);
  testGroupForm->addRow(QStringLiteral("Remarks"), Remarks);

  Status = new QLabel(this);
  Status->setWordWrap(true);
  Status->setMinimumWidth(420);
  auto *buttons = new QDialogButtonBox(this);
  SaveButton = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
  CancelButton = buttons->addButton(QDialogButtonBox::Cancel);

  auto *layout = new QVBoxLayout(this);
  layout->addLayout(testForm);
  layout->addWidget(AssetGroup);
  layout->addWidget(testGroup);
  layout->addWidget(Status);
  layout->addWidget(buttons);

  connect(AssetBox, &QComboBox::currentIndexChanged, this, &TSaveToArchive::assetPicked);
  for (QLineEdit *box : {Tag, AssetName, AssetLocation, RatedKv})
    connect(box, &QLineEdit::textChanged, this, [this] {
      fillParticulars();
      updateSaveButton();
    });
  for (QComboBox *box : {KindBox, ClassBox, WindingBox})
    connect(box, &QComboBox::currentIndexChanged, this, &TSaveToArchive::fillParticulars);
  connect(DateConfirmed, &QCheckBox::toggled, this, &TSaveToArchive::updateSaveButton);
  connect(SaveButton, &QPushButton::clicked, this, &TSaveToArchive::SaveClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  if (fromFile)
    tell(QStringLiteral("This run comes from a data file, which keeps the time of each reading "
                        "but not the date: set the date the test was made on and confirm it."),
         false);
  worker_.run(
      this, [](Archive &archive) { return archive.assets(); },
      [this](std::vector<AssetSummary> assets) { assetsRead(std::move(assets)); },
      [this](const QString &reason) {
        tell(QStringLiteral("The archive's assets could not be read: ") + reason +
                 QStringLiteral(" A new asset can still be typed."),
             true);
      });
  updateSaveButton();
}

void TSaveToArchive::assetsRead(std::vector<AssetSummary> assets) {
  const QSignalBlocker quiet(AssetBox);
  // The equipment typed in the window picks its asset when its tag or name matches.
  const QString equipment = window_.Equipment->text().trimmed();
  int match = 0;
  for (AssetSummary &summary : assets) {
    const Asset &a = summary.asset;
    AssetBox->addItem(utf8(assetHeading(a)));
    if (!equipment.isEmpty() && (utf8(a.tag) == equipment || utf8(a.name) == equipment ||
                                 utf8(assetHeading(a)) == equipment))
      match = AssetBox->count() - 1;
    assets_.push_back(std::move(summary.asset));
  }
  AssetBox->setCurrentIndex(match);
  assetPicked();
}

// An asset of the archive shows its particulars, which are not edited here; "New asset"
// leaves the boxes to be typed.
void TSaveToArchive::assetPicked() {
  const int index = AssetBox->currentIndex() - 1;
  const bool existing = index >= 0 && index < static_cast<int>(assets_.size());
  for (QLineEdit *box : {Tag, AssetName, AssetLocation, RatedKv}) box->setReadOnly(existing);
  for (QComboBox *box : {KindBox, ClassBox, WindingBox}) box->setEnabled(!existing);
  if (existing) {
    const Asset &a = assets_[static_cast<std::size_t>(index)];
    const QSignalBlocker q1(Tag), q2(AssetName), q3(AssetLocation), q4(RatedKv), q5(KindBox),
        q6(ClassBox), q7(WindingBox);
    Tag->setText(utf8(a.tag));
    AssetName->setText(utf8(a.name));
    AssetLocation->setText(utf8(a.location));
    RatedKv->setText(numberText(a.ratedKv));
    KindBox->setCurrentIndex(indexOf(kKinds, a.kind));
    ClassBox->setCurrentIndex(indexOf(kClasses, a.insulationClass.value_or(ArchiveClass::B)));
    WindingBox->setCurrentIndex(indexOf(kWindings, a.winding.value_or(ArchiveWinding::FormWound)));
  }
  fillParticulars();
  updateSaveButton();
}

std::optional<Asset> TSaveToArchive::typedAsset() {
  Asset a;
  a.tag = Tag->text().trimmed().toStdString();
  a.name = AssetName->text().trimmed().toStdString();
  a.location = AssetLocation->text().trimmed().toStdString();
  a.kind = kKinds[std::clamp(KindBox->currentIndex(), 0, 3)];
  a.insulationClass = kClasses[std::clamp(ClassBox->currentIndex(), 0, 3)];
  a.winding = kWindings[std::clamp(WindingBox->currentIndex(), 0, 2)];
  const QString rated = RatedKv->text().trimmed();
  if (!rated.isEmpty()) {
    a.ratedKv = readingNumber(rated.toStdString());
    if (!a.ratedKv || !(*a.ratedKv > 0)) return std::nullopt;
  }
  if (a.tag.empty()) return std::nullopt;
  return a;
}

// The asset's particulars go into the window's boxes, so the window judges the run as the
// archive will.
void TSaveToArchive::fillParticulars() {
  const auto a = typedAsset();
  if (!a) return;
  TestParticulars p = window_.particulars();
  p.equipment = assetHeading(*a);
  p.location = a->location;
  p.ratedKv = a->ratedKv;
  p.equipmentKind = equipmentKindOf(a->kind);
  p.insulationClass = insulationClassOf(*a->insulationClass);
  p.windingKind = windingKindOf(*a->winding);
  window_.setParticulars(p);
}

void TSaveToArchive::updateSaveButton() {
  SaveButton->setEnabled(!saving_ && DateConfirmed->isChecked() &&
                         !Tag->text().trimmed().isEmpty());
}

void TSaveToArchive::tell(const QString &text, bool bad) {
  Status->setStyleSheet(bad ? QStringLiteral("color: #c00000") : QString());
  Status->setText(text);
}

void TSaveToArchive::SaveClick() {
  const auto asset = typedAsset();
  if (!asset) {
    tell(QStringLiteral("The asset needs a tag, and its rated voltage a number of kV above 0."),
         true);
    return;
  }
  const bool isNew = AssetBox->currentIndex() == 0;
  const TestParticulars typed = window_.particulars();
  NewTest test;
  test.assetTag = asset->tag;
  test.particulars.date = Date->date().toString(Qt::ISODate).toStdString();
  if (const QString who = Operator->text().trimmed(); !who.isEmpty())
    test.particulars.operatorName = who.toStdString();
  test.particulars.purpose = kPurposes[std::clamp(PurposeBox->currentIndex(), 0, 3)];
  test.particulars.windingTemperatureC = typed.windingTemperatureC;
  test.particulars.ambientTemperatureC = typed.ambientTemperatureC;
  test.particulars.humidityPercent = typed.humidityPercent;
  test.particulars.remarks = Remarks->text().trimmed().toStdString();
  test.readings = readings_;

  saving_ = true;
  updateSaveButton();
  tell(QStringLiteral("Saving..."), false);
  worker_.run(
      this,
      [asset = *asset, isNew, test = std::move(test)](Archive &archive) {
        if (isNew) {
          const auto existing = archive.findAsset(asset.tag);
          if (!existing)
            archive.addAsset(asset);
          else if (*existing != asset)
            throw EArchiveError("An asset tagged " + asset.tag +
                                " is in the archive already: pick it from the list.");
        }
        return archive.storeTest(test);
      },
      [this, tag = utf8(asset->tag)](StoreOutcome outcome) {
        saving_ = false;
        outcome_ = outcome;
        emit stored(outcome, tag);
        accept();
      },
      [this](const QString &reason) {
        saving_ = false;
        updateSaveButton();
        tell(QStringLiteral("Not stored: ") + reason +
                 QStringLiteral(" Everything typed is kept: press Save to try again."),
             true);
      });
}

}  // namespace vexal
