#include "record/TableTextFile.h"

#include <bit>
#include <charconv>
#include <cstring>

#include "link/InputEcho.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

bool isControlOrBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// The first byte from `p` on that may end a field or a line: any byte up to CR (tab, LF
// and CR among them), or `end`. Looks at eight bytes at a time, since lines are mostly
// plain text.
const char *nextMark(const char *p, const char *end) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    while (end - p >= 8) {
      std::uint64_t x;
      std::memcpy(&x, p, 8);
      // High bit set in the lowest byte below 0x0E (higher bytes may be false alarms).
      std::uint64_t hit = (x - kOnes * 0x0E) & ~x & (kOnes * 0x80);
      if (hit) return p + (std::countr_zero(hit) >> 3);
      p += 8;
    }
  }
  while (p != end && static_cast<unsigned char>(*p) > '\r') ++p;
  return p;
}

bool endsLine(const char *p, const char *end) {
  return p == end || *p == '\r' || *p == '\n';
}

// After the line end at `p`: the start of the next line (CR LF is one line end).
const char *nextLine(const char *p, const char *end) {
  if (p == end) return p;
  if (*p == '\r' && p + 1 != end && p[1] == '\n') return p + 2;
  return p + 1;
}

// Splits the line starting at `p` at its tabs, keeping at most seven parts (a seventh only
// marks an overlong line). Returns the line's end.
const char *scanLine(const char *p, const char *end, std::string_view (&parts)[kTextFileFields + 1],
                     std::size_t &count) {
  constexpr std::size_t kKept = kTextFileFields + 1;
  count = 0;
  const char *start = p;
  for (p = nextMark(p, end); !endsLine(p, end); p = nextMark(p + 1, end)) {
    if (*p != '\t') continue;
    if (count < kKept)
      parts[count++] = std::string_view(start, static_cast<std::size_t>(p - start));
    start = p + 1;
  }
  if (count < kKept) parts[count++] = std::string_view(start, static_cast<std::size_t>(p - start));
  return p;
}

// A tab, CR or LF inside a value would split the field or the line on reading: each is
// written as one blank, so every file written reads back with all its rows.
void putField(BlockWriter &out, std::optional<std::string_view> text) {
  std::string_view t = text ? trimControls(*text) : std::string_view();
  if (t.empty()) return out.put(kNullText);
  for (std::size_t start = 0;;) {
    std::size_t mark = t.find_first_of("\t\r\n", start);
    if (mark == std::string_view::npos) return out.put(t.substr(start));
    out.put(t.substr(start, mark - start));
    out.put(' ');
    start = mark + 1;
  }
}

void writeRow(const TableRowView &row, BlockWriter &out) {
  char buf[96];
  if (row.no) {
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *row.no);
    out.put(std::string_view(buf, static_cast<std::size_t>(end - buf)));
  }
  out.put('\t');
  std::optional<std::string_view> time;
  if (row.timeMs) time = std::string_view(buf, formatLongTime(*row.timeMs, buf, sizeof buf));
  putField(out, time);
  for (const std::optional<std::string_view> *text :
       {&row.value, &row.unit, &row.vRange, &row.iRange}) {
    out.put('\t');
    putField(out, *text);
  }
  out.put(kLineEnd);
}

// The writer's own time form in the C locale, "hh:mm:ss", is by far the most common; it is
// read here directly, with the same result as the general time reader.
std::optional<std::int32_t> parseTime(std::string_view text) {
  auto digit = [&](std::size_t i) { return static_cast<unsigned>(text[i] - '0'); };
  if (text.size() == 8 && text[2] == ':' && text[5] == ':') {
    unsigned d[6] = {digit(0), digit(1), digit(3), digit(4), digit(6), digit(7)};
    bool digits = true;
    for (unsigned x : d) digits = digits && x <= 9;
    unsigned h = d[0] * 10 + d[1], m = d[2] * 10 + d[3], sec = d[4] * 10 + d[5];
    if (digits && h <= 23 && m <= 59 && sec <= 59)
      return static_cast<std::int32_t>(((h * 60 + m) * 60 + sec) * 1000);
  }
  return parseTimeOfDay(text);
}

constexpr const char *kFieldNames[kTextFileFields] = {"No",   "Time",    "Value",
                                                      "Unit", "V_Range", "I_Range"};

// Sets field `index` of `row` from one part. False when the part does not convert. Texts
// stay views into the file's bytes until the table stores (and cuts) them.
bool assignPart(TableRowView &row, std::size_t index, std::string_view part) {
  switch (index) {
    case 0:
      // The writer leaves No empty when the row has none.
      if (part.empty()) return true;
      row.no = parseWholeNumber(part);
      return row.no.has_value();
    case 1:
      // The writer puts "NULL" for a row without a time.
      if (part == kNullText) return true;
      row.timeMs = parseTime(part);
      return row.timeMs.has_value();
    default:
      row.text(static_cast<Field>(index)) = part;  // the file's fields are in Field order
      return true;
  }
}

std::string partFailure(std::size_t index, std::string_view part) {
  const char *kind = index == 0 ? "a whole number" : "a time of day";
  return std::string("field ") + kFieldNames[index] + " '" + echoInput(part) + "' is not " + kind;
}

// Reads the line of `parts` into `row`. Returns why the line fails, or nothing; the row
// holds the fields assigned so far either way.
std::optional<std::string> readLine(const std::string_view (&parts)[kTextFileFields + 1],
                                    std::size_t count, bool whollyEmpty, TableRowView &row) {
  std::optional<std::string> why;
  if (whollyEmpty) why = "the line is empty";  // it has no number in its first field
  for (std::size_t i = 0; !why && i < count && i < kTextFileFields; ++i)
    if (!assignPart(row, i, parts[i])) why = partFailure(i, parts[i]);
  if (!why && count > kTextFileFields) why = "the line has more than six fields";
  return why;
}

}  // namespace

std::string_view trimControls(std::string_view text) {
  while (!text.empty() && isControlOrBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isControlOrBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::int32_t> parseWholeNumber(std::string_view text) {
  if (text.empty() || isControlOrBlank(text.front()) || isControlOrBlank(text.back()))
    text = trimControls(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;  // one beyond the largest positive
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > kLimit) return std::nullopt;
  }
  if (negative) value = -value;
  if (value >= kLimit) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

void writeTableText(const ReadingTable &table, ByteSink &sink, FileProgress *progress) {
  BlockWriter out(sink);
  out.put(kTextHeader);
  out.put(kLineEnd);
  const std::size_t rows = table.rowCount();
  for (std::size_t i = 0; i < rows; ++i) {
    if (i % kRowsPerProgressReport == 0) reportProgress(progress, i, rows);
    writeRow(table.view(i), out);
  }
  out.flush();
}

std::string tableTextLine(const TableRowView &row) {
  std::string line;
  StringSink sink(line);
  BlockWriter out(sink);
  writeRow(row, out);
  out.flush();
  return line;
}

std::string tableToText(const ReadingTable &table) {
  std::string text;
  StringSink sink(text);
  writeTableText(table, sink);
  return text;
}

std::size_t TextTableReader::feed(std::string_view bytes, bool last) {
  const char *begin = bytes.data();
  const char *end = begin + bytes.size();
  const char *p = begin;
  std::string_view parts[kTextFileFields + 1];
  while (result_.ok && p != end) {
    std::size_t count;
    const char *lineEnd = scanLine(p, end, parts, count);
    // Until the end of the file, a line is only known to be complete when its end is
    // followed by another byte (a CR may still be followed by its LF).
    bool complete = lineEnd != end && lineEnd + 1 != end;
    if (!complete && !last) break;
    ++lineNo_;
    if (lineNo_ > 1) {  // the first line is the header, whatever it holds
      TableRowView row;
      std::optional<std::string> why = readLine(parts, count, lineEnd == p, row);
      appendRow(row);  // stored also when the line fails
      ++result_.rowsAdded;
      if (why) {
        result_.ok = false;
        result_.failedLine = lineNo_;
        result_.why = std::move(*why);
      }
    }
    p = nextLine(lineEnd, end);
  }
  if (last && lineNo_ == 0 && result_.ok) {  // no lines at all: not even a header
    result_.ok = false;
    result_.failedLine = 1;
    result_.why = "the file holds no lines";
  }
  return result_.ok ? static_cast<std::size_t>(p - begin) : bytes.size();
}

TextReadResult appendTableText(std::string_view bytes, ReadingTable &table) {
  TextTableReader reader(table);
  reader.feed(bytes, true);
  return reader.result();
}

}  // namespace vexal
