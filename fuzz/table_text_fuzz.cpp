// Feeds any bytes to the text-file reader, whole and in pieces, and checks what it makes of
// them: both ways give the same rows, the file written from those rows reads back into the
// same file, the XML form of the rows reads back exactly, and SplitByDelimiter pieces join
// back into their text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ResetDatapacketReader.h"
#include "record/DataFiles.h"
#include "record/TableDatapacket.h"
#include "record/TableTextFile.h"

namespace {

using namespace vexal;

void check(bool ok, const char *what) {
  if (ok) return;
  std::fprintf(stderr, "table_text_fuzz: %s\n", what);
  std::abort();
}

// The way a file is read: pieces of `step` bytes, the unused rest given again.
TextReadResult readInPieces(std::string_view bytes, std::size_t step, ReadingTable &table) {
  TextTableReader reader(table);
  std::string pending;
  for (std::size_t at = 0;; at += step) {
    bool last = at >= bytes.size();
    if (!last) pending.append(bytes.substr(at, step));
    pending.erase(0, reader.feed(pending, last));
    if (last || !reader.result().ok) return reader.result();
  }
}

void checkSplit(std::string_view bytes) {
  std::size_t delimiterLength = bytes.empty() ? 0 : bytes[0] % 4;
  if (bytes.size() < 1 + delimiterLength) return;
  std::string_view delimiter = bytes.substr(1, delimiterLength);
  std::string_view text = bytes.substr(1 + delimiterLength);
  std::vector<std::string> parts{"old"};
  SplitByDelimiter(text, delimiter, parts);
  check(!parts.empty(), "no pieces");
  std::string joined = parts[0];
  for (std::size_t i = 1; i < parts.size(); ++i) joined.append(delimiter).append(parts[i]);
  check(joined == text, "pieces do not join back into the text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char *>(data), size);
  checkSplit(bytes);

  ReadingTable table;
  TextReadResult whole = appendTableText(bytes, table);
  check(whole.rowsAdded == table.rowCount(), "rows added miscounted");

  ReadingTable pieces;
  TextReadResult inPieces = readInPieces(bytes, 1 + (size ? data[size - 1] % 97 : 0), pieces);
  check(inPieces.ok == whole.ok && inPieces.failedLine == whole.failedLine,
        "reading in pieces ends differently");
  check(table.sameContent(pieces), "reading in pieces gives other rows");

  // What the program writes must read back, and be written again unchanged.
  std::string text = tableToText(table);
  ReadingTable again;
  check(appendTableText(text, again).ok, "a written text file does not read back");
  check(again.rowCount() == table.rowCount(), "a written text file reads back other rows");
  check(tableToText(again) == text, "a text file read back is written differently");

  std::string xml = tableToDatapacket(table);
  ReadingTable fromXml;
  check(fuzz::readWithResetReader(xml, fromXml), "a written XML file does not read back");
  check(fromXml.sameContent(table), "an XML file reads back other rows");
  return 0;
}
