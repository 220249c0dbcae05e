#include "app/qt/FrmAbout.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>
#include <numbers>
#include "common/qt/Fonts.h"

namespace vexal {

namespace {

// Pictures are drawn at twice their box size, on a transparent ground.
QPixmap drawnPicture(QSize box, const std::function<void(QPainter &, QSizeF)> &draw) {
  QPixmap pixmap(box * 2);
  pixmap.fill(Qt::transparent);
  {
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(2, 2);
    draw(painter, QSizeF(box));
  }
  pixmap.setDevicePixelRatio(2);
  return pixmap;
}

// A round quality seal: a blue ring set with dots around a green tick.
QPixmap emblemPicture(QSize box) {
  return drawnPicture(box, [](QPainter &p, QSizeF size) {
    const qreal radius = std::min(size.width(), size.height()) / 2 - 3;
    const QPointF centre(size.width() / 2, size.height() / 2);
    p.setPen(QPen(QColor(20, 60, 160), 4));
    p.setBrush(QColor(235, 242, 255));
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(20, 60, 160), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, radius - 9, radius - 9);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 60, 160));
    for (int i = 0; i < 12; ++i) {
      const qreal angle = i * std::numbers::pi / 6;
      p.drawEllipse(centre + QPointF(std::cos(angle), std::sin(angle)) * (radius - 4.5), 1.6, 1.6);
    }
    const qreal r = radius - 16;
    QPainterPath tick;
    tick.moveTo(centre + QPointF(-0.55 * r, 0.05 * r));
    tick.lineTo(centre + QPointF(-0.15 * r, 0.45 * r));
    tick.lineTo(centre + QPointF(0.6 * r, -0.45 * r));
    p.setPen(QPen(QColor(0, 150, 60), 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
  });
}

// A red R in an oval.
QPixmap registeredPicture(QSize box) {
  return drawnPicture(box, [](QPainter &p, QSizeF size) {
    const QRectF oval(1.5, 1.5, size.width() - 3, size.height() - 3);
    p.setPen(QPen(Qt::red, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(oval);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    font.setPixelSize(static_cast<int>(size.height() * 0.6));
    p.setFont(font);
    p.drawText(oval, Qt::AlignCenter, QStringLiteral("R"));
  });
}

}  // namespace

TFrmAbout::TFrmAbout(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FrmAbout"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);
  setWindowOpacity(kOpacity);
  QPalette ground = palette();
  ground.setColor(QPalette::Window, palette().color(QPalette::Inactive, QPalette::WindowText));
  setPalette(ground);
  setAutoFillBackground(true);

  Label1 = makeLabel(QStringLiteral("Vexal"), {0, 0, 281, 111}, arial(96, true, false),
                     QColor(255, 0, 255));
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  Image2 = makeLabel({}, {276, 12, 141, 101}, font(), {});
  Image2->setPixmap(emblemPicture(Image2->size()));
  Image2->setScaledContents(true);

  Image1 = makeLabel({}, {240, 76, 29, 29}, font(), {});
  Image1->setPixmap(registeredPicture(Image1->size()));
  Image1->setScaledContents(true);

  Label2 = makeLabel(QStringLiteral("Vexal Instruments - insulation testing made visible"),
                     {8, 117, 390, 18}, arial(16, true, true),
                     palette().color(QPalette::Active, QPalette::Highlight));
  StaticText1 = makeLabel(QStringLiteral("Version No. :  1.0.0        Meter No.: IR 5 kV series"),
                          {8, 148, 410, 22}, arial(16, true, true), QColor(0, 128, 0));
  Label3 = makeLabel(QStringLiteral("Web:"), {4, 176, 56, 28}, arial(21, true, true), Qt::blue);
  Label4 = makeLabel(QStringLiteral("www.vexal.example"), {60, 176, 268, 28},
                     arial(21, true, true, true), Qt::blue);
  Label4->setCursor(Qt::PointingHandCursor);
  StaticText2 =
      makeLabel(QStringLiteral("Copyright (C) Vexal developers. Free software: GNU GPL v3+"),
                {4, 204, 403, 19}, arial(12, true, true), Qt::red);
  // The trademark sign lies over the brand name.
  Image1->raise();
}

QLabel *TFrmAbout::makeLabel(const QString &text, const QRect &box, const QFont &font,
                             const QColor &colour) {
  auto *label = new QLabel(text, this);
  label->setGeometry(box);
  label->setFont(font);
  if (colour.isValid()) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
  }
  label->installEventFilter(this);
  return label;
}

// Every element takes its own clicks, so that one that does not close the window does not
// pass them on to the background, which does.
bool TFrmAbout::eventFilter(QObject *watched, QEvent *event) {
  auto *element = qobject_cast<QWidget *>(watched);
  if (!element || element->parentWidget() != this) return QDialog::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      return true;
    case QEvent::MouseButtonRelease: {
      const auto *mouse = static_cast<QMouseEvent *>(event);
      if (mouse->button() == Qt::LeftButton &&
          element->rect().contains(mouse->position().toPoint()))
        handleClick(element);
      return true;
    }
    default:
      return QDialog::eventFilter(watched, event);
  }
}

void TFrmAbout::handleClick(QObject *element) {
  if (element == Label1)
    Label1Click();
  else if (element == Label2)
    Label2Click();
  else if (element == Image2)
    Image2Click();
  else if (element == StaticText1)
    StaticText1Click();
  else if (element == StaticText2)
    StaticText2Click();
  // "Web:", the web address and the trademark sign do nothing.
}

void TFrmAbout::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    FormClick();
}

void TFrmAbout::Label1Click() {
  close();
}
void TFrmAbout::Label2Click() {
  close();
}
void TFrmAbout::Image2Click() {
  close();
}
void TFrmAbout::StaticText1Click() {
  close();
}
void TFrmAbout::StaticText2Click() {
  close();
}
void TFrmAbout::FormClick() {
  close();
}

}  // namespace vexal
