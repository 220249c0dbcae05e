#include "decode/qt/LcdFace.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace vexal {

namespace {

// Proportions of the face, in units of the text height.
constexpr double kDescent = 0.15;       // baseline above the box bottom
constexpr double kGlyphWidth = 0.8;     // glyph width as a share of the box width
constexpr double kThickness = 0.07;     // segment stroke
constexpr double kPointSize = 0.12;     // decimal point square
constexpr double kPointDescent = 0.08;  // the point sits a little below the digits' baseline
constexpr double kColonDot = 0.09;      // colon dot square
constexpr double kLetterHeight = 0.75;  // height of the stroked unit letters
constexpr double kLetterStroke = 0.11;
constexpr double kLetterBearing = 0.06;

constexpr unsigned bit(Segment s) {
  return 1u << static_cast<unsigned>(s);
}

constexpr unsigned kA = bit(Segment::A), kB = bit(Segment::B), kC = bit(Segment::C),
                   kD = bit(Segment::D), kE = bit(Segment::E), kF = bit(Segment::F),
                   kG = bit(Segment::G);

QPolygonF horizontalSegment(double xa, double xb, double yc, double t, double gap) {
  const double h = t / 2;
  return QPolygonF({{xa + gap, yc},
                    {xa + h + gap, yc - h},
                    {xb - h - gap, yc - h},
                    {xb - gap, yc},
                    {xb - h - gap, yc + h},
                    {xa + h + gap, yc + h}});
}

QPolygonF verticalSegment(double xc, double ya, double yb, double t, double gap) {
  const double h = t / 2;
  return QPolygonF({{xc, ya + gap},
                    {xc + h, ya + h + gap},
                    {xc + h, yb - h - gap},
                    {xc, yb - gap},
                    {xc - h, yb - h - gap},
                    {xc - h, ya + h + gap}});
}

void fillSquare(QPainter &painter, QPointF centre, double size) {
  painter.fillRect(QRectF(centre.x() - size / 2, centre.y() - size / 2, size, size),
                   painter.brush());
}

// A unit letter as strokes in a unit square (x right, y down), to be stretched to its cell.
QPainterPath letterPath(QChar c) {
  QPainterPath path;
  switch (c.unicode()) {
    case u'M':
      path.moveTo(0, 1);
      path.lineTo(0, 0);
      path.lineTo(0.5, 0.62);
      path.lineTo(1, 0);
      path.lineTo(1, 1);
      break;
    case u'G':
      path.moveTo(1, 0);
      path.lineTo(0, 0);
      path.lineTo(0, 1);
      path.lineTo(1, 1);
      path.lineTo(1, 0.52);
      path.lineTo(0.55, 0.52);
      break;
    case u'T':
      path.moveTo(0, 0);
      path.lineTo(1, 0);
      path.moveTo(0.5, 0);
      path.lineTo(0.5, 1);
      break;
    case u'\u03A9':  // omega: feet, legs and a round head open at the bottom
      path.moveTo(0, 1);
      path.lineTo(0.3, 1);
      path.lineTo(0.3, 0.82);
      path.arcTo(QRectF(0.02, 0, 0.96, 0.86), 236, -292);
      path.lineTo(0.7, 0.82);
      path.lineTo(0.7, 1);
      path.lineTo(1, 1);
      break;
    default:
      break;
  }
  return path;
}

double letterAdvance(QChar c) {
  switch (c.unicode()) {
    case u'M':
      return 0.85;
    case u'G':
      return 0.72;
    case u'T':
      return 0.66;
    case u'\u03A9':
      return 0.78;
    default:
      return 0.3;  // space and anything unknown
  }
}

void drawUnitLetters(QPainter &painter, const QRectF &box, int textHeight, QStringView text,
                     TextAlign align) {
  double total = 0;
  for (QChar c : text) total += letterAdvance(c) * textHeight;
  if (total <= 0) return;
  const double squeeze = std::min(1.0, box.width() / total);
  const double stroke = kLetterStroke * textHeight;
  const double baseline = box.bottom() - kDescent * textHeight;
  const double top = baseline - kLetterHeight * textHeight;
  double x = align == TextAlign::Right ? box.right() - total * squeeze : box.left();

  QPen pen(painter.brush().color(), stroke, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  painter.save();
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  for (QChar c : text) {
    const double advance = letterAdvance(c) * textHeight * squeeze;
    const double bearing = kLetterBearing * textHeight * squeeze;
    // The stroke's centre line runs half a stroke inside the cell.
    const QRectF cell(x + bearing + stroke / 2, top + stroke / 2,
                      std::max(0.0, advance - 2 * bearing - stroke), baseline - top - stroke);
    QTransform toCell;
    toCell.translate(cell.left(), cell.top());
    toCell.scale(cell.width(), cell.height());
    painter.drawPath(toCell.map(letterPath(c)));
    x += advance;
  }
  painter.restore();
}

}  // namespace

unsigned segmentMask(char c) {
  switch (c) {
    case '0':
      return kA | kB | kC | kD | kE | kF;
    case '1':
      return kB | kC;
    case '2':
      return kA | kB | kG | kE | kD;
    case '3':
      return kA | kB | kG | kC | kD;
    case '4':
      return kF | kG | kB | kC;
    case '5':
      return kA | kF | kG | kC | kD;
    case '6':
      return kA | kF | kG | kE | kD | kC;
    case '7':
      return kA | kB | kC;
    case '8':
      return kA | kB | kC | kD | kE | kF | kG;
    case '9':
      return kA | kB | kC | kD | kF | kG;
    case '@':
      return kF | kE | kD;
    case '-':
      return kG;
    default:
      return 0;
  }
}

QRectF lcdGlyphRect(const QRectF &box, int textHeight) {
  const double width = box.width() * kGlyphWidth;
  const double top = box.bottom() - textHeight;
  const double bottom = box.bottom() - kDescent * textHeight;
  return QRectF(box.center().x() - width / 2, top, width, bottom - top);
}

double segmentThickness(const QRectF &glyph, int textHeight) {
  return std::min(kThickness * textHeight, glyph.width() / 4);
}

QPolygonF segmentPolygon(const QRectF &glyph, double t, Segment s) {
  const double gap = std::max(0.6, t * 0.12);
  const double left = glyph.left() + t / 2, right = glyph.right() - t / 2;
  const double top = glyph.top() + t / 2, bottom = glyph.bottom() - t / 2;
  const double middle = (top + bottom) / 2;
  switch (s) {
    case Segment::A:
      return horizontalSegment(left, right, top, t, gap);
    case Segment::B:
      return verticalSegment(right, top, middle, t, gap);
    case Segment::C:
      return verticalSegment(right, middle, bottom, t, gap);
    case Segment::D:
      return horizontalSegment(left, right, bottom, t, gap);
    case Segment::E:
      return verticalSegment(left, middle, bottom, t, gap);
    case Segment::F:
      return verticalSegment(left, top, middle, t, gap);
    case Segment::G:
      return horizontalSegment(left, right, middle, t, gap);
  }
  return {};
}

void drawLcdDigit(QPainter &painter, const QRectF &box, int textHeight, char c) {
  const unsigned mask = segmentMask(c);
  if (mask == 0) return;
  const QRectF glyph = lcdGlyphRect(box, textHeight);
  const double t = segmentThickness(glyph, textHeight);
  painter.save();
  painter.setPen(Qt::NoPen);
  for (int s = 0; s < kSegmentCount; ++s)
    if (mask & (1u << s)) painter.drawPolygon(segmentPolygon(glyph, t, static_cast<Segment>(s)));
  painter.restore();
}

void drawLcdText(QPainter &painter, const QRectF &box, int textHeight, QStringView text,
                 TextAlign align) {
  if (text == u"1") {
    drawLcdDigit(painter, box, textHeight, '1');
  } else if (text == u"-") {
    // The minus sign spans its whole box, a little longer than a digit's middle segment.
    const QRectF glyph = lcdGlyphRect(box, textHeight);
    const double t = kThickness * textHeight;
    const QRectF span(box.left() - t / 2, glyph.top(), box.width() + t, glyph.height());
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.drawPolygon(segmentPolygon(span, t, Segment::G));
    painter.restore();
  } else if (text == u".") {
    const double size = kPointSize * textHeight;
    const double bottom = box.bottom() - kPointDescent * textHeight;
    fillSquare(painter, {box.center().x(), bottom - size / 2}, size);
  } else if (text == u":") {
    const QRectF glyph = lcdGlyphRect(box, textHeight);
    const double size = kColonDot * textHeight;
    fillSquare(painter, {glyph.center().x(), glyph.top() + glyph.height() * 0.3}, size);
    fillSquare(painter, {glyph.center().x(), glyph.top() + glyph.height() * 0.7}, size);
  } else {
    drawUnitLetters(painter, box, textHeight, text, align);
  }
}

}  // namespace vexal
