#pragma once
// Saving the reading table to a data file and opening data files into it. The format is
// chosen by the file name's extension alone: ".xml" in any letter case is the XML
// datapacket, every other name (".xls", ".txt", anything, nothing) the tab-separated text.
//
// Saving never destroys the previous file (see AtomicFile.h).
//
// Paths are UTF-8 byte strings; messages are UTF-8 texts.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "record/AtomicFile.h"
#include "record/ByteSink.h"
#include "record/FileProgress.h"
#include "record/ReadingTable.h"

namespace vexal {

inline constexpr std::string_view kLoadFailedText = "Failed to Load File!";
inline constexpr std::string_view kLoadFailedTitle = "Error";

// How the outcome of a save or an open reaches the user (message boxes in the program,
// lines of text in a command-line tool).
class DataFileReporter {
 public:
  virtual ~DataFileReporter() = default;
  // A plain box without icon, titled with the application title, with an OK button.
  virtual void showMessage(const std::string &text) = 0;
  // kLoadFailedText in a box titled kLoadFailedTitle with an error icon and an OK button;
  // `reason` says which file, where in it and what was wrong (the box's detailed text).
  virtual void showLoadFailed(const std::string &reason) = 0;
};

enum class DataFileFormat { Text, Datapacket };

// The part of the file name from its last full stop, or nothing.
std::string_view fileExtension(std::string_view path);
DataFileFormat dataFileFormatFor(std::string_view path);

std::string saveSucceededText(std::string_view path);
std::string saveFailedText(std::string_view path);

// Writes the table to `path` in the format its extension selects and reports the outcome:
// the success text, or for the text form the failure text. A failed XML save throws
// EFileError instead, without any message. True when the file was written.
//
// With `progress`, the rows written are reported and the user may stop the save: then the
// old file stays, no temporary file remains, nothing is said and the result is false.
bool SaveTableToFile(const ReadingTable &table, const std::string &path, DataFileReporter &reporter,
                     FileProgress *progress = nullptr);

// Reads `path` into the table: a text file's rows are appended (those before a failing line
// stay); an XML file replaces rows, states and change log, or leaves the table as it was
// when it fails. A failure is reported with showLoadFailed. True when the file was read.
//
// With `progress`, the bytes read are reported and the user may stop the open: then the
// table is exactly as it was (a text file's rows already appended are taken back), nothing
// is said and the result is false.
bool LoadFileToTable(const std::string &path, ReadingTable &table, DataFileReporter &reporter,
                     FileProgress *progress = nullptr);

// Replaces `parts` with the pieces of `text` between occurrences of `delimiter`: n
// delimiters give n + 1 pieces, some possibly empty. An empty delimiter gives the whole
// text as one piece.
void SplitByDelimiter(std::string_view text, std::string_view delimiter,
                      std::vector<std::string> &parts);

}  // namespace vexal
