// The archive on SQLite: one file, written ahead (WAL) with every commit synced, foreign keys
// enforced, write transactions begun IMMEDIATE so that two writers wait for each other.

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "archive/ArchiveEngine.h"

namespace vexal {

namespace {

// "VEXL": marks a SQLite file as a Vexal archive in its header.
constexpr int kApplicationId = 0x5645584C;
// How long a writer waits for another one before giving up.
constexpr int kBusyTimeoutMs = 60'000;
// How often a waiting writer looks again (and sees a cancel).
constexpr int kBusyStepMs = 10;
constexpr char kSqliteHeader[] = "SQLite format 3";  // with its NUL: 16 bytes

class SqliteEngine : public ArchiveEngine {
 public:
  explicit SqliteEngine(const std::string &path) : path_(path) {}
  ~SqliteEngine() override {
    for (auto &[sql, stmt] : statements_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }

  void open() {
    const bool exists = std::filesystem::exists(path_);
    if (exists)
      refuseForeignFile();
    else if (auto parent = std::filesystem::path(path_).parent_path(); !parent.empty()) {
      std::error_code ec;
      std::filesystem::create_directories(parent, ec);
      if (ec) fail("cannot create the folder '" + parent.string() + "': " + ec.message());
    }
    const int flags = SQLITE_OPEN_READWRITE | (exists ? 0 : SQLITE_OPEN_CREATE);
    if (sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr) != SQLITE_OK)
      fail("cannot open: " + std::string(db_ ? sqlite3_errmsg(db_) : "out of memory"));
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_handler(db_, &SqliteEngine::waitForOtherWriter, this);
    refuseForeignDatabase();
    // Only now is anything written to the file.
    script("PRAGMA foreign_keys = ON; PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL;");
    if (applicationId() == 0) {
      std::string pragma = "PRAGMA application_id = ";
      pragma += std::to_string(kApplicationId);
      script(pragma);
    }
  }

  ArchiveEngineKind kind() const override { return ArchiveEngineKind::Sqlite; }
  std::string where() const override { return path_; }

  std::vector<SqlRow> query(std::string_view sql, const std::vector<SqlValue> &params) override {
    sqlite3_stmt *stmt = prepared(sql);
    for (std::size_t i = 0; i < params.size(); ++i) bind(stmt, sql, i + 1, params[i]);
    std::vector<SqlRow> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) rows.push_back(row(stmt));
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE) failed(sql, rc);
    return rows;
  }

  void script(std::string_view sql) override {
    char *message = nullptr;
    const int rc = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
      std::string text = message ? message : sqlite3_errstr(rc);
      sqlite3_free(message);
      fail(text + " (in: " + excerpt(sql) + ")");
    }
  }

  void begin() override { script("BEGIN IMMEDIATE"); }
  void commit() override { script("COMMIT"); }
  void rollback() noexcept override {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }

  // sqlite3_interrupt stops a running statement but not the wait for another program's write
  // lock, so that wait looks at a flag of its own; once cancelled, the engine gives up every
  // later wait at once too (it is cancelled only as the program closes).
  void cancel() noexcept override {
    cancelled_ = true;
    sqlite3_interrupt(db_);
  }

  void checkIntegrity(CheckReport &report) override {
    for (const SqlRow &r : query("PRAGMA integrity_check", {}))
      if (auto text = sqlText(r.at(0)); text && *text != "ok") report.problems.push_back(*text);
    for (const SqlRow &r : query("PRAGMA foreign_key_check", {}))
      report.problems.push_back("a row of " + sqlText(r.at(0)).value_or("?") +
                                " refers to a missing row of " + sqlText(r.at(2)).value_or("?"));
  }

 private:
  [[noreturn]] void fail(const std::string &what) const {
    throw EArchiveError("archive '" + path_ + "': " + what);
  }

  static std::string excerpt(std::string_view sql) {
    std::string text(sql.substr(0, 60));
    for (char &c : text)
      if (c == '\n') c = ' ';
    return sql.size() > 60 ? text + "…" : text;
  }

  [[noreturn]] void failed(std::string_view sql, int rc) const {
    if ((rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB)
      fail("the file is damaged; it is left as it is (" + std::string(sqlite3_errmsg(db_)) + ")");
    fail(std::string(sqlite3_errmsg(db_)) + " (in: " + excerpt(sql) + ")");
  }

  // A file that is not a SQLite database is refused before SQLite may write to it.
  void refuseForeignFile() const {
    std::ifstream in(path_, std::ios::binary);
    if (!in) fail("cannot read the file");
    char header[16] = {};
    in.read(header, sizeof header);
    if (in.gcount() == 0) return;  // an empty file becomes a new archive
    if (in.gcount() < 16 || std::string_view(header, 16) != std::string_view(kSqliteHeader, 16))
      fail("not a Vexal archive (not a SQLite database); it is left as it is");
  }

  std::int64_t applicationId() {
    return sqlInt(query("PRAGMA application_id", {}).at(0).at(0)).value_or(0);
  }

  // Another program's SQLite database: its own application id, or tables without ours.
  void refuseForeignDatabase() {
    const std::int64_t id = applicationId();
    const auto tables = sqlInt(query("SELECT count(*) FROM sqlite_schema", {}).at(0).at(0));
    if (id == kApplicationId || (id == 0 && tables.value_or(0) == 0)) return;
    fail("not a Vexal archive (a database of another program); it is left as it is");
  }

  sqlite3_stmt *prepared(std::string_view sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second;
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) failed(sql, rc);
    return statements_.emplace(std::string(sql), stmt).first->second;
  }

  void bind(sqlite3_stmt *stmt, std::string_view sql, std::size_t n, const SqlValue &v) {
    std::string name = "$";
    name += std::to_string(n);
    const int at = sqlite3_bind_parameter_index(stmt, name.c_str());
    if (at == 0) return;  // a value the statement does not use
    int rc = SQLITE_OK;
    if (std::holds_alternative<std::monostate>(v))
      rc = sqlite3_bind_null(stmt, at);
    else if (auto *i = std::get_if<std::int64_t>(&v))
      rc = sqlite3_bind_int64(stmt, at, *i);
    else if (auto *d = std::get_if<double>(&v))
      rc = sqlite3_bind_double(stmt, at, *d);
    else if (auto *s = std::get_if<std::string>(&v))
      rc = sqlite3_bind_text64(stmt, at, s->data(), s->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    else if (auto *b = std::get_if<SqlBlob>(&v))
      rc = sqlite3_bind_blob64(stmt, at, b->bytes.data(), b->bytes.size(), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) failed(sql, rc);
  }

  static SqlRow row(sqlite3_stmt *stmt) {
    SqlRow r;
    const int columns = sqlite3_column_count(stmt);
    r.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
          r.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(stmt, c)));
          break;
        case SQLITE_FLOAT:
          r.emplace_back(sqlite3_column_double(stmt, c));
          break;
        case SQLITE_TEXT: {
          const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
          r.emplace_back(
              std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, c))));
          break;
        }
        case SQLITE_BLOB: {
          const auto *data = static_cast<const char *>(sqlite3_column_blob(stmt, c));
          const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, c));
          r.emplace_back(SqlBlob{data ? std::string(data, size) : std::string()});
          break;
        }
        default:
          r.emplace_back(std::monostate{});
      }
    }
    return r;
  }

  std::string path_;
  // Called by SQLite while another connection holds the lock: 1 to try again, 0 to give up.
  static int waitForOtherWriter(void *self, int attempts) {
    if (static_cast<SqliteEngine *>(self)->cancelled_ || attempts * kBusyStepMs >= kBusyTimeoutMs)
      return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyStepMs));
    return 1;
  }

  sqlite3 *db_ = nullptr;
  std::atomic<bool> cancelled_ = false;
  std::map<std::string, sqlite3_stmt *, std::less<>> statements_;
};

}  // namespace

std::unique_ptr<ArchiveEngine> connectSqlite(const std::string &path) {
  auto engine = std::make_unique<SqliteEngine>(path);
  engine->open();
  return engine;
}

}  // namespace vexal
