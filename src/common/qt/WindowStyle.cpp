#include "common/qt/WindowStyle.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>

namespace vexal {

namespace {

class WindowStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;

  int pixelMetric(PixelMetric metric, const QStyleOption *option,
                  const QWidget *widget) const override {
    if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing)
      return kIndicatorCaptionGap;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

}  // namespace

QStyle *makeWindowStyle() {
  // The style the platform would choose (its name, so each call gets an object of its own).
  return new WindowStyle(QStyleFactory::create(QApplication::style()->name()));
}

void useWindowStyle(QApplication &app) {
  app.setStyle(makeWindowStyle());
}

}  // namespace vexal
