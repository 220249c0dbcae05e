#pragma once
// The lines of a reading journal, written and read back exactly, whatever the locale.
//
// The first line names the format: "Vexal journal 2". Then one line per row, ended by LF:
//
//   No <tab> Time <tab> Value <tab> Unit <tab> Function <tab> Remark
//
// No is the number in decimal, Time the milliseconds since midnight in decimal. A field
// without a value is written "\N", so an empty text and the text "NULL" each come back as
// they were. Texts are the bytes recorded (code page 936), with a backslash, tab, LF and CR
// written as "\\", "\t", "\n" and "\r".
//
// Rows taken over from a journal left behind are framed by two lines, so that a reader can
// tell a take-over that was cut short (its rows are left out: the old journal still holds
// them) from one that was completed (the old journal's rows are all here):
//
//   take-begin <tab> NAME
//   take-end <tab> NAME <tab> ROWS
//
// Journals written by earlier versions hold the tab-separated text data format (a header
// line, then the text lines of Save Data). They are read too: their times in the locale's long
// time format or H:MM:SS, and, where neither form fits, from the hours, minutes and seconds
// they hold.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/ReadingTable.h"

namespace vexal {

inline constexpr std::string_view kJournalFormatLine = "Vexal journal 2\n";

// One row's line, LF included.
std::string journalLine(const TableRowView &row);
// The lines that frame the rows taken over from the journal named `name`.
std::string journalTakeBeginLine(std::string_view name);
std::string journalTakeEndLine(std::string_view name, std::size_t rows);

struct JournalContents {
  int version = 0;              // 2, 1 for the text data format, 0 when unknown
  std::size_t wholeLines = 0;   // lines ended by LF, the first one included
  std::size_t unreadable = 0;   // whole lines that did not read; skipped
  std::size_t markLines = 0;    // take-begin and take-end lines
  std::size_t droppedRows = 0;  // rows of take-overs that were cut short
  bool tornTail = false;        // bytes after the last line end (a line cut off)
  // Journals whose rows were all taken over into this one.
  std::vector<std::string> tookOver;
  bool whole() const { return unreadable == 0 && !tornTail; }
};

// Appends the rows of journal bytes to `table` (change state 4 each). Every readable whole
// line becomes a row; an unreadable one is counted and skipped.
JournalContents readJournal(std::string_view bytes, ReadingTable &table);

// A time of day as the text data format holds it: the locale's long time format or H:MM:SS,
// else the hours, minutes and seconds of any other locale's form ("10时00分01秒", with an
// afternoon word added to 12-hour times). Nothing when it holds no such numbers.
std::optional<std::int32_t> parseJournalTime(std::string_view text);

}  // namespace vexal
