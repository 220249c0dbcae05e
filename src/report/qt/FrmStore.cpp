#include "report/qt/FrmStore.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QEvent>
#include <QPainter>
#include <QToolButton>

#include "common/qt/ToolIcons.h"
#include "record/qt/ReadingGrid.h"
#include "report/qt/StoreGrid.h"

namespace vexal {

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

TFrmstore::TFrmstore(const StoreCommands &commands, QWidget *owner)
    : QDialog(owner), commands_(commands) {
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
    return makeSpeedButton(this, icon, hint, {left, 4, width, 21});
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

// Each forwarding button runs the main window's command, as a click on its button would.
namespace {
void run(QAction *command) {
  if (command) command->trigger();
}
}  // namespace

void TFrmstore::SpeedButton8Click() {
  run(commands_.saveData);
}
void TFrmstore::SpeedButton9Click() {
  run(commands_.deleteData);
}
void TFrmstore::SpeedButton1Click() {
  run(commands_.openData);
}
void TFrmstore::SpeedButton7Click() {
  run(commands_.storeReport);
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
