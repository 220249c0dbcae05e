#pragma once
// Save Data and Open Data of the main window and of its " STORE DATA :" row: the file
// dialogs, the file work off the GUI thread with its progress box, and the boxes that tell
// how it went.

#include <QString>
#include <QWidget>
#include <cstddef>
#include <optional>

namespace vexal {

class Dialogs;
class MeterSession;
class ReadingTable;
struct FileDialogRequest;

class DataFileCommands {
 public:
  // Dialogs are parented to `owner`.
  DataFileCommands(MeterSession &session, Dialogs &dialogs, QWidget *owner)
      : session_(session), dialogs_(dialogs), owner_(owner) {}

  // Save Data: the dialog starts without a name; the table is written with a progress box
  // (a cancel keeps the old file).
  void saveData(FileDialogRequest &dialog);
  // Open Data: a text file's rows are added, an XML file replaces the table; with a progress
  // box (a cancel leaves the table as it was).
  void openData(FileDialogRequest &dialog);
  // Open Data of a file already chosen; returns the rows a text file added.
  std::size_t openFile(const QString &path);
  // The stored-data row's open: as Open Data, but the grid follows every row as it is read.
  void openStoreData(FileDialogRequest &dialog);
  // The stored-data row's save: as Save Data, but the dialog offers the name it was last
  // given.
  void saveStoreData(FileDialogRequest &dialog);
  // Writes a table other than the session's (readings kept elsewhere) to `path`, on the
  // disk when it returns true; a failure is told as Save Data tells it, a success is left to
  // the caller.
  bool saveOtherTable(const ReadingTable &table, const QString &path);

 private:
  std::optional<QString> choose(FileDialogRequest &dialog);
  // Runs a save or an open with the table held: cable reports that arrive meanwhile wait
  // and are fed once the table is free again, whatever happens.
  template <class Work>
  void withTableHeld(Work &&work);

  MeterSession &session_;
  Dialogs &dialogs_;
  QWidget *owner_;
};

}  // namespace vexal
