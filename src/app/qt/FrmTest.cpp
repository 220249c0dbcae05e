#include "app/qt/FrmTest.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
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
#include <QVBoxLayout>

#include "app/FileFilter.h"
#include "app/HelpFileLocation.h"
#include "app/qt/DataFileCommands.h"
#include "app/qt/FrmTestLayout.h"
#include "app/qt/HelpWindow.h"
#include "app/qt/LimitNotice.h"
#include "app/qt/PanelButton.h"
#include "app/qt/QtSessionTimer.h"
#include "common/qt/ErrorBox.h"
#include "common/qt/Fonts.h"
#include "common/qt/KeyFilter.h"
#include "common/qt/ToolIcons.h"
#include "decode/qt/PanelRenderer.h"
#include "link/qt/HidQtBridge.h"
#include "record/DataFiles.h"
#include "record/qt/ReadingGrid.h"
#include "record/qt/ReadingGridModel.h"
#include "record/qt/TrendChart.h"
#include "report/qt/ReportFlows.h"
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

// Names the control and puts it at its design place.
template <class Control>
Control *placed(Control *control, const char *name) {
  const DesignPlace &place = mainWindowPlace(name);
  control->setObjectName(QString::fromLatin1(name));
  if (!place.geometry.isEmpty()) control->setGeometry(place.geometry);
  if (!place.shown) control->hide();
  return control;
}

QStringList nameFilters(const char *list) {
  QStringList filters;
  for (const auto &filter : dialogNameFilters(list)) filters << QString::fromStdString(filter);
  return filters;
}

}  // namespace

TFrmTest::TFrmTest(Services services, QWidget *parent)
    : QMainWindow(parent),
      helpViewer_(services.helpViewer ? std::move(services.helpViewer) : helpWindowViewer(this)),
      ownClock_(services.clock ? nullptr : std::make_unique<SystemClock>()),
      ownDialogs_(services.dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      dialogs_(services.dialogs ? services.dialogs : ownDialogs_.get()),
      watchdog_(std::make_unique<QtSessionTimer>(this)) {
  setObjectName(QStringLiteral("FrmTest"));
  setFont(arial(11));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  createLink(services.clock ? *services.clock : *ownClock_,
             services.hid ? services.hid : makeSystemHidPlatform());

  auto *surface = new QWidget;
  surface->setFixedSize(kSurfaceWidth, kSurfaceHeight);
  surface->setBackgroundRole(QPalette::Button);
  surface->setAutoFillBackground(true);
  createControls(surface);
  createChart(surface, services.dateClock);
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

  DataSource1 = new ReadingGridModel(session_->cds1, this);
  files_ = std::make_unique<DataFileCommands>(*session_, *dialogs_, this);
  reports_ = std::make_unique<ReportFlows>(session_->cds1, *dialogs_,
                                           std::make_unique<QtReportPreviewer>(*dialogs_, this));
  session_->setObserver(this);
  linkStateChanged();
  connectHandlers();
  FormCreate();

  adjustSize();
  setFixedSize(sizeHint());
}

TFrmTest::~TFrmTest() {
  // Nothing reaches the window any more. The controls that show the session's state (the
  // grid, the chart) and the grid's model go while the table is still there; then the
  // session gives the devices back and stops their reading threads (the bridge goes first:
  // stopping a thread carries out what it still hands over).
  hide();
  session_->setObserver(nullptr);
  delete ClientArea;
  ClientArea = nullptr;
  delete DataSource1;
  hidBridge_.reset();
  session_.reset();
}

// The session's HID controller takes its first inventory, and the device list is filled
// with the cable selected. The cable's reports reach the session on the GUI thread.
void TFrmTest::createLink(Clock &clock, std::shared_ptr<HidPlatform> hid) {
  session_ = std::make_unique<MeterSession>(clock, std::move(hid), *watchdog_);
  hidBridge_ = std::make_unique<HidQtBridge>(session_->HidCtl());
}

void TFrmTest::createControls(QWidget *surface) {
  Panel2 = placed(new PanelButton(QStringLiteral("Connect"), surface), "Panel2");
  Panel2->setFont(arial(16));
  // The link's history and device list stay hidden in the window; a right click on the
  // panel shows them, which helps when the cable will not connect.
  ShowLinkHistory = new QAction(QStringLiteral("Link History..."), Panel2);
  Panel2->addAction(ShowLinkHistory);
  Panel2->setContextMenuPolicy(Qt::ActionsContextMenu);

  Panel3 = placed(new PanelButton(QStringLiteral("Exit"), surface), "Panel3");
  Panel3->setFont(arial(16));

  Panel4 = placed(new PanelView(&session_->panel, surface), "Panel4");

  Panel7 = placed(new QFrame(surface), "Panel7");
  Panel7->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  createRecordingBar();

  createStoreDataRow(surface);  // first, so that the reading grid lies over it

  DBGrid1 = placed(new ReadingGrid(surface), "DBGrid1");
  DBGrid1->setFont(arial(11));
  DBGrid1->setHeaderFont(arial(12));
  limitNotice_ = new LimitNotice(DBGrid1);

  SetFeature = placed(new QPushButton(QStringLiteral("SetFeature"), surface), "SetFeature");

  DBGrid2 = placed(new ReadingGrid(surface), "DBGrid2");
  setUpStoreGrid(*DBGrid2, kMainStoreGridWidths);

  createHiddenControls(surface);
}

void TFrmTest::createRecordingBar() {
  RepeatSet = placed(new QCheckBox(QStringLiteral("Repeat"), Panel7), "RepeatSet");
  RecordSI = placed(new QCheckBox(QStringLiteral("Sampling Interval              'S"), Panel7),
                    "RecordSI");
  // Lies over the blanks of RecordSI's caption, so the row reads as one sentence.
  RecordSITime = placed(new QLineEdit(QStringLiteral("10"), Panel7), "RecordSITime");
  RecordSITime->installEventFilter(this);

  auto pictureButton = [this](const char *name, const QIcon &icon, const QString &hint) {
    return placed(makeSpeedButton(Panel7, icon, hint, {}), name);
  };
  SpeedButton5 = pictureButton("SpeedButton5", storeDataIcon(), QStringLiteral("Store Data"));
  SpeedButton2 = pictureButton("SpeedButton2", deleteDataIcon(), QStringLiteral("Delete Data"));
  SpeedButton1 = pictureButton("SpeedButton1", saveDataIcon(), QStringLiteral("Save Data"));
  SpeedButton3 = pictureButton("SpeedButton3", openDataIcon(), QStringLiteral("Open Data"));
  MajPrint = pictureButton("MajPrint", printDataIcon(), QStringLiteral("Print Data"));
}

void TFrmTest::createStoreDataRow(QWidget *surface) {
  Label6 = placed(new QLabel(QStringLiteral(" STORE DATA :"), surface), "Label6");
  Label6->setFont(arial(14, true, false, true));
  QPalette blue = Label6->palette();
  blue.setColor(QPalette::WindowText, Qt::blue);
  Label6->setPalette(blue);

  auto button = [surface](const char *name, const QIcon &icon, const QString &hint) {
    return placed(makeSpeedButton(surface, icon, hint, {}), name);
  };
  SpeedButton4 = button("SpeedButton4", {}, {});
  SpeedButton6 = button("SpeedButton6", storeDataIcon(), {});
  SpeedButton8 = button("SpeedButton8", saveDataIcon(), QStringLiteral("Save Data"));
  SpeedButton9 = button("SpeedButton9", deleteDataIcon(), QStringLiteral("Delete Data"));
  SpeedButton7 = button("SpeedButton7", printDataIcon(), {});
}

void TFrmTest::createHiddenControls(QWidget *surface) {
  Panel1 = placed(new PanelButton(QStringLiteral("USB"), surface), "Panel1");
  USBCon = placed(new QPushButton(QStringLiteral("USB Connect"), surface), "USBCon");
  USBCon->setCheckable(true);
  ReadBtn = placed(new QPushButton(QStringLiteral("Read"), surface), "ReadBtn");
  ReadBtn->setCheckable(true);
  DevListBox = placed(new QListWidget(surface), "DevListBox");
  HistoryListBox = placed(new QListWidget(surface), "HistoryListBox");
}

void TFrmTest::createTimers() {
  SampInterTime = new QTimer(this);
  ConTimer = new QTimer(this);
  Timer2 = watchdog_->timer();
  const std::pair<const char *, QTimer *> timers[] = {
      {"SampInterTime", SampInterTime}, {"ConTimer", ConTimer}, {"Timer2", Timer2}};
  for (const auto &[name, timer] : timers) {
    const TimerDesign &design = mainWindowTimer(name);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(design.intervalMs);
    if (design.running) timer->start();
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
std::function<void()> TFrmTest::guarded(void (TFrmTest::*handler)()) {
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
          [this](bool on) { session_->recorder.setRepeatSet(on); });
  connect(RecordSI, &QCheckBox::toggled, this,
          [this](bool on) { session_->recorder.setRecordSI(on); });
  connect(RecordSITime, &QLineEdit::textChanged, this, guarded(&TFrmTest::RecordSITimeChange));
  connect(SpeedButton5, &QToolButton::clicked, this, guarded(&TFrmTest::SpeedButton5Click));
  // The tool bar's buttons and the hidden menu items are one command each.
  connect(SpeedButton2, &QToolButton::clicked, ClearR, &QAction::trigger);
  connect(SpeedButton1, &QToolButton::clicked, Save_as, &QAction::trigger);
  connect(SpeedButton3, &QToolButton::clicked, Open, &QAction::trigger);
  connect(MajPrint, &QToolButton::clicked, this, guarded(&TFrmTest::MajPrintClick));
  connect(SpeedButton6, &QToolButton::clicked, this, guarded(&TFrmTest::SpeedButton6Click));
  // The " STORE DATA :" row's commands, which the stored-data window's buttons share.
  // "Delete Data" of the stored data (SpeedButton9) does nothing.
  StoreOpenData = new QAction(this);
  StoreSaveData = new QAction(this);
  StoreDeleteData = new QAction(this);
  StoreReport = new QAction(this);
  connect(SpeedButton4, &QToolButton::clicked, StoreOpenData, &QAction::trigger);
  connect(SpeedButton8, &QToolButton::clicked, StoreSaveData, &QAction::trigger);
  connect(SpeedButton9, &QToolButton::clicked, StoreDeleteData, &QAction::trigger);
  connect(SpeedButton7, &QToolButton::clicked, StoreReport, &QAction::trigger);

  connect(SampInterTime, &QTimer::timeout, this, guarded(&TFrmTest::SampInterTimeTimer));
  connect(Timer2, &QTimer::timeout, this, guarded(&TFrmTest::Timer2Timer));

  const std::pair<QAction *, void (TFrmTest::*)()> storeItems[] = {
      {StoreOpenData, &TFrmTest::SpeedButton4Click},
      {StoreSaveData, &TFrmTest::SpeedButton8Click},
      {StoreReport, &TFrmTest::SpeedButton7Click},
  };
  for (const auto &[item, handler] : storeItems)
    connect(item, &QAction::triggered, this, guarded(handler));
  connectMenuHandlers();
}

// --- Start-up and shutdown -------------------------------------------------------------

void TFrmTest::FormCreate() {
  AppDir = QCoreApplication::applicationDirPath().toStdString() + "/";
  LocaleDecimalSeparator = localeDecimalSeparator();
  session_->decoder.setDecimalSeparator(LocaleDecimalSeparator);
  set10k->setChecked(true);
  // The reading table exists empty from here on; the grid shows it.
  DBGrid1->setModel(DataSource1);
  for (int column = 0; column < DataSource1->columnCount(); ++column)
    DBGrid1->setColumnWidth(column, ReadingGridModel::columnWidth(column));
  RepeatSet->setChecked(true);
  setWindowTitle(QString::fromLatin1(kCaption));
  // The link kind starts at 5 (USB) in the session's connection control.
}

void TFrmTest::closeEvent(QCloseEvent *event) {
  // Closing is always allowed and asks nothing; unsaved readings stay in the journal of
  // this run (see JournalKeeper), which the next start offers.
  event->accept();
}

void TFrmTest::Panel3Click() {
  endProgram();
}

void TFrmTest::miExitClick() {
  endProgram();
}

// The window leaves the screen at once; freeing a large table happens after that, unseen.
void TFrmTest::endProgram() {
  hide();
  emit endRequested();
}

// --- Recording rules ---------------------------------------------------------------------

void TFrmTest::setLimit(RecordLimit limit) {
  session_->recorder.setLimit(limit);
  limitNotice_->follow(session_->recorder);
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
  session_->ClearData();
  limitNotice_->follow(session_->recorder);
}

// A text that does not convert reaches the error box through the handler's guard.
void TFrmTest::RecordSITimeChange() {
  session_->RecordSITimeChange(RecordSITime->text().toStdString());
}

void TFrmTest::RecordSITimeKeyPress(char &key) {
  key = Recorder::RecordSITimeKeyPress(key);
}

void TFrmTest::SampInterTimeTimer() {
  session_->SampInterTimeTimer();
}

bool TFrmTest::eventFilter(QObject *watched, QEvent *event) {
  if (watched != RecordSITime || event->type() != QEvent::KeyPress)
    return QMainWindow::eventFilter(watched, event);
  return discardTypedKey(*static_cast<QKeyEvent *>(event),
                         [this](char &key) { RecordSITimeKeyPress(key); });
}

// --- What the session tells ---------------------------------------------------------------

void TFrmTest::frameDecoded(const ReportOutcome &outcome) {
  Panel4->update();
  limitNotice_->frameDecoded(outcome, session_->recorder);
}

void TFrmTest::errorRaised(const std::string &message) {
  showErrorBox(*dialogs_, QString::fromStdString(message));
}

void TFrmTest::informationRequested(const std::string &text) {
  dialogs_->messageBox({QString::fromUtf8(kAppTitle.data(), kAppTitle.size()),
                        QString::fromStdString(text), BoxIcon::Information, BoxButtons::Ok});
}

void TFrmTest::linkChanged() {
  linkStateChanged();
}

// --- Data files ---------------------------------------------------------------------------

void TFrmTest::Save_asClick() {
  files_->saveData(SaveDialog2);
}

void TFrmTest::OpenClick() {
  files_->openData(OpenDialog1);
  emit dataFileOpened();
}

void TFrmTest::ArchiveClick() {
  emit archiveRequested();
}

// --- Help ---------------------------------------------------------------------------------

// The help file lies beside the executable (AppDir already ends with a separator) or, for an
// installed program, in its data folder.
void TFrmTest::HELP1Click() {
  HelpFile = QString::fromStdString(helpFilePath(AppDir));
  emit helpRequested();
  helpViewer_(HelpFile);
}

void TFrmTest::About2Click() {
  emit aboutRequested();
}

// --- Meter link ---------------------------------------------------------------------------

void TFrmTest::Panel1Click() {
  link().Panel1Click();
}
void TFrmTest::Panel2Click() {
  link().Panel2Click();
}
void TFrmTest::USBConClick() {
  link().USBConClick();
}
void TFrmTest::ReadBtnClick() {
  link().ReadBtnClick();
}
void TFrmTest::SetFeatureClick() {
  link().SetFeatureClick();
}
void TFrmTest::Timer2Timer() {
  session_->Timer2Timer();
}
void TFrmTest::COM1Click() {
  link().COMClick(1);
}
void TFrmTest::COM2Click() {
  link().COMClick(2);
}
void TFrmTest::COM3Click() {
  link().COMClick(3);
}
void TFrmTest::COM4Click() {
  link().COMClick(4);
}
void TFrmTest::USBClick() {
  link().USBClick();
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
  if (!LinkHistory) return;
  LinkHistoryDevices->clear();
  for (int i = 0; i < DevListBox->count(); ++i)
    LinkHistoryDevices->addItem(DevListBox->item(i)->text() + (i == DevListBox->currentRow()
                                                                   ? QStringLiteral("  (selected)")
                                                                   : QString()));
  while (LinkHistoryLines->count() < HistoryListBox->count())
    LinkHistoryLines->addItem(HistoryListBox->item(LinkHistoryLines->count())->text());
  LinkHistoryLines->scrollToBottom();
}

// Mirrors the link's state into the controls that show it.
void TFrmTest::linkStateChanged() {
  const ConnectionControl &link = session_->link();
  Panel2->setCaption(link.LinkOpened() ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
  Panel1->setCaption(link.LinkKind() == 5 ? QStringLiteral("USB")
                                          : QStringLiteral("COM%1").arg(link.LinkKind()));
  USBCon->setChecked(link.USBConDown());
  Comset->setEnabled(link.ComsetEnabled());
  QAction *const comItems[] = {COM1, COM2, COM3, COM4};
  for (int n = 1; n <= 4; ++n) comItems[n - 1]->setChecked(link.ComChecked(n));
  USB->setChecked(link.USBChecked());

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

// The trend chart and its tool bar, told by the window what it needs of it.
void TFrmTest::createChart(QWidget *surface, DateTimeClock *dateClock) {
  TrendChartHost host;
  host.outerSize = [this] { return frameGeometry().size(); };
  host.setOuterHeight = [this](int height) { setOuterHeight(height); };
  host.clientArea = [this] { return ClientArea->viewport(); };
  host.recordNo = [this] { return session_->recorder.RecordNo; };
  host.showInformation = [this](const QString &text) {
    dialogs_->messageBox(
        {QStringLiteral("Information"), text, BoxIcon::Information, BoxButtons::Ok});
  };
  host.showError = [this](const QString &text) { showErrorBox(*dialogs_, text); };
  host.fillChecked = [this] { return FillP->isChecked(); };
  host.setFillChecked = [this](bool on) { FillP->setChecked(on); };
  host.clock = dateClock;
  Chtshow = placed(new TrendChart(session_->cds1, std::move(host), surface), "Chtshow");
  Chtshow->stackUnder(SetFeature);  // at its place in the window definition
  connect(Chtshow, &TrendChart::insulationTestRequested, this,
          &TFrmTest::insulationTestRequested);
  // The grid's context menu leads to the same window.
  auto *insulation = new QAction(QStringLiteral("Insulation Test..."), DBGrid1);
  connect(insulation, &QAction::triggered, this, &TFrmTest::insulationTestRequested);
  DBGrid1->addAction(insulation);
  DBGrid1->setContextMenuPolicy(Qt::ActionsContextMenu);
}

// The window and its client area have fixed sizes: both change together.
void TFrmTest::setOuterHeight(int height) {
  const int frame = frameGeometry().height() - geometry().height();
  const int delta = height - frame - this->height();
  ClientArea->setFixedHeight(ClientArea->height() + delta);
  setFixedHeight(height - frame);
}

void TFrmTest::NewClick() {
  Chtshow->BtNewClick();
  ClearRClick();
}
void TFrmTest::BtFirstClick() {
  Chtshow->BtFirstClick();
}
void TFrmTest::BTPreviousClick() {
  Chtshow->BTPreviousClick();
}
void TFrmTest::BtNextClick() {
  Chtshow->BtNextClick();
}
void TFrmTest::BTlastClick() {
  Chtshow->BTlastClick();
}
void TFrmTest::FillPClick() {
  Chtshow->FillPClick();
}
void TFrmTest::BtNewClick() {
  Chtshow->BtNewClick();
}
void TFrmTest::SavepictureClick() {
  Chtshow->SavepictureClick();
}
void TFrmTest::printClick() {
  emit printStyleRequested();
}
void TFrmTest::MajPrintClick() {
  reports_->MajPrintClick([this] { repaint(); });
}

}  // namespace vexal

namespace vexal {

// --- Stored data --------------------------------------------------------------------------

void TFrmTest::SpeedButton5Click() {
  emit storeWindowRequested();
}

void TFrmTest::SpeedButton4Click() {
  files_->openStoreData(OpenDialog1);
  emit dataFileOpened();
}

void TFrmTest::SpeedButton8Click() {
  files_->saveStoreData(SaveDialog2);
}

void TFrmTest::SpeedButton7Click() {
  reports_->SpeedButton7Click();
}

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
