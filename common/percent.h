#pragma once
// Percent-encoding of URL parts and form values.

#include <string>
#include <string_view>

namespace common {

// Every byte outside the unreserved URL characters (A-Z a-z 0-9 - . _ ~)
// written as %XX with upper-case hex; a space is %20.
std::string PercentEncode(std::string_view bytes);

// The same for UTF-16 text: its UTF-8 bytes encoded (an unpaired surrogate as
// U+FFFD). A text of unreserved characters comes back unchanged.
std::wstring PercentEncode(std::wstring_view text);

// %XX decoded (either case of hex); a '%' not followed by two hex digits stays
// as it is. With plusIsSpace, as in form values, '+' reads as a blank.
std::string PercentDecode(std::string_view text, bool plusIsSpace);

}  // namespace common
