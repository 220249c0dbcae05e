#include "support/PostgresServer.h"

#include <arpa/inet.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace vexal::test_pg {

namespace {

namespace fs = std::filesystem;

// The newest server binaries Debian installed.
std::string binFolder() {
  std::string best;
  for (const auto &entry : fs::directory_iterator("/usr/lib/postgresql"))
    if (fs::exists(entry.path() / "bin/initdb") && entry.path().string() > best)
      best = entry.path().string();
  if (best.empty()) throw std::runtime_error("no PostgreSQL server in /usr/lib/postgresql");
  return best + "/bin";
}

int freePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
  ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &n);
  ::close(s);
  return ntohs(a.sin_port);
}

std::string slurp(const fs::path &p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void execute(const std::string &conninfo, const std::string &sql) {
  PGconn *c = PQconnectdb(conninfo.c_str());
  std::unique_ptr<PGconn, void (*)(PGconn *)> conn(c, PQfinish);
  if (PQstatus(c) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(c));
  PGresult *r = PQexec(c, sql.c_str());
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
  const std::string message = PQresultErrorMessage(r);
  PQclear(r);
  if (!ok) throw std::runtime_error(message);
}

}  // namespace

int runAsOwner(const std::string &command) {
  const std::string line = ::geteuid() == 0 ? "runuser -u postgres -- sh -c '" + command + "'"
                                            : "sh -c '" + command + "'";
  const int status = std::system(line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PostgresServer::PostgresServer(const std::string &folder, bool durable) : folder_(folder) {
  fs::remove_all(folder_);
  fs::create_directories(folder_);
  if (::geteuid() == 0) {
    const passwd *owner = ::getpwnam("postgres");
    if (!owner) throw std::runtime_error("no user 'postgres' to run the server");
    if (::chown(folder_.c_str(), owner->pw_uid, owner->pw_gid) != 0)
      throw std::runtime_error("cannot give " + folder_ + " to postgres");
  }
  const std::string bin = binFolder();
  if (runAsOwner(bin + "/initdb -D " + folder_ +
                 "/data -A trust -U postgres -E UTF8 --locale=C "
                 "--no-sync >" +
                 folder_ + "/initdb.log 2>&1") != 0)
    throw std::runtime_error("initdb failed: " + slurp(folder_ + "/initdb.log"));
  port_ = freePort();
  settings_ = "-p " + std::to_string(port_) + " -k " + folder_ + " -c listen_addresses=127.0.0.1" +
              (durable ? "" : " -c fsync=off -c synchronous_commit=off");
  start();
}

void PostgresServer::start() {
  if (runAsOwner(binFolder() + "/pg_ctl -D " + folder_ + "/data -l " + folder_ +
                 "/server.log -w -o \"" + settings_ + "\" start >/dev/null 2>&1") != 0)
    throw std::runtime_error("the server did not start: " + slurp(folder_ + "/server.log"));
  running_ = true;
}

void PostgresServer::restart(const std::function<void(const std::string &dataFolder)> &meanwhile) {
  runAsOwner(binFolder() + "/pg_ctl -D " + folder_ + "/data -m fast -w stop >/dev/null 2>&1");
  running_ = false;
  meanwhile(folder_ + "/data");
  start();
}

PostgresServer::~PostgresServer() {
  stop();
}

std::string PostgresServer::conninfoOf(const std::string &database) const {
  return "host=127.0.0.1 port=" + std::to_string(port_) + " user=postgres dbname=" + database;
}

void PostgresServer::stop() {
  if (!running_) return;
  running_ = false;
  stopIn(folder_);
}

void PostgresServer::stopIn(const std::string &folder) {
  if (fs::exists(folder + "/data/postmaster.pid"))
    runAsOwner(binFolder() + "/pg_ctl -D " + folder + "/data -m immediate -w stop >/dev/null 2>&1");
  std::error_code ec;
  fs::remove_all(folder, ec);
}

std::string sharedServer() {
  if (const char *file = std::getenv("VEXAL_TEST_POSTGRES_FILE"); file && fs::exists(file)) {
    std::string conninfo = slurp(file);
    while (!conninfo.empty() && conninfo.back() == '\n') conninfo.pop_back();
    if (!conninfo.empty()) return conninfo;
  }
  static PostgresServer own(
      (fs::temp_directory_path() / ("vexal-pg-" + std::to_string(::getpid()))).string());
  return own.conninfo();
}

std::string freshDatabase() {
  static std::atomic<int> next{0};
  const std::string name = "t" + std::to_string(::getpid()) + "_" + std::to_string(next++);
  const std::string maintenance = sharedServer();
  execute(maintenance, "CREATE DATABASE " + name);
  // The same server, the new database.
  const auto at = maintenance.rfind("dbname=");
  return maintenance.substr(0, at) + "dbname=" + name;
}

}  // namespace vexal::test_pg
