#pragma once
// A PostgreSQL server of the tests' own: initdb in a scratch folder (as the `postgres` user
// when the tests run as root), a port of its own on 127.0.0.1, stopped and removed at the end.
// ctest starts one for all the archive tests (the fixture `postgres_server`; the file named
// by VEXAL_TEST_POSTGRES_FILE holds its connection string); a test run by hand starts its own.

#include <functional>
#include <string>

namespace vexal::test_pg {

class PostgresServer {
 public:
  // Starts a server in `folder` (created; removed by stop()). Throws std::runtime_error with
  // the server's log when it does not start.
  explicit PostgresServer(const std::string &folder, bool durable = false);
  ~PostgresServer();
  PostgresServer(const PostgresServer &) = delete;
  PostgresServer &operator=(const PostgresServer &) = delete;

  // Connection string of its maintenance database.
  std::string conninfo() const { return conninfoOf("postgres"); }
  std::string conninfoOf(const std::string &database) const;
  void stop();
  // Stops the server (its data kept), runs `meanwhile` on its data folder, starts it again.
  void restart(const std::function<void(const std::string &dataFolder)> &meanwhile);
  // Leaves the server running after this object (the ctest fixture stops it later).
  void detach() { running_ = false; }
  // Stops the server that runs in `folder` and removes the folder.
  static void stopIn(const std::string &folder);

 private:
  void start();

  std::string folder_;
  std::string settings_;  // the server's command-line settings
  int port_ = 0;
  bool running_ = false;
};

// The server the tests use: the fixture's or one started on first use
// and stopped at exit. Returns its maintenance connection string.
std::string sharedServer();

// A new, empty database on the shared server; its connection string.
std::string freshDatabase();

// Runs a shell command as the server's owner; its exit status.
int runAsOwner(const std::string &command);

}  // namespace vexal::test_pg
