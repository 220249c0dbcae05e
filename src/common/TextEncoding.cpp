#include "common/TextEncoding.h"

#include <iconv.h>

#include <bit>
#include <cerrno>

namespace vexal {

namespace {

bool isAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string convertText(const char *to, const char *from, std::string_view in,
                        std::string_view replacement, std::size_t unitSize) {
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
      // EILSEQ or EINVAL (a truncated sequence at the end): replace one unit and go on.
      out.append(replacement);
      const std::size_t skip = unitSize < srcLeft ? unitSize : srcLeft;
      src += skip;
      srcLeft -= skip;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}

namespace {

std::u16string toUtf16(const std::string &bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  bytes.copy(reinterpret_cast<char *>(text.data()), text.size() * 2);
  return text;
}

// UTF-16 in this machine's byte order, without a byte-order mark.
constexpr const char *kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

std::string replacementUtf16() {
  const char16_t unit = u'\uFFFD';
  return std::string(reinterpret_cast<const char *>(&unit), 2);
}

}  // namespace

std::string utf16ToUtf8(std::u16string_view text) {
  return convertText("UTF-8", kUtf16,
                     {reinterpret_cast<const char *>(text.data()), text.size() * 2},
                     kReplacementUtf8, 2);
}

std::u16string utf8ToUtf16(std::string_view text) {
  return toUtf16(convertText(kUtf16, "UTF-8", text, replacementUtf16()));
}

std::u16string wideToUtf16(std::wstring_view text) {
  return toUtf16(
      convertText(kUtf16, "WCHAR_T",
                  {reinterpret_cast<const char *>(text.data()), text.size() * sizeof(wchar_t)},
                  replacementUtf16(), sizeof(wchar_t)));
}

std::string cp936ToUtf8(std::string_view bytes) {
  if (isAscii(bytes)) return std::string(bytes);
  return convertText("UTF-8", "GBK", bytes, kReplacementUtf8);
}

std::string utf8ToCp936(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  return convertText("GBK", "UTF-8", utf8, "?");
}

}  // namespace vexal
