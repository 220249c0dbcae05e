#pragma once
// The line over the reading grid that says the record limit stops recording: shown from the
// first reading the limit refuses until the limit is raised or the data deleted. Recording
// itself goes on exactly as without it; the line only makes the stop visible.

#include <QLabel>
#include <QString>
#include <cstdint>

namespace vexal {

class Recorder;
struct ReportOutcome;

// The line's text for a limit of `maxRecords` readings.
QString limitNoticeText(std::int32_t maxRecords);

class LimitNotice : public QLabel {
  Q_OBJECT
 public:
  // Lies over the bottom of `grid`'s visible rows, hidden until needed.
  explicit LimitNotice(QWidget *grid);

  // A frame went through the session: a reading the limit refused shows the line.
  void frameDecoded(const ReportOutcome &outcome, const Recorder &recorder);
  // The limit or the numbering changed: the line goes once recording can go on.
  void follow(const Recorder &recorder);

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void place();
  QWidget *grid_;
};

}  // namespace vexal
