#pragma once
// Connects the HID device controller to the Qt event loop: hand-overs from reading threads
// are carried out on the GUI thread (a queued call per wake), and the platform's
// device-change notice is watched with a socket notifier so that DeviceChange() runs on the
// GUI thread.

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "link/HidControllerClass.h"

namespace vexal {

class HidQtBridge : public QObject {
  Q_OBJECT

 public:
  // Lives on the GUI thread and must be destroyed before the controller.
  explicit HidQtBridge(THidDeviceController &controller, QObject *parent = nullptr);
  ~HidQtBridge() override;

 private:
  struct WakeTarget;

  void carryOutHandOvers();
  void changeNotice();

  THidDeviceController &controller_;
  std::shared_ptr<WakeTarget> wakeTarget_;
  QSocketNotifier *notifier_ = nullptr;
};

}  // namespace vexal
