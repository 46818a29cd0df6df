#pragma once
// Percent-encoding of URL parts and form values.

#include <string>
#include <string_view>

namespace common {

// Which bytes PercentEncode keeps as they are.
enum class PercentKeep {
    Unreserved,  // A-Z a-z 0-9 - . _ ~: a URL part or form value
    Visible,     // printable ASCII but the blank (0x21 to 0x7E): a log line stays
                 // one readable line whatever it quotes; '%' is kept, so it
                 // does not decode back
};

// Every byte outside `keep` written as %XX with upper-case hex; with the
// default, a space is %20.
std::string PercentEncode(std::string_view bytes, PercentKeep keep = PercentKeep::Unreserved);

// The same for UTF-16 text: its UTF-8 bytes encoded (an unpaired surrogate as
// U+FFFD). A text of unreserved characters comes back unchanged.
std::wstring PercentEncode(std::wstring_view text);

// %XX decoded (either case of hex); a '%' not followed by two hex digits stays
// as it is. With plusIsSpace, as in form values, '+' reads as a blank.
std::string PercentDecode(std::string_view text, bool plusIsSpace);

}  // namespace common
