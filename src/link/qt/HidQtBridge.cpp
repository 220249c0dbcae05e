#include "link/qt/HidQtBridge.h"

#include <QMetaObject>
#include <mutex>

namespace vexal {

// What a reading thread's wake reaches. The bridge withdraws it under the lock before it
// goes, so a wake can never post to a bridge that is being destroyed.
struct HidQtBridge::WakeTarget {
  std::mutex mutex;
  HidQtBridge *bridge = nullptr;
};

HidQtBridge::HidQtBridge(THidDeviceController &controller, QObject *parent)
    : QObject(parent), controller_(controller), wakeTarget_(std::make_shared<WakeTarget>()) {
  wakeTarget_->bridge = this;
  controller_.SetHandOverWake([target = wakeTarget_] {
    std::lock_guard<std::mutex> lock(target->mutex);
    if (target->bridge != nullptr) {
      QMetaObject::invokeMethod(
          target->bridge, [bridge = target->bridge] { bridge->carryOutHandOvers(); },
          Qt::QueuedConnection);
    }
  });

  const int fd = controller_.ChangeNoticeFd();
  if (fd >= 0) {
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &HidQtBridge::changeNotice);
  }
}

HidQtBridge::~HidQtBridge() {
  controller_.SetHandOverWake(nullptr);
  std::lock_guard<std::mutex> lock(wakeTarget_->mutex);
  wakeTarget_->bridge = nullptr;
}

void HidQtBridge::carryOutHandOvers() {
  controller_.processHandOvers();
}

void HidQtBridge::changeNotice() {
  controller_.HandleChangeNotice();
}

}  // namespace vexal
