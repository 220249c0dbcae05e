#pragma once
// The About window: who made the program and which version it is. Created hidden at
// start-up and shown modally; a click on the texts, the emblem or the background closes it,
// a click on the web line or the trademark sign does not.

#include <QDialog>

class QLabel;

namespace vexal {

class TFrmAbout : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 421;
  static constexpr int kClientHeight = 228;
  static constexpr qreal kOpacity = 230.0 / 255.0;

  explicit TFrmAbout(QWidget *parent = nullptr);

  QLabel *Label1;       // brand name
  QLabel *Image2;       // quality emblem
  QLabel *Image1;       // registered-trademark sign
  QLabel *Label2;       // company line
  QLabel *StaticText1;  // version and meter models
  QLabel *Label3;       // "Web:"
  QLabel *Label4;       // web address
  QLabel *StaticText2;  // rights notice

 public slots:
  void Label1Click();
  void Label2Click();
  void Image2Click();
  void StaticText1Click();
  void StaticText2Click();
  void FormClick();

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

 private:
  QLabel *makeLabel(const QString &text, const QRect &box, const QFont &font, const QColor &colour);
  void handleClick(QObject *element);
};

}  // namespace vexal
