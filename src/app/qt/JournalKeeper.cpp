#include "app/qt/JournalKeeper.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "app/qt/DataFileCommands.h"
#include "app/qt/FrmTest.h"
#include "common/ErrorText.h"
#include "common/qt/ErrorBox.h"

namespace vexal {

namespace {

QString appTitle() {
  return QString::fromUtf8(kAppTitle.data(), static_cast<int>(kAppTitle.size()));
}

}  // namespace

QString journalOfferText(const StrandedJournal &journal) {
  const QString lastWritten = QDateTime::fromSecsSinceEpoch(journal.lastWritten)
                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  return QStringLiteral(
             "An earlier run of Vexal ended without saving %1 recorded readings, taken from %2 to "
             "%3 "
             "(last written %4). They are kept in the journal:\n%5")
      .arg(journal.rows)
      .arg(QString::fromStdString(journal.firstTime), QString::fromStdString(journal.lastTime),
           lastWritten, QString::fromStdString(journal.path));
}

JournalOffer::JournalOffer(const StrandedJournal &journal, QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("JournalOffer"));
  setWindowTitle(appTitle() + QStringLiteral(" - Unsaved readings"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  auto *layout = new QVBoxLayout(this);
  auto *text = new QLabel(journalOfferText(journal), this);
  text->setObjectName(QStringLiteral("JournalOfferText"));
  text->setWordWrap(true);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(text);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch(1);
  const std::pair<QString, void (JournalOffer::*)()> choices[] = {
      {QStringLiteral("Open"), &JournalOffer::openChosen},
      {QStringLiteral("Save As..."), &JournalOffer::saveAsChosen},
      {QStringLiteral("Discard"), &JournalOffer::discardChosen},
  };
  for (const auto &[caption, chosen] : choices) {
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QStringLiteral("JournalOffer") +
                          QString(caption).remove(QLatin1Char('.')).remove(QLatin1Char(' ')));
    connect(button, &QPushButton::clicked, this, chosen);
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);
  resize(460, sizeHint().height());
}

JournalKeeper::JournalKeeper(TFrmTest &window, const std::string &folder)
    : QObject(nullptr),
      window_(window),
      journal_(folder),
      files_(std::make_unique<DataFileCommands>(window.session(), window.dialogs(), &window)) {
  window_.session().setJournal(&journal_, [this](const std::string &why) { tellStopped(why); });
}

JournalKeeper::~JournalKeeper() {
  if (search_) {
    search_->wait();
    delete search_;
  }
  window_.session().setJournal(nullptr, {});
  if (offer_) delete offer_;
}

void JournalKeeper::closeAtExit() {
  window_.session().setJournal(nullptr, {});
  journal_.closeAtExit();
}

// Told from the road of a reading: the box waits until the reading is through.
void JournalKeeper::tellStopped(const std::string &why) {
  const QString text = QStringLiteral(
                           "Readings are no longer written to the journal, so a crash or a "
                           "power cut would lose the unsaved ones. Recording goes on; save the "
                           "data to keep it.\n\n") +
                       QString::fromStdString(why);
  QTimer::singleShot(0, this, [this, text] {
    window_.dialogs().messageBox({appTitle(), text, BoxIcon::Error, BoxButtons::Ok});
  });
}

void JournalKeeper::offerStrandedJournals() {
  if (search_) return;
  search_ = QThread::create([this, folder = journal_.folder(), own = journal_.path()] {
    found_ = findStrandedJournals(folder, own);
  });
  connect(search_, &QThread::finished, this, [this] {
    for (StrandedJournal &journal : found_) stranded_.push_back(std::move(journal));
    found_.clear();
    search_->deleteLater();
    search_ = nullptr;
    showNextOffer();
  });
  search_->start();
}

void JournalKeeper::showNextOffer() {
  if (offer_ || stranded_.empty()) return;
  offer_ = new JournalOffer(stranded_.front(), &window_);
  Dialogs &dialogs = window_.dialogs();
  connect(offer_, &JournalOffer::openChosen, this,
          [this, &dialogs] { runGuarded(dialogs, [this] { openStranded(); }); });
  connect(offer_, &JournalOffer::saveAsChosen, this,
          [this, &dialogs] { runGuarded(dialogs, [this] { saveStrandedAs(); }); });
  connect(offer_, &JournalOffer::discardChosen, this,
          [this, &dialogs] { runGuarded(dialogs, [this] { discardStranded(); }); });
  // Closed without an answer: the journal stays for the next start.
  connect(offer_, &QDialog::rejected, this, [this] { finishOffer(false); });
  offer_->show();
}

// The rows are added as Open Data adds a text file's rows; they become part of this run's
// journal, so they stay safe until saved, and the old journal goes.
void JournalKeeper::openStranded() {
  StrandedJournal &stranded = stranded_.front();
  ReadingTable &table = window_.session().cds1;
  const std::size_t first = table.rowCount();
  const std::size_t added = files_->openFile(QString::fromStdString(stranded.path));
  if (added == 0) return;  // cancelled or unreadable: the offer stays
  // Recorded in an earlier run: not on today's date for certain.
  emit window_.dataFileOpened();
  if (auto why = journal_.appendRows(table, first, added)) tellStopped(*why);
  stranded.discard();
  finishOffer(true);
}

void JournalKeeper::saveStrandedAs() {
  FileDialogRequest request = window_.SaveDialog2;
  request.fileName.clear();
  const auto chosen = window_.dialogs().fileDialog(request);
  if (!chosen) return;
  StrandedJournal &stranded = stranded_.front();
  ReadingTable rows;
  stranded.readInto(rows);
  if (!files_->saveOtherTable(rows, *chosen)) return;  // the box said why; the offer stays
  stranded.discard();
  finishOffer(true);
}

void JournalKeeper::discardStranded() {
  stranded_.front().discard();
  finishOffer(true);
}

void JournalKeeper::finishOffer(bool answered) {
  if (!offer_) return;
  JournalOffer *offer = offer_;
  offer_ = nullptr;
  if (answered) offer->close();  // closing an answered offer is not a rejection any more
  stranded_.pop_front();
  QTimer::singleShot(0, this, [this] { showNextOffer(); });
}

}  // namespace vexal
