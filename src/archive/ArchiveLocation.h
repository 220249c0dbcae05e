#pragma once
// Where the archive is: a SQLite file (the default, one PC) or a PostgreSQL database named by
// a connection URI ("postgresql://…", "postgres://…") or a libpq keyword string
// ("service=…", "host=… dbname=…"), so a team shares one archive on its server.

#include <optional>
#include <string>
#include <string_view>

namespace vexal {

enum class ArchiveEngineKind { Sqlite, Postgres };

struct ArchiveLocation {
  ArchiveEngineKind engine = ArchiveEngineKind::Sqlite;
  std::string text;  // the file path, or the connection string as given
  bool operator==(const ArchiveLocation &) const = default;
};

// The engine a location names: PostgreSQL for a URI or a keyword string, else a file.
ArchiveLocation archiveLocation(std::string_view text);

// The location to use: `option` (--archive), else $VEXAL_ARCHIVE, else the default file
// $XDG_DATA_HOME/vexal/archive.sqlite (~/.local/share/vexal/archive.sqlite when unset).
ArchiveLocation chooseArchiveLocation(const std::optional<std::string> &option);

// The default file alone (for display).
std::string defaultArchiveFile();

// The location as it may be shown: any password in a connection string replaced by "****".
std::string describeLocation(const ArchiveLocation &location);

}  // namespace vexal
