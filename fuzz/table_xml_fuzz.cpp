// Feeds any bytes to the XML datapacket reader, whole and in two pieces, and checks what it
// makes of them: both ways agree, a failed read leaves the table as it was, and a table
// that was read is written and read again exactly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ResetDatapacketReader.h"
#include "record/TableDatapacket.h"

namespace {

using namespace vexal;
using fuzz::readWithResetReader;
using fuzz::resetReader;

void check(bool ok, const char *what) {
  if (ok) return;
  std::fprintf(stderr, "table_xml_fuzz: %s\n", what);
  std::abort();
}

void fillWithOldRows(ReadingTable &table) {
  TableRow row;
  row.no = 77;
  row.value = "old";
  table.appendRow(row);
  table.appendRowWithState(row, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char *>(data), size);

  ReadingTable table, before;
  fillWithOldRows(table);
  fillWithOldRows(before);
  bool ok = readTableDatapacket(bytes, table);
  if (!ok) check(table.sameContent(before), "a failed read changed the table");

  std::size_t cut = size ? data[0] * size / 256 : 0;
  DatapacketReader &reader = resetReader();
  ReadingTable pieces;
  fillWithOldRows(pieces);
  bool pieceOk = reader.feed(bytes.substr(0, cut), false) && reader.feed(bytes.substr(cut), true) &&
                 reader.finishInto(pieces);
  check(pieceOk == ok, "reading in two pieces ends differently");
  check(pieces.sameContent(table), "reading in two pieces gives another table");

  if (ok) {
    std::string xml = tableToDatapacket(table);
    ReadingTable again;
    check(readWithResetReader(xml, again), "a written XML file does not read back");
    check(again.sameContent(table), "an XML file reads back another table");
    check(tableToDatapacket(again) == xml, "an XML file read back is written differently");
  }
  return 0;
}
