#include "report/qt/ArchiveCommands.h"

#include "archive/Archive.h"
#include "common/qt/Dialogs.h"
#include "report/ArchivedRuns.h"
#include "report/qt/ArchiveWorker.h"
#include "report/qt/FrmInsulation.h"
#include "report/qt/SaveToArchive.h"

namespace vexal {

ArchiveCommands::ArchiveCommands(const ArchiveLocation &location, ReadingTable &table,
                                 TFrmInsulation &insulation, TFrmArchive::PreviewerMaker previewers,
                                 Dialogs &dialogs, QWidget *parent)
    : QObject(parent),
      worker_(std::make_unique<ArchiveWorker>([location] { return Archive::open(location); })),
      origin_(std::make_unique<TableOrigin>(table)),
      table_(table),
      insulation_(insulation),
      dialogs_(dialogs) {
  window_ = new TFrmArchive(*worker_, std::move(previewers),
                            QString::fromStdString(describeLocation(location)), parent);
  connect(&insulation, &TFrmInsulation::saveToArchiveRequested, this, &ArchiveCommands::saveRun);
  connect(&insulation, &TFrmInsulation::archiveRequested, this, &ArchiveCommands::showArchive);
}

// The window goes first: it asks the worker nothing more once it is gone.
ArchiveCommands::~ArchiveCommands() {
  delete window_;
}

void ArchiveCommands::showArchive() {
  window_->showArchive();
}

TSaveToArchive *ArchiveCommands::saveRun() {
  const auto index = insulation_.selectedRun();
  if (!index) return nullptr;
  const InsulationRun &run = insulation_.runs()[*index];
  auto *dialog = new TSaveToArchive(
      *worker_, insulation_, testReadingsOfRun(table_.snapshot(), run), origin_->fromFile(run));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &TSaveToArchive::stored, this,
          [this](const StoreOutcome &outcome, const QString &tag) {
            const QString id = QString::fromStdString(outcome.id);
            dialogs_.messageBox(
                {QStringLiteral("Save to Archive"),
                 outcome.alreadyStored
                     ? QStringLiteral("This run is in the archive already, as test %1 of %2.")
                           .arg(id, tag)
                     : QStringLiteral("Stored as test %1 of %2.").arg(id, tag),
                 BoxIcon::Information});
            // The Archive window shows the new test if it is open.
            if (window_->isVisible()) window_->refreshAssets();
          });
  dialog->setWindowModality(Qt::WindowModal);
  dialog->show();
  return dialog;
}

void ArchiveCommands::fileOpened() {
  origin_->fileOpened();
}

}  // namespace vexal
