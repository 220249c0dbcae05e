#include "record/JournalFormat.h"

#include <array>
#include <charconv>

#include "record/TableTextFile.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

constexpr std::string_view kFormatPrefix = "Vexal journal ";
constexpr std::string_view kNoValue = "\\N";
constexpr std::string_view kTakeBegin = "take-begin";
constexpr std::string_view kTakeEnd = "take-end";

void appendEscaped(std::string &out, std::string_view text) {
  for (char ch : text) {
    switch (ch) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += ch;
    }
  }
}

// The text of an escaped field; nothing when an escape is not one the writer makes.
std::optional<std::string> unescape(std::string_view field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t at = 0; at < field.size(); ++at) {
    if (field[at] != '\\') {
      text += field[at];
      continue;
    }
    if (++at == field.size()) return std::nullopt;
    switch (field[at]) {
      case '\\':
        text += '\\';
        break;
      case 't':
        text += '\t';
        break;
      case 'n':
        text += '\n';
        break;
      case 'r':
        text += '\r';
        break;
      default:
        return std::nullopt;
    }
  }
  return text;
}

template <class Int>
std::optional<Int> decimal(std::string_view text) {
  Int value{};
  const char *end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

// The tab-separated fields of a line, without allocating: no line that reads has more than
// six, so a seventh only marks a line with too many (`size()` is then 7).
class Fields {
 public:
  explicit Fields(std::string_view line) {
    for (;;) {
      const std::size_t tab = line.find('\t');
      parts_[count_++] = line.substr(0, tab);
      if (tab == std::string_view::npos || count_ == parts_.size()) return;
      line.remove_prefix(tab + 1);
    }
  }
  std::size_t size() const { return count_; }
  std::string_view operator[](std::size_t i) const { return parts_[i]; }

 private:
  std::array<std::string_view, kTextFileFields + 1> parts_;
  std::size_t count_ = 0;
};

// A row line of format 2; nothing when it does not read.
std::optional<TableRow> readRowLine(const Fields &fields) {
  if (fields.size() != kTextFileFields) return std::nullopt;
  TableRow row;
  if (fields[0] != kNoValue && !(row.no = decimal<std::int32_t>(fields[0]))) return std::nullopt;
  if (fields[1] != kNoValue) {
    row.timeMs = decimal<std::int32_t>(fields[1]);
    if (!row.timeMs || *row.timeMs < 0 || *row.timeMs >= kMsPerDay) return std::nullopt;
  }
  constexpr std::array<Field, 4> texts{Field::Value, Field::Unit, Field::VRange, Field::IRange};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (fields[2 + i] == kNoValue) continue;
    row.text(texts[i]) = unescape(fields[2 + i]);
    // The table never holds more than 20 bytes: a longer text was not written by a journal.
    if (!row.text(texts[i]) || row.text(texts[i])->size() > kTextWidth) return std::nullopt;
  }
  return row;
}

// A row line of the text data format (journals of earlier versions).
std::optional<TableRow> readTextFormatLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const Fields fields(line);
  if (line.empty() || fields.size() > kTextFileFields) return std::nullopt;
  TableRow row;
  if (!trimControls(fields[0]).empty() && !(row.no = parseWholeNumber(fields[0])))
    return std::nullopt;
  if (fields.size() > 1 && trimControls(fields[1]) != kNullText &&
      !(row.timeMs = parseJournalTime(fields[1])))
    return std::nullopt;
  constexpr std::array<Field, 4> texts{Field::Value, Field::Unit, Field::VRange, Field::IRange};
  for (std::size_t i = 0; i + 2 < fields.size(); ++i)
    row.text(texts[i]) = std::string(fields[2 + i].substr(0, kTextWidth));
  return row;
}

// Reads the lines after the first one, in order.
class JournalReader {
 public:
  JournalReader(JournalContents &contents, ReadingTable &table)
      : contents_(contents), table_(table) {}

  void line(std::string_view text) {
    std::optional<TableRow> row;
    if (contents_.version == 2) {
      const Fields fields(text);
      if (markLine(fields)) return;
      row = readRowLine(fields);
    } else if (contents_.version == 1) {
      row = readTextFormatLine(text);
    }
    if (row)
      table_.appendRow(*row);
    else
      ++contents_.unreadable;
  }

  // A take-over that never ended: its rows are still in the old journal.
  void finish() { dropOpenTakeOver(); }

 private:
  bool markLine(const Fields &fields) {
    if (fields[0] == kTakeBegin && fields.size() == 2) {
      dropOpenTakeOver();
      taking_ = true;
      takenName_ = std::string(fields[1]);
      openFirst_ = table_.rowCount();
    } else if (fields[0] == kTakeEnd && fields.size() == 3 && taking_ && takenName_ == fields[1] &&
               decimal<std::size_t>(fields[2])) {
      contents_.tookOver.push_back(takenName_);
      taking_ = false;
    } else {
      return false;
    }
    ++contents_.markLines;
    return true;
  }

  void dropOpenTakeOver() {
    if (!taking_) return;
    contents_.droppedRows += table_.rowCount() - openFirst_;
    table_.removeRowsFrom(openFirst_);
    taking_ = false;
  }

  JournalContents &contents_;
  ReadingTable &table_;
  bool taking_ = false;    // within a take-over ...
  std::string takenName_;  // ... of the journal of this name
  std::size_t openFirst_ = 0;
};

int versionOf(std::string_view firstLine) {
  if (firstLine == kJournalFormatLine.substr(0, kJournalFormatLine.size() - 1)) return 2;
  if (firstLine.starts_with(kFormatPrefix)) return 0;  // a later format: nothing reads
  return 1;
}

}  // namespace

std::string journalLine(const TableRowView &row) {
  std::string line;
  line.reserve(64);
  line += row.no ? std::to_string(*row.no) : std::string(kNoValue);
  line += '\t';
  line += row.timeMs ? std::to_string(*row.timeMs) : std::string(kNoValue);
  for (const auto &text : {row.value, row.unit, row.vRange, row.iRange}) {
    line += '\t';
    if (text)
      appendEscaped(line, *text);
    else
      line += kNoValue;
  }
  line += '\n';
  return line;
}

std::string journalTakeBeginLine(std::string_view name) {
  std::string line(kTakeBegin);
  line += '\t';
  appendEscaped(line, name);
  return line + '\n';
}

std::string journalTakeEndLine(std::string_view name, std::size_t rows) {
  std::string line(kTakeEnd);
  line += '\t';
  appendEscaped(line, name);
  return line + '\t' + std::to_string(rows) + '\n';
}

JournalContents readJournal(std::string_view bytes, ReadingTable &table) {
  JournalContents contents;
  const std::size_t lastEnd = bytes.find_last_of('\n');
  contents.tornTail = lastEnd != bytes.size() - 1 && !bytes.empty();
  if (lastEnd == std::string_view::npos) return contents;
  bytes = bytes.substr(0, lastEnd + 1);

  const std::size_t firstEnd = bytes.find('\n');
  std::string_view first = bytes.substr(0, firstEnd);
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  // The first line only names the format; a journal of an earlier version may have lost its
  // header to the disk, and its rows still read.
  contents.version = versionOf(first);
  contents.wholeLines = 1;

  JournalReader reader(contents, table);
  for (std::size_t at = firstEnd + 1; at < bytes.size();) {
    const std::size_t end = bytes.find('\n', at);
    reader.line(bytes.substr(at, end - at));
    ++contents.wholeLines;
    at = end + 1;
  }
  reader.finish();
  return contents;
}

namespace {

// Words of the afternoon in 12-hour times: Latin letters, and the Chinese word in UTF-8 and
// in code page 936.
constexpr std::array<std::string_view, 5> kAfternoonWords{
    "PM", "pm", "P.M.", "\xE4\xB8\x8B\xE5\x8D\x88", "\xCF\xC2\xCE\xE7"};
constexpr std::array<std::string_view, 5> kMorningWords{
    "AM", "am", "A.M.", "\xE4\xB8\x8A\xE5\x8D\x88", "\xC9\xCF\xCE\xE7"};

bool holdsAny(std::string_view text, const std::array<std::string_view, 5> &words) {
  for (std::string_view word : words)
    if (text.find(word) != std::string_view::npos) return true;
  return false;
}

}  // namespace

std::optional<std::int32_t> parseJournalTime(std::string_view text) {
  if (auto ms = parseTimeOfDay(text)) return ms;
  // Another locale's form: the runs of digits are the hours, minutes and seconds.
  std::vector<int> numbers;
  for (std::size_t at = 0; at < text.size();) {
    if (text[at] < '0' || text[at] > '9') {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end - at > 2) return std::nullopt;
    numbers.push_back((end - at == 2 ? (text[at] - '0') * 10 : 0) + (text[end - 1] - '0'));
    at = end;
  }
  if (numbers.size() < 2 || numbers.size() > 3) return std::nullopt;
  int hours = numbers[0];
  const int minutes = numbers[1], seconds = numbers.size() == 3 ? numbers[2] : 0;
  const bool afternoon = holdsAny(text, kAfternoonWords);
  if (afternoon || holdsAny(text, kMorningWords)) {
    if (hours < 1 || hours > 12) return std::nullopt;
    hours = hours % 12 + (afternoon ? 12 : 0);
  }
  if (hours > 23 || minutes > 59 || seconds > 59) return std::nullopt;
  return ((hours * 60 + minutes) * 60 + seconds) * 1000;
}

}  // namespace vexal
