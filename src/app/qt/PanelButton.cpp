#include "app/qt/PanelButton.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace vexal {

PanelButton::PanelButton(const QString &caption, QWidget *parent)
    : QFrame(parent), label_(new QLabel(caption, this)) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setCursor(Qt::PointingHandCursor);
  label_->setAlignment(Qt::AlignCenter);
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 1, 1, 1);
  layout->addWidget(label_);
}

QString PanelButton::caption() const {
  return label_->text();
}

void PanelButton::setCaption(const QString &caption) {
  label_->setText(caption);
}

void PanelButton::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton) return QFrame::mousePressEvent(event);
  pressed_ = true;
  setFrameShadow(QFrame::Sunken);
}

void PanelButton::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton || !pressed_) return QFrame::mouseReleaseEvent(event);
  pressed_ = false;
  setFrameShadow(QFrame::Raised);
  if (rect().contains(event->position().toPoint())) emit clicked();
}

}  // namespace vexal
