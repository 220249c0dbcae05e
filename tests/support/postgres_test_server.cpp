// The ctest fixture of the archive tests: `start FOLDER FILE` starts a PostgreSQL server in
// FOLDER and writes its connection string to FILE; `stop FOLDER` stops it and removes FOLDER.
#include <cstring>
#include <fstream>
#include <iostream>

#include "support/PostgresServer.h"

int main(int argc, char **argv) {
  using vexal::test_pg::PostgresServer;
  try {
    if (argc == 4 && std::strcmp(argv[1], "start") == 0) {
      PostgresServer::stopIn(argv[2]);  // one left behind by an interrupted run
      PostgresServer server(argv[2]);
      std::ofstream(argv[3]) << server.conninfo() << "\n";
      server.detach();
      return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "stop") == 0) {
      PostgresServer::stopIn(argv[2]);
      return 0;
    }
  } catch (const std::exception &e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  std::cerr << "usage: postgres_test_server start FOLDER FILE | stop FOLDER\n";
  return 2;
}
