// The archive on a PostgreSQL server, through libpq: every statement sent with its values
// bound (PQexecParams), never pasted into the SQL. The connection's settings, passwords
// included, come from the location given and libpq's own service and password files; the
// program never stores any.

#include <libpq-fe.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <system_error>
#include <thread>

#include "archive/ArchiveEngine.h"

namespace vexal {

namespace {

// Type numbers of the server's built-in types (pg_type).
constexpr Oid kBoolOid = 16, kByteaOid = 17, kNameOid = 19, kInt8Oid = 20, kInt2Oid = 21,
              kInt4Oid = 23, kTextOid = 25, kFloat4Oid = 700, kFloat8Oid = 701, kVarcharOid = 1043,
              kNumericOid = 1700;

// Types whose binary form is read here: a statement whose columns are all of them gets its
// rows in binary (a blob as its bytes, not twice as many hex digits to decode).
bool readableInBinary(Oid type) {
  switch (type) {
    case kBoolOid:
    case kByteaOid:
    case kNameOid:
    case kInt8Oid:
    case kInt2Oid:
    case kInt4Oid:
    case kTextOid:
    case kFloat4Oid:
    case kFloat8Oid:
    case kVarcharOid:
      return true;
    default:
      return false;
  }
}

// A big-endian number of `size` bytes.
std::uint64_t bigEndian(const char *bytes, int size) {
  std::uint64_t n = 0;
  for (int i = 0; i < size; ++i) n = n << 8 | static_cast<unsigned char>(bytes[i]);
  return n;
}

struct ResultDeleter {
  void operator()(PGresult *r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

std::string numberText(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Infinity" : "-Infinity";
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, end);
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

// bytea in the server's hex output: "\x0a1b…".
std::string byteaFromText(const char *text, std::size_t size) {
  std::string bytes;
  if (size < 2 || text[0] != '\\' || text[1] != 'x') return bytes;
  bytes.reserve((size - 2) / 2);
  for (std::size_t i = 2; i + 1 < size; i += 2)
    bytes += static_cast<char>(hexDigit(text[i]) * 16 + hexDigit(text[i + 1]));
  return bytes;
}

class PostgresEngine : public ArchiveEngine {
 public:
  explicit PostgresEngine(const std::string &conninfo)
      : where_(describeLocation({ArchiveEngineKind::Postgres, conninfo})) {
    conn_ = PQconnectdb(conninfo.c_str());
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
      const std::string message = serverMessage();
      PQfinish(conn_);
      conn_ = nullptr;
      fail("cannot connect: " + message);
    }
    // Notices (such as "relation already exists, skipping") are not the user's business.
    PQsetNoticeProcessor(
        conn_, [](void *, const char *) {}, nullptr);
    PQsetClientEncoding(conn_, "UTF8");
    canceller_.reset(PQgetCancel(conn_), PQfreeCancel);
  }
  ~PostgresEngine() override { PQfinish(conn_); }

  ArchiveEngineKind kind() const override { return ArchiveEngineKind::Postgres; }
  std::string where() const override { return where_; }

  std::vector<SqlRow> query(std::string_view sql, const std::vector<SqlValue> &params) override {
    std::vector<std::string> texts(params.size());
    std::vector<const char *> values(params.size());
    std::vector<int> lengths(params.size()), formats(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
      const SqlValue &v = params[i];
      if (std::holds_alternative<std::monostate>(v)) {
        values[i] = nullptr;
        continue;
      }
      if (auto *n = std::get_if<std::int64_t>(&v))
        texts[i] = std::to_string(*n);
      else if (auto *d = std::get_if<double>(&v))
        texts[i] = numberText(*d);
      else if (auto *s = std::get_if<std::string>(&v))
        texts[i] = *s;
      else if (auto *b = std::get_if<SqlBlob>(&v)) {
        texts[i] = b->bytes;
        formats[i] = 1;  // binary: the bytes as they are
      }
      values[i] = texts[i].data();
      lengths[i] = static_cast<int>(texts[i].size());
    }
    const Statement &statement = prepared(sql, static_cast<int>(params.size()));
    Result result(PQexecPrepared(conn_, statement.name.c_str(), static_cast<int>(params.size()),
                                 values.data(), lengths.data(), formats.data(),
                                 statement.binary ? 1 : 0));
    check(result.get(), sql);
    return rows(result.get());
  }

  // The request goes to the server on a connection of its own, from a thread of its own: a
  // server that does not answer holds up nobody.
  void cancel() noexcept override {
    if (!canceller_) return;
    try {
      std::thread([canceller = canceller_] {
        char error[256];
        PQcancel(canceller.get(), error, sizeof error);
      }).detach();
    } catch (const std::system_error &) {
      // No thread to spare: the statement runs to its end.
    }
  }

  void script(std::string_view sql) override {
    Result result(PQexec(conn_, std::string(sql).c_str()));
    check(result.get(), sql);
  }

  // Serialisable is not needed: each write takes the locks it needs (unique keys decide
  // between two writers of the same test).
  void begin() override { script("BEGIN"); }
  void commit() override { script("COMMIT"); }
  void rollback() noexcept override {
    if (PQtransactionStatus(conn_) != PQTRANS_IDLE) PQclear(PQexec(conn_, "ROLLBACK"));
  }

  // Every reference holds; and, through the server's amcheck extension where this role may
  // use it, every page of the archive's tables and indexes is sound and every row is in
  // its indexes. What the server does not allow is named as not checked, never passed.
  void checkIntegrity(CheckReport &report) override {
    checkReferences(report);
    try {
      script("CREATE EXTENSION IF NOT EXISTS amcheck");
    } catch (const EArchiveError &e) {
      if (!refusedByServer()) throw;
      report.notChecked.push_back(
          "the server's pages of the archive's tables and indexes "
          "(the amcheck extension cannot be used: " +
          serverReason(e) + ")");
      return;
    }
    checkPages(report);
  }

 private:
  void checkReferences(CheckReport &report) {
    const auto orphans = query(
        "SELECT (SELECT count(*) FROM tests t WHERE NOT EXISTS "
        "(SELECT 1 FROM assets a WHERE a.id = t.asset_id)), "
        "(SELECT count(*) FROM test_readings r WHERE NOT EXISTS "
        "(SELECT 1 FROM tests t WHERE t.id = r.test_id)), "
        "(SELECT count(*) FROM tests t WHERE NOT EXISTS "
        "(SELECT 1 FROM test_readings r WHERE r.test_id = t.id))",
        {});
    const char *what[] = {"tests without their asset", "readings without their test",
                          "tests without their readings"};
    for (std::size_t i = 0; i < 3; ++i)
      if (auto n = sqlInt(orphans.at(0).at(i)); n && *n > 0)
        report.problems.push_back(std::to_string(*n) + " " + what[i]);
  }

  // Each table of the archive (its TOAST data too) with verify_heapam, each of their
  // B-tree indexes with bt_index_check, every row looked for in it. Both take only the
  // locks a reader takes: writers go on meanwhile.
  void checkPages(CheckReport &report) {
    const auto relations = query(
        "SELECT c.relname, c.relkind FROM pg_catalog.pg_class c "
        "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
        "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'i') AND "
        "(c.relname = ANY ($1::text[]) OR c.oid IN (SELECT i.indexrelid FROM pg_catalog.pg_index "
        "i JOIN pg_catalog.pg_class t ON t.oid = i.indrelid WHERE t.relnamespace = n.oid AND "
        "t.relname = ANY ($1::text[]))) ORDER BY c.relkind DESC, c.relname",
        {std::string("{archive_meta,assets,asset_changes,tests,test_readings}")});
    // What the server refused, by kind and reason: the names refused.
    std::map<std::pair<bool, std::string>, std::string> refused;
    for (const SqlRow &r : relations) {
      const std::string name = sqlText(r.at(0)).value_or("");
      const bool table = sqlText(r.at(1)).value_or("") == "r";
      try {
        if (table) {
          for (const SqlRow &fault :
               query("SELECT blkno, offnum, msg FROM verify_heapam(quote_ident($1)::regclass)",
                     {name}))
            report.problems.push_back("table " + name + ", page " +
                                      std::to_string(sqlInt(fault.at(0)).value_or(-1)) + ": " +
                                      sqlText(fault.at(2)).value_or("damaged"));
        } else {
          query("SELECT bt_index_check(quote_ident($1)::regclass, true)", {name});
        }
      } catch (const EArchiveError &e) {
        // A damaged index is what the check is for; a refusal is a check not run; anything
        // else (a lost connection) is a check that failed, never a pass.
        const std::string reason = serverReason(e);
        if (failedState_.starts_with("XX")) {
          report.problems.push_back((table ? "table " : "index ") + name + ": " + reason);
        } else if (refusedByServer()) {
          std::string &names = refused[{table, reason}];
          names += (names.empty() ? "" : ", ") + name;
        } else {
          throw;
        }
      }
    }
    for (const auto &[kind, names] : refused)
      report.notChecked.push_back((kind.first ? "the pages of tables " : "the indexes ") + names +
                                  " (" + kind.second + ")");
  }

  // The last statement that failed was refused (a missing privilege, function or extension,
  // a read-only server), not run and failed.
  bool refusedByServer() const {
    for (const char *refusal : {"42", "0A", "58", "25006"})
      if (failedState_.starts_with(refusal)) return true;
    return false;
  }

  // The server's own words in a failure, without the archive's name and the statement.
  std::string serverReason(const EArchiveError &e) const {
    std::string text = e.what();
    const std::string prefix = "archive '" + where_ + "': ";
    if (text.starts_with(prefix)) text.erase(0, prefix.size());
    if (const auto at = text.find(" (in: "); at != std::string::npos) text.erase(at);
    if (text.starts_with("ERROR:  ")) text.erase(0, 8);
    return text.substr(0, text.find('\n'));  // without the server's hint
  }

  [[noreturn]] void fail(const std::string &what) const {
    throw EArchiveError("archive '" + where_ + "': " + what);
  }

  struct Statement {
    std::string name;
    bool binary = false;  // its rows come in binary
  };

  // Each statement is prepared once on the server, with its values still bound each time
  // (the server plans it once; a history or a save costs it less).
  const Statement &prepared(std::string_view sql, int params) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second;
    Statement statement;
    statement.name = "vexal_" + std::to_string(statements_.size() + 1);
    const std::string text(sql);
    Result result(PQprepare(conn_, statement.name.c_str(), text.c_str(), params, nullptr));
    check(result.get(), sql);
    Result described(PQdescribePrepared(conn_, statement.name.c_str()));
    check(described.get(), sql);
    const int columns = PQnfields(described.get());
    statement.binary = columns > 0;
    for (int c = 0; c < columns; ++c)
      statement.binary = statement.binary && readableInBinary(PQftype(described.get(), c));
    return statements_.emplace(text, std::move(statement)).first->second;
  }

  // The first line of a server's message, without its severity ("FATAL:  …").
  static std::string firstLine(std::string text) {
    text = text.substr(0, text.find('\n'));
    if (const auto at = text.find(":  "); at != std::string::npos && at < 10) text.erase(0, at + 3);
    return text;
  }

  std::string serverMessage() const {
    std::string text = conn_ ? PQerrorMessage(conn_) : "out of memory";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
  }

  void check(PGresult *result, std::string_view sql) {
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
    const char *state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    failedState_ = state ? state : "";
    if (PQstatus(conn_) == CONNECTION_BAD)
      fail("the connection to the server was lost (" + firstLine(serverMessage()) + ").");
    std::string text = result ? PQresultErrorMessage(result) : serverMessage();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::string excerpt(sql.substr(0, 60));
    for (char &c : excerpt)
      if (c == '\n') c = ' ';
    fail(text + " (in: " + excerpt + (sql.size() > 60 ? "…" : "") + ")");
  }

  static SqlValue binaryCell(const char *bytes, int size, Oid type) {
    switch (type) {
      case kInt8Oid:
      case kInt4Oid:
      case kInt2Oid: {
        const std::uint64_t n = bigEndian(bytes, size);
        const int unused = 64 - 8 * size;  // sign-extends the narrower integers
        return unused ? static_cast<std::int64_t>(n << unused) >> unused
                      : static_cast<std::int64_t>(n);
      }
      case kBoolOid:
        return std::int64_t{size > 0 && bytes[0] != 0};
      case kFloat4Oid:
        return static_cast<double>(
            std::bit_cast<float>(static_cast<std::uint32_t>(bigEndian(bytes, size))));
      case kFloat8Oid:
        return std::bit_cast<double>(bigEndian(bytes, size));
      case kByteaOid:
        return SqlBlob{std::string(bytes, static_cast<std::size_t>(size))};
      default:
        return std::string(bytes, static_cast<std::size_t>(size));
    }
  }

  static SqlValue cell(const PGresult *result, int row, int column) {
    if (PQgetisnull(result, row, column)) return std::monostate{};
    const char *text = PQgetvalue(result, row, column);
    if (PQfformat(result, column) == 1)
      return binaryCell(text, PQgetlength(result, row, column), PQftype(result, column));
    const auto size = static_cast<std::size_t>(PQgetlength(result, row, column));
    switch (PQftype(result, column)) {
      case kInt8Oid:
      case kInt4Oid:
      case kInt2Oid: {
        std::int64_t n = 0;
        std::from_chars(text, text + size, n);
        return n;
      }
      case kBoolOid:
        return std::int64_t{text[0] == 't'};
      case kFloat4Oid:
      case kFloat8Oid:
      case kNumericOid: {
        double d = 0;
        std::from_chars(text, text + size, d);  // the server writes '.', whatever the locale
        return d;
      }
      case kByteaOid:
        return SqlBlob{byteaFromText(text, size)};
      default:
        return std::string(text, size);
    }
  }

  static std::vector<SqlRow> rows(const PGresult *result) {
    std::vector<SqlRow> out;
    const int n = PQntuples(result), columns = PQnfields(result);
    out.reserve(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r) {
      SqlRow row;
      row.reserve(static_cast<std::size_t>(columns));
      for (int c = 0; c < columns; ++c) row.push_back(cell(result, r, c));
      out.push_back(std::move(row));
    }
    return out;
  }

  std::string where_;
  PGconn *conn_ = nullptr;
  std::shared_ptr<PGcancel> canceller_;
  std::string failedState_;  // SQLSTATE of the last statement that failed
  std::map<std::string, Statement, std::less<>> statements_;
};

}  // namespace

std::unique_ptr<ArchiveEngine> connectPostgres(const std::string &conninfo) {
  return std::make_unique<PostgresEngine>(conninfo);
}

}  // namespace vexal
