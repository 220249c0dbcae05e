#include "record/TableTextFile.h"

#include <charconv>

#include "record/TimeOfDay.h"

namespace vexal {

namespace {

constexpr Field kTextFields[] = {Field::Value, Field::Unit, Field::VRange, Field::IRange};

bool isControlOrBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

// Finds the end of the line starting at `pos`: the index of its CR or LF, or the size.
std::size_t lineEnd(std::string_view bytes, std::size_t pos) {
  const char *p = bytes.data() + pos;
  const char *end = bytes.data() + bytes.size();
  while (p != end) {
    // Most bytes are far above CR; one compare rules them out.
    if (static_cast<unsigned char>(*p) <= '\r' && (*p == '\r' || *p == '\n')) break;
    ++p;
  }
  return static_cast<std::size_t>(p - bytes.data());
}

// Where the next line starts after the line end at `end`.
std::size_t nextLineStart(std::string_view bytes, std::size_t end) {
  if (end >= bytes.size()) return bytes.size();
  if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') return end + 2;
  return end + 1;
}

void putField(BlockWriter &out, std::optional<std::string_view> text) {
  std::string_view t = text ? trimControls(*text) : std::string_view();
  out.put(t.empty() ? kNullText : t);
}

void writeRow(const ReadingTable &table, std::size_t i, BlockWriter &out) {
  char buf[96];
  if (auto no = table.no(i)) {
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *no);
    out.put(std::string_view(buf, static_cast<std::size_t>(end - buf)));
  }
  out.put('\t');
  std::optional<std::string_view> time;
  if (auto ms = table.timeMs(i)) time = std::string_view(buf, formatLongTime(*ms, buf, sizeof buf));
  putField(out, time);
  for (Field f : kTextFields) {
    out.put('\t');
    putField(out, table.text(i, f));
  }
  out.put(kLineEnd);
}

// Converts one part into its field of `row`. False when it does not convert.
bool assignPart(TableRow &row, std::size_t index, std::string_view part) {
  switch (index) {
    case 0:
      // The writer leaves No empty when the row has none.
      if (part.empty()) return true;
      row.no = parseWholeNumber(part);
      return row.no.has_value();
    case 1:
      // The writer puts "NULL" for a row without a time.
      if (part == kNullText) return true;
      row.timeMs = parseTimeOfDay(part);
      return row.timeMs.has_value();
    default:
      // Cut before copying: a part may be a huge run of bytes.
      row.text(kTextFields[index - 2]).emplace(part.substr(0, kTextWidth));
      return true;
  }
}

// Splits a line at tabs into at most seven parts (the seventh only marks an overlong line).
std::size_t splitLine(std::string_view line, std::string_view (&parts)[kTextFileFields + 1]) {
  std::size_t count = 0;
  forEachPiece(line, "\t", [&](std::string_view piece) {
    parts[count++] = piece;
    return count < kTextFileFields + 1;
  });
  return count;
}

// Reads one data line into a new row of `table`. False when the line fails; the row is
// stored with the fields assigned so far either way.
bool appendLine(std::string_view line, ReadingTable &table) {
  TableRow row;
  bool ok = !line.empty();  // a wholly empty line has no number in its first field
  if (ok) {
    std::string_view parts[kTextFileFields + 1];
    std::size_t count = splitLine(line, parts);
    for (std::size_t i = 0; ok && i < count && i < kTextFileFields; ++i)
      ok = assignPart(row, i, parts[i]);
    if (count > kTextFileFields) ok = false;
  }
  table.appendRow(row);
  return ok;
}

}  // namespace

std::string_view trimControls(std::string_view text) {
  while (!text.empty() && isControlOrBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isControlOrBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::int32_t> parseWholeNumber(std::string_view text) {
  text = trimControls(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  std::int32_t value = 0;
  const char *end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

void writeTableText(const ReadingTable &table, ByteSink &sink) {
  BlockWriter out(sink);
  out.put(kTextHeader);
  out.put(kLineEnd);
  for (std::size_t i = 0; i < table.rowCount(); ++i) writeRow(table, i, out);
  out.flush();
}

std::string tableToText(const ReadingTable &table) {
  std::string text;
  StringSink sink(text);
  writeTableText(table, sink);
  return text;
}

TextReadResult appendTableText(std::string_view bytes, ReadingTable &table) {
  TextReadResult result;
  if (bytes.empty()) {  // no lines at all: not even a header
    result.ok = false;
    result.failedLine = 1;
    return result;
  }
  std::size_t pos = nextLineStart(bytes, lineEnd(bytes, 0));  // the header, whatever it holds
  for (std::size_t lineNo = 2; pos < bytes.size(); ++lineNo) {
    std::size_t end = lineEnd(bytes, pos);
    bool ok = appendLine(bytes.substr(pos, end - pos), table);
    ++result.rowsAdded;
    if (!ok) {
      result.ok = false;
      result.failedLine = lineNo;
      return result;
    }
    pos = nextLineStart(bytes, end);
  }
  return result;
}

}  // namespace vexal
