#include "archive/ReadingsBlob.h"

#include <cstdint>

namespace vexal {

namespace {

constexpr char kFormat = 1;

void putVarint(std::string &out, std::uint64_t n) {
  while (n >= 0x80) {
    out += static_cast<char>((n & 0x7f) | 0x80);
    n >>= 7;
  }
  out += static_cast<char>(n);
}

std::uint64_t zigzag(std::int64_t n) {
  return (static_cast<std::uint64_t>(n) << 1) ^ static_cast<std::uint64_t>(n >> 63);
}
std::int64_t unzigzag(std::uint64_t n) {
  return static_cast<std::int64_t>(n >> 1) ^ -static_cast<std::int64_t>(n & 1);
}

// An optional text: 0 for none, else its length + 1 and its bytes.
void putText(std::string &out, const std::optional<std::string> &text) {
  putVarint(out, text ? text->size() + 1 : 0);
  if (text) out += *text;
}

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  std::uint64_t varint() {
    std::uint64_t n = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const auto byte = static_cast<unsigned char>(take(1)[0]);
      n |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
      if (!(byte & 0x80)) return n;
    }
    bad();
  }
  std::optional<std::string> text() {
    const std::uint64_t n = varint();
    if (n == 0) return std::nullopt;
    return std::string(take(n - 1));
  }
  std::string_view take(std::uint64_t n) {
    if (n > bytes_.size() - at_) bad();
    std::string_view part = bytes_.substr(at_, n);
    at_ += n;
    return part;
  }
  bool done() const { return at_ == bytes_.size(); }
  [[noreturn]] static void bad() { throw EArchiveError("a test's stored readings are damaged"); }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

}  // namespace

std::string encodeReadings(const TestReadings &r) {
  std::string out;
  out.reserve(16 + r.readings.size() * 10);
  out += kFormat;
  putVarint(out, zigzag(r.startMs));
  putText(out, r.function);
  putText(out, r.mode);
  putVarint(out, r.readings.size());
  std::int64_t elapsed = 0;
  const std::optional<std::string> *unit = nullptr;
  for (const StoredReading &reading : r.readings) {
    putVarint(out, zigzag(reading.elapsedMs - elapsed));
    elapsed = reading.elapsedMs;
    putText(out, reading.value);
    // The unit: 0 when it is the previous reading's, else as a text one up.
    if (unit && **unit == reading.unit) {
      out += '\0';
    } else {
      putVarint(out, reading.unit ? reading.unit->size() + 2 : 1);
      if (reading.unit) out += *reading.unit;
    }
    unit = &reading.unit;
  }
  return out;
}

TestReadings decodeReadings(std::string_view blob) {
  Reader in(blob);
  if (in.take(1)[0] != kFormat) Reader::bad();
  TestReadings r;
  r.startMs = static_cast<std::int32_t>(unzigzag(in.varint()));
  r.function = in.text();
  r.mode = in.text();
  const std::uint64_t count = in.varint();
  if (count > blob.size()) Reader::bad();  // each reading takes at least three bytes
  r.readings.reserve(count);
  std::int64_t elapsed = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    StoredReading reading;
    elapsed += unzigzag(in.varint());
    reading.elapsedMs = elapsed;
    reading.value = in.text();
    const std::uint64_t unit = in.varint();
    if (unit == 0) {
      if (r.readings.empty()) Reader::bad();
      reading.unit = r.readings.back().unit;
    } else if (unit > 1) {
      reading.unit = std::string(in.take(unit - 2));
    }
    r.readings.push_back(std::move(reading));
  }
  if (!in.done()) Reader::bad();
  return r;
}

std::string readingsDigest(std::string_view blob) {
  // FNV-1a, 64 bits: the same asset, date and start narrow the candidates to a handful.
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : blob) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) text[static_cast<std::size_t>(i)] = kHex[hash & 15];
  return text;
}

}  // namespace vexal
