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
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

QString appTitle() {
  return QString::fromUtf8(kAppTitle.data(), static_cast<int>(kAppTitle.size()));
}

}  // namespace

QString journalOfferText(const StrandedJournal &journal) {
  const QString lastWritten = QDateTime::fromSecsSinceEpoch(journal.lastWritten)
                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  const ReadingTable &rows = journal.readings;
  auto timeAt = [&](std::size_t row) {
    const auto ms = row < rows.rowCount() ? rows.timeMs(row) : std::nullopt;
    return QString::fromStdString(ms ? formatLongTime(*ms) : std::string("?"));
  };
  QString text = QStringLiteral(
                     "An earlier run of Vexal ended without saving %1 recorded readings, taken "
                     "from %2 to %3 (last written %4).")
                     .arg(journal.unsavedRows())
                     .arg(timeAt(journal.savedRows), timeAt(rows.rowCount() - 1), lastWritten);
  if (journal.savedRows > 0)
    text += QStringLiteral(" The %1 readings before them were saved to a data file.")
                .arg(journal.savedRows);
  if (journal.tornTail)
    text += QStringLiteral(
                "\nThe last reading was cut off when the program ended; %1 whole readings are "
                "here.")
                .arg(journal.rows());
  if (journal.unreadable > 0) {
    text += QStringLiteral(
                "\n%1 readings read, %2 lines unreadable, kept in %3 after Open or "
                "Save As.")
                .arg(journal.rows())
                .arg(journal.unreadable)
                .arg(QString::fromStdString(journal.keptPath()));
    return text + QStringLiteral("\nUntil then the journal is:\n%1")
                      .arg(QString::fromStdString(journal.path));
  }
  return text + QStringLiteral("\nThey are kept in the journal:\n%1")
                    .arg(QString::fromStdString(journal.path));
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

// The rows are added as Open Data adds a text file's rows; they are taken into this run's
// journal, so they stay safe until saved, and the old journal goes once they are on the disk.
void JournalKeeper::openStranded() {
  StrandedJournal &stranded = stranded_.front();
  MeterSession &session = window_.session();
  ReadingTable &table = session.cds1;
  const std::size_t first = table.rowCount();
  session.holdTable();
  for (std::size_t row = 0; row < stranded.rows(); ++row)
    table.appendRow(stranded.readings.view(row));
  session.releaseTable();
  const std::size_t added = stranded.rows();
  // Recorded in an earlier run: not on today's date for certain.
  emit window_.dataFileOpened();
  if (auto why = journal_.takeOver(std::move(stranded), table, first, added))
    tell(QString::fromStdString(*why));
  finishOffer(true);
}

void JournalKeeper::saveStrandedAs() {
  FileDialogRequest request = window_.SaveDialog2;
  request.fileName.clear();
  const auto chosen = window_.dialogs().fileDialog(request);
  if (!chosen) return;
  StrandedJournal &stranded = stranded_.front();
  // The file is written whole and on the disk before the journal goes.
  if (!files_->saveOtherTable(stranded.readings, *chosen)) return;  // the box said why
  QString text = QStringLiteral("The %1 readings of the journal are saved in %2.")
                     .arg(stranded.rows())
                     .arg(*chosen);
  if (!stranded.whole())
    text += QStringLiteral(" The journal could not be read whole; it is kept in %1.")
                .arg(QString::fromStdString(stranded.keptPath()));
  stranded.retire();
  finishOffer(true);
  tell(text, BoxIcon::Information);
}

void JournalKeeper::discardStranded() {
  const QString question =
      QStringLiteral("Discard %1 unsaved readings for good?").arg(stranded_.front().unsavedRows());
  if (window_.dialogs().messageBox({appTitle(), question, BoxIcon::Question, BoxButtons::YesNo}) !=
      BoxAnswer::Yes)
    return;
  stranded_.front().discard();
  finishOffer(true);
}

void JournalKeeper::tell(const QString &text, BoxIcon icon) {
  window_.dialogs().messageBox({appTitle(), text, icon, BoxButtons::Ok});
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
