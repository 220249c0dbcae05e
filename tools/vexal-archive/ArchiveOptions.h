#pragma once
// vexal-archive's command line:
//
//   vexal-archive [--archive LOCATION] COMMAND ...
//     add-asset TAG [--name T] [--location T] [--kind machine|cable|transformer|other]
//                   [--rated-kv KV] [--class A|B|F|H] [--winding older|form-wound|random-wound]
//     edit-asset TAG [the same options]
//     import FILE... --asset TAG --date YYYY-MM-DD [--temperature C] [--operator NAME]
//                    [--purpose acceptance|routine|after-repair|troubleshooting] [--run-gap S]
//     assets [--search TEXT] [--format tsv|jsonl]
//     history TAG [--format tsv|csv|jsonl]
//     export TAG
//     check

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "archive/ArchiveTypes.h"

namespace vexal {

enum class OutputFormat { Tsv, Csv, Jsonl };

struct AddAssetCommand {
  Asset asset;
};
struct EditAssetCommand {
  std::string tag;
  AssetChange change;
};
struct ImportCommand {
  std::vector<std::string> files;
  std::string tag;
  TestParticularsRecord particulars;
  std::int64_t runGapMs = 0;
};
struct AssetsCommand {
  std::string search;
  OutputFormat format = OutputFormat::Tsv;
};
struct HistoryCommand {
  std::string tag;
  OutputFormat format = OutputFormat::Tsv;
};
struct ExportCommand {
  std::string tag;
};
struct CheckCommand {};

using ArchiveCommand = std::variant<AddAssetCommand, EditAssetCommand, ImportCommand, AssetsCommand,
                                    HistoryCommand, ExportCommand, CheckCommand>;

struct ArchiveToolOptions {
  std::optional<std::string> archive;  // --archive LOCATION
  ArchiveCommand command;
};

// The options, or what is wrong with them (said as "--rated-kv 'x' is not a number").
std::variant<ArchiveToolOptions, std::string> parseArchiveOptions(
    const std::vector<std::string> &args);

}  // namespace vexal
