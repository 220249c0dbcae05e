#pragma once
// The journal of the main window's recordings (see record/ReadingJournal.h): it starts with
// the window, follows every recorded reading, Delete Data and Save Data through the session,
// and at a normal exit is removed when it holds nothing unsaved.
//
// At start-up it offers, one at a time and without blocking the window, the journals that
// programs no longer running left with unsaved readings: how many readings and from when to
// when, with Open (the rows are added to the table and taken into this run's journal), Save
// As... and Discard (asked first). A journal goes only once its rows are safe elsewhere; one
// that could not be read whole is kept aside. A journal offered and closed without an answer
// stays for the next start.

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "common/qt/Dialogs.h"
#include "record/ReadingJournal.h"

class QThread;

namespace vexal {

class DataFileCommands;
class TFrmTest;

// The offer of one journal left behind.
class JournalOffer : public QDialog {
  Q_OBJECT
 public:
  JournalOffer(const StrandedJournal &journal, QWidget *parent);

 signals:
  void openChosen();
  void saveAsChosen();
  void discardChosen();
};

// The text of the offer.
QString journalOfferText(const StrandedJournal &journal);

class JournalKeeper : public QObject {
  Q_OBJECT
 public:
  // Starts the journal of this run in `folder` for `window`'s session.
  // The keeper must go before the window.
  JournalKeeper(TFrmTest &window, const std::string &folder);
  ~JournalKeeper() override;

  // Looks for the journals left behind off the GUI thread (reading a long one takes a
  // moment), then shows the first offer; the others follow as each is answered.
  void offerStrandedJournals();
  bool searching() const { return search_ != nullptr; }
  // A normal exit: the session lets go of the journal, which goes unless it holds unsaved
  // readings.
  void closeAtExit();

  ReadingJournal &journal() { return journal_; }
  // The offer shown now, if any.
  JournalOffer *currentOffer() const { return offer_; }

 private:
  void showNextOffer();
  void openStranded();
  void saveStrandedAs();
  void discardStranded();
  void finishOffer(bool answered);
  void tellStopped(const std::string &why);
  void tell(const QString &text, BoxIcon icon = BoxIcon::Error);

  TFrmTest &window_;
  ReadingJournal journal_;
  std::unique_ptr<DataFileCommands> files_;
  std::deque<StrandedJournal> stranded_;
  QThread *search_ = nullptr;
  std::vector<StrandedJournal> found_;  // written by the search, read once it has finished
  QPointer<JournalOffer> offer_;
};

}  // namespace vexal
