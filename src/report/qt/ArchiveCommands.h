#pragma once
// The archive in the program: where it is, its thread, the "Archive" window, and "Save to
// Archive..." of the Insulation Test window. The main window's "Archive" item and the
// Insulation Test window's buttons come here.

#include <QObject>
#include <QString>
#include <memory>

#include "archive/ArchiveLocation.h"
#include "report/qt/FrmArchive.h"

namespace vexal {

class ArchiveWorker;
class Dialogs;
class ReadingTable;
class TableOrigin;
class TFrmInsulation;
class TSaveToArchive;

class ArchiveCommands : public QObject {
  Q_OBJECT
 public:
  // `insulation` is the Insulation Test window over `table`; the Archive window is a
  // window of its own over `parent`.
  ArchiveCommands(const ArchiveLocation &location, ReadingTable &table, TFrmInsulation &insulation,
                  TFrmArchive::PreviewerMaker previewers, Dialogs &dialogs, QWidget *parent);
  ~ArchiveCommands() override;

  TFrmArchive &window() { return *window_; }
  ArchiveWorker &worker() { return *worker_; }

 public slots:
  // The main window's "Archive" item and the Insulation Test window's "Archive...".
  void showArchive();
  // "Save to Archive..." of the Insulation Test window: the dialog for its selected run
  // (nothing when no run is selected). Not modal; returned for whoever drives it.
  TSaveToArchive *saveRun();
  // A data file was opened into the reading table.
  void fileOpened();

 private:
  std::unique_ptr<ArchiveWorker> worker_;
  std::unique_ptr<TableOrigin> origin_;
  ReadingTable &table_;
  TFrmInsulation &insulation_;
  Dialogs &dialogs_;
  TFrmArchive *window_;
};

}  // namespace vexal
