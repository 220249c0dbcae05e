#include "common/Cp936.h"

#include <iconv.h>

#include <cerrno>

namespace vexal {

namespace {

bool isAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// Converts with iconv, replacing what does not convert by `replacement` and skipping one
// input byte at a time past it.
std::string convert(const char *to, const char *from, std::string_view in,
                    std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.reserve(in.size() * 3 / 2 + 4);
  char *src = const_cast<char *>(in.data());
  size_t srcLeft = in.size();
  char buf[256];
  while (srcLeft > 0) {
    char *dst = buf;
    size_t dstLeft = sizeof buf;
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buf, dst - buf);
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a truncated sequence at the end): replace one byte and go on.
      out.append(replacement);
      ++src;
      --srcLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string cp936ToUtf8(std::string_view bytes) {
  if (isAscii(bytes)) return std::string(bytes);
  return convert("UTF-8", "GBK", bytes, "\xEF\xBF\xBD");
}

std::string utf8ToCp936(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  return convert("GBK", "UTF-8", utf8, "?");
}

}  // namespace vexal
