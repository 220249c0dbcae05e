#pragma once
// One datapacket reader for the fuzz targets, reset for each document: making an expat
// parser (its buffers and encoding tables) for every read cost more than reading most
// inputs. Where a target also reads through readTableDatapacket (a fresh parser), every
// input checks that a reset reader reads exactly as a new one.
#include <string_view>

#include "record/TableDatapacket.h"

namespace vexal::fuzz {

inline DatapacketReader &resetReader() {
  static DatapacketReader reader;
  reader.reset();
  return reader;
}

inline bool readWithResetReader(std::string_view document, ReadingTable &table) {
  DatapacketReader &reader = resetReader();
  return reader.feed(document, true) && reader.finishInto(table);
}

}  // namespace vexal::fuzz
