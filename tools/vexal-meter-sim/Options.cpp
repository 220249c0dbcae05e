#include "Options.h"

#include <functional>
#include <map>

namespace vexal::sim {
namespace {

bool toNumber(const std::string &text, double &out) {
  try {
    std::size_t used = 0;
    out = std::stod(text, &used);
    return used == text.size();
  } catch (const std::exception &) {
    return false;
  }
}

}  // namespace

std::string usageText() {
  return R"(Usage: vexal-meter-sim [options]
Makes a virtual "USB to Serial" meter cable appear through /dev/uhid and plays meter frames
on it at the real pace (22 bytes at 2400 baud). It sends only after the host has set the
line rate 2400 with the cable's feature report.

  --scenario NAME     built-in scenario: pi (default), steady, acv
  --repeats N         frames per scenario step (default 2)
  --capture FILE      replay a capture file (R/W lines) instead of a scenario
  --loop              start the scenario or capture again at its end
  --frames N          the meter falls silent after N frames
  --period-ms MS      from one frame to the next (default 500)
  --poll-ms MS        the cable's report interval (default 12, at least 5)
  --baud N            pace of the serial bytes (default 2400)
  --pause-ms MS       the meter stops sending once, for MS milliseconds ...
  --pause-after N     ... after N frames (default 4)
  --stop-after-ms MS  unplug the cable and exit after MS milliseconds
  --log FILE          log events (feature bytes, frames, plugs) to FILE; - = stdout
  --log-reports       log every input report as well
  --control FIFO      read commands from FIFO (created if missing)
  --serial TEXT       give the cable a serial number (Vexal then ignores it)
  --other             also plug in an unrelated HID device at start
  --help

Signals: SIGUSR1 unplugs the cable, SIGUSR2 plugs it in again, SIGINT/SIGTERM quit.
Control commands, one per line: unplug, unplug-mid-frame, plug, pause MS, stop, resume,
other-plug, other-unplug, quit.
)";
}

std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error) {
  Options o;
  using Setter = std::function<bool(const std::string &)>;
  auto number = [](auto &field, double min) {
    return Setter([&field, min](const std::string &v) {
      double d;
      if (!toNumber(v, d) || d < min) return false;
      field = static_cast<std::remove_reference_t<decltype(field)>>(d);
      return true;
    });
  };
  auto text = [](std::string &field) {
    return Setter([&field](const std::string &v) {
      field = v;
      return !v.empty();
    });
  };
  const std::map<std::string, Setter> withValue = {
      {"--scenario", text(o.scenario)},
      {"--capture", text(o.capture)},
      {"--repeats", number(o.repeats, 1)},
      {"--frames", number(o.frames, 0)},
      {"--period-ms", number(o.periodMs, 1)},
      {"--poll-ms", number(o.pollMs, 5)},
      {"--baud", number(o.baud, 300)},
      {"--pause-after", number(o.pauseAfter, 0)},
      {"--pause-ms", number(o.pauseMs, 0)},
      {"--stop-after-ms", number(o.stopAfterMs, 0)},
      {"--log", text(o.log)},
      {"--control", text(o.control)},
      {"--serial", text(o.serial)},
  };
  const std::map<std::string, bool *> flags = {{"--loop", &o.loop},
                                               {"--log-reports", &o.logReports},
                                               {"--other", &o.other},
                                               {"--help", &o.help}};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (auto f = flags.find(a); f != flags.end()) {
      *f->second = true;
      continue;
    }
    auto s = withValue.find(a);
    if (s == withValue.end()) {
      error = "unknown option " + a;
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      error = a + " needs a value";
      return std::nullopt;
    }
    if (!s->second(args[++i])) {
      error = "bad value for " + a + ": " + args[i];
      return std::nullopt;
    }
  }
  if (o.pauseAfter >= 0 && o.pauseMs <= 0) {
    error = "--pause-after needs --pause-ms";
    return std::nullopt;
  }
  if (o.pauseMs > 0 && o.pauseAfter < 0) o.pauseAfter = 4;
  return o;
}

}  // namespace vexal::sim
