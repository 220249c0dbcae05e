// Guest test: vexal-log records the virtual meter on a real kernel HID stack while the cable
// is pulled out twice (once in the middle of a frame) and plugged in again. Its files must
// hold exactly the readings the meter showed while it was plugged in and read: in order,
// none twice, none from a cut frame, in each format; a logger killed with SIGKILL leaves a
// file that Open Data reads whole. Runs inside the QEMU guest (run-e2e.sh); skips elsewhere.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <iostream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"
#include "SimTest.h"
#include "common/TextEncoding.h"
#include "decode/FrameDecoder.h"
#include "link/ConnectionControl.h"
#include "record/ReadingTable.h"
#include "record/TableTextFile.h"

extern char **environ;

namespace vexal::e2e {
namespace {

std::string logToolPath() {
  if (const char *env = std::getenv("VEXAL_LOG"); env && *env) return env;
  return VEXAL_LOG_PATH;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> splitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// One running vexal-log, its standard error in a file of its own.
class Logger {
 public:
  Logger(const std::string &out, std::vector<std::string> extra, const passwd *user = nullptr)
      : out_(out), err_(out + ".stderr") {
    std::vector<std::string> argv = {logToolPath(), "--decimal", ".", "--out", out};
    argv.insert(argv.end(), extra.begin(), extra.end());
    std::vector<char *> args;
    for (std::string &a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    if (user) {
      // A user without access to the cable's device node (root's, as no udev runs).
      pid_ = fork();
      if (pid_ == 0) {
        const int fd = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(fd, 2);
        if (setgid(user->pw_gid) != 0 || setuid(user->pw_uid) != 0) _exit(99);
        execv(args[0], args.data());
        _exit(98);
      }
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Logger() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool started() const { return pid_ > 0; }
  void signal(int sig) { kill(pid_, sig); }
  // The exit status, -(signal) when a signal ended it, or nothing when it did not end in time.
  std::optional<int> wait(std::chrono::seconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > end) return std::nullopt;
      std::this_thread::sleep_for(20ms);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  std::string file() const { return readFile(out_); }
  std::string errors() const { return readFile(err_); }

 private:
  std::string out_, err_;
  pid_t pid_ = -1;
};

// A recorded reading as the files give it: number and the four texts in UTF-8.
struct Row {
  int no = 0;
  std::string value, unit, function, mode;
  bool sameReading(const Row &o) const {
    return value == o.value && unit == o.unit && function == o.function && mode == o.mode;
  }
};

std::string describe(const std::vector<Row> &rows) {
  std::string text;
  for (const Row &r : rows)
    text += "\n  " + std::to_string(r.no) + " " + r.value + " " + r.unit + " | " + r.function +
            " | " + r.mode;
  return text;
}

// The text data format, read by Open Data's own reader: every line must read.
std::vector<Row> tsvRows(const std::string &bytes, std::string &trouble) {
  ReadingTable table;
  const TextReadResult result = appendTableText(bytes, table);
  if (!result.ok)
    trouble = "line " + std::to_string(result.failedLine) + " does not read: " + result.why;
  std::vector<Row> rows;
  for (std::size_t i = 0; i < table.rowCount(); ++i) {
    const TableRowView v = table.view(i);
    rows.push_back({v.no.value_or(-1), cp936ToUtf8(v.value.value_or("")),
                    cp936ToUtf8(v.unit.value_or("")), cp936ToUtf8(v.vRange.value_or("")),
                    cp936ToUtf8(v.iRange.value_or(""))});
  }
  return rows;
}

// The report's CSV: a byte-order mark, the column titles, six plain fields a line (the
// meter's texts hold no comma or quote with '.' as the decimal separator).
std::vector<Row> csvRows(const std::string &bytes, std::string &trouble) {
  std::vector<Row> rows;
  if (bytes.rfind("\xEF\xBB\xBF", 0) != 0) trouble = "no byte-order mark";
  const auto lines = splitLines(bytes.substr(std::min<std::size_t>(3, bytes.size())));
  if (lines.empty() || lines[0] != "No,Time,Value,Unit,Function,Remark") trouble = "header";
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> f;
    std::istringstream in(lines[i]);
    std::string field;
    while (std::getline(in, field, ',')) f.push_back(field);
    if (f.size() != 6) {
      trouble = "line " + std::to_string(i + 1) + ": " + lines[i];
      break;
    }
    rows.push_back({std::atoi(f[0].c_str()), f[2], f[3], f[4], f[5]});
  }
  return rows;
}

// One JSON object per line with the six keys in order.
std::vector<Row> jsonlRows(const std::string &bytes, std::string &trouble) {
  static const std::regex line(
      R"re(\{"no":(\d+),"time":"\d\d:\d\d:\d\d\.\d\d\d","value":"([^"]*)","unit":"([^"]*)",)re"
      R"re("function":"([^"]*)","mode":"([^"]*)"\})re");
  std::vector<Row> rows;
  for (const std::string &l : splitLines(bytes)) {
    std::smatch m;
    if (!std::regex_match(l, m, line)) {
      trouble = "line " + std::to_string(rows.size() + 1) + ": " + l;
      break;
    }
    rows.push_back({std::stoi(m[1]), m[2], m[3], m[4], m[5]});
  }
  return rows;
}

// The readings the meter showed, frame by frame, while plugged in: one list per plug-in,
// decoded in the order sent by one decoder (only frames that show a main digit are
// recorded). Only the first `until` events count.
std::vector<std::vector<Row>> shownWhilePlugged(const std::vector<std::string> &all,
                                                std::size_t until) {
  const std::vector<std::string> events(all.begin(), all.begin() + std::min(until, all.size()));
  std::vector<std::vector<Row>> periods(1);
  PanelState panel;
  Reading reading;
  FrameDecoder decoder(panel, reading);
  decoder.setDecimalSeparator(".");
  for (const std::string &e : events) {
    if (e.rfind("unplugged", 0) == 0) {
      periods.emplace_back();
    } else if (const auto frame = wholeFrameSent(e)) {
      // A frame cut off before its closing report comes right after "unplugged": a logger
      // that read all its bytes records it once the cable is back, as its plug-in's first.
      const FrameOutcome outcome = decoder.ShowDataKorv(*frame);
      if (outcome.recordReading)
        periods.back().push_back({0, cp936ToUtf8(reading.ValueText), cp936ToUtf8(reading.UnitText),
                                  cp936ToUtf8(reading.FunctionText),
                                  cp936ToUtf8(reading.ModeText)});
    }
  }
  return periods;
}

// How many readings of a plug-in may be missing at its start (the link re-opens up to a
// second after the plug-in; the frame under way then is cut) and at its end (the frame under
// way as the cable goes, or as the logger ends).
struct Edges {
  std::size_t start = 3, end = 2;
};

// Whether `rows[begin, end)` is `shown[from, from + n)` for some `from` that misses at most
// the edges' readings at the start and the end of the plug-in.
bool contiguousPart(const std::vector<Row> &rows, std::size_t begin, std::size_t end,
                    const std::vector<Row> &shown, Edges edges) {
  const std::size_t n = end - begin;
  if (n + edges.start + edges.end < shown.size() || n > shown.size()) return false;
  for (std::size_t from = 0; from <= edges.start && from + n <= shown.size(); ++from) {
    if (shown.size() - (from + n) > edges.end) continue;
    bool same = true;
    for (std::size_t i = 0; i < n && same; ++i) same = rows[begin + i].sameReading(shown[from + i]);
    if (same) return true;
  }
  return false;
}

// The rows are the readings of each plug-in in turn, each plug-in's readings contiguous
// (none missing, none twice) but for those its edges may lose.
bool matchesPlugIns(const std::vector<Row> &rows, const std::vector<std::vector<Row>> &periods,
                    Edges edges = {}, std::size_t begin = 0, std::size_t period = 0) {
  if (period + 1 == periods.size())
    return contiguousPart(rows, begin, rows.size(), periods[period], edges);
  for (std::size_t split = begin; split <= rows.size(); ++split)
    if (contiguousPart(rows, begin, split, periods[period], edges) &&
        matchesPlugIns(rows, periods, edges, split, period + 1))
      return true;
  return false;
}

std::string eventLines(const std::vector<std::string> &events) {
  std::string text;
  for (const std::string &e : events) text += "\n  " + e.substr(0, 60);
  return text;
}

std::string describePeriods(const std::vector<std::vector<Row>> &periods) {
  std::string text;
  for (std::size_t p = 0; p < periods.size(); ++p)
    text += "\nplug-in " + std::to_string(p + 1) + ":" + describe(periods[p]);
  return text;
}

class LogOnHidraw : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    if (IsSkipped()) return;
    char pattern[] = "/tmp/vexal-log-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    chmod(dir_.c_str(), 0777);
  }
  void closeProgram() override {}
  std::string path(const std::string &name) const { return dir_ + "/" + name; }

  std::string dir_;
};

// The meter sends a frame every 700 ms, slower than the link's 500 ms hold after each decoded
// frame, so while the cable is plugged in and read no frame is missed. The cable reports every
// 40 ms (a frame still comes in three reports). Each report is handed over to each reader's
// event loop on its own: at 20 ms, five readers on the guest's one emulated processor, which
// a busy host slows many times over, fell so far behind that they lost reports before any
// link step had stopped them.
//
// A logger can only record what the meter sends once it has the cable open: on a busy host the
// emulated processor is many times slower, and a logger may take seconds to start or to open a
// re-plugged cable. So at the start and at each re-plug the meter is held (it sends only
// reports without data) until the loggers have had time to open the cable, and the readings
// counted are those shown from then on.
TEST_F(LogOnHidraw, RecordsEveryReadingShownWhilePluggedInThroughTwoReplugs) {
  guard_ = std::make_unique<HangGuard>(std::chrono::seconds(300));
  SimProcess &sim = startSim(
      {"--scenario", "pi", "--loop", "--repeats", "1", "--period-ms", "700", "--poll-ms", "40"});
  ASSERT_TRUE(sim.started());
  ASSERT_TRUE(sim.command("stop"));
  ASSERT_GE(sim.waitForEvent("stopped", 10s), 0);
  // Several loggers at once read the same cable, each hidraw reader getting every report.
  Logger tsv(path("run.tsv"), {});
  Logger csv(path("run.csv"), {"--format", "csv", "--duration", "45"});
  Logger jsonl(path("run.jsonl"), {"--format", "jsonl"});
  Logger counted(path("five.jsonl"), {"--format", "jsonl", "--count", "5"});
  Logger killed(path("killed.tsv"), {});
  ASSERT_TRUE(tsv.started() && csv.started() && jsonl.started() && counted.started() &&
              killed.started());
  // The csv logger ends by itself, whenever its --duration is up: what the meter showed is
  // taken up to that moment.
  auto csvEnd = std::async(std::launch::async, [&] {
    const std::optional<int> status = csv.wait(300s);
    return std::make_pair(status, sim.events().size());
  });
  // Each logger sends the line rate as it connects, and reads from then on.
  std::size_t from = 0;
  for (int connected = 0; connected < 5; ++connected) {
    const int feature = sim.waitForEvent("feature", 60s, from);
    ASSERT_GE(feature, 0) << connected << " loggers connected" << eventLines(sim.events());
    from = static_cast<std::size_t>(feature) + 1;
  }
  ASSERT_TRUE(sim.command("resume"));

  using std::this_thread::sleep_for;
  // Pulled out, then plugged in again with the meter held until the loggers have had time to
  // open the cable again (within one second of the plug-in, or at the watchdog's next tick).
  auto replug = [&](const std::string &unplug) {
    std::size_t at = sim.events().size();
    if (unplug == "unplug") {
      // Pulled out between frames. A frame whose 22 bytes had all arrived is a whole reading
      // even when the report that would have closed it never came, and the loggers record
      // it; the sim counts a frame as sent only once that report went out.
      ASSERT_TRUE(sim.command("stop"));
      sleep_for(300ms);
    }
    ASSERT_TRUE(sim.command(unplug));
    ASSERT_GE(sim.waitForEvent("unplugged", 10s, at), 0) << eventLines(sim.events());
    ASSERT_TRUE(sim.command("stop"));
    sleep_for(1500ms);
    at = sim.events().size();
    ASSERT_TRUE(sim.command("plug"));
    ASSERT_GE(sim.waitForEvent("plugged", 10s, at), 0);
    ASSERT_GE(sim.waitForEvent("feature", 60s, at), 0) << "a logger opened it again";
    sleep_for(3s);
    ASSERT_TRUE(sim.command("resume"));
  };
  sleep_for(6s);
  from = sim.events().size();
  replug("unplug-mid-frame");
  if (HasFatalFailure()) return;
  EXPECT_GE(sim.waitForEvent("unplugged mid-frame", 0s, from), 0) << "cut in the middle";
  sleep_for(3s);
  const std::size_t killBegins = sim.events().size();
  killed.signal(SIGKILL);
  EXPECT_EQ(killed.wait(), -SIGKILL);
  const std::size_t killedAt = sim.events().size();
  sleep_for(2s);
  replug("unplug");
  if (HasFatalFailure()) return;

  // The meter stops before the loggers end, so that what they must hold does not depend on
  // how long each takes to end on a busy processor. Then they end by their own --duration,
  // by SIGTERM and by SIGINT, each with status 0 and a whole file.
  sleep_for(4s);
  from = sim.events().size();
  ASSERT_TRUE(sim.command("stop"));
  ASSERT_GE(sim.waitForEvent("stopped", 10s, from), 0);
  const auto [csvStatus, csvEnded] = csvEnd.get();
  EXPECT_EQ(csvStatus, 0) << "--duration 45 ends the run\n" << csv.errors();
  tsv.signal(SIGTERM);
  EXPECT_EQ(tsv.wait(), 0) << tsv.errors();
  jsonl.signal(SIGINT);
  EXPECT_EQ(jsonl.wait(), 0) << jsonl.errors();
  EXPECT_EQ(counted.wait(1s), 0) << "--count 5 ended the run long ago\n" << counted.errors();
  const std::vector<std::string> events = sim.events();
  const auto periods = shownWhilePlugged(events, events.size());
  ASSERT_EQ(periods.size(), 3u) << "two re-plugs";
  for (const auto &p : periods) ASSERT_GE(p.size(), 5u) << describePeriods(periods);

  struct Output {
    const char *name;
    std::vector<Row> (*read)(const std::string &, std::string &);
    const Logger &logger;
    std::size_t ended;
  };
  const std::size_t ended = events.size();
  for (const Output &o : {Output{"tsv", tsvRows, tsv, ended}, Output{"csv", csvRows, csv, csvEnded},
                          Output{"jsonl", jsonlRows, jsonl, ended}}) {
    SCOPED_TRACE(o.name);
    std::string trouble;
    const std::vector<Row> rows = o.read(o.logger.file(), trouble);
    EXPECT_EQ(trouble, "");
    EXPECT_EQ(o.logger.errors(), "") << "nothing on stderr but warnings and errors";
    for (std::size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(rows[i].no, int(i + 1));
    const auto shown = shownWhilePlugged(events, o.ended);
    std::cout << o.name << ": " << rows.size() << " rows; the meter showed";
    for (std::size_t p = 0; p < shown.size(); ++p)
      std::cout << (p ? " + " : " ") << shown[p].size();
    std::cout << " readings in its plug-ins while it ran\n";
    EXPECT_TRUE(matchesPlugIns(rows, shown))
        << "file:" << describe(rows) << describePeriods(shown) << "\nsim:" << eventLines(events);
  }

  std::string trouble;
  const std::vector<Row> five = jsonlRows(counted.file(), trouble);
  EXPECT_EQ(trouble, "");
  ASSERT_EQ(five.size(), 5u);
  const std::vector<Row> firstShown(periods[0].begin(), periods[0].begin() + 7);
  EXPECT_TRUE(contiguousPart(five, 0, 5, firstShown, {}))
      << describe(five) << describePeriods(periods);

  // SIGKILL in the middle of the second plug-in: every line the file holds reads, and they
  // are the readings up to then.
  const std::string killedBytes = killed.file();
  ASSERT_FALSE(killedBytes.empty());
  EXPECT_EQ(killedBytes.back(), '\n') << "no half line at the end";
  const std::vector<Row> killedRows = tsvRows(killedBytes, trouble);
  EXPECT_EQ(trouble, "");
  EXPECT_EQ(killedRows.size() + 1, splitLines(killedBytes).size()) << "every line a row";
  const auto untilKill = shownWhilePlugged(events, killedAt);
  std::cout << "killed with SIGKILL: " << killedRows.size() << " rows, " << killedBytes.size()
            << " bytes, all read back by Open Data's reader; the meter had shown "
            << untilKill[0].size() << " + " << untilKill[1].size() << " readings by then\n";
  ASSERT_EQ(untilKill.size(), 2u);
  // The frames the meter finished while the kill was on its way may or may not have made it.
  Edges killEdges;
  for (std::size_t e = killBegins; e < killedAt; ++e)
    if (events[e].rfind("frame ", 0) == 0) ++killEdges.end;
  EXPECT_TRUE(matchesPlugIns(killedRows, untilKill, killEdges))
      << "file:" << describe(killedRows) << describePeriods(untilKill);
}

TEST_F(LogOnHidraw, RefusesAnExistingFileAndAppendsWithoutASecondHeader) {
  SimProcess &sim = startSim({"--scenario", "steady", "--period-ms", "700"});
  ASSERT_TRUE(sim.started());
  const std::string file = path("kept.tsv");
  {
    Logger first(file, {"--count", "2"});
    EXPECT_EQ(first.wait(20s), 0) << first.errors();
  }
  const std::string before = readFile(file);
  Logger refused(file, {"--count", "1"});
  EXPECT_EQ(refused.wait(), 1);
  EXPECT_NE(refused.errors().find("exists"), std::string::npos) << refused.errors();
  EXPECT_EQ(readFile(file), before) << "an existing file is never replaced";

  Logger appended(file, {"--count", "3", "--append"});
  EXPECT_EQ(appended.wait(20s), 0) << appended.errors();
  const std::string after = readFile(file);
  ASSERT_EQ(after.rfind(before, 0), 0u) << "continued after what it held";
  ReadingTable table;
  EXPECT_TRUE(appendTableText(after, table).ok);
  EXPECT_EQ(table.rowCount(), 5u) << "one header, 2 + 3 rows";
  EXPECT_EQ(table.no(2), 1) << "a new run numbers from 1 again";
}

TEST_F(LogOnHidraw, TheRecordLimitIsToldOnceAndTheRunGoesOn) {
  SimProcess &sim = startSim({"--scenario", "steady", "--period-ms", "700"});
  ASSERT_TRUE(sim.started());
  Logger limited(path("limited.jsonl"), {"--format", "jsonl", "--limit", "2", "--duration", "5"});
  EXPECT_EQ(limited.wait(20s), 0) << limited.errors();
  std::string trouble;
  EXPECT_EQ(jsonlRows(limited.file(), trouble).size(), 2u) << trouble;
  EXPECT_EQ(limited.errors(),
            "vexal-log: the record limit of 2 readings is reached: readings are no longer "
            "recorded (--limit N raises it)\n")
      << "one line, however many readings the limit refused";
  EXPECT_GE(sim.framesSent().size(), 5u) << "the meter went on sending";
}

TEST_F(LogOnHidraw, AUserWhoMayNotReadTheCableIsToldAboutTheUdevRule) {
  SimProcess &sim = startSim({"--scenario", "steady"});
  ASSERT_TRUE(sim.started());
  const passwd *nobody = getpwnam("nobody");
  if (!nobody) GTEST_SKIP() << "no user 'nobody'";
  Logger logger(path("denied.tsv"), {}, nobody);
  EXPECT_EQ(logger.wait(20s), 1);
  EXPECT_NE(logger.errors().find(kNoAccessText), std::string::npos) << logger.errors();
  EXPECT_NE(logger.errors().find("60-vexal-cable.rules"), std::string::npos);
  EXPECT_NE(::access(path("denied.tsv").c_str(), F_OK), 0)
      << "no header-only file left to refuse the next run";
}

}  // namespace
}  // namespace vexal::e2e
