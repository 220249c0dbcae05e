#pragma once
// A raised panel used as a button: a caption centred on a bevelled face that reacts to a
// click of the left mouse button (press and release inside the panel).

#include <QFrame>
#include <QString>

class QLabel;

namespace vexal {

class PanelButton : public QFrame {
  Q_OBJECT
 public:
  explicit PanelButton(const QString &caption, QWidget *parent = nullptr);

  QString caption() const;
  void setCaption(const QString &caption);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

 private:
  QLabel *label_;
  bool pressed_ = false;
};

}  // namespace vexal
