#include "decode/qt/PanelPictures.h"

#include <QColor>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace vexal {

namespace {

// Each picture is designed at its catalogue size; a painter transform stretches it to the
// box it is given.
struct Design {
  double w;
  double h;
};

void blackPen(QPainter &painter, double width, Qt::PenCapStyle cap = Qt::FlatCap) {
  painter.setPen(QPen(Qt::black, width, Qt::SolidLine, cap, Qt::MiterJoin));
  painter.setBrush(Qt::NoBrush);
}

// Battery outline with its terminal cap on the right; the level bars are separate
// elements that sit inside the outline.
void drawBattery(QPainter &painter) {
  blackPen(painter, 2);
  painter.drawRect(QRectF(1, 1, 45, 23));
  painter.fillRect(QRectF(47, 7, 4, 11), Qt::black);
}

// A ringed dot with a lead to its left.
void drawImOff(QPainter &painter) {
  const QPointF centre(21, 14.5);
  blackPen(painter, 2.5);
  painter.drawEllipse(centre, 9.5, 9.5);
  blackPen(painter, 3);
  painter.drawLine(QPointF(1, centre.y()), QPointF(centre.x() - 9.5, centre.y()));
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawEllipse(centre, 4.5, 4.5);
}

// A dot with three arcs radiating to its right.
void drawImMike(QPainter &painter) {
  const QPointF centre(6, 12.5);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawEllipse(centre, 4, 4);
  blackPen(painter, 2.5);
  for (double rx : {12.0, 21.0, 30.0}) {
    const double ry = rx * 0.6;
    painter.drawArc(QRectF(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry), -40 * 16, 80 * 16);
  }
}

// A filled arrowhead at tip, pointing along the line from 'from' to tip.
void drawArrowHead(QPainter &painter, QPointF from, QPointF tip, double length, double width) {
  const QLineF line(from, tip);
  const QPointF unit = (tip - from) / line.length();
  const QPointF normal(-unit.y(), unit.x());
  const QPointF base = tip - unit * length;
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawPolygon(QPolygonF({tip, base + normal * width / 2, base - normal * width / 2}));
}

// High-voltage sign: a lightning bolt ending in an arrowhead.
void drawDanger(QPainter &painter) {
  const QPointF points[] = {{20, 2}, {8, 18}, {19, 18}, {10, 29}};
  blackPen(painter, 3, Qt::RoundCap);
  painter.drawPolyline(points, 4);
  drawArrowHead(painter, points[2], {4.5, 36}, 9, 10);
}

// Timer symbol: a clock face with one hand.
void drawClock(QPainter &painter) {
  const QPointF centre(13.5, 15.5);
  blackPen(painter, 2.5);
  painter.drawEllipse(centre, 11, 11);
  painter.drawLine(centre, centre + QPointF(0, -7.5));
  painter.drawLine(centre, centre + QPointF(5, 0));
  for (int quarter = 0; quarter < 4; ++quarter) {
    const double angle = quarter * M_PI / 2;
    const QPointF dir(std::cos(angle), std::sin(angle));
    painter.fillRect(QRectF(centre + dir * 8 - QPointF(1, 1), QSizeF(2, 2)), Qt::black);
  }
}

// One small computer monitor of the link icon, in 16-colour palette shades.
void drawMonitor(QPainter &painter, int x, int y, const QColor &screen) {
  const QColor silver(0xC0, 0xC0, 0xC0), grey(0x80, 0x80, 0x80);
  painter.setPen(Qt::black);
  painter.setBrush(silver);
  painter.drawRect(x, y, 17, 13);                // bezel
  painter.fillRect(x + 2, y + 2, 14, 10, grey);  // screen frame shadow
  painter.fillRect(x + 3, y + 3, 13, 9, screen);
  painter.fillRect(x + 7, y + 14, 4, 2, grey);  // stand
  painter.setBrush(silver);
  painter.drawRect(x + 4, y + 16, 10, 1);  // foot
}

// The link indicator: two linked computers, with cyan screens while the link is active.
void drawLinkIcon(QPainter &painter, bool active) {
  const QColor screen = active ? QColor::fromRgb(kLinkCyan) : QColor(0x80, 0x80, 0x80);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(Qt::black);
  painter.drawLine(3, 14, 3, 24);  // cable between the two
  painter.drawLine(3, 24, 13, 24);
  drawMonitor(painter, 1, 0, screen);
  drawMonitor(painter, 14, 13, screen);
  if (active) painter.fillRect(4, 19, 1, 4, screen);  // signal on the cable
}

Design designOf(Element e) {
  switch (e) {
    case Element::IGPower:
      return {51, 25};
    case Element::IMoff:
      return {33, 29};
    case Element::IMmike:
      return {41, 25};
    case Element::danger:
      return {27, 37};
    case Element::power:
      return {27, 29};
    default:
      return {32, 32};
  }
}

}  // namespace

void drawPanelPicture(QPainter &painter, Element e, const QRectF &box) {
  painter.save();
  painter.translate(box.topLeft());
  if (e != Element::CONok && e != Element::CONokN) {
    const Design design = designOf(e);
    painter.scale(box.width() / design.w, box.height() / design.h);
  }
  switch (e) {
    case Element::IGPower:
      drawBattery(painter);
      break;
    case Element::IMoff:
      drawImOff(painter);
      break;
    case Element::IMmike:
      drawImMike(painter);
      break;
    case Element::danger:
      drawDanger(painter);
      break;
    case Element::power:
      drawClock(painter);
      break;
    case Element::CONok:
      drawLinkIcon(painter, true);
      break;
    case Element::CONokN:
      drawLinkIcon(painter, false);
      break;
    default:
      break;
  }
  painter.restore();
}

}  // namespace vexal
