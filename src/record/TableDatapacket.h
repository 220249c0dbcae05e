#pragma once
// The XML datapacket form of the reading table: field definitions, every row with its
// change state, and the change log. Written by hand because its bytes are fixed; read with
// expat. Texts are code page 936 bytes in both directions.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "record/ByteSink.h"
#include "record/FileProgress.h"
#include "record/ReadingTable.h"

namespace vexal {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
inline constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" standalone=\"yes\"?>";

// Writes the whole document: declaration, two blanks, then the root element on one line.
// `progress` hears the rows written and may stop the writing (EFileCancelled).
void writeTableDatapacket(const ReadingTable &table, ByteSink &sink,
                          FileProgress *progress = nullptr);
std::string tableToDatapacket(const ReadingTable &table);

// The "time" form: hh:mm: and five digits of milliseconds within the minute.
std::string formatDatapacketTime(std::int32_t ms);
std::optional<std::int32_t> parseDatapacketTime(std::string_view text);

// Reads a datapacket fed in pieces of any size. The rows go into a table of its own, so a
// file that fails leaves the caller's table as it was.
//
// Bytes are taken one for one as characters (a single-byte encoding), so code page 936
// texts come back unchanged whatever the document declares. Control bytes that the writer
// copies unchanged (and that XML would otherwise refuse) are read back as themselves.
// Document type declarations are refused, so no entity is ever defined or expanded. A UTF-8
// byte-order mark before the document is passed over by feed() (callers of bufferToFill
// skip it themselves).
class DatapacketReader {
 public:
  DatapacketReader();
  ~DatapacketReader();
  DatapacketReader(const DatapacketReader &) = delete;
  DatapacketReader &operator=(const DatapacketReader &) = delete;

  // The next bytes of the document; `last` marks the end. False once the document failed.
  bool feed(std::string_view bytes, bool last);
  // The same without a copy: up to `size` bytes are read straight into the parser's own
  // buffer at the address returned (null when memory runs out), then parsed by feedFilled.
  char *bufferToFill(std::size_t size);
  bool feedFilled(std::size_t count, bool last);
  // After the last piece: moves rows, states and change log into `table` (sequence numbers
  // follow file order). False, leaving `table` untouched, when the document failed or is
  // not a complete datapacket with the six fields.
  bool finishInto(ReadingTable &table);
  // Why the document failed, with its line and byte offset where the parser knows them;
  // empty while it has not.
  const std::string &failure() const;
  // Forgets the document read so far, to read another with the same parser (one reader for
  // many documents saves making a parser for each).
  void reset();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Reads a whole document held in memory; see DatapacketReader.
bool readTableDatapacket(std::string_view document, ReadingTable &table);

}  // namespace vexal
