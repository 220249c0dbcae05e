#pragma once
// One small statement interface per engine (SQLite, PostgreSQL): run a statement with bound
// values, read its rows, begin and end a write transaction. Statements are written with $1,
// $2, … placeholders on both engines; values are always bound, never pasted into the SQL.
// Every failure is an EArchiveError naming what failed, with the engine's own message.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "archive/ArchiveLocation.h"
#include "archive/ArchiveTypes.h"

namespace vexal {

struct SqlBlob {
  std::string bytes;
  bool operator==(const SqlBlob &) const = default;
};
// NULL, an integer, a real, a text (UTF-8) or a blob.
using SqlValue = std::variant<std::monostate, std::int64_t, double, std::string, SqlBlob>;
using SqlRow = std::vector<SqlValue>;

class ArchiveEngine {
 public:
  virtual ~ArchiveEngine() = default;
  virtual ArchiveEngineKind kind() const = 0;
  // The location as it may be shown (no password).
  virtual std::string where() const = 0;

  // Runs one statement with `params` bound to $1, $2, …; returns its rows.
  virtual std::vector<SqlRow> query(std::string_view sql, const std::vector<SqlValue> &params) = 0;
  // Runs statements without parameters (schema scripts).
  virtual void script(std::string_view sql) = 0;

  // A write transaction: waits while another program writes, then holds the archive.
  virtual void begin() = 0;
  virtual void commit() = 0;
  virtual void rollback() noexcept = 0;

  // The engine's own integrity check: adds to `report` what it found wrong, and what it
  // could not check.
  virtual void checkIntegrity(CheckReport &report) = 0;

  // Asks the statement running now on another thread to stop; it then fails, and the
  // transaction it is in is rolled back. Safe to call from any thread, and never waits for
  // the server.
  virtual void cancel() noexcept = 0;
};

// Connects to (SQLite: opens or creates the file of) the location. Refuses a file that is
// not a SQLite database without writing to it.
std::unique_ptr<ArchiveEngine> connectSqlite(const std::string &path);
std::unique_ptr<ArchiveEngine> connectPostgres(const std::string &conninfo);
std::unique_ptr<ArchiveEngine> connectArchiveEngine(const ArchiveLocation &location);

// Helpers for reading rows.
std::optional<std::int64_t> sqlInt(const SqlValue &v);
std::optional<double> sqlReal(const SqlValue &v);
std::optional<std::string> sqlText(const SqlValue &v);
SqlValue sqlOptional(const std::optional<std::string> &text);
SqlValue sqlOptional(const std::optional<double> &number);

// A write transaction that rolls back unless committed.
class WriteTransaction {
 public:
  explicit WriteTransaction(ArchiveEngine &engine) : engine_(engine) { engine_.begin(); }
  ~WriteTransaction() {
    if (!done_) engine_.rollback();
  }
  void commit() {
    engine_.commit();
    done_ = true;
  }
  WriteTransaction(const WriteTransaction &) = delete;
  WriteTransaction &operator=(const WriteTransaction &) = delete;

 private:
  ArchiveEngine &engine_;
  bool done_ = false;
};

}  // namespace vexal
