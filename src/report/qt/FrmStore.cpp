#include "report/qt/FrmStore.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QPainter>
#include <QToolButton>

#include "app/qt/FrmTest.h"
#include "app/qt/ReadingGrid.h"
#include "app/qt/ToolIcons.h"
#include "report/qt/StoreGrid.h"

namespace vexal {

TFrmstore *Frmstore = nullptr;

namespace {

const QColor kSkyBlue(166, 202, 240);

// A door with an arrow leading out of it.
QIcon closeWindowIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  {
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(150, 100, 50));
    p.drawRect(QRectF(2.5, 1.5, 7, 13));
    p.setPen(QPen(QColor(0, 140, 0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(8, 8), QPointF(14.5, 8));
    p.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
    p.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
  }
  pixmap.setDevicePixelRatio(2);
  return QIcon(pixmap);
}

}  // namespace

TFrmstore::TFrmstore(TFrmTest &main) : QDialog(&main), main_(main) {
  setObjectName(QStringLiteral("Frmstore"));
  setWindowTitle(QStringLiteral("Store "));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  QPalette ground = palette();
  ground.setColor(QPalette::Window, kSkyBlue);
  setPalette(ground);
  setAutoFillBackground(true);

  auto button = [this](const QIcon &icon, const QString &hint, int left, int width) {
    auto *speedButton = new QToolButton(this);
    speedButton->setAutoRaise(true);
    speedButton->setIcon(icon);
    speedButton->setIconSize(QSize(16, 16));
    speedButton->setToolTip(hint);
    speedButton->setGeometry(left, 4, width, 21);
    return speedButton;
  };
  SpeedButton8 = button(saveDataIcon(), QStringLiteral("Save Data"), 288, 33);
  SpeedButton9 = button(deleteDataIcon(), QStringLiteral("Delete Data"), 320, 33);
  SpeedButton1 = button(openDataIcon(), {}, 352, 33);
  SpeedButton7 = button(printDataIcon(), {}, 384, 33);
  SpeedButton2 = button(closeWindowIcon(), {}, 416, 29);

  DBGrid3 = new ReadingGrid(this);
  DBGrid3->setGeometry(0, 24, 441, 469);
  setUpStoreGrid(*DBGrid3, kStoreWindowGridWidths);

  connect(SpeedButton8, &QToolButton::clicked, this, &TFrmstore::SpeedButton8Click);
  connect(SpeedButton9, &QToolButton::clicked, this, &TFrmstore::SpeedButton9Click);
  connect(SpeedButton1, &QToolButton::clicked, this, &TFrmstore::SpeedButton1Click);
  connect(SpeedButton7, &QToolButton::clicked, this, &TFrmstore::SpeedButton7Click);
  connect(SpeedButton2, &QToolButton::clicked, this, &TFrmstore::SpeedButton2Click);
}

// Each forwarding button acts exactly as a click on the main window's button would.
void TFrmstore::SpeedButton8Click() {
  main_.SpeedButton8->click();
}
void TFrmstore::SpeedButton9Click() {
  main_.SpeedButton9->click();
}
void TFrmstore::SpeedButton1Click() {
  main_.SpeedButton4->click();
}
void TFrmstore::SpeedButton7Click() {
  main_.SpeedButton7->click();
}
void TFrmstore::SpeedButton2Click() {
  close();
}

void TFrmstore::FormActivate() {
  DBGrid3->viewport()->update();
}

void TFrmstore::changeEvent(QEvent *event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

}  // namespace vexal
