#include "common/qt/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

#include <QToolButton>

namespace vexal {

namespace {

// Draws on a 16 x 16 design grid; the pixmap is made at twice the size for sharp edges.
QIcon drawnIcon(const std::function<void(QPainter &)> &draw) {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  {
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(2, 2);
    draw(painter);
  }
  pixmap.setDevicePixelRatio(2);
  return QIcon(pixmap);
}

const QColor kOutline(40, 40, 40);

void sheet(QPainter &p, const QRectF &r) {
  p.setPen(QPen(kOutline, 1));
  p.setBrush(Qt::white);
  p.drawRect(r);
  p.setPen(QPen(QColor(150, 150, 150), 1));
  for (qreal y = r.top() + 3; y < r.bottom() - 1; y += 2.5)
    p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

}  // namespace

QIcon deleteDataIcon() {
  return drawnIcon([](QPainter &p) {
    sheet(p, QRectF(2.5, 1.5, 10, 13));
    p.setPen(QPen(QColor(200, 20, 20), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 7), QPointF(14, 14));
    p.drawLine(QPointF(14, 7), QPointF(7, 14));
  });
}

QIcon saveDataIcon() {
  return drawnIcon([](QPainter &p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(40, 80, 170));
    QPainterPath body;
    body.moveTo(1.5, 1.5);
    body.lineTo(12.5, 1.5);
    body.lineTo(14.5, 3.5);
    body.lineTo(14.5, 14.5);
    body.lineTo(1.5, 14.5);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 1.5, 9, 5));  // label
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(4.5, 9.5, 7, 5));  // shutter
    p.setBrush(kOutline);
    p.drawRect(QRectF(9, 10.5, 1.5, 3));
  });
}

QIcon openDataIcon() {
  return drawnIcon([](QPainter &p) {
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(220, 170, 40));
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(5.5, 3.5);
    back.lineTo(7, 5);
    back.lineTo(12.5, 5);
    back.lineTo(12.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(QColor(250, 215, 90));
    QPainterPath flap;
    flap.moveTo(1.5, 13.5);
    flap.lineTo(4, 7.5);
    flap.lineTo(15, 7.5);
    flap.lineTo(12.5, 13.5);
    flap.closeSubpath();
    p.drawPath(flap);
  });
}

QIcon printDataIcon() {
  return drawnIcon([](QPainter &p) {
    sheet(p, QRectF(4.5, 1.5, 7, 6));
    p.setPen(QPen(kOutline, 1));
    p.setBrush(QColor(170, 170, 170));
    p.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 170, 40));
    p.drawEllipse(QPointF(12.5, 8.5), 0.8, 0.8);
  });
}

QIcon storeDataIcon() {
  return drawnIcon([](QPainter &p) {
    p.setPen(QPen(kOutline, 1));
    for (int i = 2; i >= 0; --i) {
      const qreal top = 2.5 + i * 4;
      p.setBrush(QColor(90, 140, 200));
      p.drawRect(QRectF(2.5, top + 1.5, 11, 3));
      p.setBrush(QColor(150, 190, 235));
      p.drawEllipse(QRectF(2.5, top, 11, 3));
    }
  });
}

QToolButton *makeSpeedButton(QWidget *parent, const QIcon &icon, const QString &hint,
                             const QRect &geometry) {
  auto *button = new QToolButton(parent);
  button->setAutoRaise(true);
  button->setIcon(icon);
  button->setIconSize(QSize(16, 16));
  button->setToolTip(hint);
  button->setGeometry(geometry);
  return button;
}

}  // namespace vexal
