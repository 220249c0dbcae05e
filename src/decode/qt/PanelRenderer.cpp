#include "decode/qt/PanelRenderer.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "decode/qt/LcdFace.h"
#include "decode/qt/PanelPictures.h"

namespace vexal {

namespace {

QRectF toRect(const PanelBox &box) {
  return QRectF(box.x, box.y, box.w, box.h);
}

// Text in the bold sans-serif face, standing on the box's baseline (the font's descent
// above the bottom) and condensed when the face runs wider than the box.
void drawSansText(QPainter &painter, const QRectF &box, int textHeight, const QString &text,
                  TextAlign align) {
  const QFont font = annunciatorFont(textHeight);
  const QFontMetricsF metrics(font);
  const double width = metrics.horizontalAdvance(text);
  if (width <= 0) return;
  const double squeeze = std::min(1.0, box.width() / width);
  const double x = align == TextAlign::Right ? box.right() - width * squeeze : box.left();
  painter.save();
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.translate(x, box.bottom() - metrics.descent());
  painter.scale(squeeze, 1);
  painter.drawText(QPointF(0, 0), text);
  painter.restore();
}

// The start mark at the zero end: a tall bar under the zero tick.
QRectF startMarkShape(const QRectF &box) {
  return QRectF(box.left() + 10, box.top() + 4, 8, box.height() - 5);
}

// The end mark at the infinity end: a wide bar pointing right.
QPolygonF endMarkShape(const QRectF &box) {
  const double l = box.left(), r = box.right(), t = box.top() + 12, b = box.bottom();
  const double mid = (t + b) / 2, shoulder = r - 15;
  return QPolygonF({{l, t}, {shoulder, t}, {r, mid}, {shoulder, b}, {l, b}});
}

void drawBar(QPainter &painter, Element e, const QRectF &box) {
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  if (e == Element::Bar0)
    painter.drawRect(startMarkShape(box));
  else if (e == Element::bar30)
    painter.drawPolygon(endMarkShape(box));
  else
    painter.drawRect(box);
  painter.restore();
}

// The printed logarithmic scale of the bar graph: base line, ticks and labels.
void paintScale(QPainter &painter) {
  for (const ScaleMark &mark : scaleMarks()) painter.fillRect(toRect(mark.box), Qt::black);
  for (const ScaleLabel &label : scaleLabels())
    drawSansText(painter, toRect(label.box), label.textHeight,
                 QString::fromUtf8(label.text.data(), qsizetype(label.text.size())),
                 TextAlign::Left);
}

}  // namespace

QFont annunciatorFont(int textHeight) {
  QFont font;
  font.setFamilies(
      {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, textHeight));
  font.setBold(true);
  return font;
}

void PanelRenderer::paint(QPainter &painter, const PanelState &state) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  paintPanelGround(painter);
  for (const RegionSpec &region : panelRegions()) {
    if (region.region == PanelRegion::KD && !state.visible(Element::KD)) continue;
    paintRegion(painter, state, region.region);
  }
  painter.restore();
}

// White ground, a 1-pixel border and a lowered bevel just inside it.
void PanelRenderer::paintPanelGround(QPainter &painter) const {
  const QRect all(0, 0, kPanelWidth, kPanelHeight);
  painter.fillRect(all, Qt::white);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QColor(0x64, 0x64, 0x64));
  painter.drawRect(all.adjusted(0, 0, -1, -1));
  const QRect bevel = all.adjusted(1, 1, -2, -2);
  painter.setPen(QColor(0xA0, 0xA0, 0xA0));  // shadow on the top and left edges
  painter.drawLine(bevel.topLeft(), bevel.topRight());
  painter.drawLine(bevel.topLeft(), bevel.bottomLeft());
  painter.setPen(QColor(0xF0, 0xF0, 0xF0));  // light on the bottom and right edges
  painter.drawLine(bevel.bottomLeft(), bevel.bottomRight());
  painter.drawLine(bevel.topRight(), bevel.bottomRight());
  painter.restore();
}

void PanelRenderer::paintRegion(QPainter &painter, const PanelState &state,
                                PanelRegion region) const {
  const QRectF area = toRect(regionSpec(region).box);
  const QRectF local(0, 0, area.width(), area.height());
  painter.save();
  painter.translate(area.topLeft());
  painter.setClipRect(local);
  if (region != PanelRegion::Panel4) painter.fillRect(local, Qt::white);
  if (region == PanelRegion::KD) paintScale(painter);
  for (const ElementSpec &entry : elements_)
    if (entry.region == region && state.visible(entry.element)) paintElement(painter, state, entry);
  painter.restore();
}

void PanelRenderer::paintElement(QPainter &painter, const PanelState &state,
                                 const ElementSpec &entry) const {
  const QRectF box = toRect(entry.box);
  const QString text = QString::fromUtf8(entry.text.data(), qsizetype(entry.text.size()));
  painter.save();
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  switch (entry.kind) {
    case ElementKind::Digit:
      drawLcdDigit(painter, box, entry.textHeight,
                   isDigitElement(entry.element) ? state.digit(entry.element) : ' ');
      break;
    case ElementKind::LcdSign:
      drawLcdText(painter, box, entry.textHeight, text, entry.align);
      break;
    case ElementKind::TextSign:
      drawSansText(painter, box, entry.textHeight, text, entry.align);
      break;
    case ElementKind::Picture:
      drawPanelPicture(painter, entry.element, box);
      break;
    case ElementKind::Bar:
      drawBar(painter, entry.element, box);
      break;
  }
  painter.restore();
}

void paintPanel(QPainter &painter, const PanelState &state) {
  PanelRenderer().paint(painter, state);
}

QImage renderPanel(const PanelState &state) {
  QImage image(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  paintPanel(painter, state);
  return image;
}

PanelView::PanelView(const PanelState *state, QWidget *parent) : QWidget(parent), state_(state) {
  setFixedSize(kPanelWidth, kPanelHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelView::setState(const PanelState *state) {
  state_ = state;
  update();
}

void PanelView::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  if (state_ != nullptr) {
    paintPanel(painter, *state_);
  } else {
    painter.fillRect(rect(), Qt::white);
  }
}

}  // namespace vexal
