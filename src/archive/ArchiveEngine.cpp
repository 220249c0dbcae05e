#include "archive/ArchiveEngine.h"

namespace vexal {

std::unique_ptr<ArchiveEngine> connectArchiveEngine(const ArchiveLocation &location) {
  return location.engine == ArchiveEngineKind::Postgres ? connectPostgres(location.text)
                                                        : connectSqlite(location.text);
}

std::optional<std::int64_t> sqlInt(const SqlValue &v) {
  if (auto *i = std::get_if<std::int64_t>(&v)) return *i;
  if (auto *d = std::get_if<double>(&v)) return static_cast<std::int64_t>(*d);
  return std::nullopt;
}

std::optional<double> sqlReal(const SqlValue &v) {
  if (auto *d = std::get_if<double>(&v)) return *d;
  if (auto *i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<std::string> sqlText(const SqlValue &v) {
  if (auto *s = std::get_if<std::string>(&v)) return *s;
  if (auto *b = std::get_if<SqlBlob>(&v)) return b->bytes;
  return std::nullopt;
}

SqlValue sqlOptional(const std::optional<std::string> &text) {
  return text ? SqlValue(*text) : SqlValue();
}

SqlValue sqlOptional(const std::optional<double> &number) {
  return number ? SqlValue(*number) : SqlValue();
}

}  // namespace vexal
