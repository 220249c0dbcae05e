#include "app/qt/FrmTest.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/FileFilter.h"
#include "app/qt/ErrorBox.h"
#include "app/qt/FileJob.h"
#include "app/qt/FrmAbout.h"
#include "app/qt/PanelButton.h"
#include "app/qt/ReadingGrid.h"
#include "app/qt/ReadingGridModel.h"
#include "app/qt/ToolIcons.h"
#include "decode/qt/PanelRenderer.h"
#include "link/qt/HidQtBridge.h"
#include "record/DataFiles.h"
#include "report/qt/FrmPrint.h"
#include "report/qt/FrmStore.h"
#include "report/qt/StoreGrid.h"

namespace vexal {

namespace {

// The design surface holds every control; the client area shows its top-left part.
constexpr int kSurfaceWidth = 757;   // right edge of SetFeature
constexpr int kSurfaceHeight = 821;  // bottom edge of Chtshow

const char *const kCaption = "Vexal V1.00";
const char *const kSaveFilter = "Excel File(*.xls)|*.xls|XML(*.xml)|*.xml|Txt File(*.txt)|*.txt";
const char *const kOpenFilter = "Excel File(*.xls)|*.xls|XML (*.xml)|*.xml|Txt File(*.txt)|*.txt";
const char *const kDeleteQuestion = "Do you want to remove the current data and create a new data?";

QFont arial(int pixelSize, bool bold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QStringList nameFilters(const char *list) {
  QStringList filters;
  for (const auto &filter : dialogNameFilters(list)) filters << QString::fromStdString(filter);
  return filters;
}

// Collects what a data-file job reports, so the boxes are shown on the GUI thread after it.
class CollectingReporter : public DataFileReporter {
 public:
  void showMessage(const std::string &text) override { messages_.push_back({false, text}); }
  void showLoadFailed(const std::string &reason) override { messages_.push_back({true, reason}); }

  void showAll(Dialogs &dialogs) const {
    for (const auto &message : messages_) {
      if (message.loadFailed)
        dialogs.messageBox({QString::fromUtf8(kLoadFailedTitle.data(), kLoadFailedTitle.size()),
                            QString::fromUtf8(kLoadFailedText.data(), kLoadFailedText.size()),
                            BoxIcon::Error, BoxButtons::Ok, QString::fromStdString(message.text)});
      else
        dialogs.messageBox({QString::fromUtf8(kAppTitle.data(), kAppTitle.size()),
                            QString::fromStdString(message.text), BoxIcon::None, BoxButtons::Ok});
    }
  }

 private:
  struct Message {
    bool loadFailed;
    std::string text;
  };
  std::vector<Message> messages_;
};

// Holds the grid's updates from the table for a scope, whatever happens in it.
class UpdatesSuspended {
 public:
  explicit UpdatesSuspended(ReadingTable &table) : table_(table) { table_.suspendUpdates(); }
  ~UpdatesSuspended() { table_.resumeUpdates(); }
  UpdatesSuspended(const UpdatesSuspended &) = delete;
  UpdatesSuspended &operator=(const UpdatesSuspended &) = delete;

 private:
  ReadingTable &table_;
};

}  // namespace

TFrmTest::TFrmTest(Services services, QWidget *parent)
    : QMainWindow(parent),
      helpViewer_(services.helpViewer ? std::move(services.helpViewer)
                                      : [](const QString &path) {
                                          // A missing file or viewer is the viewer's to report.
                                          QDesktopServices::openUrl(QUrl::fromLocalFile(path));
                                        }),
      ownClock_(services.clock ? nullptr : std::make_unique<SystemClock>()),
      ownDialogs_(services.dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      dialogs_(services.dialogs ? services.dialogs : ownDialogs_.get()),
      pipeline_(services.clock ? *services.clock : *ownClock_) {
  setObjectName(QStringLiteral("FrmTest"));
  setFont(arial(11));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  auto *surface = new QWidget;
  surface->setFixedSize(kSurfaceWidth, kSurfaceHeight);
  surface->setBackgroundRole(QPalette::Button);
  surface->setAutoFillBackground(true);
  createControls(surface);
  createTimers();
  createMenus();
  createFileDialogs();

  ClientArea = new QScrollArea(this);
  ClientArea->setFrameShape(QFrame::NoFrame);
  ClientArea->setWidget(surface);
  ClientArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ClientArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ClientArea->setFixedSize(kClientWidth + ClientArea->verticalScrollBar()->sizeHint().width(),
                           kClientHeight + ClientArea->horizontalScrollBar()->sizeHint().height());
  setCentralWidget(ClientArea);

  DataSource1 = new ReadingGridModel(pipeline_.cds1, this);
  pipeline_.onFrameDecoded = [this](bool) { Panel4->update(); };
  createLink(services.hid ? services.hid : makeSystemHidPlatform());
  connectHandlers();
  FormCreate();

  adjustSize();
  setFixedSize(sizeHint());
}

TFrmTest::~TFrmTest() {
  // The link gives its devices back and the reading threads stop before the controller goes;
  // the model stops listening to the table before the pipeline goes.
  link_.reset();
  hidBridge_.reset();
  HidCtl.reset();
  delete DataSource1;
}

// The HID controller takes its first inventory; attaching its events fills the device list
// with the cable selected. Its reports reach ReadLusk on the GUI thread.
void TFrmTest::createLink(std::shared_ptr<HidPlatform> hid) {
  HidCtl = std::make_unique<THidDeviceController>(std::move(hid));
  hidBridge_ = std::make_unique<HidQtBridge>(*HidCtl);
  // While the window closes, a report handed over as the reading thread stops can still
  // complete a frame after the link control is gone.
  pipeline_.onRestartWatchdog = [this] {
    if (link_) link_->restartWatchdog();
  };
  pipeline_.onLinkHold = [this] {
    if (link_) link_->requestLinkHold();
  };
  link_ = std::make_unique<ConnectionControl>(
      *HidCtl, *this, [this](std::uint8_t id, const std::uint8_t *data, std::uint16_t size) {
        ReadLusk(id, data, size);
      });
  linkStateChanged();
}

void TFrmTest::createControls(QWidget *surface) {
  Panel2 = new PanelButton(QStringLiteral("Connect"), surface);
  Panel2->setGeometry(414, 2, 119, 27);
  Panel2->setFont(arial(16));
  // The link's history and device list stay hidden in the window; a right click on the
  // panel shows them, which helps when the cable will not connect.
  ShowLinkHistory = new QAction(QStringLiteral("Link History..."), Panel2);
  Panel2->addAction(ShowLinkHistory);
  Panel2->setContextMenuPolicy(Qt::ActionsContextMenu);

  Panel3 = new PanelButton(QStringLiteral("Exit"), surface);
  Panel3->setGeometry(536, 2, 81, 27);
  Panel3->setFont(arial(16));

  Panel4 = new PanelView(&pipeline_.panel, surface);
  Panel4->move(2, 30);

  Panel7 = new QFrame(surface);
  Panel7->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel7->setGeometry(2, 320, 615, 33);
  createRecordingBar();

  createStoreDataRow(surface);  // first, so that the reading grid lies over it

  DBGrid1 = new ReadingGrid(surface);
  DBGrid1->setGeometry(0, 348, 617, 177);
  DBGrid1->setFont(arial(11));
  DBGrid1->setHeaderFont(arial(12));

  // The trend chart and its tool bar take this place.
  Chtshow = new QFrame(surface);
  Chtshow->setObjectName(QStringLiteral("Chtshow"));
  Chtshow->setGeometry(18, 612, 361, 209);

  SetFeature = new QPushButton(QStringLiteral("SetFeature"), surface);
  SetFeature->setGeometry(698, 694, 59, 33);

  DBGrid2 = new ReadingGrid(surface);
  DBGrid2->setGeometry(340, 714, 341, 49);
  setUpStoreGrid(*DBGrid2, kMainStoreGridWidths);

  createHiddenControls(surface);
}

void TFrmTest::createRecordingBar() {
  RepeatSet = new QCheckBox(QStringLiteral("Repeat"), Panel7);
  RepeatSet->setGeometry(5, 5, 54, 20);

  RecordSI = new QCheckBox(QStringLiteral("Sampling Interval              'S"), Panel7);
  RecordSI->setGeometry(60, 4, 167, 19);

  // Lies over the blanks of RecordSI's caption, so the row reads as one sentence.
  RecordSITime = new QLineEdit(QStringLiteral("10"), Panel7);
  RecordSITime->setGeometry(166, 0, 29, 22);
  RecordSITime->installEventFilter(this);

  auto pictureButton = [this](const QIcon &icon, const QString &hint, int left, int width) {
    auto *button = new QToolButton(Panel7);
    button->setAutoRaise(true);
    button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setToolTip(hint);
    button->setGeometry(left, 4, width, 21);
    return button;
  };
  SpeedButton5 = pictureButton(storeDataIcon(), QStringLiteral("Store Data"), 474, 25);
  SpeedButton5->hide();
  SpeedButton2 = pictureButton(deleteDataIcon(), QStringLiteral("Delete Data"), 501, 25);
  SpeedButton1 = pictureButton(saveDataIcon(), QStringLiteral("Save Data"), 528, 25);
  SpeedButton3 = pictureButton(openDataIcon(), QStringLiteral("Open Data"), 555, 25);
  MajPrint = pictureButton(printDataIcon(), QStringLiteral("Print Data"), 582, 29);
}

void TFrmTest::createStoreDataRow(QWidget *surface) {
  Label6 = new QLabel(QStringLiteral(" STORE DATA :"), surface);
  Label6->setGeometry(12, 492, 96, 16);
  QFont font = arial(14, true);
  font.setUnderline(true);
  Label6->setFont(font);
  QPalette blue = Label6->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  Label6->setPalette(blue);

  auto button = [surface](const QIcon &icon, const QString &hint, int left, int width, int height) {
    auto *speedButton = new QToolButton(surface);
    speedButton->setAutoRaise(true);
    speedButton->setIcon(icon);
    speedButton->setIconSize(QSize(16, 16));
    speedButton->setToolTip(hint);
    speedButton->setGeometry(left, 488, width, height);
    return speedButton;
  };
  SpeedButton4 = button({}, {}, 200, 17, 17);
  SpeedButton6 = button(storeDataIcon(), {}, 216, 33, 21);
  SpeedButton8 = button(saveDataIcon(), QStringLiteral("Save Data"), 248, 33, 21);
  SpeedButton9 = button(deleteDataIcon(), QStringLiteral("Delete Data"), 280, 33, 21);
  SpeedButton7 = button(printDataIcon(), {}, 312, 33, 21);
}

void TFrmTest::createHiddenControls(QWidget *surface) {
  Panel1 = new PanelButton(QStringLiteral("USB"), surface);
  Panel1->hide();
  USBCon = new QPushButton(QStringLiteral("USB Connect"), surface);
  USBCon->setCheckable(true);
  USBCon->hide();
  ReadBtn = new QPushButton(QStringLiteral("Read"), surface);
  ReadBtn->setCheckable(true);
  ReadBtn->hide();
  DevListBox = new QListWidget(surface);
  DevListBox->hide();
  HistoryListBox = new QListWidget(surface);
  HistoryListBox->hide();
}

void TFrmTest::createTimers() {
  SampInterTime = new QTimer(this);
  SampInterTime->setInterval(1000);
  ConTimer = new QTimer(this);
  ConTimer->setInterval(100);
  Timer2 = new QTimer(this);
  Timer2->setInterval(1000);
  // The sampling timer runs from the window's creation on, and is never stopped.
  SampInterTime->start();
}

void TFrmTest::createMenus() {
  MainMenu1 = menuBar();
  MainMenu1->setNativeMenuBar(false);

  FileSet1 = MainMenu1->addMenu(QStringLiteral("File"));
  New = FileSet1->addAction(QStringLiteral("  New"));
  Open = FileSet1->addAction(QStringLiteral("  Open"));
  Save_as = FileSet1->addAction(QStringLiteral("  Save As..."));
  N1 = FileSet1->addSeparator();
  print = FileSet1->addAction(QStringLiteral("  Print"));
  print->setVisible(false);
  N2 = FileSet1->addSeparator();
  miExit = FileSet1->addAction(QStringLiteral("   Exit"));

  Comset = MainMenu1->addMenu(QStringLiteral("ComSet"));
  COM = Comset->addMenu(QStringLiteral(" COM"));
  COM1 = COM->addAction(QStringLiteral("COM1"));
  COM2 = COM->addAction(QStringLiteral("COM2"));
  COM3 = COM->addAction(QStringLiteral("COM3"));
  COM4 = COM->addAction(QStringLiteral("COM4"));
  N4 = Comset->addSeparator();
  USB = Comset->addAction(QStringLiteral(" USB"));
  for (QAction *item : {COM1, COM2, COM3, COM4, USB}) item->setCheckable(true);

  Grap = MainMenu1->addMenu(QStringLiteral("Graph"));
  Savepicture = Grap->addAction(QStringLiteral(" Save Whole"));
  Move = Grap->addMenu(QStringLiteral(" GoTo"));
  FirstP = Move->addAction(QStringLiteral("First"));
  NextP = Move->addAction(QStringLiteral("Next"));
  LastP = Move->addAction(QStringLiteral("Last"));
  PrivousP = Move->addAction(QStringLiteral("Privous"));
  FillP = Grap->addAction(QStringLiteral(" Fill"));
  FillP->setCheckable(true);
  FillP->setChecked(true);
  ClearP = Grap->addAction(QStringLiteral(" Clear"));

  Rec = MainMenu1->addMenu(QStringLiteral("Record"));
  SaveR = Rec->addAction(QStringLiteral(" Save"));
  SaveR->setVisible(false);
  RecSet = Rec->addMenu(QStringLiteral(" RecordSet"));
  RecordLimits = new QActionGroup(this);
  RecordLimits->setExclusive(true);
  auto limitItem = [this](const char *caption) {
    QAction *item = RecSet->addAction(QString::fromLatin1(caption));
    item->setCheckable(true);
    RecordLimits->addAction(item);
    return item;
  };
  set1k = limitItem("1000");
  set5k = limitItem("5000");
  set10k = limitItem("10000");
  set50k = limitItem("50000");
  set100k = limitItem("100000");
  setlimit = limitItem("Limitless");
  ClearR = Rec->addAction(QStringLiteral(" Clear All"));
  ClearR->setVisible(false);
  SearchR = Rec->addAction(QStringLiteral(" Search"));
  SearchR->setVisible(false);

  About1 = MainMenu1->addMenu(QStringLiteral("About"));
  HELP1 = About1->addAction(QStringLiteral("  Help     "));
  HELP1->setShortcut(QKeySequence(Qt::Key_F1));
  N3 = About1->addSeparator();
  About2 = About1->addAction(QStringLiteral("  About..."));
  About2->setVisible(false);

  Help2 = MainMenu1->addAction(QStringLiteral("Help"));

  // Only "Record" is shown; nothing shows the others at run time.
  for (QMenu *menu : {FileSet1, Comset, Grap, About1}) menu->menuAction()->setVisible(false);
  Help2->setVisible(false);
  for (QMenu *menu : {FileSet1, Comset, Grap, Rec, About1}) giveShortcutsToWindow(menu);
}

// The shortcut of an item in a hidden menu would never fire, since no shown widget carries
// the item; the window carries it as well, so the shortcut works anywhere in the window.
void TFrmTest::giveShortcutsToWindow(QMenu *menu) {
  for (QAction *item : menu->actions()) {
    if (item->menu())
      giveShortcutsToWindow(item->menu());
    else if (!item->shortcut().isEmpty())
      addAction(item);
  }
}

void TFrmTest::createFileDialogs() {
  SaveDialog2.mode = FileDialogMode::Save;
  SaveDialog2.nameFilters = nameFilters(kSaveFilter);
  SaveDialog2.defaultSuffix = QStringLiteral("xls");
  SaveDialog2.confirmOverwrite = true;

  OpenDialog1.mode = FileDialogMode::Open;
  OpenDialog1.nameFilters = nameFilters(kOpenFilter);
  OpenDialog1.acceptMissingFile = true;
}

// A handler as the message loop runs it: an exception escaping it goes to the error box.
template <class Handler>
auto TFrmTest::guarded(Handler handler) {
  return [this, handler] { runGuarded(*dialogs_, [&] { (this->*handler)(); }); };
}

void TFrmTest::connectHandlers() {
  connect(Panel3, &PanelButton::clicked, this, guarded(&TFrmTest::Panel3Click));
  connect(Panel2, &PanelButton::clicked, this, guarded(&TFrmTest::Panel2Click));
  connect(ShowLinkHistory, &QAction::triggered, this, guarded(&TFrmTest::showLinkHistory));
  connect(Panel1, &PanelButton::clicked, this, guarded(&TFrmTest::Panel1Click));
  connect(USBCon, &QPushButton::clicked, this, guarded(&TFrmTest::USBConClick));
  connect(ReadBtn, &QPushButton::clicked, this, guarded(&TFrmTest::ReadBtnClick));
  connect(SetFeature, &QPushButton::clicked, this, guarded(&TFrmTest::SetFeatureClick));

  connect(RepeatSet, &QCheckBox::toggled, this,
          [this](bool on) { pipeline_.recorder.setRepeatSet(on); });
  connect(RecordSI, &QCheckBox::toggled, this,
          [this](bool on) { pipeline_.recorder.setRecordSI(on); });
  connect(RecordSITime, &QLineEdit::textChanged, this, guarded(&TFrmTest::RecordSITimeChange));
  connect(SpeedButton5, &QToolButton::clicked, this, guarded(&TFrmTest::SpeedButton5Click));
  connect(SpeedButton2, &QToolButton::clicked, this, guarded(&TFrmTest::ClearRClick));
  connect(SpeedButton1, &QToolButton::clicked, this, guarded(&TFrmTest::Save_asClick));
  connect(SpeedButton3, &QToolButton::clicked, this, guarded(&TFrmTest::OpenClick));
  connect(MajPrint, &QToolButton::clicked, this, guarded(&TFrmTest::MajPrintClick));
  connect(SpeedButton4, &QToolButton::clicked, this, guarded(&TFrmTest::SpeedButton4Click));
  connect(SpeedButton6, &QToolButton::clicked, this, guarded(&TFrmTest::SpeedButton6Click));
  connect(SpeedButton8, &QToolButton::clicked, this, guarded(&TFrmTest::SpeedButton8Click));
  connect(SpeedButton7, &QToolButton::clicked, this, guarded(&TFrmTest::SpeedButton7Click));
  // SpeedButton9 ("Delete Data" of the stored data) has no action.

  connect(SampInterTime, &QTimer::timeout, this, guarded(&TFrmTest::SampInterTimeTimer));
  connect(Timer2, &QTimer::timeout, this, guarded(&TFrmTest::Timer2Timer));

  const std::pair<QAction *, void (TFrmTest::*)()> items[] = {
      {New, &TFrmTest::NewClick},
      {Open, &TFrmTest::OpenClick},
      {Save_as, &TFrmTest::Save_asClick},
      {print, &TFrmTest::printClick},
      {miExit, &TFrmTest::miExitClick},
      {COM1, &TFrmTest::COM1Click},
      {COM2, &TFrmTest::COM2Click},
      {COM3, &TFrmTest::COM3Click},
      {COM4, &TFrmTest::COM4Click},
      {USB, &TFrmTest::USBClick},
      {Savepicture, &TFrmTest::SavepictureClick},
      {FirstP, &TFrmTest::BtFirstClick},
      {NextP, &TFrmTest::BtNextClick},
      {LastP, &TFrmTest::BTlastClick},
      {PrivousP, &TFrmTest::BTPreviousClick},
      {FillP, &TFrmTest::FillPClick},
      {ClearP, &TFrmTest::BtNewClick},
      {set1k, &TFrmTest::set1kClick},
      {set5k, &TFrmTest::set5kClick},
      {set10k, &TFrmTest::set10kClick},
      {set50k, &TFrmTest::set50kClick},
      {set100k, &TFrmTest::set100kClick},
      {setlimit, &TFrmTest::setlimitClick},
      {ClearR, &TFrmTest::ClearRClick},
      {HELP1, &TFrmTest::HELP1Click},
      {About2, &TFrmTest::About2Click},
  };
  for (const auto &[item, handler] : items)
    connect(item, &QAction::triggered, this, guarded(handler));
}

// --- Start-up and shutdown -------------------------------------------------------------

void TFrmTest::FormCreate() {
  AppDir = QCoreApplication::applicationDirPath().toStdString() + "/";
  LocaleDecimalSeparator = localeDecimalSeparator();
  pipeline_.decoder.setDecimalSeparator(LocaleDecimalSeparator);
  set10k->setChecked(true);
  // The reading table exists empty from here on; the grid shows it.
  DBGrid1->setModel(DataSource1);
  for (int column = 0; column < DataSource1->columnCount(); ++column)
    DBGrid1->setColumnWidth(column, ReadingGridModel::columnWidth(column));
  RepeatSet->setChecked(true);
  setWindowTitle(QString::fromLatin1(kCaption));
  LinkKind = 5;
}

void TFrmTest::closeEvent(QCloseEvent *event) {
  // Closing is always allowed and asks nothing; unsaved readings are gone.
  event->accept();
}

void TFrmTest::Panel3Click() {
  emit endRequested();
}

void TFrmTest::miExitClick() {
  emit endRequested();
}

// --- Recording rules ---------------------------------------------------------------------

void TFrmTest::setLimit(RecordLimit limit) {
  pipeline_.recorder.setLimit(limit);
  const std::pair<RecordLimit, QAction *> items[] = {
      {RecordLimit::k1000, set1k},     {RecordLimit::k5000, set5k},
      {RecordLimit::k10000, set10k},   {RecordLimit::k50000, set50k},
      {RecordLimit::k100000, set100k}, {RecordLimit::Limitless, setlimit},
  };
  // The items form an exclusive group: checking one clears the other five.
  for (const auto &[itemLimit, item] : items)
    if (itemLimit == limit) item->setChecked(true);
}

void TFrmTest::set1kClick() {
  setLimit(RecordLimit::k1000);
}
void TFrmTest::set5kClick() {
  setLimit(RecordLimit::k5000);
}
void TFrmTest::set10kClick() {
  setLimit(RecordLimit::k10000);
}
void TFrmTest::set50kClick() {
  setLimit(RecordLimit::k50000);
}
void TFrmTest::set100kClick() {
  setLimit(RecordLimit::k100000);
}
void TFrmTest::setlimitClick() {
  setLimit(RecordLimit::Limitless);
}

void TFrmTest::ClearRClick() {
  const BoxAnswer answer =
      dialogs_->messageBox({QStringLiteral("Confirm"), QString::fromLatin1(kDeleteQuestion),
                            BoxIcon::Question, BoxButtons::YesNo});
  if (answer != BoxAnswer::Yes) return;
  pipeline_.recorder.ClearData();
}

void TFrmTest::RecordSITimeChange() {
  const std::string text = RecordSITime->text().toStdString();
  try {
    pipeline_.recorder.RecordSITimeChange(text);
    recordingErrors_.reset();
  } catch (const EConvertError &error) {
    // Shown now through the error box; the frames that fail the same way stay quiet.
    recordingErrors_.shouldShow(error.what());
    throw;
  }
}

void TFrmTest::RecordSITimeKeyPress(char &key) {
  key = Recorder::RecordSITimeKeyPress(key);
}

void TFrmTest::SampInterTimeTimer() {
  pipeline_.recorder.SampInterTimeTimer();
}

bool TFrmTest::eventFilter(QObject *watched, QEvent *event) {
  if (watched != RecordSITime || event->type() != QEvent::KeyPress)
    return QMainWindow::eventFilter(watched, event);
  auto *keyEvent = static_cast<QKeyEvent *>(event);
  // Shortcuts (paste, undo ...) and keys that type nothing are the box's own business.
  const QString text = keyEvent->text();
  if (text.isEmpty() || keyEvent->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
    return false;
  for (const QChar ch : text) {
    if (ch.unicode() < 0x20 && ch != QLatin1Char('\b')) return false;  // Enter, Tab, Esc
    char key = ch.unicode() < 0x80 ? static_cast<char>(ch.unicode()) : '\0';
    if (key != '\0') RecordSITimeKeyPress(key);
    if (key == '\0') return true;  // discarded
  }
  return false;
}

// --- Frames from the cable ---------------------------------------------------------------

void TFrmTest::ReadLusk(std::uint8_t reportId, const std::uint8_t *data, std::uint16_t size) {
  if (fileJobRunning_) {
    // The table is being written or read off the GUI thread: keep the report for later.
    deferredReports_.push_back({reportId, std::vector<std::uint8_t>(data, data + size)});
    return;
  }
  try {
    pipeline_.ReadLusk(reportId, data, size);
  } catch (const EConvertError &error) {
    // The frame is decoded, only its recording failed: show the mirror all the same.
    Panel4->update();
    if (recordingErrors_.shouldShow(error.what()))
      showErrorBox(*dialogs_, QString::fromUtf8(error.what()));
  }
}

void TFrmTest::feedDeferredReports() {
  while (!deferredReports_.empty() && !fileJobRunning_) {
    const DeferredReport report = std::move(deferredReports_.front());
    deferredReports_.pop_front();
    ReadLusk(report.reportId, report.data.data(), static_cast<std::uint16_t>(report.data.size()));
  }
}

// --- Data files ---------------------------------------------------------------------------

// Runs a save or an open with the grid's updates suspended. Cable reports that arrive
// meanwhile are kept and fed once the table is free again, whatever happens.
void TFrmTest::runWithTableHeld(const std::function<void()> &work) {
  {
    UpdatesSuspended hold(pipeline_.cds1);
    fileJobRunning_ = true;
    try {
      work();
    } catch (...) {
      fileJobRunning_ = false;
      feedDeferredReports();
      throw;
    }
    fileJobRunning_ = false;
  }
  feedDeferredReports();
}

void TFrmTest::Save_asClick() {
  SaveDialog2.fileName.clear();
  const auto chosen = dialogs_->fileDialog(SaveDialog2);
  if (!chosen) return;
  SaveDialog2.fileName = *chosen;
  const std::string path = chosen->toStdString();
  CollectingReporter reporter;
  runWithTableHeld([&] {
    // Only reads the table; recordings wait until it is done. A cancel keeps the old file.
    runFileJobWithProgress(this, QStringLiteral("Saving ") + QFileInfo(*chosen).fileName(),
                           ProgressUnit::Rows, [&](FileProgress &progress) {
                             SaveTableToFile(pipeline_.cds1, path, reporter, &progress);
                           });
  });
  reporter.showAll(*dialogs_);
}

void TFrmTest::OpenClick() {
  const auto chosen = dialogs_->fileDialog(OpenDialog1);
  if (!chosen) return;
  OpenDialog1.fileName = *chosen;
  const std::string path = chosen->toStdString();
  CollectingReporter reporter;
  runWithTableHeld([&] {
    // The file is read into a table of its own off the GUI thread, then taken over.
    ReadingTable loaded;
    bool read = false;
    // A cancel leaves `loaded` empty, so the table stays as it was.
    runFileJobWithProgress(
        this, QStringLiteral("Opening ") + QFileInfo(*chosen).fileName(), ProgressUnit::Bytes,
        [&](FileProgress &progress) { read = LoadFileToTable(path, loaded, reporter, &progress); });
    ReadingTable &table = pipeline_.cds1;
    if (dataFileFormatFor(path) == DataFileFormat::Datapacket) {
      if (read) table.replaceWith(std::move(loaded));
    } else {
      // Rows read before a failing line stay, as they would reading straight into it.
      runInSlices(this, QStringLiteral("Opening data..."), loaded.rowCount(),
                  [&](std::size_t first, std::size_t count) {
                    for (std::size_t row = first; row < first + count; ++row)
                      table.appendRow(loaded.row(row));
                  });
    }
  });
  reporter.showAll(*dialogs_);
}

// --- Help ---------------------------------------------------------------------------------

// The help file lies beside the executable; AppDir already ends with a separator.
void TFrmTest::HELP1Click() {
  HelpFile = QString::fromStdString(AppDir) + QStringLiteral("lusk.hlp");
  emit helpRequested();
  helpViewer_(HelpFile);
}

void TFrmTest::About2Click() {
  if (FrmAbout) FrmAbout->exec();
}

// --- Meter link ---------------------------------------------------------------------------

void TFrmTest::Panel1Click() {
  link_->Panel1Click();
}
void TFrmTest::Panel2Click() {
  link_->Panel2Click();
}
void TFrmTest::USBConClick() {
  link_->USBConClick();
}
void TFrmTest::ReadBtnClick() {
  link_->ReadBtnClick();
}
void TFrmTest::SetFeatureClick() {
  link_->SetFeatureClick();
}
void TFrmTest::Timer2Timer() {
  link_->Timer2Timer();
}
void TFrmTest::COM1Click() {
  link_->COMClick(1);
}
void TFrmTest::COM2Click() {
  link_->COMClick(2);
}
void TFrmTest::COM3Click() {
  link_->COMClick(3);
}
void TFrmTest::COM4Click() {
  link_->COMClick(4);
}
void TFrmTest::USBClick() {
  link_->USBClick();
}

void TFrmTest::showLinkHistory() {
  if (!LinkHistory) {
    LinkHistory = new QDialog(this);
    LinkHistory->setWindowTitle(QStringLiteral("Link History"));
    auto *layout = new QVBoxLayout(LinkHistory);
    layout->addWidget(new QLabel(QStringLiteral("HID devices:"), LinkHistory));
    LinkHistoryDevices = new QListWidget(LinkHistory);
    layout->addWidget(LinkHistoryDevices);
    layout->addWidget(new QLabel(QStringLiteral("History:"), LinkHistory));
    LinkHistoryLines = new QListWidget(LinkHistory);
    layout->addWidget(LinkHistoryLines, 1);
    LinkHistory->resize(520, 420);
  }
  refreshLinkHistory();
  LinkHistory->show();
  LinkHistory->raise();
}

// Copies the hidden lists into the history window while it is open.
void TFrmTest::refreshLinkHistory() {
  if (!LinkHistory || !link_) return;
  LinkHistoryDevices->clear();
  for (int i = 0; i < DevListBox->count(); ++i)
    LinkHistoryDevices->addItem(DevListBox->item(i)->text() + (i == DevListBox->currentRow()
                                                                   ? QStringLiteral("  (selected)")
                                                                   : QString()));
  while (LinkHistoryLines->count() < HistoryListBox->count())
    LinkHistoryLines->addItem(HistoryListBox->item(LinkHistoryLines->count())->text());
  LinkHistoryLines->scrollToBottom();
}

void TFrmTest::timer2Start() {
  Timer2->start();
}
void TFrmTest::timer2Stop() {
  Timer2->stop();
}

void TFrmTest::showInformation(const std::string &text) {
  dialogs_->messageBox({QString::fromUtf8(kAppTitle.data(), kAppTitle.size()),
                        QString::fromStdString(text), BoxIcon::Information, BoxButtons::Ok});
}

// Mirrors the link's state into the controls that show it.
void TFrmTest::linkStateChanged() {
  if (!link_) return;
  const ConnectionControl &link = *link_;
  Panel2->setCaption(QString::fromStdString(link.Panel2Caption()));
  Panel1->setCaption(QString::fromStdString(link.Panel1Caption()));
  USBCon->setChecked(link.USBConDown());
  Comset->setEnabled(link.ComsetEnabled());
  QAction *const comItems[] = {COM1, COM2, COM3, COM4};
  for (int n = 1; n <= 4; ++n) comItems[n - 1]->setChecked(link.ComChecked(n));
  USB->setChecked(link.USBChecked());
  LinkKind = static_cast<std::uint8_t>(link.LinkKind());

  const auto &devices = link.DevListBox();
  bool listChanged = DevListBox->count() != static_cast<int>(devices.size());
  for (int i = 0; !listChanged && i < DevListBox->count(); ++i)
    listChanged = DevListBox->item(i)->text().toStdString() != devices[i].text;
  if (listChanged) {
    DevListBox->clear();
    for (const auto &line : devices) DevListBox->addItem(QString::fromStdString(line.text));
  }
  DevListBox->setCurrentRow(link.DevListSelected());

  // History lines are only ever added; each addition selects the new line.
  const auto &history = link.HistoryListBox();
  if (HistoryListBox->count() < static_cast<int>(history.size())) {
    for (std::size_t i = HistoryListBox->count(); i < history.size(); ++i)
      HistoryListBox->addItem(QString::fromStdString(history[i]));
    HistoryListBox->setCurrentRow(HistoryListBox->count() - 1);
  }
  refreshLinkHistory();
}

// --- Trend chart, chart pictures, printing, stored data, About ---------------------------

void TFrmTest::NewClick() {}
void TFrmTest::BtFirstClick() {}
void TFrmTest::BTPreviousClick() {}
void TFrmTest::BtNextClick() {}
void TFrmTest::BTlastClick() {}
void TFrmTest::FillPClick() {}
void TFrmTest::BtNewClick() {}
void TFrmTest::SavepictureClick() {}
void TFrmTest::printClick() {
  if (Frmprint) Frmprint->exec();
}
void TFrmTest::MajPrintClick() {}

}  // namespace vexal

namespace vexal {

// --- Stored data --------------------------------------------------------------------------

void TFrmTest::SpeedButton5Click() {
  if (Frmstore) Frmstore->exec();
}

// Opens a data file into the reading table as Open Data does, but with the grid following
// every row as it is read.
void TFrmTest::SpeedButton4Click() {
  const auto chosen = dialogs_->fileDialog(OpenDialog1);
  if (!chosen) return;
  OpenDialog1.fileName = *chosen;
  CollectingReporter reporter;
  LoadFileToTable(chosen->toStdString(), pipeline_.cds1, reporter);
  reporter.showAll(*dialogs_);
}

// Saves as Save Data does, but the dialog offers the name it was last given.
void TFrmTest::SpeedButton8Click() {
  const auto chosen = dialogs_->fileDialog(SaveDialog2);
  if (!chosen) return;
  SaveDialog2.fileName = *chosen;
  CollectingReporter reporter;
  SaveTableToFile(pipeline_.cds1, chosen->toStdString(), reporter);
  reporter.showAll(*dialogs_);
}

// The store-data report comes with printing.
void TFrmTest::SpeedButton7Click() {}

// Switches to the wide window: 755 x 538 outside its frame, with a 278 pixel high chart.
void TFrmTest::SpeedButton6Click() {
  const QSize frame = frameGeometry().size() - geometry().size();
  const QSize inner = QSize(kWideOuterWidth, kWideOuterHeight) - frame;
  // The window and its client area have fixed sizes: both change together.
  const int menuHeight =
      MainMenu1->isVisible() ? MainMenu1->height() : MainMenu1->sizeHint().height();
  ClientArea->setFixedSize(inner.width(), inner.height() - menuHeight);
  setFixedSize(inner);

  Chtshow->resize(Chtshow->width(), kWideChartHeight);
  // The surface grows when the chart reaches beyond it, so it can be scrolled to.
  QWidget *surface = ClientArea->widget();
  const int chartBottom = Chtshow->geometry().bottom() + 1;
  if (surface->height() < chartBottom) surface->setFixedHeight(chartBottom);
}

}  // namespace vexal
