#pragma once
// The main window: a view of the meter session. It owns every control, timer and menu item,
// each at its design place, and forwards each handler (named for the control event it
// serves) to the session or to a GUI-free class; the session tells it what changed.

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MeterSession.h"
#include "common/qt/Dialogs.h"
#include "record/qt/TrendChart.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollArea;
class QTimer;
class QToolButton;

namespace vexal {

class PanelButton;
class PanelView;
class DataFileCommands;
class LimitNotice;
class ReportFlows;
class ReadingGrid;
class ReadingGridModel;

// Shows a help file; the viewer runs on its own and reports its own failures.
using HelpViewer = std::function<void(const QString &path)>;

// The platform services the main window works through; the system's own where left empty.
struct FrmTestServices {
  Clock *clock = nullptr;
  Dialogs *dialogs = nullptr;
  std::shared_ptr<HidPlatform> hid{};  // the machine's HID services when empty
  HelpViewer helpViewer{};             // the program's own help window when empty
  DateTimeClock *dateClock = nullptr;  // the chart pictures' date and time
};

class HidQtBridge;
class QtSessionTimer;

class TFrmTest : public QMainWindow, private SessionObserver {
  Q_OBJECT
 public:
  using Services = FrmTestServices;

  // Client area (the part that is seen without scrolling).
  static constexpr int kClientWidth = 619;
  static constexpr int kClientHeight = 526;
  // The wide window that the stored-data row's size button switches to (outer size).
  static constexpr int kWideOuterWidth = 755;
  static constexpr int kWideOuterHeight = 538;
  static constexpr int kWideChartHeight = 278;

  explicit TFrmTest(Services services = Services(), QWidget *parent = nullptr);
  ~TFrmTest() override;

  // One input report of the cable (the bytes after the report-ID byte), as the cable's
  // reading thread hands it over: the session decodes and records it at once; the panel is
  // redrawn when the GUI thread is next free. A recording that fails because the interval
  // box does not hold a number is reported once per distinct text, while frames go on
  // being decoded.
  void ReadLusk(std::uint8_t reportId, const std::uint8_t *data, std::uint16_t size) {
    session_->ReadLusk(reportId, data, size);
  }

  MeterSession &session() { return *session_; }
  ConnectionControl &link() { return session_->link(); }
  Dialogs &dialogs() { return *dialogs_; }
  ReportFlows &reportFlows() { return *reports_; }

  // Run-time state of the window.
  std::string AppDir;                  // folder of the executable, with a trailing "/"
  std::string LocaleDecimalSeparator;  // read once at start-up
  QString HelpFile;                    // the application's help file; set by the help command

  // Non-visual parts.
  ReadingGridModel *DataSource1;
  FileDialogRequest SaveDialog2;
  FileDialogRequest OpenDialog1;
  QTimer *SampInterTime;
  QTimer *ConTimer;
  QTimer *Timer2;

  // Controls, in the order of the window definition.
  QScrollArea *ClientArea;  // scrolls to the controls beyond the visible area
  PanelButton *Panel2;
  PanelButton *Panel3;
  PanelView *Panel4;
  QFrame *Panel7;
  QCheckBox *RepeatSet;
  QCheckBox *RecordSI;
  QLineEdit *RecordSITime;
  QToolButton *SpeedButton5;
  QToolButton *SpeedButton2;
  QToolButton *SpeedButton1;
  QToolButton *SpeedButton3;
  QToolButton *MajPrint;
  // The " STORE DATA :" row; the reading grid lies over it, so only the stored-data window
  // reaches its buttons.
  QLabel *Label6;
  QToolButton *SpeedButton4;
  QToolButton *SpeedButton6;
  QToolButton *SpeedButton8;
  QToolButton *SpeedButton9;
  QToolButton *SpeedButton7;
  ReadingGrid *DBGrid1;
  LimitNotice *limitNotice_;  // over the grid while the record limit stops recording
  TrendChart *Chtshow;
  QPushButton *SetFeature;
  ReadingGrid *DBGrid2;
  PanelButton *Panel1;
  QPushButton *USBCon;
  QPushButton *ReadBtn;
  QListWidget *DevListBox;
  QListWidget *HistoryListBox;
  // The link's devices and history as a user can see them (right click on Panel2).
  QAction *ShowLinkHistory;
  QDialog *LinkHistory = nullptr;
  QListWidget *LinkHistoryDevices = nullptr;
  QListWidget *LinkHistoryLines = nullptr;

  // Menu bar and items.
  QMenuBar *MainMenu1;
  QMenu *FileSet1, *Comset, *COM, *Grap, *Move, *Rec, *RecSet, *About1;
  QAction *New, *Open, *Save_as, *N1, *print, *N2, *miExit;
  QAction *COM1, *COM2, *COM3, *COM4, *N4, *USB;
  QAction *Savepicture, *FirstP, *NextP, *LastP, *PrivousP, *FillP, *ClearP;
  QAction *SaveR, *set1k, *set5k, *set10k, *set50k, *set100k, *setlimit, *ClearR, *SearchR;
  QAction *HELP1, *N3, *About2, *Help2;
  // "Archive" on the menu bar, after "Record": the test archive's window.
  QAction *ArchiveItem;
  QActionGroup *RecordLimits;
  // Commands of the " STORE DATA :" row, which the stored-data window's buttons share.
  QAction *StoreSaveData, *StoreDeleteData, *StoreOpenData, *StoreReport;

 signals:
  // The application is told to end.
  void endRequested();
  // F1 or the Help item: the help command.
  void helpRequested();
  // The hidden windows, shown modally over this one by whoever created them.
  void aboutRequested();
  void printStyleRequested();
  void storeWindowRequested();
  // The chart's insulation-test button or the grid's context menu: the insulation test
  // window of the table's runs.
  void insulationTestRequested();
  // "Archive": the test archive's window.
  void archiveRequested();
  // A data file was opened into the reading table (its runs were not recorded now).
  void dataFileOpened();

 public slots:
  // Start-up and shutdown.
  void FormCreate();
  void Panel3Click();
  void miExitClick();
  // "Archive" on the menu bar.
  void ArchiveClick();

  // Recording rules and the reading table.
  void set1kClick();
  void set5kClick();
  void set10kClick();
  void set50kClick();
  void set100kClick();
  void setlimitClick();
  void ClearRClick();
  void RecordSITimeChange();
  void SampInterTimeTimer();

  // Data files.
  void Save_asClick();
  void OpenClick();

  // Help.
  void HELP1Click();

  // Meter link: the link control fills these in.
  void Panel1Click();
  void Panel2Click();
  void USBConClick();
  void ReadBtnClick();
  void SetFeatureClick();
  void Timer2Timer();
  void COM1Click();
  void COM2Click();
  void COM3Click();
  void COM4Click();
  void USBClick();
  void showLinkHistory();

  // Trend chart, chart pictures, printing, stored data and About: filled in with those
  // windows.
  void NewClick();
  void BtFirstClick();
  void BTPreviousClick();
  void BtNextClick();
  void BTlastClick();
  void FillPClick();
  void BtNewClick();
  void SavepictureClick();
  void printClick();
  void MajPrintClick();
  void About2Click();

  // Stored data.
  void SpeedButton5Click();
  void SpeedButton4Click();
  void SpeedButton6Click();
  void SpeedButton8Click();
  void SpeedButton7Click();

 public:
  // Key filter of the interval box: `key` becomes '\0' when the box must not take it.
  void RecordSITimeKeyPress(char &key);

 protected:
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void createControls(QWidget *surface);
  void createRecordingBar();
  void createStoreDataRow(QWidget *surface);
  void createHiddenControls(QWidget *surface);
  void createLink(Clock &clock, std::shared_ptr<HidPlatform> hid);
  // SessionObserver: what the session tells the window.
  void frameDecoded(const ReportOutcome &outcome) override;
  void linkChanged() override;
  void informationRequested(const std::string &text) override;
  void errorRaised(const std::string &message) override;
  void linkStateChanged();
  void createTimers();
  void createMenus();
  void createFileDialogs();
  void connectHandlers();
  void connectMenuHandlers();
  void giveShortcutsToWindow(QMenu *menu);
  void setLimit(RecordLimit limit);
  void endProgram();
  void refreshLinkHistory();
  void createChart(QWidget *surface, DateTimeClock *dateClock);
  void setOuterHeight(int height);
  std::function<void()> guarded(void (TFrmTest::*handler)());

  HelpViewer helpViewer_;
  std::unique_ptr<SystemClock> ownClock_;
  std::unique_ptr<QtDialogs> ownDialogs_;
  Dialogs *dialogs_;
  std::unique_ptr<QtSessionTimer> watchdog_;
  std::unique_ptr<MeterSession> session_;
  std::unique_ptr<HidQtBridge> hidBridge_;
  std::unique_ptr<DataFileCommands> files_;
  std::unique_ptr<ReportFlows> reports_;
};

}  // namespace vexal
