#pragma once
// The stored-data window: an empty stored-data grid and a row of buttons that run the
// commands of the main window's hidden " STORE DATA :" row, or close the window. Created
// hidden at start-up and shown modally over the main window.

#include <QDialog>

class QAction;
class QToolButton;

namespace vexal {

class ReadingGrid;

// The main window's commands that the buttons run, each exactly as the main window's own
// button of the " STORE DATA :" row does.
struct StoreCommands {
  QAction *saveData = nullptr;     // SpeedButton8
  QAction *deleteData = nullptr;   // SpeedButton9
  QAction *openData = nullptr;     // SpeedButton4 (open a data file)
  QAction *storeReport = nullptr;  // SpeedButton7 (store report)
};

class TFrmstore : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 447;
  static constexpr int kClientHeight = 493;

  // The buttons run `commands`; `owner` is the main window.
  TFrmstore(const StoreCommands &commands, QWidget *owner);

  QToolButton *SpeedButton8;  // "Save Data"
  QToolButton *SpeedButton9;  // "Delete Data"
  QToolButton *SpeedButton1;  // open a data file
  QToolButton *SpeedButton7;  // store report
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
  StoreCommands commands_;
};

}  // namespace vexal
