#pragma once
// A session timer on the Qt event loop.

#include <QTimer>

#include "app/MeterSession.h"

namespace vexal {

class QtSessionTimer : public SessionTimer {
 public:
  explicit QtSessionTimer(QObject *parent) : timer_(new QTimer(parent)) {}
  void start() override { timer_->start(); }
  void stop() override { timer_->stop(); }
  QTimer *timer() const { return timer_; }

 private:
  QTimer *timer_;  // owned by the parent
};

}  // namespace vexal
