// vexal-log: records the meter without a window. Finds the cable as "Connect" does, records
// under the window's rules and writes each recorded row to FILE as it is recorded.
//
//   vexal-log [--no-repeat] [--sampling N] [--limit N] [--decimal SEP]
//             [--format tsv|csv|jsonl] [--duration S] [--count N] [--append] --out FILE|-

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "LogRun.h"
#include "app/LogSignals.h"
#include "app/RecordingOptions.h"
#include "common/ConvertError.h"
#include "link/InputEcho.h"
#include "record/Recorder.h"

namespace {

using namespace vexal;

const char kUsage[] =
    "usage: vexal-log [--no-repeat] [--sampling N] [--limit N] [--decimal SEP]\n"
    "                 [--format tsv|csv|jsonl] [--duration S] [--count N] [--append]\n"
    "                 --out FILE|-\n"
    "Records the meter on its cable without a window and writes each recorded reading to\n"
    "FILE as it is recorded ('-' for standard output). An existing FILE is only continued\n"
    "with --append. Ends at Ctrl+C or SIGTERM, after S seconds or after N readings.\n";

std::optional<std::uint64_t> positiveCount(const std::string &text) {
  std::uint64_t n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty() || n == 0)
    return std::nullopt;
  return n;
}

// Seconds, whole or with a fraction, more than 0.
std::optional<std::chrono::milliseconds> positiveSeconds(const std::string &text) {
  double s = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), s);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !(s > 0) || s > 1e9)
    return std::nullopt;
  return std::chrono::milliseconds(static_cast<long long>(std::ceil(s * 1000)));
}

// Says what is wrong and gives nothing when the arguments do not make a run.
std::optional<LogOptions> parseOptions(int argc, char **argv) {
  LogOptions o;
  bool haveOut = false;
  auto fail = [](const std::string &why) -> std::optional<LogOptions> {
    std::cerr << "vexal-log: " << why << "\n";
    return std::nullopt;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--no-repeat") {
      o.recording.noRepeat = true;
    } else if (arg == "--append") {
      o.append = true;
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg == "--decimal" || arg == "--sampling" || arg == "--limit" || arg == "--format" ||
               arg == "--duration" || arg == "--count" || arg == "--out") {
      if (i + 1 >= argc) return fail(arg + " needs a value");
      const std::string v = argv[++i];
      std::string echoed(1, '\'');
      echoed += echoInput(v);
      echoed += '\'';
      if (arg == "--decimal") {
        if (v.size() > kMaxDecimalBytes) return fail("--decimal takes at most 9 bytes");
        o.recording.decimal = v;
      } else if (arg == "--sampling") {
        try {
          intervalFromText(v);
        } catch (const EConvertError &) {
          return fail("--sampling: " + echoed + " is not a valid integer value");
        }
        o.recording.sampling = v;
      } else if (arg == "--limit") {
        std::int32_t n;
        if (!parseInt32(v, n)) return fail("--limit " + echoed + " is not a whole number");
        o.recording.limit = n;
      } else if (arg == "--format") {
        const auto format = logFormatNamed(v);
        if (!format) return fail("--format " + echoed + ": tsv, csv or jsonl");
        o.format = *format;
      } else if (arg == "--duration") {
        o.duration = positiveSeconds(v);
        if (!o.duration) return fail("--duration " + echoed + " is not a number of seconds");
      } else if (arg == "--count") {
        o.count = positiveCount(v);
        if (!o.count) return fail("--count " + echoed + " is not a whole number above 0");
      } else {
        o.out = v;
        haveOut = true;
      }
    } else {
      return fail("unexpected argument '" + echoInput(arg) + "'");
    }
  }
  if (!haveOut || o.out.empty()) return fail("--out FILE is needed ('-' for standard output)");
  return o;
}

}  // namespace

int main(int argc, char **argv) {
  // Before anything is written: a reader that has gone is a failed write ("Broken pipe").
  ignoreBrokenPipes();
  const std::optional<LogOptions> options = parseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  // The file comes first: a name that cannot be used is told before anything else happens.
  std::string why;
  std::unique_ptr<LogFile> file =
      LogFile::open(options->out, options->format, options->append, why);
  if (!file) {
    std::cerr << "vexal-log: " << why << "\n";
    return kExitFailed;
  }
  if (!file->notice().empty()) std::cerr << "vexal-log: " << file->notice() << "\n";
  const int signalFd = catchEndSignals();
  if (signalFd < 0) {
    std::cerr << "vexal-log: " << std::strerror(errno) << "\n";
    file->removeIfNoRows();
    return kExitFailed;
  }
  LogRun run(*options, *file, signalFd);
  return run.run();
}
