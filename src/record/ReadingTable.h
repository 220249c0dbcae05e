#pragma once
// The reading table `cds1`: rows in insertion order with six nullable fields, a change
// state per row and a change log for the XML datapacket form. Rows are only appended or all
// removed together.
//
// Storage is compact so that ten million rows fit: a row is a small fixed record, the value
// text is held inline (at most 20 bytes) and the other three texts, which repeat (units,
// functions, modes), are stored once each and referred to by number.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "record/RowBlocks.h"

namespace vexal {

enum class Field { No, Time, Value, Unit, VRange, IRange };
inline constexpr int kFieldCount = 6;
inline constexpr std::size_t kTextWidth = 20;  // bytes kept of a text field
// The column titles of the fields, in field order, as the grid and the text files show them.
inline constexpr std::array<std::string_view, kFieldCount> kColumnTitles{
    "Measurement No.", "Time", "Value", "Unit", "Function", "Remark"};

// One row as plain values; a missing field has no value.
struct TableRow {
  std::optional<std::int32_t> no;
  std::optional<std::int32_t> timeMs;  // milliseconds since midnight
  std::optional<std::string> value, unit, vRange, iRange;

  std::optional<std::string> &text(Field f);
  const std::optional<std::string> &text(Field f) const;
  bool operator==(const TableRow &) const = default;
};

// The same row as views of texts held elsewhere (reading a file without building strings).
struct TableRowView {
  std::optional<std::int32_t> no;
  std::optional<std::int32_t> timeMs;
  std::optional<std::string_view> value, unit, vRange, iRange;

  std::optional<std::string_view> &text(Field f);
  bool operator==(const TableRowView &) const = default;
};

struct ChangeLogEntry {
  std::uint32_t a = 0, b = 0, c = 0;
  bool operator==(const ChangeLogEntry &) const = default;
};

// Told about changes of the table (the grid's model listens). Not told while updates are
// suspended; resuming then reports a reset.
class TableObserver {
 public:
  virtual ~TableObserver() = default;
  virtual void rowsAppended(std::size_t first, std::size_t count) = 0;
  virtual void tableReset() = 0;
};

class TableSnapshot;

class ReadingTable {
 public:
  static constexpr std::uint8_t kStateInserted = 4;

  ReadingTable() = default;
  // Tables share their storage with snapshots only, never with each other.
  ReadingTable(const ReadingTable &) = delete;
  ReadingTable &operator=(const ReadingTable &) = delete;
  ReadingTable(ReadingTable &&) = default;
  ReadingTable &operator=(ReadingTable &&) = default;

  std::size_t rowCount() const { return rows_ ? rows_->size() : 0; }
  bool empty() const { return rowCount() == 0; }

  // Appends a row added by recording or from a text file: change state 4 and the log entry
  // (sequence number, 0, 4). Texts longer than 20 bytes are cut.
  void appendRow(const TableRow &row);
  void appendRow(const TableRowView &row);  // the same without building strings
  // Appends a row as an XML file gives it: its own state, no log entry.
  void appendRowWithState(const TableRow &row, std::uint8_t state);
  void appendRowWithState(const TableRowView &row, std::uint8_t state);

  std::optional<std::int32_t> no(std::size_t row) const;
  std::optional<std::int32_t> timeMs(std::size_t row) const;
  // A text field of a row; nothing when it has no value.
  std::optional<std::string_view> text(std::size_t row, Field f) const;
  TableRow row(std::size_t row) const;
  // The row's fields as views into the table (valid until the table changes): one lookup
  // for all six, for walking many rows.
  TableRowView view(std::size_t row) const;
  std::uint8_t rowState(std::size_t row) const { return (*rows_)[row].state; }
  // The rows held now, as they are now, for as long as the snapshot lives: later appends,
  // clear() and replaceWith() do not change it. Costs no copy of the rows.
  TableSnapshot snapshot() const;
  // Rows are numbered 1, 2, 3 ... in table order.
  std::uint32_t sequenceNumber(std::size_t row) const {
    return static_cast<std::uint32_t>(row + 1);
  }

  // Same rows, row states and change log (the text pool may differ).
  bool sameContent(const ReadingTable &other) const;

  using ChangeLog = RowBlocks<ChangeLogEntry>;
  const ChangeLog &changeLog() const { return log_; }
  void setChangeLog(const std::vector<ChangeLogEntry> &log);

  // Delete Data: no rows, empty log, sequence numbers start at 1 again.
  void clear();
  // Takes back the rows from `first` on that appendRow added, with their log entries (a
  // text file's rows when its opening is cancelled).
  void removeRowsFrom(std::size_t first);
  // Replaces rows, states and log with those of `other` (opening an XML file).
  void replaceWith(ReadingTable &&other);

  // Grid updates (the observer is not owned).
  void setObserver(TableObserver *observer) { observer_ = observer; }
  // Further listeners (the trend chart), told after the grid's; not owned.
  void addObserver(TableObserver *observer) { moreObservers_.push_back(observer); }
  void removeObserver(TableObserver *observer) { std::erase(moreObservers_, observer); }
  // Counts clear() and replaceWith(): a reset reported with an unchanged generation only
  // added rows (appended while updates were suspended).
  std::uint64_t generation() const { return generation_; }
  void suspendUpdates() { ++suspended_; }
  void resumeUpdates();

  // Bytes held per row on average, pool included (for the memory benchmark).
  std::size_t approximateBytes() const;

 private:
  friend class TableSnapshot;
  struct Row {
    std::int32_t no;
    std::int32_t timeMs;
    std::uint32_t unit, vRange, iRange;  // pool numbers, 0 = no value
    char value[kTextWidth];
    std::uint8_t valueLen;  // kNoValue when the field has no value
    std::uint8_t flags;     // kHasNo, kHasTime
    std::uint8_t state;
  };
  static constexpr std::uint8_t kNoValue = 0xFF;
  static constexpr std::uint8_t kHasNo = 1, kHasTime = 2;

  Row pack(const TableRow &r);
  Row pack(const TableRowView &r);
  void appendPacked(Row packed);  // as a row added by recording
  void store(const Row &packed);
  // `last` is the pool number this field got last time, checked before the index.
  std::uint32_t intern(std::optional<std::string_view> text, std::uint32_t &last);
  std::optional<std::string_view> pooled(std::uint32_t id) const;
  void notifyAppended(std::size_t first);
  static TableRowView viewOf(const Row &r, const std::vector<std::string> *pool);

  // Shared with snapshots. Rows are only appended to the end (the blocks keep the earlier
  // ones where they are) or dropped together by moving to new storage. Both are made with
  // the first row or text that needs them, so a table without rows costs no allocation
  // (file readers and their tests make many).
  using Rows = RowBlocks<Row>;
  std::shared_ptr<Rows> rows_;
  ChangeLog log_;
  // Index 0 unused: no value. Only ever appended to while shared.
  std::shared_ptr<std::vector<std::string>> pool_;
  // Looked up by the texts read, without making a string of each.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>{}(text);
    }
  };
  std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> poolIndex_;
  std::uint32_t lastPooled_[3] = {0, 0, 0};  // unit, vRange, iRange: they repeat row to row
  template <class Call>
  void notify(Call call);

  TableObserver *observer_ = nullptr;
  std::vector<TableObserver *> moreObservers_;
  std::uint64_t generation_ = 0;
  int suspended_ = 0;
  bool changedWhileSuspended_ = false;
};

// The rows a table held when the snapshot was taken (see ReadingTable::snapshot). Reading it
// is for the GUI thread, like the table; views stay valid until the table next changes.
class TableSnapshot {
 public:
  TableSnapshot() = default;
  std::size_t rowCount() const { return count_; }
  TableRowView view(std::size_t row) const;

 private:
  friend class ReadingTable;
  using Rows = ReadingTable::Rows;
  TableSnapshot(std::shared_ptr<const Rows> rows,
                std::shared_ptr<const std::vector<std::string>> pool, std::size_t count)
      : rows_(std::move(rows)), pool_(std::move(pool)), count_(count) {}

  std::shared_ptr<const Rows> rows_;
  std::shared_ptr<const std::vector<std::string>> pool_;
  std::size_t count_ = 0;
};

}  // namespace vexal
