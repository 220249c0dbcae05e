#include "app/qt/LimitNotice.h"

#include <QAbstractScrollArea>
#include <QEvent>

#include "app/MeterSession.h"

namespace vexal {

QString limitNoticeText(std::int32_t maxRecords) {
  return QStringLiteral(
             "Recording stopped: the record limit of %1 readings is reached. Raise it under "
             "Record > RecordSet, or delete the data.")
      .arg(maxRecords);
}

LimitNotice::LimitNotice(QWidget *grid) : QLabel(grid), grid_(grid) {
  setObjectName(QStringLiteral("LimitNotice"));
  setWordWrap(true);
  setMargin(3);
  setAutoFillBackground(true);
  setStyleSheet(
      QStringLiteral("background: #fff3b0; color: black; border-top: 1px solid #c8a400;"));
  hide();
  grid_->installEventFilter(this);
  place();
}

void LimitNotice::frameDecoded(const ReportOutcome &outcome, const Recorder &recorder) {
  if (!outcome.limitReached) return;
  setText(limitNoticeText(recorder.MaxRecords));
  place();
  show();
  raise();
}

void LimitNotice::follow(const Recorder &recorder) {
  if (!recorder.limitReached()) hide();
}

bool LimitNotice::eventFilter(QObject *watched, QEvent *event) {
  if (watched == grid_ && event->type() == QEvent::Resize) place();
  return QLabel::eventFilter(watched, event);
}

// Across the grid's visible rows, at their bottom, so the titles stay readable.
void LimitNotice::place() {
  QRect area = grid_->rect();
  if (auto *scroll = qobject_cast<QAbstractScrollArea *>(grid_))
    area = scroll->viewport()->geometry();
  const int height = heightForWidth(area.width());
  setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
}

}  // namespace vexal
