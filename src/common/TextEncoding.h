#pragma once
// Conversions between the text encodings the system meets: code page 936 (readings and
// files), UTF-8 (what a person is shown) and UTF-16 (the strings HID devices report). All go
// through the C library's converter; what does not convert becomes a replacement character.

#include <string>
#include <string_view>

namespace vexal {

// `bytes` in the encoding `from` (an iconv name) converted to `to`. An input unit of
// `unitSize` bytes that does not convert is replaced by `replacement` (already in `to`) and
// skipped. Where the conversion is not available, the bytes come back unchanged.
std::string convertText(const char *to, const char *from, std::string_view bytes,
                        std::string_view replacement, std::size_t unitSize = 1);

// UTF-16 (native order) to UTF-8; a lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16 (native order); a byte that is no part of a UTF-8 character becomes
// U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);

// Code page 936 bytes to UTF-8. A byte sequence that is not valid GBK is kept as far as it
// converts; each unconvertible byte becomes U+FFFD.
std::string cp936ToUtf8(std::string_view bytes);

// UTF-8 to code page 936 bytes. A character without a GBK form becomes '?'.
std::string utf8ToCp936(std::string_view utf8);

// The C library's wide characters to UTF-16 (native order).
std::u16string wideToUtf16(std::wstring_view text);

}  // namespace vexal
