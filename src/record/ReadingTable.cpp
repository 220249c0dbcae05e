#include "record/ReadingTable.h"

#include <algorithm>
#include <cstring>

namespace vexal {

namespace {
// The text field `f` of either form of a row (No and Time give I_Range).
template <class Row>
auto &textField(Row &row, Field f) {
  switch (f) {
    case Field::Value:
      return row.value;
    case Field::Unit:
      return row.unit;
    case Field::VRange:
      return row.vRange;
    default:
      return row.iRange;
  }
}
}  // namespace

std::optional<std::string> &TableRow::text(Field f) {
  return textField(*this, f);
}

std::optional<std::string_view> &TableRowView::text(Field f) {
  return textField(*this, f);
}

const std::optional<std::string> &TableRow::text(Field f) const {
  return const_cast<TableRow *>(this)->text(f);
}

namespace {
std::string_view cut(std::string_view s) {
  return s.substr(0, std::min(s.size(), kTextWidth));
}
}  // namespace

std::uint32_t ReadingTable::intern(std::optional<std::string_view> text, std::uint32_t &last) {
  if (!text) return 0;
  const std::string_view key = cut(*text);
  if (last != 0 && pool_ && last < pool_->size() && (*pool_)[last] == key) return last;
  auto it = poolIndex_.find(key);
  if (it != poolIndex_.end()) return last = it->second;
  if (!pool_) pool_ = std::make_shared<std::vector<std::string>>(1);
  auto id = static_cast<std::uint32_t>(pool_->size());
  pool_->emplace_back(key);
  poolIndex_.emplace(pool_->back(), id);
  last = id;
  return id;
}

std::optional<std::string_view> ReadingTable::pooled(std::uint32_t id) const {
  if (id == 0) return std::nullopt;
  return std::string_view((*pool_)[id]);
}

ReadingTable::Row ReadingTable::pack(const TableRow &r) {
  auto view = [](const std::optional<std::string> &t) {
    return t ? std::optional<std::string_view>(*t) : std::nullopt;
  };
  return pack(
      TableRowView{r.no, r.timeMs, view(r.value), view(r.unit), view(r.vRange), view(r.iRange)});
}

ReadingTable::Row ReadingTable::pack(const TableRowView &r) {
  Row row{};
  row.no = r.no.value_or(0);
  row.timeMs = r.timeMs.value_or(0);
  row.flags = (r.no ? kHasNo : 0) | (r.timeMs ? kHasTime : 0);
  if (r.value) {
    std::string_view v = cut(*r.value);
    std::memcpy(row.value, v.data(), v.size());
    row.valueLen = static_cast<std::uint8_t>(v.size());
  } else {
    row.valueLen = kNoValue;
  }
  row.unit = intern(r.unit, lastPooled_[0]);
  row.vRange = intern(r.vRange, lastPooled_[1]);
  row.iRange = intern(r.iRange, lastPooled_[2]);
  return row;
}

void ReadingTable::appendRow(const TableRow &row) {
  appendPacked(pack(row));
}

void ReadingTable::appendRow(const TableRowView &row) {
  appendPacked(pack(row));
}

void ReadingTable::store(const Row &packed) {
  if (!rows_) rows_ = std::make_shared<Rows>();
  rows_->push_back(packed);
}

void ReadingTable::appendPacked(Row packed) {
  packed.state = kStateInserted;
  store(packed);
  log_.push_back({static_cast<std::uint32_t>(rows_->size()), 0, kStateInserted});
  notifyAppended(rows_->size() - 1);
}

void ReadingTable::appendRowWithState(const TableRow &row, std::uint8_t state) {
  Row packed = pack(row);
  packed.state = state;
  store(packed);
  notifyAppended(rows_->size() - 1);
}

void ReadingTable::appendRowWithState(const TableRowView &row, std::uint8_t state) {
  Row packed = pack(row);
  packed.state = state;
  store(packed);
  notifyAppended(rows_->size() - 1);
}

std::optional<std::int32_t> ReadingTable::no(std::size_t row) const {
  const Row &r = (*rows_)[row];
  if (!(r.flags & kHasNo)) return std::nullopt;
  return r.no;
}

std::optional<std::int32_t> ReadingTable::timeMs(std::size_t row) const {
  const Row &r = (*rows_)[row];
  if (!(r.flags & kHasTime)) return std::nullopt;
  return r.timeMs;
}

std::optional<std::string_view> ReadingTable::text(std::size_t row, Field f) const {
  const Row &r = (*rows_)[row];
  switch (f) {
    case Field::Value:
      if (r.valueLen == kNoValue) return std::nullopt;
      return std::string_view(r.value, r.valueLen);
    case Field::Unit:
      return pooled(r.unit);
    case Field::VRange:
      return pooled(r.vRange);
    case Field::IRange:
      return pooled(r.iRange);
    default:
      return std::nullopt;
  }
}

TableRow ReadingTable::row(std::size_t i) const {
  TableRow r;
  r.no = no(i);
  r.timeMs = timeMs(i);
  for (Field f : {Field::Value, Field::Unit, Field::VRange, Field::IRange})
    if (auto t = text(i, f)) r.text(f) = std::string(*t);
  return r;
}

TableRowView ReadingTable::view(std::size_t i) const {
  return viewOf((*rows_)[i], pool_.get());
}

TableRowView ReadingTable::viewOf(const Row &r, const std::vector<std::string> *pool) {
  auto pooledIn = [pool](std::uint32_t id) {
    return id == 0 ? std::nullopt : std::optional<std::string_view>((*pool)[id]);
  };
  TableRowView v;
  if (r.flags & kHasNo) v.no = r.no;
  if (r.flags & kHasTime) v.timeMs = r.timeMs;
  if (r.valueLen != kNoValue) v.value = std::string_view(r.value, r.valueLen);
  v.unit = pooledIn(r.unit);
  v.vRange = pooledIn(r.vRange);
  v.iRange = pooledIn(r.iRange);
  return v;
}

TableSnapshot ReadingTable::snapshot() const {
  return TableSnapshot(rows_, pool_, rowCount());
}

TableRowView TableSnapshot::view(std::size_t i) const {
  return ReadingTable::viewOf((*rows_)[i], pool_.get());
}

bool ReadingTable::sameContent(const ReadingTable &other) const {
  if (rowCount() != other.rowCount() || log_ != other.log_) return false;
  for (std::size_t i = 0; i < rowCount(); ++i)
    if (view(i) != other.view(i) || rowState(i) != other.rowState(i)) return false;
  return true;
}

void ReadingTable::setChangeLog(const std::vector<ChangeLogEntry> &log) {
  log_.clear();
  for (const ChangeLogEntry &entry : log) log_.push_back(entry);
}

void ReadingTable::clear() {
  // Snapshots keep the old rows; the table starts on new storage. Rows are never changed in
  // place, so the pool (only ever appended to) can stay shared.
  rows_.reset();
  log_.clear();
  ++generation_;
  if (suspended_)
    changedWhileSuspended_ = true;
  else
    notify([](TableObserver &o) { o.tableReset(); });
}

void ReadingTable::removeRowsFrom(std::size_t first) {
  if (first >= rowCount()) return;
  const std::size_t count = rows_->size() - first;
  if (rows_.use_count() > 1) {
    // A snapshot still walks these rows: the table goes on with a copy of the ones it keeps.
    rows_ = std::make_shared<Rows>(*rows_, first);
  } else {
    rows_->resize(first);
  }
  log_.resize(log_.size() - std::min(count, log_.size()));
  ++generation_;
  if (suspended_)
    changedWhileSuspended_ = true;
  else
    notify([](TableObserver &o) { o.tableReset(); });
}

void ReadingTable::replaceWith(ReadingTable &&other) {
  rows_ = std::move(other.rows_);
  log_ = std::move(other.log_);
  pool_ = std::move(other.pool_);
  poolIndex_ = std::move(other.poolIndex_);
  other.clear();
  other.pool_.reset();
  other.poolIndex_.clear();
  for (int i = 0; i < 3; ++i) lastPooled_[i] = other.lastPooled_[i] = 0;  // other pools now
  ++generation_;
  if (suspended_)
    changedWhileSuspended_ = true;
  else
    notify([](TableObserver &o) { o.tableReset(); });
}

template <class Call>
void ReadingTable::notify(Call call) {
  if (observer_) call(*observer_);
  for (TableObserver *o : moreObservers_) call(*o);
}

void ReadingTable::notifyAppended(std::size_t first) {
  if (suspended_)
    changedWhileSuspended_ = true;
  else
    notify([first](TableObserver &o) { o.rowsAppended(first, 1); });
}

void ReadingTable::resumeUpdates() {
  if (suspended_ > 0 && --suspended_ == 0 && changedWhileSuspended_) {
    changedWhileSuspended_ = false;
    notify([](TableObserver &o) { o.tableReset(); });
  }
}

std::size_t ReadingTable::approximateBytes() const {
  std::size_t bytes = rowCount() * sizeof(Row) + log_.size() * sizeof(ChangeLogEntry);
  if (pool_)
    for (const auto &s : *pool_) bytes += sizeof(std::string) + s.capacity() + 48;
  return bytes;
}

}  // namespace vexal
