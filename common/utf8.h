#pragma once
// Conversions between UTF-8 bytes and UTF-16 text. Wide text is std::wstring
// holding UTF-16 code units on every platform; on Linux each unit sits in a
// 32-bit wchar_t, so nothing here depends on wchar_t's width.

#include <string>
#include <string_view>

namespace common {

// Decodes UTF-8. Characters beyond the basic plane become surrogate pairs.
// Each ill-formed part (stray continuation byte, invalid lead byte, overlong
// form, encoded surrogate, value above U+10FFFF, sequence cut short by
// another byte or by the end of the data) becomes one U+FFFD, as Unicode
// recommends for maximal subparts. Nothing past the data is read. A zero byte
// is data like any other and decodes to U+0000.
std::wstring Utf8ToUtf16(std::string_view bytes);

// Encodes UTF-16 code units as UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::wstring_view text);

// Whether the bytes are UTF-8 that Utf8ToUtf16 decodes without a replacement.
bool IsValidUtf8(std::string_view bytes);

// Appends one code point (at most U+10FFFF) as UTF-16: one unit, or a
// surrogate pair beyond the basic plane.
void AppendUtf16(std::wstring& out, char32_t codePoint);

}  // namespace common
