#include "record/TableDatapacket.h"

#include <gtest/gtest.h>

#include "common/Cp936.h"
#include "support/TableRows.h"

namespace vexal {
namespace {

using test_rows::at;
using test_rows::makeRow;

const std::string kOhmBytes(kOhm);
const std::string kMegaOhm = "M" + kOhmBytes;
const std::string kIr500 = "IR:500V 20G" + kOhmBytes;

const std::string kFieldsXml =
    "<FIELDS><FIELD attrname=\"No\" fieldtype=\"i4\"/>"
    "<FIELD attrname=\"Time\" fieldtype=\"time\"/>"
    "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/></FIELDS>";
const std::string kHead =
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\">"
    "<METADATA>" +
    kFieldsXml;

// A document with the standard fields around the given PARAMS and ROWDATA content.
std::string document(const std::string &params, const std::string &rows) {
  return kHead + params + "</METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

void expectSameTable(const ReadingTable &a, const ReadingTable &b) {
  ASSERT_EQ(a.rowCount(), b.rowCount());
  for (std::size_t i = 0; i < a.rowCount(); ++i) {
    EXPECT_EQ(a.row(i), b.row(i)) << "row " << i;
    EXPECT_EQ(a.rowState(i), b.rowState(i)) << "row " << i;
  }
  EXPECT_EQ(a.changeLog(), b.changeLog());
}

// ------------------------------------------------------------------ writing

TEST(DatapacketWriter, EmptyTableExactBytes) {
  ReadingTable table;
  EXPECT_EQ(tableToDatapacket(table), kHead + "<PARAMS/></METADATA><ROWDATA/></DATAPACKET>");
}

TEST(DatapacketWriter, ThreeRecordingsExactBytesWithChangeLog) {
  ReadingTable table;
  table.appendRow(makeRow(1, at(9, 5, 7, 12), "12.34", kMegaOhm, kIr500, "Continuous"));
  table.appendRow(makeRow(2, at(9, 5, 8, 500), "12.35", kMegaOhm, kIr500, "Continuous"));
  table.appendRow(makeRow(3, at(13, 0, 59, 999), "L", kMegaOhm, kIr500, "COMP:NG"));
  std::string rows;
  const char *tail[] = {"Time=\"09:05:07012\" Value=\"12.34\"",
                        "Time=\"09:05:08500\" Value=\"12.35\"", "Time=\"13:00:59999\" Value=\"L\""};
  const char *modes[] = {"Continuous", "Continuous", "COMP:NG"};
  for (int i = 0; i < 3; ++i)
    rows += "<ROW RowState=\"4\" No=\"" + std::to_string(i + 1) + "\" " + tail[i] + " Unit=\"" +
            kMegaOhm + "\" V_Range=\"" + kIr500 + "\" I_Range=\"" + modes[i] + "\"/>";
  EXPECT_EQ(tableToDatapacket(table), document("<PARAMS CHANGE_LOG=\"1 0 4 2 0 4 3 0 4\"/>", rows));
}

TEST(DatapacketWriter, EscapesExactlyTheListedBytes) {
  ReadingTable table;
  table.appendRowWithState(makeRow(std::nullopt, std::nullopt, "a&b\"c'd<e>f\tg\nh\ri\\j"), 0);
  table.appendRowWithState(makeRow(std::nullopt, std::nullopt, "\x01/=;#%" + kOhmBytes), 0);
  EXPECT_EQ(tableToDatapacket(table),
            document("<PARAMS/>",
                     "<ROW Value=\"a&amp;b&quot;c&apos;d&lt;e&gt;f&#009;g&#010;h&#013;i&#092;j\"/>"
                     "<ROW Value=\"\x01/=;#%" +
                         kOhmBytes + "\"/>"));
}

TEST(DatapacketWriter, EachRowEscapesItsOwnTextsUpToTheLongestRow) {
  // Unit, function and mode change from row to row and back, and some rows are as long as a
  // row gets (four texts of 20 bytes that each become six): every row has its own texts, and
  // rows that cross the writer's blocks arrive whole.
  const std::string longest(20, '"'), longestEscaped = [] {
    std::string e;
    for (int i = 0; i < 20; ++i) e += "&quot;";
    return e;
  }();
  const std::string units[] = {"a&b", "<c>", "a&b", longest};
  const std::string unitsEscaped[] = {"a&amp;b", "&lt;c&gt;", "a&amp;b", longestEscaped};
  ReadingTable table;
  std::string rows;
  for (int i = 0; i < 2000; ++i) {
    const int u = i % 4;
    table.appendRowWithState(makeRow(std::nullopt, std::nullopt, u == 3 ? longest : "v", units[u],
                                     units[3 - u], u == 3 ? longest : "m"),
                             0);
    rows += "<ROW Value=\"" + (u == 3 ? longestEscaped : "v") + "\" Unit=\"" + unitsEscaped[u] +
            "\" V_Range=\"" + unitsEscaped[3 - u] + "\" I_Range=\"" +
            (u == 3 ? longestEscaped : "m") + "\"/>";
  }
  EXPECT_TRUE(tableToDatapacket(table) == document("<PARAMS/>", rows));
}

TEST(DatapacketWriter, FieldsWithoutValueAndStateZeroHaveNoAttribute) {
  ReadingTable table;
  table.appendRowWithState(makeRow(std::nullopt, std::nullopt, std::nullopt), 0);
  table.appendRowWithState(makeRow(-5, 0, "", std::nullopt, "", std::nullopt), 8);
  EXPECT_EQ(tableToDatapacket(table),
            document("<PARAMS/>",
                     "<ROW/><ROW RowState=\"8\" No=\"-5\" Time=\"00:00:00000\" "
                     "Value=\"\" V_Range=\"\"/>"));
}

TEST(DatapacketWriter, TimeForm) {
  EXPECT_EQ(formatDatapacketTime(0), "00:00:00000");
  EXPECT_EQ(formatDatapacketTime(at(1, 2, 3, 4)), "01:02:03004");
  EXPECT_EQ(formatDatapacketTime(at(23, 59, 59, 999)), "23:59:59999");
  EXPECT_EQ(parseDatapacketTime("23:59:59999"), at(23, 59, 59, 999));
  EXPECT_EQ(parseDatapacketTime("7:08:00001"), at(7, 8, 0, 1));
  for (const char *bad :
       {"", "24:00:00000", "12:60:00000", "12:00:60000", "12:00:0000", "12:00:000000",
        "12:00:00.000", "123:00:00000", ":00:00000", "12:0a:00000", "-1:00:00000", "12:00:00000 "})
    EXPECT_EQ(parseDatapacketTime(bad), std::nullopt) << bad;
}

// ------------------------------------------------------------------ reading

TEST(DatapacketReader, RoundTripKeepsRowsStatesAndLog) {
  ReadingTable table;
  table.appendRow(makeRow(1, at(9, 5, 7, 12), "<1&2>", kMegaOhm, kIr500, "Continuous"));
  table.appendRow(makeRow(2, std::nullopt, "\"q\" 'a'\t\\", "\r\n", std::nullopt, ""));
  table.appendRowWithState(makeRow(std::nullopt, at(0, 0, 0, 1), std::nullopt), 0);
  // Control bytes and a NUL are written unchanged; they must come back as themselves.
  table.appendRowWithState(makeRow(4, 1, std::string("\x00\x01\x1f\x7f\x80\xff", 6)), 2);
  table.setChangeLog({{1, 0, 4}, {2, 0, 4}, {4294967295u, 7, 8}});
  std::string xml = tableToDatapacket(table);

  ReadingTable back;
  ASSERT_TRUE(readTableDatapacket(xml, back));
  expectSameTable(back, table);
  EXPECT_EQ(tableToDatapacket(back), xml);
}

TEST(DatapacketReader, ReplacesRowsAndLogAndSequenceContinues) {
  ReadingTable table;
  for (int i = 0; i < 5; ++i) table.appendRow(makeRow(i, 0, "old"));
  ASSERT_TRUE(
      readTableDatapacket(document("", "<ROW No=\"10\"/><ROW RowState=\"4\" No=\"11\"/>"), table));
  ASSERT_EQ(table.rowCount(), 2u);
  EXPECT_EQ(table.no(0), 10);
  EXPECT_EQ(table.rowState(0), 0);
  EXPECT_EQ(table.rowState(1), 4);
  EXPECT_TRUE(table.changeLog().empty());
  table.appendRow(makeRow(12, 0, "new"));
  EXPECT_EQ(table.sequenceNumber(2), 3u);
  EXPECT_EQ(table.changeLog().back(), (ChangeLogEntry{3, 0, 4}));
}

TEST(DatapacketReader, RowsRecordedAfterOpeningKeepTheirTexts) {
  ReadingTable table;
  // Many texts before opening: the opened file's own text pool is much smaller.
  for (int i = 0; i < 50; ++i)
    table.appendRow(makeRow(i, 0, "1", "u" + std::to_string(i), "f" + std::to_string(i), "m"));
  table.appendRow(makeRow(1, 0, "1", "V", "DCV  600V", "Continuous"));
  ASSERT_TRUE(readTableDatapacket(
      document("", "<ROW Unit=\"" + kMegaOhm + "\" I_Range=\"PI\" V_Range=\"x\"/>"), table));
  table.appendRow(makeRow(2, 0, "2", "V", "DCV  600V", "Continuous"));
  table.appendRow(makeRow(3, 0, "3", kMegaOhm, "x", "PI"));
  EXPECT_EQ(table.row(0), makeRow(std::nullopt, std::nullopt, std::nullopt, kMegaOhm, "x", "PI"));
  EXPECT_EQ(table.row(1), makeRow(2, 0, "2", "V", "DCV  600V", "Continuous"));
  EXPECT_EQ(table.row(2), makeRow(3, 0, "3", kMegaOhm, "x", "PI"));
}

TEST(DatapacketReader, FieldsInAnyOrderAndFurtherFieldsIgnored) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<DATAPACKET Version=\"2.0\">\n <METADATA>\n  <FIELDS>\n"
      "   <FIELD attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/>\n"
      "   <FIELD attrname=\"Extra\" fieldtype=\"r8\"/>\n"
      "   <FIELD attrname=\"Time\" fieldtype=\"time\"/>\n"
      "   <FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/>\n"
      "   <FIELD attrname=\"No\" fieldtype=\"i4\"><PARAMS x=\"1\"/></FIELD>\n"
      "   <FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>\n"
      "   <FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>\n"
      "  </FIELDS>\n  <PARAMS LCID=\"1033\" CHANGE_LOG=\" 1  0 4\n2 0 4 \"/>\n </METADATA>\n"
      " <ROWDATA>\n  <ROW Extra=\"1.5\" I_Range=\"PI\" No=\"3\" Unit=\"V\"/>\n"
      "  <ROW Time=\"10:00:01000\"/>\n </ROWDATA>\n</DATAPACKET>\n";
  ReadingTable table;
  ASSERT_TRUE(readTableDatapacket(xml, table));
  ASSERT_EQ(table.rowCount(), 2u);
  EXPECT_EQ(table.row(0), makeRow(3, std::nullopt, std::nullopt, "V", std::nullopt, "PI"));
  EXPECT_EQ(table.row(1), makeRow(std::nullopt, at(10, 0, 1), std::nullopt));
  ASSERT_EQ(table.changeLog().size(), 2u);
  EXPECT_EQ(table.changeLog()[0], (ChangeLogEntry{1, 0, 4}));
  EXPECT_EQ(table.changeLog()[1], (ChangeLogEntry{2, 0, 4}));
}

TEST(DatapacketReader, BytesComeBackUnchangedWhateverTheDeclaration) {
  for (std::string decl : {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                           "<?xml version=\"1.0\" encoding=\"GB2312\"?>", ""}) {
    SCOPED_TRACE(decl);
    std::string xml =
        decl + document("", "<ROW Unit=\"" + kMegaOhm + "\"/>").substr(kXmlDeclaration.size());
    ReadingTable table;
    ASSERT_TRUE(readTableDatapacket(xml, table));
    EXPECT_EQ(table.text(0, Field::Unit), kMegaOhm);
  }
}

TEST(DatapacketReader, CharacterReferencesAndCutTo20Bytes) {
  ReadingTable table;
  ASSERT_TRUE(readTableDatapacket(
      document("", "<ROW Unit=\"M&#937;\" Value=\"&#x41;&#233;&lt;\" V_Range=\"" +
                       std::string(30, 'v') + "\"/>"),
      table));
  EXPECT_EQ(table.text(0, Field::Unit), kMegaOhm);  // U+03A9 in code page 936
  EXPECT_EQ(table.text(0, Field::Value), "A\xE9<");
  EXPECT_EQ(table.text(0, Field::VRange), std::string(20, 'v'));
}

TEST(DatapacketReader, FailuresLeaveTheTableAsItWas) {
  const std::string rowsOk = "<ROW No=\"1\"/>";
  const std::string fieldsNoValue =
      "<FIELDS><FIELD attrname=\"No\" fieldtype=\"i4\"/><FIELD attrname=\"Time\" "
      "fieldtype=\"time\"/><FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
      "<FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD "
      "attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/></FIELDS>";
  auto withFields = [&](std::string fields) {
    std::string xml = document("<PARAMS/>", rowsOk);
    xml.replace(xml.find(kFieldsXml), kFieldsXml.size(), fields);
    return xml;
  };
  auto replaced = [&](std::string from, std::string to) {
    std::string xml = document("<PARAMS/>", rowsOk);
    EXPECT_NE(xml.find(from), std::string::npos) << from;
    xml.replace(xml.find(from), from.size(), to);
    return xml;
  };
  const std::string bad[] = {
      "",
      "not xml at all",
      "\x89PNG\r\n\x1a\n\0\0\0\rIHDR",
      "<?xml version=\"1.0\"?><OTHER/>",
      document("", rowsOk).substr(0, 300),     // truncated
      document("", rowsOk) + "<DATAPACKET/>",  // junk after the end
      withFields(fieldsNoValue),               // a field missing
      replaced("\"No\" fieldtype=\"i4\"", "\"No\" fieldtype=\"i2\""),
      replaced("\"Unit\" fieldtype=\"string\" WIDTH=\"20\"",
               "\"Unit\" fieldtype=\"string\" WIDTH=\"30\""),
      replaced("\"Unit\" fieldtype=\"string\" WIDTH=\"20\"", "\"Unit\" fieldtype=\"string\""),
      replaced("</FIELDS>", "<FIELD attrname=\"No\" fieldtype=\"i4\"/></FIELDS>"),
      replaced("No=\"1\"", "No=\"2147483648\""),
      replaced("No=\"1\"", "No=\"one\""),
      replaced("No=\"1\"", "Time=\"25:00:00000\""),
      replaced("No=\"1\"", "RowState=\"256\""),
      replaced("No=\"1\"", "RowState=\"-1\""),
      replaced("No=\"1\"", "No=\"1\" No=\"2\""),
      replaced("<PARAMS/>", "<PARAMS CHANGE_LOG=\"1 0\"/>"),
      replaced("<PARAMS/>", "<PARAMS CHANGE_LOG=\"1 0 x\"/>"),
      replaced("<PARAMS/>", "<PARAMS CHANGE_LOG=\"1 0 4294967296\"/>"),
      replaced("No=\"1\"", "Value=\"&undefined;\""),
      // Rows before the fields: the fields cannot be known yet.
      "<DATAPACKET><ROWDATA><ROW No=\"1\"/></ROWDATA><METADATA>" + kFieldsXml +
          "</METADATA></DATAPACKET>",
      // Document type declarations are refused, entities or not.
      "<?xml version=\"1.0\"?><!DOCTYPE DATAPACKET [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>" +
          document("", "<ROW Value=\"&c;\"/>").substr(kXmlDeclaration.size()),
      "<!DOCTYPE DATAPACKET SYSTEM \"file:///etc/passwd\">" +
          document("", rowsOk).substr(kXmlDeclaration.size()),
      "<?xml version=\"1.0\"?><!DOCTYPE DATAPACKET [<!ENTITY x SYSTEM \"/etc/passwd\">]>"
      "<DATAPACKET/>",
  };
  for (std::size_t i = 0; i < std::size(bad); ++i) {
    SCOPED_TRACE(i);
    ReadingTable table;
    table.appendRow(makeRow(7, at(8, 0, 0), "kept"));
    table.appendRowWithState(makeRow(8, at(8, 0, 1), "also"), 0);
    ReadingTable before;
    before.appendRow(table.row(0));
    before.appendRowWithState(table.row(1), 0);
    EXPECT_FALSE(readTableDatapacket(bad[i], table));
    expectSameTable(table, before);
    // Still usable for recording.
    table.appendRow(makeRow(9, 0, "next"));
    EXPECT_EQ(table.rowCount(), 3u);
  }
}

TEST(DatapacketReader, ReasonIsGivenForRefusedDoctype) {
  DatapacketReader reader;
  EXPECT_FALSE(reader.feed("<!DOCTYPE DATAPACKET []><DATAPACKET/>", true));
  EXPECT_NE(reader.failure().find("document type"), std::string::npos) << reader.failure();
  ReadingTable table;
  EXPECT_FALSE(reader.finishInto(table));
}

TEST(DatapacketReader, PiecesOfAnySizeGiveTheSameTable) {
  ReadingTable table;
  table.appendRow(makeRow(1, at(9, 5, 7, 12), "<1&2>", kMegaOhm, kIr500, "Continuous"));
  table.appendRow(makeRow(2, at(9, 5, 8), "\t\\", kMegaOhm, "&#;", "x"));
  std::string xml = tableToDatapacket(table);
  for (std::size_t cut = 0; cut <= xml.size(); ++cut) {
    DatapacketReader reader;
    ReadingTable back;
    ASSERT_TRUE(reader.feed(std::string_view(xml).substr(0, cut), false)) << cut;
    ASSERT_TRUE(reader.feed(std::string_view(xml).substr(cut), true)) << cut;
    ASSERT_TRUE(reader.finishInto(back)) << cut;
    expectSameTable(back, table);
  }
}

// Whatever the reader was left with (a refused document, one cut short inside a row, one read
// whole with its rows and log), after reset() it reads the next document as a new reader.
TEST(DatapacketReader, ResetReaderReadsTheNextDocumentAsANewOne) {
  ReadingTable table;
  table.appendRow(makeRow(1, at(9, 5, 7, 12), "<1&2>", kMegaOhm, kIr500, "Continuous"));
  table.appendRowWithState(makeRow(7, std::nullopt, "x"), 2);
  const std::string xml = tableToDatapacket(table);
  const std::pair<std::string, bool> before[] = {
      {"<!DOCTYPE DATAPACKET []><DATAPACKET/>", true},
      {document("", "<ROW No=\"1\" Value=\"ab"), false},
      {document("<PARAMS CHANGE_LOG=\"9 0 4\"/>", "<ROW No=\"3\"/>"), true}};
  DatapacketReader reader;
  for (const auto &[earlier, last] : before) {
    reader.feed(earlier, last);
    ReadingTable ignored;
    reader.finishInto(ignored);
    reader.reset();
    EXPECT_TRUE(reader.failure().empty()) << earlier;
    ReadingTable back;
    ASSERT_TRUE(reader.feed(xml, true) && reader.finishInto(back)) << earlier;
    EXPECT_TRUE(back.sameContent(table)) << earlier;
  }
}

TEST(DatapacketReader, UnfinishedReaderDoesNotTouchTheTable) {
  DatapacketReader reader;
  ASSERT_TRUE(reader.feed(document("", "<ROW No=\"1\"/>"), false));
  ReadingTable table;
  table.appendRow(makeRow(5, 0, "x"));
  EXPECT_FALSE(reader.finishInto(table));
  EXPECT_EQ(table.rowCount(), 1u);
}

TEST(DatapacketReader, DeepNestingAndHugeValuesDoNotBreakIt) {
  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "<x>";
  for (int i = 0; i < 200000; ++i) deep += "</x>";
  ReadingTable table;
  ASSERT_TRUE(readTableDatapacket(document("", "<ROW No=\"1\"/>" + deep), table));
  EXPECT_EQ(table.rowCount(), 1u);
  ASSERT_TRUE(readTableDatapacket(
      document("", "<ROW Value=\"" + std::string(16u << 20, 'v') + "\"/>"), table));
  EXPECT_EQ(table.text(0, Field::Value), std::string(20, 'v'));
}

}  // namespace
}  // namespace vexal
