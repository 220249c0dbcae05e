#include "record/TableDatapacket.h"

#include <expat.h>

#include <array>
#include <charconv>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "common/Cp936.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

// ---------------------------------------------------------------- writing

constexpr std::string_view kMetadataStart =
    "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
    "<FIELD attrname=\"Time\" fieldtype=\"time\"/>"
    "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "</FIELDS>";

// What each byte of a string value becomes; empty for a byte written unchanged.
constexpr std::array<std::string_view, 256> makeEscapes() {
  std::array<std::string_view, 256> e{};
  e['&'] = "&amp;";
  e['"'] = "&quot;";
  e['\''] = "&apos;";
  e['<'] = "&lt;";
  e['>'] = "&gt;";
  e['\t'] = "&#009;";
  e['\n'] = "&#010;";
  e['\r'] = "&#013;";
  e['\\'] = "&#092;";
  return e;
}
constexpr auto kEscapes = makeEscapes();
constexpr std::size_t kLongestEscape = 6;

// Rows and change-log entries are written straight into the writer's block, a whole piece
// at a time; these are the longest such pieces can get. A row: "<ROW", RowState, No and
// Time with their quotes (at most 52 bytes), four texts of at most kTextWidth bytes each
// escaped, with their names and quotes, and "/>".
constexpr std::size_t kMaxRowBytes = 64 + 4 * (16 + kTextWidth * kLongestEscape);
constexpr std::size_t kMaxLogEntryBytes = 3 * (1 + 10);

char *append(char *p, std::string_view text) {
  std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

constexpr std::array<bool, 256> makeNeedsEscape() {
  std::array<bool, 256> e{};
  for (std::size_t b = 0; b < e.size(); ++b) e[b] = !kEscapes[b].empty();
  return e;
}
constexpr auto kNeedsEscape = makeNeedsEscape();

char *appendEscaped(char *p, std::string_view text) {
  // Most texts hold nothing to escape: they are looked over first and copied whole.
  std::size_t plain = 0;
  while (plain < text.size() && !kNeedsEscape[static_cast<unsigned char>(text[plain])]) ++plain;
  p = append(p, text.substr(0, plain));
  for (char c : text.substr(plain)) {
    if (kNeedsEscape[static_cast<unsigned char>(c)])
      p = append(p, kEscapes[static_cast<unsigned char>(c)]);
    else
      *p++ = c;
  }
  return p;
}

template <class Number>
char *appendNumber(char *p, Number n) {
  return std::to_chars(p, p + 24, n).ptr;
}

// "hh:mm:sssss": hours, minutes, and the milliseconds within the minute.
char *appendTime(char *p, std::int32_t ms) {
  if (ms < 0 || ms >= kMsPerDay) ms = 0;
  int h = ms / 3'600'000, m = ms / 60'000 % 60, inMinute = ms % 60'000;
  const char t[] = {char('0' + h / 10),
                    char('0' + h % 10),
                    ':',
                    char('0' + m / 10),
                    char('0' + m % 10),
                    ':',
                    char('0' + inMinute / 10000),
                    char('0' + inMinute / 1000 % 10),
                    char('0' + inMinute / 100 % 10),
                    char('0' + inMinute / 10 % 10),
                    char('0' + inMinute % 10)};
  return append(p, std::string_view(t, sizeof t));
}

void putChangeLog(BlockWriter &out, const ReadingTable::ChangeLog &log) {
  if (log.empty()) {
    out.put("<PARAMS/>");
    return;
  }
  out.put("<PARAMS CHANGE_LOG=\"");
  bool first = true;
  for (const ChangeLogEntry &e : log) {
    char *p = out.room(kMaxLogEntryBytes);
    for (std::uint32_t n : {e.a, e.b, e.c}) {
      if (!first) *p++ = ' ';
      first = false;
      p = appendNumber(p, n);
    }
    out.commit(p);
  }
  out.put("\"/>");
}

// Writes the rows one after the other. The unit, function and mode texts are the same few
// stored texts row after row, so each of those fields keeps the last text it escaped, known
// by where it is stored (the table does not change while it is written).
class RowWriter {
 public:
  void put(BlockWriter &out, const ReadingTable &table, std::size_t i);

 private:
  struct Escaped {
    const char *at = nullptr;
    std::size_t size = 0;
    std::string text;
  };
  static char *appendText(char *p, std::string_view text, Escaped &last);
  Escaped last_[3];  // Unit, V_Range, I_Range
};

char *RowWriter::appendText(char *p, std::string_view text, Escaped &last) {
  if (text.data() != last.at || text.size() != last.size) {
    last.text.resize(text.size() * kLongestEscape);
    last.text.resize(
        static_cast<std::size_t>(appendEscaped(last.text.data(), text) - last.text.data()));
    last.at = text.data();
    last.size = text.size();
  }
  return append(p, last.text);
}

void RowWriter::put(BlockWriter &out, const ReadingTable &table, std::size_t i) {
  char *p = append(out.room(kMaxRowBytes), "<ROW");
  if (std::uint8_t state = table.rowState(i)) {
    p = append(p, " RowState=\"");
    p = appendNumber(p, static_cast<unsigned>(state));
    *p++ = '"';
  }
  const TableRowView row = table.view(i);
  if (auto no = row.no) {
    p = append(p, " No=\"");
    p = appendNumber(p, *no);
    *p++ = '"';
  }
  if (auto ms = row.timeMs) {
    p = append(p, " Time=\"");
    p = appendTime(p, *ms);
    *p++ = '"';
  }
  // The table keeps at most kTextWidth bytes of a text, which bounds the row.
  if (row.value) {
    p = append(p, " Value=\"");
    p = appendEscaped(p, row.value->substr(0, kTextWidth));
    *p++ = '"';
  }
  const std::pair<std::string_view, const std::optional<std::string_view> *> texts[] = {
      {" Unit=\"", &row.unit}, {" V_Range=\"", &row.vRange}, {" I_Range=\"", &row.iRange}};
  for (std::size_t t = 0; t < std::size(texts); ++t) {
    const auto &[opening, text] = texts[t];
    if (!*text) continue;
    p = append(p, opening);
    p = appendText(p, (*text)->substr(0, kTextWidth), last_[t]);
    *p++ = '"';
  }
  out.commit(append(p, "/>"));
}

// ---------------------------------------------------------------- reading

// The encoding the reader declares to expat: every byte is the character of the same
// code, except the control bytes that XML forbids, which are carried as private-use
// characters U+E000 + byte and turned back into their bytes afterwards.
constexpr char kByteEncodingName[] = "x-vexal-bytes";
constexpr int kControlCarrier = 0xE000;

constexpr bool isForbiddenControl(int byte) {
  return byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r';
}

// Made once: every reader (one per file, and many in the fuzz tests) copies it.
constexpr std::array<int, 256> kByteMap = [] {
  std::array<int, 256> map{};
  for (int b = 0; b < 256; ++b) map[b] = isForbiddenControl(b) ? kControlCarrier + b : b;
  return map;
}();

int XMLCALL byteEncoding(void *, const XML_Char *, XML_Encoding *info) {
  std::memcpy(info->map, kByteMap.data(), sizeof info->map);
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

// Turns the parser's UTF-8 back into the file's bytes, keeping at most `limit` of them.
// Characters beyond the byte range (from character references) become code page 936.
void utf8ToFileBytes(const char *s, std::string &out, std::size_t limit) {
  out.clear();
  const auto *p = reinterpret_cast<const unsigned char *>(s);
  while (*p && out.size() < limit) {
    unsigned c = *p;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++p;
    } else if ((c & 0xE0) == 0xC0 && p[1]) {
      unsigned cp = ((c & 0x1F) << 6) | (p[1] & 0x3F);
      if (cp < 0x100)
        out.push_back(static_cast<char>(cp));
      else
        out += utf8ToCp936(std::string_view(reinterpret_cast<const char *>(p), 2));
      p += 2;
    } else {
      int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 1;
      int have = 1;
      while (have < len && p[have]) ++have;
      std::string_view seq(reinterpret_cast<const char *>(p), static_cast<std::size_t>(have));
      if (have == 3 && c == 0xEE && p[1] == 0x80 && p[2] < 0xA0)
        out.push_back(static_cast<char>(p[2] & 0x1F));  // a carried control byte
      else
        out += utf8ToCp936(seq);
      p += have;
    }
  }
  if (out.size() > limit) out.resize(limit);
}

template <class Number>
std::optional<Number> parseDecimal(std::string_view text) {
  Number n{};
  const char *end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, n);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return n;
}

// The six fields and the file types they must have.
struct FieldSpec {
  std::string_view name;
  std::string_view type;
  bool isText;
};
constexpr FieldSpec kFieldSpecs[kFieldCount] = {
    {"No", "i4", false},      {"Time", "time", false},     {"Value", "string", true},
    {"Unit", "string", true}, {"V_Range", "string", true}, {"I_Range", "string", true}};

int fieldIndex(std::string_view name) {
  for (int i = 0; i < kFieldCount; ++i)
    if (kFieldSpecs[i].name == name) return i;
  return -1;
}

// The parser hands over NUL-terminated texts. Row attributes are read millions of times, so
// their short names and numbers are looked at without measuring them first.
bool equalsText(const char *text, std::string_view name) {
  for (char c : name)
    if (*text++ != c) return false;
  return *text == '\0';
}

constexpr int kRowStateAttribute = -2;

// kRowStateAttribute, the index of one of the six fields, or -1 for anything else.
int rowAttribute(const char *name) {
  if (equalsText(name, "RowState")) return kRowStateAttribute;
  for (int i = 0; i < kFieldCount; ++i)
    if (name[0] == kFieldSpecs[i].name[0] && equalsText(name, kFieldSpecs[i].name)) return i;
  return -1;
}

// A number's text is short: anything longer than `limit` is not one of ours.
std::string_view shortText(const char *text, std::size_t limit) {
  std::size_t n = 0;
  while (n <= limit && text[n] != '\0') ++n;
  return std::string_view(text, n);
}

}  // namespace

// ---------------------------------------------------------------- public writing

std::string formatDatapacketTime(std::int32_t ms) {
  char t[16];
  return std::string(t, appendTime(t, ms));
}

std::optional<std::int32_t> parseDatapacketTime(std::string_view text) {
  // h or hh, then :mm: and five digits
  std::size_t colon = text.find(':');
  if (colon == 0 || colon > 2 || text.size() != colon + 9 || text[colon + 3] != ':')
    return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (i != colon && i != colon + 3 && (text[i] < '0' || text[i] > '9')) return std::nullopt;
  auto h = parseDecimal<int>(text.substr(0, colon));
  auto m = parseDecimal<int>(text.substr(colon + 1, 2));
  auto inMinute = parseDecimal<int>(text.substr(colon + 4));
  if (!h || !m || !inMinute || *h > 23 || *m > 59 || *inMinute > 59'999) return std::nullopt;
  return (*h * 60 + *m) * 60'000 + *inMinute;
}

void writeTableDatapacket(const ReadingTable &table, ByteSink &sink, FileProgress *progress) {
  BlockWriter out(sink);
  out.put(kXmlDeclaration);
  out.put("  ");
  out.put(kMetadataStart);
  putChangeLog(out, table.changeLog());
  out.put("</METADATA>");
  if (table.empty()) {
    out.put("<ROWDATA/>");
  } else {
    out.put("<ROWDATA>");
    RowWriter rowWriter;
    const std::size_t rows = table.rowCount();
    for (std::size_t i = 0; i < rows; ++i) {
      if (i % kRowsPerProgressReport == 0) reportProgress(progress, i, rows);
      rowWriter.put(out, table, i);
    }
    out.put("</ROWDATA>");
  }
  out.put("</DATAPACKET>");
  out.flush();
}

std::string tableToDatapacket(const ReadingTable &table) {
  std::string xml;
  StringSink sink(xml);
  writeTableDatapacket(table, sink);
  return xml;
}

// ---------------------------------------------------------------- public reading

struct DatapacketReader::Impl {
  // The elements the reader cares about; everything else is passed over.
  enum class Node : std::uint8_t { Other, Root, Metadata, Fields, Rowdata };
  static constexpr int kTrackedDepth = 3;

  struct FieldDef {
    bool seen = false;
    std::string type;
    std::optional<std::string> width;
  };

  XML_Parser parser = nullptr;
  ReadingTable table;
  std::vector<ChangeLogEntry> log;
  FieldDef defs[kFieldCount];
  std::string failure;
  std::string texts[4];  // a row's Value, Unit, V_Range and I_Range, as the file's bytes
  int depth = 0;
  Node open[kTrackedDepth] = {};
  bool sawRoot = false;
  bool finished = false;
  bool started = false;  // feed() has seen the first bytes

  Impl() {
    parser = XML_ParserCreate(kByteEncodingName);
    if (!parser) throw std::bad_alloc();
    setHandlers();
  }
  ~Impl() { XML_ParserFree(parser); }

  void reset() {
    // expat refuses only a reset from within its own handlers, which never reset.
    if (!XML_ParserReset(parser, kByteEncodingName))
      throw std::logic_error("a datapacket reader was reset while reading");
    setHandlers();
    table = ReadingTable();
    log.clear();
    for (FieldDef &def : defs) def = FieldDef();
    failure.clear();
    depth = 0;
    for (Node &node : open) node = Node::Other;
    sawRoot = finished = started = false;
  }

  void setHandlers() {
    XML_SetUserData(parser, this);
    XML_SetUnknownEncodingHandler(parser, byteEncoding, nullptr);
    XML_SetElementHandler(parser, onStart, onEnd);
    XML_SetStartDoctypeDeclHandler(parser, onDoctype);
    XML_SetEntityDeclHandler(parser, onEntityDecl);
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
  }

  std::string position() const {
    return "line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", byte offset " +
           std::to_string(XML_GetCurrentByteIndex(parser)) + ": ";
  }
  void fail(std::string why) {
    if (failure.empty()) failure = position() + why;
    XML_StopParser(parser, XML_FALSE);
  }
  void failParsing() {
    if (failure.empty()) failure = position() + XML_ErrorString(XML_GetErrorCode(parser));
  }

  static void XMLCALL onDoctype(void *self, const XML_Char *, const XML_Char *, const XML_Char *,
                                int) {
    static_cast<Impl *>(self)->fail("document type declarations are not accepted");
  }
  static void XMLCALL onEntityDecl(void *self, const XML_Char *, int, const XML_Char *, int,
                                   const XML_Char *, const XML_Char *, const XML_Char *,
                                   const XML_Char *) {
    static_cast<Impl *>(self)->fail("entity declarations are not accepted");
  }
  static void XMLCALL onStart(void *self, const XML_Char *name, const XML_Char **atts) {
    static_cast<Impl *>(self)->start(name, atts);
  }
  static void XMLCALL onEnd(void *self, const XML_Char *) { --static_cast<Impl *>(self)->depth; }

  void start(std::string_view name, const XML_Char **atts) {
    int d = depth++;
    Node parent = d == 0 ? Node::Other : d - 1 < kTrackedDepth ? open[d - 1] : Node::Other;
    Node kind = Node::Other;
    if (d == 0) {
      if (name != "DATAPACKET") return fail("the root element is not DATAPACKET");
      kind = Node::Root;
      sawRoot = true;
    } else if (parent == Node::Root && name == "METADATA") {
      kind = Node::Metadata;
    } else if (parent == Node::Root && name == "ROWDATA") {
      if (!checkFields()) return;
      kind = Node::Rowdata;
    } else if (parent == Node::Metadata && name == "FIELDS") {
      kind = Node::Fields;
    } else if (parent == Node::Metadata && name == "PARAMS") {
      readParams(atts);
    } else if (parent == Node::Fields && name == "FIELD") {
      readField(atts);
    } else if (parent == Node::Rowdata && name == "ROW") {
      readRow(atts);
    }
    if (d < kTrackedDepth) open[d] = kind;
  }

  void readField(const XML_Char **atts) {
    std::string_view attrname, fieldtype;
    const char *width = nullptr;
    for (; *atts; atts += 2) {
      std::string_view key = atts[0];
      if (key == "attrname")
        attrname = atts[1];
      else if (key == "fieldtype")
        fieldtype = atts[1];
      else if (key == "WIDTH")
        width = atts[1];
    }
    int i = fieldIndex(attrname);
    if (i < 0) return;  // a further field: ignored
    if (defs[i].seen) return fail("field " + std::string(attrname) + " is defined twice");
    defs[i].seen = true;
    defs[i].type = fieldtype;
    if (width) defs[i].width = width;
  }

  bool checkFields() {
    for (int i = 0; i < kFieldCount; ++i) {
      const FieldSpec &expected = kFieldSpecs[i];
      const FieldDef &def = defs[i];
      bool ok = def.seen && def.type == expected.type && (!expected.isText || def.width == "20");
      if (!ok) {
        fail("field " + std::string(expected.name) + " is missing or of another type or width");
        return false;
      }
    }
    return true;
  }

  void readParams(const XML_Char **atts) {
    for (; *atts; atts += 2) {
      if (std::string_view(atts[0]) != "CHANGE_LOG") continue;
      if (!readChangeLog(atts[1])) return fail("the change log is not a list of number triples");
    }
  }

  bool readChangeLog(std::string_view text) {
    std::vector<ChangeLogEntry> entries;
    std::uint32_t numbers[3];
    int have = 0;
    while (!text.empty()) {
      std::size_t start = 0;
      while (start < text.size() && static_cast<unsigned char>(text[start]) <= ' ') ++start;
      text.remove_prefix(start);
      if (text.empty()) break;
      std::size_t end = 0;
      while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ') ++end;
      auto n = parseDecimal<std::uint32_t>(text.substr(0, end));
      if (!n) return false;
      numbers[have++] = *n;
      if (have == 3) {
        entries.push_back({numbers[0], numbers[1], numbers[2]});
        have = 0;
      }
      text.remove_prefix(end);
    }
    if (have != 0) return false;
    log = std::move(entries);
    return true;
  }

  void readRow(const XML_Char **atts) {
    TableRowView row;
    std::uint8_t state = 0;
    for (; *atts; atts += 2) {
      int field = rowAttribute(atts[0]);
      if (field == kRowStateAttribute) {
        auto n = parseDecimal<std::uint8_t>(shortText(atts[1], 8));
        if (!n) return fail("a RowState is not a number from 0 to 255");
        state = *n;
      } else if (field == 0) {
        row.no = parseDecimal<std::int32_t>(shortText(atts[1], 16));
        if (!row.no) return fail("a No value is not a 32-bit whole number");
      } else if (field == 1) {
        row.timeMs = parseDatapacketTime(shortText(atts[1], 16));
        if (!row.timeMs) return fail("a Time value is not a time of day");
      } else if (field >= 2) {
        std::string &text = texts[field - 2];
        utf8ToFileBytes(atts[1], text, kTextWidth);
        row.text(static_cast<Field>(field)) = text;  // kFieldSpecs is in Field order
      }                                              // anything else is a further field
    }
    table.appendRowWithState(row, state);
  }
};

DatapacketReader::DatapacketReader() : impl_(std::make_unique<Impl>()) {}
DatapacketReader::~DatapacketReader() = default;

bool DatapacketReader::feed(std::string_view bytes, bool last) {
  Impl &d = *impl_;
  if (!d.failure.empty()) return false;
  if (d.finished) {
    d.failure = "bytes after the end of the document";
    return false;
  }
  if (!d.started) {
    d.started = true;
    if (bytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
      bytes.remove_prefix(kUtf8ByteOrderMark.size());
  }
  // expat takes an int length; give it large input in pieces.
  constexpr std::size_t kPiece = 4 << 20;
  do {
    std::size_t n = bytes.size() < kPiece ? bytes.size() : kPiece;
    bool final = last && n == bytes.size();
    if (XML_Parse(d.parser, bytes.data(), static_cast<int>(n), final) != XML_STATUS_OK) {
      d.failParsing();
      return false;
    }
    bytes.remove_prefix(n);
  } while (!bytes.empty());
  d.finished = last;
  return true;
}

char *DatapacketReader::bufferToFill(std::size_t size) {
  if (size > INT_MAX) size = INT_MAX;
  return static_cast<char *>(XML_GetBuffer(impl_->parser, static_cast<int>(size)));
}

bool DatapacketReader::feedFilled(std::size_t count, bool last) {
  Impl &d = *impl_;
  if (!d.failure.empty()) return false;
  if (XML_ParseBuffer(d.parser, static_cast<int>(count), last) != XML_STATUS_OK) {
    d.failParsing();
    return false;
  }
  d.finished = last;
  return true;
}

bool DatapacketReader::finishInto(ReadingTable &table) {
  Impl &d = *impl_;
  if (!d.failure.empty()) return false;
  if (!d.finished) {
    d.failure = "the document is incomplete";
    return false;
  }
  if (!d.sawRoot || !d.checkFields()) return false;
  d.table.setChangeLog(std::move(d.log));
  table.replaceWith(std::move(d.table));
  return true;
}

const std::string &DatapacketReader::failure() const {
  return impl_->failure;
}

void DatapacketReader::reset() {
  impl_->reset();
}

bool readTableDatapacket(std::string_view document, ReadingTable &table) {
  DatapacketReader reader;
  return reader.feed(document, true) && reader.finishInto(table);
}

}  // namespace vexal
