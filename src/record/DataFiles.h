#pragma once
// Saving the reading table to a data file and opening data files into it. The format is
// chosen by the file name's extension alone: ".xml" in any letter case is the XML
// datapacket, every other name (".xls", ".txt", anything, nothing) the tab-separated text.
//
// Saving never destroys the previous file: the new content goes to a temporary file in the
// same folder, which replaces the target only once it is completely written.
//
// Paths are UTF-8 byte strings; messages are UTF-8 texts.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "record/ByteSink.h"
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
  // kLoadFailedText in a box titled kLoadFailedTitle with an error icon and an OK button.
  virtual void showLoadFailed() = 0;
};

// A file that could not be created or written, with the system's reason. Saving the XML
// form lets it travel to the program's error box.
class EFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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
bool SaveTableToFile(const ReadingTable &table, const std::string &path,
                     DataFileReporter &reporter);

// Reads `path` into the table: a text file's rows are appended (those before a failing line
// stay); an XML file replaces rows, states and change log, or leaves the table as it was
// when it fails. A failure is reported with showLoadFailed. True when the file was read.
bool LoadFileToTable(const std::string &path, ReadingTable &table, DataFileReporter &reporter);

// Replaces `parts` with the pieces of `text` between occurrences of `delimiter`: n
// delimiters give n + 1 pieces, some possibly empty. An empty delimiter gives the whole
// text as one piece.
void SplitByDelimiter(std::string_view text, std::string_view delimiter,
                      std::vector<std::string> &parts);

// Writes a file through `produce`, into a temporary file in the target's folder that is
// renamed over `path` only when everything was written and flushed to disk. Throws
// EFileError ("Cannot create file "<path>". <reason>" or "Cannot write file ..."); any
// exception from `produce` passes through. On failure the target is left untouched and no
// temporary file remains. An existing target keeps its permissions; a symbolic link is
// followed, so the file it points to is replaced.
void writeFileAtomically(const std::string &path, const std::function<void(ByteSink &)> &produce);

}  // namespace vexal
