// Feeds any bytes to the journal reader and checks what it makes of them: every whole line
// is the first line, a row, a take-over mark, a row of a take-over that was cut short, or
// counted as unreadable, so a bad line never ends the reading; a torn tail is told exactly
// when the bytes do not end with a line end; the rows read, written again as a journal,
// read back into the same rows with nothing unreadable.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "record/JournalFormat.h"

namespace {

using namespace vexal;

void check(bool ok, const char *what) {
  if (ok) return;
  std::fprintf(stderr, "journal_fuzz: %s\n", what);
  std::abort();
}

std::size_t lineEnds(std::string_view bytes) {
  std::size_t count = 0;
  for (char ch : bytes) count += ch == '\n';
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  ReadingTable table;
  const JournalContents contents = readJournal(bytes, table);

  check(contents.wholeLines == lineEnds(bytes), "whole lines miscounted");
  if (contents.wholeLines > 0)
    check(1 + table.rowCount() + contents.markLines + contents.droppedRows + contents.unreadable ==
              contents.wholeLines,
          "a whole line is neither a row nor counted");
  check(contents.tornTail == (!bytes.empty() && bytes.back() != '\n'), "torn tail misread");

  std::string written(kJournalFormatLine);
  for (std::size_t row = 0; row < table.rowCount(); ++row) written += journalLine(table.view(row));
  ReadingTable again;
  const JournalContents back = readJournal(written, again);
  check(back.version == 2 && back.whole(), "a written journal does not read whole");
  check(again.sameContent(table), "a written journal reads back other rows");
  return 0;
}
