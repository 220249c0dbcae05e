// vexal-guide-pack: turns the user guide's HTML into one self-contained file by putting every
// local picture it names (src="NAME") into the page itself as a data: URI.
//
//   vexal-guide-pack [--images DIR]... IN.html OUT
//
// Each picture is looked up in the --images folders in turn, then beside IN.html. A picture
// that cannot be found or read is an error (exit status 1) and OUT is left untouched; the
// output is written to a temporary file beside OUT and renamed over it when complete.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::optional<std::string> readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

std::string base64(const std::string &bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                       static_cast<unsigned char>(bytes[i + 1]) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += {digits[v >> 18 & 63], digits[v >> 12 & 63], digits[v >> 6 & 63], digits[v & 63]};
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += digits[v >> 18 & 63];
    out += digits[v >> 12 & 63];
    out += rest == 2 ? digits[v >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

std::string mediaType(const fs::path &name) {
  const std::string ext = name.extension().string();
  if (ext == ".png") return "image/png";
  if (ext == ".jpg" || ext == ".jpeg") return "image/jpeg";
  if (ext == ".svg") return "image/svg+xml";
  if (ext == ".gif") return "image/gif";
  return "application/octet-stream";
}

bool isLocal(const std::string &ref) {
  return ref.find(':') == std::string::npos && !ref.empty() && ref[0] != '#';
}

struct Options {
  std::vector<fs::path> imageDirs;
  fs::path input;
  fs::path output;
};

bool parse(int argc, char **argv, Options &options) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--images" && i + 1 < argc)
      options.imageDirs.emplace_back(argv[++i]);
    else if (!arg.empty() && arg[0] != '-')
      positional.push_back(arg);
    else
      return false;
  }
  if (positional.size() != 2) return false;
  options.input = positional[0];
  options.output = positional[1];
  options.imageDirs.push_back(options.input.parent_path().empty() ? fs::path(".")
                                                                  : options.input.parent_path());
  return true;
}

std::optional<std::string> findImage(const std::vector<fs::path> &dirs, const std::string &name) {
  for (const fs::path &dir : dirs) {
    const fs::path candidate = dir / name;
    std::error_code ec;
    if (fs::is_regular_file(candidate, ec)) return readFile(candidate);
  }
  return std::nullopt;
}

bool writeWhole(const fs::path &target, const std::string &text) {
  fs::path temporary = target;
  temporary += ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::error_code ec;
      fs::remove(temporary, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, target, ec);
  if (ec) fs::remove(temporary, ec);
  return !ec;
}

}  // namespace

int main(int argc, char **argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fprintf(stderr, "usage: vexal-guide-pack [--images DIR]... IN.html OUT\n");
    return 2;
  }
  const std::optional<std::string> page = readFile(options.input);
  if (!page) {
    std::fprintf(stderr, "vexal-guide-pack: cannot read %s\n", options.input.c_str());
    return 1;
  }

  // Every src="..." attribute; scanned by hand, as a packed value can be very long.
  const std::string opening = "src=\"";
  std::string packed;
  std::size_t copied = 0;
  for (std::size_t at = page->find(opening); at != std::string::npos;
       at = page->find(opening, at + 1)) {
    const std::size_t start = at + opening.size();
    const std::size_t end = page->find('"', start);
    if (end == std::string::npos) break;
    const std::string ref = page->substr(start, end - start);
    if (!isLocal(ref)) continue;
    const std::optional<std::string> image = findImage(options.imageDirs, ref);
    if (!image) {
      std::fprintf(stderr, "vexal-guide-pack: %s names the picture \"%s\", which is not found\n",
                   options.input.c_str(), ref.c_str());
      return 1;
    }
    packed.append(*page, copied, start - copied);
    packed += "data:" + mediaType(ref) + ";base64," + base64(*image);
    copied = end;
  }
  packed.append(*page, copied, std::string::npos);

  if (!writeWhole(options.output, packed)) {
    std::fprintf(stderr, "vexal-guide-pack: cannot write %s\n", options.output.c_str());
    return 1;
  }
  return 0;
}
