#pragma once
// Conversions between UTF-8 bytes and UTF-16 text. Text is std::wstring
// holding UTF-16 code units; on Linux the same units sit in a wider wchar_t,
// so nothing here depends on wchar_t's width.

#include <string>
#include <string_view>

// Decodes UTF-8. Characters beyond the basic plane become surrogate pairs.
// Each ill-formed part (stray continuation byte, invalid lead byte, overlong
// form, encoded surrogate, value above U+10FFFF, sequence cut short by
// another byte or by the end of the data) becomes one U+FFFD, as Unicode
// recommends for maximal subparts. A zero byte is data like any other and
// decodes to U+0000.
std::wstring Utf8ToUtf16(std::string_view bytes);

// Encodes UTF-16 code units as UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::wstring_view text);

// The metadata reply text made from the response body: the body decoded as
// UTF-8, without a leading byte-order mark.
std::wstring DecodeReplyBody(std::string_view body);
