#include "app/qt/DataFileCommands.h"

#include <QFileInfo>
#include <string>
#include <vector>

#include "app/MeterSession.h"
#include "app/qt/FileJob.h"
#include "common/ErrorText.h"
#include "common/qt/Dialogs.h"
#include "record/DataFiles.h"

namespace vexal {

namespace {

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

}  // namespace

template <class Work>
void DataFileCommands::withTableHeld(Work &&work) {
  session_.holdTable();
  try {
    work();
  } catch (...) {
    session_.releaseTable();
    throw;
  }
  session_.releaseTable();
}

void DataFileCommands::saveData(FileDialogRequest &dialog) {
  dialog.fileName.clear();
  const auto chosen = choose(dialog);
  if (!chosen) return;
  const std::string path = chosen->toStdString();
  CollectingReporter reporter;
  bool saved = false;
  withTableHeld([&] {
    // Only reads the table; recordings wait until it is done. A cancel keeps the old file.
    runFileJobWithProgress(owner_, QStringLiteral("Saving ") + QFileInfo(*chosen).fileName(),
                           ProgressUnit::Rows, [&](FileProgress &progress) {
                             saved = SaveTableToFile(session_.cds1, path, reporter, &progress);
                           });
    // Every row is in the file now: the journal need not be offered after a crash.
    if (saved) session_.tableSaved();
  });
  reporter.showAll(dialogs_);
}

void DataFileCommands::openData(FileDialogRequest &dialog) {
  if (const auto chosen = choose(dialog)) openFile(*chosen);
}

std::size_t DataFileCommands::openFile(const QString &chosen) {
  const std::string path = chosen.toStdString();
  CollectingReporter reporter;
  const std::size_t before = session_.cds1.rowCount();
  std::size_t added = 0;
  withTableHeld([&] {
    // The file is read into a table of its own off the GUI thread, then taken over.
    ReadingTable loaded;
    bool read = false;
    // A cancel leaves `loaded` empty, so the table stays as it was.
    runFileJobWithProgress(
        owner_, QStringLiteral("Opening ") + QFileInfo(chosen).fileName(), ProgressUnit::Bytes,
        [&](FileProgress &progress) { read = LoadFileToTable(path, loaded, reporter, &progress); });
    ReadingTable &table = session_.cds1;
    if (dataFileFormatFor(path) == DataFileFormat::Datapacket) {
      if (read) table.replaceWith(std::move(loaded));
    } else {
      // Rows read before a failing line stay, as they would reading straight into it.
      runInSlices(owner_, QStringLiteral("Opening data..."), loaded.rowCount(),
                  [&](std::size_t first, std::size_t count) {
                    for (std::size_t row = first; row < first + count; ++row)
                      table.appendRow(loaded.row(row));
                  });
      added = table.rowCount() - before;
    }
  });
  reporter.showAll(dialogs_);
  return added;
}

// The dialog's choice, kept as the name it offers next time; nothing when cancelled.
std::optional<QString> DataFileCommands::choose(FileDialogRequest &dialog) {
  auto chosen = dialogs_.fileDialog(dialog);
  if (chosen) dialog.fileName = *chosen;
  return chosen;
}

void DataFileCommands::openStoreData(FileDialogRequest &dialog) {
  const auto chosen = choose(dialog);
  if (!chosen) return;
  CollectingReporter reporter;
  LoadFileToTable(chosen->toStdString(), session_.cds1, reporter);
  reporter.showAll(dialogs_);
}

void DataFileCommands::saveStoreData(FileDialogRequest &dialog) {
  const auto chosen = choose(dialog);
  if (!chosen) return;
  CollectingReporter reporter;
  if (SaveTableToFile(session_.cds1, chosen->toStdString(), reporter)) session_.tableSaved();
  reporter.showAll(dialogs_);
}

bool DataFileCommands::saveOtherTable(const ReadingTable &table, const QString &path) {
  CollectingReporter reporter;
  const bool saved = SaveTableToFile(table, path.toStdString(), reporter);
  if (!saved) reporter.showAll(dialogs_);  // the caller says what a success means
  return saved;
}

}  // namespace vexal
