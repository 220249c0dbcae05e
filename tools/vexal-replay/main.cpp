// vexal-replay: plays a capture of cable input reports through the same assembler, decoder
// and recorder as the program, on a virtual clock, and writes the resulting reading table.
//
//   vexal-replay [--decimal SEP] [--no-repeat] [--sampling N] [--limit N]
//                [--open FILE]... [--out FILE] [--report FILE] [--panel]
//                [--analysis [--run-gap S] [--temperature C]] [--] [CAPTURE]

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "LineInput.h"
#include "PanelJson.h"
#include "ReplayAnalysis.h"
#include "ReplayFiles.h"
#ifdef VEXAL_REPLAY_REPORTS
#include "ReplayReport.h"
#endif
#include "app/MeterSession.h"
#include "app/RecordingOptions.h"
#include "link/CaptureFormat.h"
#include "link/InputEcho.h"
#include "record/FileDescriptor.h"
#include "record/TempFileCleanup.h"

namespace {

using namespace vexal;

const char kUsage[] =
    "usage: vexal-replay [--decimal SEP] [--no-repeat] [--sampling N] [--limit N]\n"
    "                    [--open FILE]... [--out FILE] [--report FILE] [--panel]\n"
    "                    [--analysis [--run-gap S] [--temperature C]] [--] [CAPTURE]\n"
    "CAPTURE is a capture file ('-' for standard input): lines 'R hh  hh hh ...' (one\n"
    "input report), 'W ms' (time passes), blank lines and '#' comments. It may be left\n"
    "out when --open gives a file: then no frame is replayed.\n"
    "--out - writes the table to standard output; '--' ends the options.\n"
    "--report FILE writes the data report of the table: .pdf, .html, .txt or .csv.\n"
    "--analysis prints one JSON line per insulation run of the table instead of the table;\n"
    "--run-gap S (whole seconds, default 60) and --temperature C (winding temperature in\n"
    "degrees Celsius, -50 to 200) go with it.\n";

struct Options {
  RecordingOptions recording;
  std::vector<std::string> opens;
  std::optional<std::string> out;
  std::optional<std::string> report;
  bool panel = false;
  bool analysis = false;
  std::optional<std::int64_t> runGapMs;
  std::optional<double> temperatureC;
  std::optional<std::string> capture;  // none: only the --open files
};

// The wall clock as the replay sees it: virtual milliseconds from 00:00:00.000.
struct VirtualClock : Clock {
  std::uint64_t now = 0;
  std::int32_t timeOfDayMs() override { return static_cast<std::int32_t>(now % kMsPerDay); }
};

// --analysis replaces the table on standard output and goes with no other output there.
bool analysisOptionsFit(const Options &o) {
  if (!o.analysis) {
    if (o.runGapMs || o.temperatureC) {
      std::cerr << "vexal-replay: --run-gap and --temperature go with --analysis\n";
      return false;
    }
    return true;
  }
  const char *other = o.panel        ? "--panel"
                      : o.report     ? "--report"
                      : o.out == "-" ? "--out -"
                                     : nullptr;
  if (other) {
    std::cerr << "vexal-replay: --analysis cannot go with " << other << "\n";
    return false;
  }
  return true;
}

std::optional<Options> parseOptions(int argc, char **argv) {
  Options o;
  bool haveCapture = false;
  bool optionsEnded = false;
  auto value = [&](int &i) -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    const char *v = nullptr;
    if (optionsEnded && !haveCapture) {
      o.capture = arg;
      haveCapture = true;
    } else if (arg == "--" && !optionsEnded) {
      optionsEnded = true;
    } else if (optionsEnded) {
      std::cerr << "vexal-replay: unexpected argument '" << echoInput(arg) << "'\n";
      return std::nullopt;
    } else if (arg == "--no-repeat") {
      o.recording.noRepeat = true;
    } else if (arg == "--panel") {
      o.panel = true;
    } else if (arg == "--analysis") {
      o.analysis = true;
    } else if (arg == "--decimal" || arg == "--sampling" || arg == "--limit" || arg == "--open" ||
               arg == "--out" || arg == "--report" || arg == "--run-gap" ||
               arg == "--temperature") {
      if (!(v = value(i))) {
        std::cerr << "vexal-replay: " << arg << " needs a value\n";
        return std::nullopt;
      }
      if (arg == "--decimal")
        o.recording.decimal = v;
      else if (arg == "--sampling")
        o.recording.sampling = v;
      else if (arg == "--open")
        o.opens.push_back(v);
      else if (arg == "--out")
        o.out = v;
      else if (arg == "--report")
        o.report = v;
      else if (arg == "--run-gap") {
        if (!(o.runGapMs = parseRunGap(v))) {
          std::cerr << "vexal-replay: --run-gap '" << echoInput(v)
                    << "' is not a whole number of seconds\n";
          return std::nullopt;
        }
      } else if (arg == "--temperature") {
        if (!(o.temperatureC = parseTemperature(v))) {
          std::cerr << "vexal-replay: --temperature '" << echoInput(v)
                    << "' is not a decimal number from -50 to 200\n";
          return std::nullopt;
        }
      } else {
        std::int32_t n;
        if (!parseInt32(v, n)) {
          std::cerr << "vexal-replay: --limit '" << echoInput(v) << "' is not a whole number\n";
          return std::nullopt;
        }
        o.recording.limit = n;
      }
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      std::exit(0);
    } else if ((arg.size() > 1 && arg[0] == '-') || haveCapture) {
      std::cerr << "vexal-replay: unexpected argument '" << echoInput(arg) << "'\n";
      return std::nullopt;
    } else {
      o.capture = arg;
      haveCapture = true;
    }
  }
  if (!haveCapture && o.opens.empty()) {
    std::cerr << "vexal-replay: no capture given\n";
    return std::nullopt;
  }
#ifdef VEXAL_REPLAY_REPORTS
  if (o.report && !isReportFileName(*o.report)) {
    std::cerr << "vexal-replay: --report '" << *o.report
              << "': the name must end in .pdf, .html, .txt or .csv\n";
    return std::nullopt;
  }
#else
  if (o.report) {
    std::cerr << "vexal-replay: --report needs the build with the desktop program\n";
    return std::nullopt;
  }
#endif
  if (!analysisOptionsFit(o)) return std::nullopt;
  if (o.recording.decimal && o.recording.decimal->size() > kMaxDecimalBytes) {
    std::cerr << "vexal-replay: --decimal takes at most 9 bytes\n";
    return std::nullopt;
  }
  return o;
}

class Replay {
 public:
  Replay(MeterSession &session, VirtualClock &clock, bool panel)
      : session_(session), clock_(clock), panel_(panel) {}

  // Plays the capture; returns false (after saying why) on a line it cannot parse. A read
  // error ends the loop early: the caller asks `in` for it.
  bool run(LineInput &in) {
    std::string line;
    for (std::uint64_t lineNo = 1; in.next(line); ++lineNo) {
      CaptureItem item = parseCaptureLine(line);
      if (auto *error = std::get_if<CaptureError>(&item)) {
        std::fflush(stdout);
        std::cerr << "line " << lineNo << ": " << error->what << "\n";
        return false;
      }
      runDueTicks();
      if (auto *report = std::get_if<CaptureReport>(&item))
        play(*report);
      else if (auto *wait = std::get_if<CaptureWait>(&item))
        clock_.now += wait->ms;
    }
    return true;
  }

 private:
  // The sampling timer ticks at every whole second of virtual time.
  void runDueTicks() {
    while (nextTick_ <= clock_.now) {
      session_.recorder.SampInterTimeTimer();
      nextTick_ += 1000;
    }
  }

  void play(const CaptureReport &report) {
    const ReportOutcome outcome = session_.ReadLusk(report.reportId, report.data.data(),
                                                    static_cast<std::uint16_t>(report.data.size()));
    if (panel_ && outcome.frameDecoded) {
      std::string line = panelJson(session_.panel, session_.reading, outcome.recorded);
      line += '\n';
      std::fwrite(line.data(), 1, line.size(), stdout);
    }
    // The link holds its reading thread for 500 ms after a decoded frame.
    if (outcome.holdLink) clock_.now += 500;
    if (outcome.limitReached && !limitTold_) {
      limitTold_ = true;
      std::fflush(stdout);
      std::cerr << "vexal-replay: warning: " << recordLimitWarning(session_.recorder.MaxRecords)
                << "\n";
    }
  }

  MeterSession &session_;
  VirtualClock &clock_;
  bool panel_;
  std::uint64_t nextTick_ = 1000;
  bool limitTold_ = false;  // the record limit's warning is printed once
};

// Standard output must have taken everything: a full disk or a closed descriptor is a
// failure, not a silent loss.
bool standardOutputWritten() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  int err = errno;
  std::cerr << "vexal-replay: cannot write to standard output: " << std::strerror(err) << "\n";
  return false;
}

int replayMain(int argc, char **argv) {
  std::optional<Options> options = parseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  FileDescriptor capture(options->capture ? openCapture(*options->capture) : -1);
  if (options->capture && capture.get() < 0) {
    std::cerr << "vexal-replay: cannot open capture '" << echoInput(*options->capture, 200)
              << "': " << std::strerror(errno) << "\n";
    return kExitFailed;
  }

  VirtualClock clock;
  MeterSession session(clock);
  if (auto wrong = applyRecordingOptions(options->recording, session)) {
    std::cerr << "vexal-replay: " << *wrong << "\n";
    return kExitUsage;
  }
  for (const std::string &path : options->opens)
    if (!openDataFile(path, session.cds1)) return kExitFailed;

  if (options->capture) {
    LineInput in(capture.get());
    Replay replay(session, clock, options->panel);
    if (!replay.run(in)) return kExitUsage;
    if (in.error() != 0) {
      std::fflush(stdout);
      std::cerr << "vexal-replay: cannot read capture '" << echoInput(*options->capture, 200)
                << "': " << std::strerror(in.error()) << "\n";
      return kExitFailed;
    }
  }

  bool saved = true;
  if (options->out && *options->out != "-")
    saved = saveDataFile(*options->out, session.cds1);
  else if (!options->analysis && (options->out || (!options->panel && !options->report)))
    saved = writeTableToStdout(session.cds1);
  // The analysis comes after the table is saved, and only when it was.
  if (saved && options->analysis)
    saved = writeAnalysis(session.cds1, options->runGapMs.value_or(kDefaultRunGapMs),
                          options->temperatureC);
#ifdef VEXAL_REPLAY_REPORTS
  // The report comes after the table is saved, and only when it was.
  if (saved && options->report) saved = writeReplayReport(session.cds1, *options->report) == 0;
#endif
  if (!standardOutputWritten()) return kExitFailed;
  return saved ? 0 : kExitFailed;
}

}  // namespace

int main(int argc, char **argv) {
  vexal::installTempFileCleanup();
  return replayMain(argc, argv);
}
