#pragma once
// The stored-data window: an empty stored-data grid and a row of buttons that click the
// main window's hidden " STORE DATA :" buttons, or close the window. Created hidden at
// start-up and shown modally over the main window.

#include <QDialog>

class QToolButton;

namespace vexal {

class ReadingGrid;
class TFrmTest;

class TFrmstore : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 447;
  static constexpr int kClientHeight = 493;

  // The buttons act on `main`, which is also the window's owner.
  explicit TFrmstore(TFrmTest &main);

  QToolButton *SpeedButton8;  // "Save Data": the main window's SpeedButton8
  QToolButton *SpeedButton9;  // "Delete Data": the main window's SpeedButton9
  QToolButton *SpeedButton1;  // the main window's SpeedButton4 (open a data file)
  QToolButton *SpeedButton7;  // the main window's SpeedButton7 (store report)
  QToolButton *SpeedButton2;  // closes the window
  ReadingGrid *DBGrid3;

 public slots:
  void SpeedButton8Click();
  void SpeedButton9Click();
  void SpeedButton1Click();
  void SpeedButton7Click();
  void SpeedButton2Click();
  void FormActivate();

 protected:
  void changeEvent(QEvent *event) override;

 private:
  TFrmTest &main_;
};

// The application's stored-data window, or null before start-up has created it.
extern TFrmstore *Frmstore;

}  // namespace vexal
