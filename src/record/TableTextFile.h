#pragma once
// The tab-separated text form of the reading table: a header line with the grid's column
// titles, then one line per row with the fields No, Time, Value, Unit, V_Range, I_Range.
// Bytes as held in the table (code page 936), no byte-order mark, CR LF after every line,
// nothing quoted or escaped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "record/ByteSink.h"
#include "record/FileProgress.h"
#include "record/ReadingTable.h"

namespace vexal {

// The header line: the column titles separated by tabs.
inline constexpr std::size_t kTextHeaderSize = [] {
  std::size_t size = kColumnTitles.size() - 1;
  for (std::string_view title : kColumnTitles) size += title.size();
  return size;
}();
inline constexpr std::array<char, kTextHeaderSize> kTextHeaderChars = [] {
  std::array<char, kTextHeaderSize> chars{};
  std::size_t at = 0;
  for (std::size_t i = 0; i < kColumnTitles.size(); ++i) {
    if (i > 0) chars[at++] = '\t';
    for (char ch : kColumnTitles[i]) chars[at++] = ch;
  }
  return chars;
}();
inline constexpr std::string_view kTextHeader(kTextHeaderChars.data(), kTextHeaderChars.size());
inline constexpr std::string_view kLineEnd = "\r\n";
// Written for a field other than No that is empty or has no value.
inline constexpr std::string_view kNullText = "NULL";
inline constexpr std::size_t kTextFileFields = 6;

// Drops leading and trailing bytes of code 32 or less.
std::string_view trimControls(std::string_view text);

// A decimal whole number within the 32-bit signed range, with an optional sign and
// surrounding blanks. Anything else gives nothing.
std::optional<std::int32_t> parseWholeNumber(std::string_view text);

// Writes the header line and every row, in table order. A tab, CR or LF inside a value
// is written as a blank.
// `progress` hears the rows written and may stop the writing (EFileCancelled).
void writeTableText(const ReadingTable &table, ByteSink &sink, FileProgress *progress = nullptr);
std::string tableToText(const ReadingTable &table);
// One row's line as writeTableText writes it, CR LF included (for files written a row at a
// time: the journal, the logger).
std::string tableTextLine(const TableRowView &row);

struct TextReadResult {
  bool ok = true;
  std::size_t rowsAdded = 0;   // the row of a failing line included
  std::size_t failedLine = 0;  // 1-based line of the file that failed, when !ok
  std::string why;             // what was wrong with that line, when !ok
};

// Appends the rows of a text file to `table` (change state 4 each) as its bytes arrive.
// The first line is skipped whatever it holds; CR, LF or CR LF end a line. A line fails
// when it is wholly empty, has more than six fields, or a field does not convert; the rows
// before it stay, and so does its own row with the fields assigned before the failing one.
// An empty No field and "NULL" in the Time field give fields without a value; other texts,
// "NULL" included, are kept as they are (cut to 20 bytes). A file without any line fails.
//
// The rows can go to another place than a table (a reader on a thread of its own hands
// them over in batches): they are then views into the bytes fed, valid as long as those are.
class TextRowTarget {
 public:
  virtual ~TextRowTarget() = default;
  virtual void appendRow(const TableRowView &row) = 0;
};

class TextTableReader {
 public:
  explicit TextTableReader(ReadingTable &table) : table_(&table) {}
  explicit TextTableReader(TextRowTarget &target) : target_(&target) {}

  // Reads every line that is complete within `bytes`, or all of them when `last` marks the
  // end of the file. Returns how many bytes were used: the rest, an unfinished line, must
  // be given again at the start of the next call. Once a line failed, nothing more is read.
  std::size_t feed(std::string_view bytes, bool last);
  const TextReadResult &result() const { return result_; }

 private:
  void appendRow(const TableRowView &row) {
    if (target_)
      target_->appendRow(row);
    else
      table_->appendRow(row);
  }

  ReadingTable *table_ = nullptr;
  TextRowTarget *target_ = nullptr;
  TextReadResult result_;
  std::size_t lineNo_ = 0;
};

// The whole file at once.
TextReadResult appendTableText(std::string_view fileBytes, ReadingTable &table);

}  // namespace vexal
