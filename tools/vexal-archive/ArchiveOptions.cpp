#include "ArchiveOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "analysis/InsulationVerdict.h"
#include "link/InputEcho.h"
#include "record/TimeOfDay.h"

namespace vexal {

namespace {

// The particulars the judgement uses; the tool refuses others.
const ParticularRange kTemperatures = particularRange(Particular::WindingTemperature);
const ParticularRange kRatedKv = particularRange(Particular::RatedVoltage);

using Values = std::map<std::string, std::string>;

struct Parsed {
  std::string command;
  std::vector<std::string> operands;
  Values values;
};

std::string quoted(const std::string &text) {
  return "'" + echoInput(text) + "'";
}

// A decimal number written plainly (an optional "-", digits, at most one "."), within limits.
std::optional<double> decimal(const std::string &text, double lowest, double highest) {
  if (text.empty() || text.find_first_not_of("-.0123456789") != std::string::npos)
    return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
      value < lowest || value > highest)
    return std::nullopt;
  return value;
}

// Whole seconds, 0 or more, as milliseconds; more than a day is held as a day.
std::optional<std::int64_t> runGap(const std::string &text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  std::int64_t seconds = 0;
  for (char c : text) seconds = std::min<std::int64_t>(seconds * 10 + (c - '0'), kMsPerDay / 1000);
  return seconds * 1000;
}

class Wrong {
 public:
  explicit Wrong(std::string what) : what(std::move(what)) {}
  std::string what;
};

template <class T>
T need(std::optional<T> value, const std::string &option, const std::string &text,
       const std::string &expected) {
  if (!value) throw Wrong(option + " " + quoted(text) + " " + expected);
  return *value;
}

// Splits the arguments into the command, its operands and its options' values. Options not
// in `takesValue` of the command are refused.
Parsed split(const std::vector<std::string> &args, std::optional<std::string> &archive) {
  static const std::map<std::string, std::vector<std::string>> kOptions{
      {"add-asset", {"--name", "--location", "--kind", "--rated-kv", "--class", "--winding"}},
      {"edit-asset", {"--name", "--location", "--kind", "--rated-kv", "--class", "--winding"}},
      {"import", {"--asset", "--date", "--temperature", "--operator", "--purpose", "--run-gap"}},
      {"assets", {"--search", "--format"}},
      {"history", {"--format"}},
      {"export", {}},
      {"check", {}},
  };
  Parsed p;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (p.command.empty()) {
        if (!kOptions.count(arg)) throw Wrong("unknown command " + quoted(arg));
        p.command = arg;
      } else {
        p.operands.push_back(arg);
      }
      continue;
    }
    const bool known = arg == "--archive" ||
                       (!p.command.empty() && std::ranges::count(kOptions.at(p.command), arg));
    if (!known) throw Wrong("unexpected option " + quoted(arg));
    if (i + 1 >= args.size()) throw Wrong(arg + " needs a value");
    const std::string &value = args[++i];
    if (arg == "--archive")
      archive = value;
    else if (!p.values.emplace(arg, value).second)
      throw Wrong(arg + " is given twice");
  }
  if (p.command.empty()) throw Wrong("no command given");
  return p;
}

template <class E>
std::optional<E> enumOption(const Values &values, const char *option,
                            std::optional<E> (*parse)(std::string_view), const char *expected) {
  auto it = values.find(option);
  if (it == values.end()) return std::nullopt;
  return need(parse(it->second), option, it->second, expected);
}

std::optional<std::string> textOption(const Values &values, const char *option) {
  auto it = values.find(option);
  return it == values.end() ? std::nullopt : std::optional<std::string>(it->second);
}

AssetChange assetChange(const Values &values) {
  AssetChange c;
  c.name = textOption(values, "--name");
  c.location = textOption(values, "--location");
  c.kind = enumOption(values, "--kind", parseAssetKind,
                      "is not one of machine, cable, transformer, other");
  c.insulationClass = enumOption(values, "--class", parseArchiveClass, "is not one of A, B, F, H");
  c.winding = enumOption(values, "--winding", parseArchiveWinding,
                         "is not one of older, form-wound, random-wound");
  if (auto kv = textOption(values, "--rated-kv"))
    c.ratedKv = need(decimal(*kv, kRatedKv.low, kRatedKv.high), "--rated-kv", *kv,
                     "is not a rated voltage in kV from 0.05 to 50 (e.g. 6.6)");
  return c;
}

bool isDate(const std::string &d) {
  if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (d[i] < '0' || d[i] > '9') return false;
  const int month = std::stoi(d.substr(5, 2)), day = std::stoi(d.substr(8, 2));
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

void wantOperands(const Parsed &p, std::size_t least, std::size_t most, const char *what) {
  if (p.operands.size() < least) throw Wrong(p.command + " needs " + what);
  if (p.operands.size() > most) throw Wrong("unexpected argument " + quoted(p.operands[most]));
}

OutputFormat format(const Values &values, bool csv) {
  auto text = textOption(values, "--format");
  if (!text || *text == "tsv") return OutputFormat::Tsv;
  if (*text == "jsonl") return OutputFormat::Jsonl;
  if (*text == "csv" && csv) return OutputFormat::Csv;
  throw Wrong("--format " + quoted(*text) + " is not one of " +
              (csv ? "tsv, csv, jsonl" : "tsv, jsonl"));
}

ArchiveCommand command(const Parsed &p) {
  const std::string &c = p.command;
  if (c == "add-asset" || c == "edit-asset") {
    wantOperands(p, 1, 1, "a TAG");
    const AssetChange change = assetChange(p.values);
    if (c == "edit-asset") return EditAssetCommand{p.operands[0], change};
    Asset a;
    a.tag = p.operands[0];
    a.name = change.name.value_or("");
    a.location = change.location.value_or("");
    a.kind = change.kind.value_or(AssetKind::RotatingMachine);
    a.ratedKv = change.ratedKv;
    a.insulationClass = change.insulationClass;
    a.winding = change.winding;
    return AddAssetCommand{a};
  }
  if (c == "import") {
    wantOperands(p, 1, SIZE_MAX, "at least one FILE");
    ImportCommand cmd;
    cmd.files = p.operands;
    if (!p.values.count("--asset")) throw Wrong("import needs --asset TAG");
    const std::string date = textOption(p.values, "--date").value_or("");
    if (!p.values.count("--date")) throw Wrong("import needs --date YYYY-MM-DD");
    cmd.particulars.date = need(isDate(date) ? std::optional(date) : std::nullopt, "--date", date,
                                "is not a date YYYY-MM-DD");
    if (auto t = textOption(p.values, "--temperature"))
      cmd.particulars.windingTemperatureC =
          need(decimal(*t, kTemperatures.low, kTemperatures.high), "--temperature", *t,
               "is not a temperature in °C from -50 to 200");
    cmd.particulars.operatorName = textOption(p.values, "--operator");
    cmd.particulars.purpose =
        enumOption(p.values, "--purpose", parseTestPurpose,
                   "is not one of acceptance, routine, after-repair, troubleshooting");
    cmd.runGapMs = 60'000;
    if (auto gap = textOption(p.values, "--run-gap"))
      cmd.runGapMs = need(runGap(*gap), "--run-gap", *gap, "is not a whole number of seconds");
    cmd.tag = p.values.at("--asset");
    return cmd;
  }
  if (c == "assets") {
    wantOperands(p, 0, 0, "");
    return AssetsCommand{textOption(p.values, "--search").value_or(""), format(p.values, false)};
  }
  if (c == "history") {
    wantOperands(p, 1, 1, "a TAG");
    return HistoryCommand{p.operands[0], format(p.values, true)};
  }
  if (c == "export") {
    wantOperands(p, 1, 1, "a TAG");
    return ExportCommand{p.operands[0]};
  }
  wantOperands(p, 0, 0, "");
  return CheckCommand{};
}

}  // namespace

std::variant<ArchiveToolOptions, std::string> parseArchiveOptions(
    const std::vector<std::string> &args) {
  try {
    ArchiveToolOptions o;
    const Parsed p = split(args, o.archive);
    o.command = command(p);
    return o;
  } catch (const Wrong &wrong) {
    return wrong.what;
  }
}

}  // namespace vexal
