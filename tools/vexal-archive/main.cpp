// vexal-archive: the insulation test archive from a shell — assets, importing the runs of
// data files as tests, an asset's history, export and the archive's check.

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "ArchiveOptions.h"
#include "ArchiveOutput.h"
#include "app/RecordingOptions.h"
#include "archive/Archive.h"
#include "archive/TestJudgement.h"
#include "link/InputEcho.h"
#include "record/DataFiles.h"

namespace {

using namespace vexal;

const char kUsage[] =
    "usage: vexal-archive [--archive LOCATION] COMMAND ...\n"
    "  add-asset TAG [--name T] [--location T] [--kind machine|cable|transformer|other]\n"
    "                [--rated-kv KV] [--class A|B|F|H] [--winding older|form-wound|random-wound]\n"
    "  edit-asset TAG [the same options]\n"
    "  import FILE... --asset TAG --date YYYY-MM-DD [--temperature C] [--operator NAME]\n"
    "                 [--purpose acceptance|routine|after-repair|troubleshooting] [--run-gap S]\n"
    "  assets [--search TEXT] [--format tsv|jsonl]\n"
    "  history TAG [--format tsv|csv|jsonl]\n"
    "  export TAG\n"
    "  check\n"
    "LOCATION is a SQLite file, or a PostgreSQL connection URI (postgresql://...) or keyword\n"
    "string (service=..., host=...); without --archive, $VEXAL_ARCHIVE, else\n"
    "$XDG_DATA_HOME/vexal/archive.sqlite.\n";

// Failures of a data file are said on stderr; its success message is not.
class StderrReporter : public DataFileReporter {
 public:
  void showMessage(const std::string &text) override { std::cerr << text << "\n"; }
  void showLoadFailed(const std::string &reason) override {
    std::cerr << kLoadFailedText << "\n" << reason << "\n";
  }
};

// Says a failure on stderr; the parts are written one after another.
void fail(std::initializer_list<std::string_view> parts) {
  std::fflush(stdout);
  std::cerr << "vexal-archive: ";
  for (std::string_view part : parts) std::cerr << part;
  std::cerr << "\n";
}

bool out(const std::string &text) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

int addAsset(Archive &archive, const AddAssetCommand &c) {
  archive.addAsset(c.asset);
  return 0;
}

int editAsset(Archive &archive, const EditAssetCommand &c) {
  archive.editAsset(c.tag, c.change);
  return 0;
}

// Each run of each file becomes one test. A file that cannot be read stores nothing; the
// other files are still imported, and the status says that one failed.
int importFiles(Archive &archive, const ImportCommand &c) {
  if (!archive.findAsset(c.tag)) {
    fail({"no asset '", echoInput(c.tag), "' in the archive (add it with add-asset)"});
    return kExitFailed;
  }
  int status = 0;
  for (const std::string &file : c.files) {
    ReadingTable table;
    StderrReporter reporter;
    if (!LoadFileToTable(file, table, reporter)) {
      fail({"'", echoInput(file, 200), "' not imported"});
      status = kExitFailed;
      continue;
    }
    const std::vector<TestReadings> runs = testReadingsOfTable(table, c.runGapMs);
    if (runs.empty()) fail({"'", echoInput(file, 200), "' holds no insulation run"});
    // A file's runs are stored together, or none of them.
    std::vector<NewTest> tests;
    for (const TestReadings &run : runs) tests.push_back({c.tag, c.particulars, run});
    for (const StoreOutcome &stored : archive.storeTests(tests)) {
      std::string line = stored.id;
      line += stored.alreadyStored ? "\talready stored\n" : "\tstored\n";
      out(line);
    }
    std::fflush(stdout);
  }
  return status;
}

int listAssets(Archive &archive, const AssetsCommand &c) {
  out(assetsHeader(c.format));
  for (const AssetSummary &a : archive.assets(c.search)) out(assetLine(a, c.format));
  return 0;
}

bool knownAsset(Archive &archive, const std::string &tag) {
  if (archive.findAsset(tag)) return true;
  fail({"no asset '", echoInput(tag), "' in the archive"});
  return false;
}

int showHistory(Archive &archive, const HistoryCommand &c) {
  if (!knownAsset(archive, c.tag)) return kExitFailed;
  out(historyHeader(c.format));
  for (const TestSummary &t : archive.history(c.tag)) out(historyLine(t, c.format));
  return 0;
}

int exportTests(Archive &archive, const ExportCommand &c) {
  if (!knownAsset(archive, c.tag)) return kExitFailed;
  for (const TestSummary &t : archive.allTests(c.tag))
    out(exportLine(t, archive.testReadings(t.id).value_or(TestReadings{})));
  return 0;
}

int checkArchive(Archive &archive) {
  const CheckReport report = archive.check();
  for (const std::string &problem : report.problems) fail({problem});
  // What the server did not allow is named, and the archive is then not called whole.
  for (const std::string &skipped : report.notChecked) out("not checked: " + skipped + "\n");
  const std::string checked = std::to_string(report.testsChecked) + " tests checked; ";
  if (!report.whole())
    out(checked + "the archive is NOT whole\n");
  else if (!report.complete())
    out(checked + "no fault found in what could be checked; the rest was not checked\n");
  else
    out(checked + "the archive is whole\n");
  return report.whole() ? 0 : kExitFailed;
}

int run(Archive &archive, const ArchiveCommand &command) {
  struct Runner {
    Archive &a;
    int operator()(const AddAssetCommand &c) { return addAsset(a, c); }
    int operator()(const EditAssetCommand &c) { return editAsset(a, c); }
    int operator()(const ImportCommand &c) { return importFiles(a, c); }
    int operator()(const AssetsCommand &c) { return listAssets(a, c); }
    int operator()(const HistoryCommand &c) { return showHistory(a, c); }
    int operator()(const ExportCommand &c) { return exportTests(a, c); }
    int operator()(const CheckCommand &) { return checkArchive(a); }
  };
  return std::visit(Runner{archive}, command);
}

int archiveMain(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string &arg : args) {
    if (arg == "--") break;
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    }
  }
  auto parsed = parseArchiveOptions(args);
  if (auto *wrong = std::get_if<std::string>(&parsed)) {
    fail({*wrong});
    std::cerr << kUsage;
    return kExitUsage;
  }
  const auto &options = std::get<ArchiveToolOptions>(parsed);
  int status = 0;
  try {
    auto archive = Archive::open(chooseArchiveLocation(options.archive));
    status = run(*archive, options.command);
  } catch (const EArchiveError &e) {
    fail({e.what()});
    status = kExitFailed;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::cerr << "vexal-archive: cannot write to standard output\n";
    return kExitFailed;
  }
  return status;
}

}  // namespace

int main(int argc, char **argv) {
  return archiveMain(argc, argv);
}
