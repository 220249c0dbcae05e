#include "report/qt/FrmPrint.h"

#include <QGroupBox>
#include <QImageReader>
#include <QPushButton>
#include <QRadioButton>

#include "common/qt/Dialogs.h"
#include "common/qt/Fonts.h"
#include "report/qt/ReportFlows.h"

namespace vexal {

namespace {

void setTextColour(QWidget &widget, const QColor &colour) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::ButtonText, colour);
  widget.setPalette(palette);
}

}  // namespace

TFrmprint::TFrmprint(Dialogs &dialogs, QWidget *parent, ReportFlows *reportFlows)
    : QDialog(parent), reports(reportFlows), dialogs_(dialogs) {
  setObjectName(QStringLiteral("Frmprint"));
  setWindowTitle(QStringLiteral("Print Style"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  // Shown where it was designed, not centred on the main window.
  move(kDesignPosition);

  GroupBox1 = new QGroupBox(QStringLiteral("Select  Style"), this);
  GroupBox1->setGeometry(16, 16, 265, 169);
  GroupBox1->setFont(arial(19, true, true));
  setTextColour(*GroupBox1, Qt::blue);

  auto radio = [this](const QString &caption, const QRect &box) {
    auto *button = new QRadioButton(caption, GroupBox1);
    button->setGeometry(box);
    button->setFont(arial(19, true, true));
    setTextColour(*button, QColor(128, 0, 128));
    return button;
  };
  auto pictureButton = [this](const QRect &box) {
    auto *button = new QPushButton(QStringLiteral("..."), GroupBox1);
    button->setGeometry(box);
    QFont font = button->font();
    font.setBold(true);
    font.setItalic(false);
    button->setFont(font);
    setTextColour(*button, QColor(0, 128, 0));
    button->setToolTip(QStringLiteral("Select Graph"));
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoDefault(false);
    return button;
  };
  // Radio buttons of one group box exclude each other.
  RadioButton1 = radio(QStringLiteral("Data Report"), {16, 36, 165, 25});
  RadioButton2 = radio(QStringLiteral("Graph Report"), {16, 72, 153, 29});
  Button1 = pictureButton({172, 76, 21, 21});
  RadioButton3 = radio(QStringLiteral("Data+Graph Report"), {16, 108, 205, 37});
  Button2 = pictureButton({224, 116, 21, 21});

  BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1->setGeometry(28, 192, 73, 29);
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
  BitBtn2->setGeometry(176, 192, 81, 33);

  connect(Button1, &QPushButton::clicked, this, &TFrmprint::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TFrmprint::Button2Click);
  connect(BitBtn1, &QPushButton::clicked, this, &TFrmprint::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

  FormCreate();
}

void TFrmprint::FormCreate() {
  GraphPicturePath.clear();
  RadioButton1->setChecked(true);
}

// The picture formats the toolkit can load, bitmaps first.
FileDialogRequest TFrmprint::pictureDialog() {
  QStringList patterns;
  for (const QByteArray &format : QImageReader::supportedImageFormats())
    patterns << QStringLiteral("*.") + QString::fromLatin1(format);
  FileDialogRequest request;
  request.mode = FileDialogMode::Open;
  request.nameFilters = {QStringLiteral("All (%1)").arg(patterns.join(QLatin1Char(' '))),
                         QStringLiteral("Bitmaps (*.bmp)"), QStringLiteral("Icons (*.ico)")};
  return request;
}

void TFrmprint::choosePicture() {
  const auto chosen = dialogs_.fileDialog(pictureDialog());
  if (chosen) GraphPicturePath = *chosen;
}

// Both buttons choose the one picture that both graph reports show.
void TFrmprint::Button1Click() {
  choosePicture();
}
void TFrmprint::Button2Click() {
  choosePicture();
}

ReportStyle TFrmprint::selectedStyle() const {
  if (RadioButton1->isChecked()) return ReportStyle::Data;
  return RadioButton2->isChecked() ? ReportStyle::Graph : ReportStyle::DataGraph;
}

// The dialog closes with OK after the report, after the warning and also when the picture
// cannot be loaded (that error goes on to the error box).
void TFrmprint::BitBtn1Click() {
  try {
    if (reports) reports->BitBtn1Click(selectedStyle(), graphPicturePath());
  } catch (...) {
    accept();
    throw;
  }
  accept();
}

}  // namespace vexal
