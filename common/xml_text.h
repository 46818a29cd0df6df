#pragma once
// XML character data: escaping for writing, character references for
// reading.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace common {

// Escapes & < > " ' so the text is safe in element content and in attribute
// values of either quote. Bytes and units other than those five pass
// unchanged, so UTF-8 stays UTF-8 and UTF-16 stays UTF-16.
std::string EscapeXml(std::string_view text);
std::wstring EscapeXml(std::wstring_view text);

struct CharacterReference {
    std::size_t length = 0;   // from the '&' to the ';', both included
    char32_t codePoint = 0;   // values past U+10FFFF are held at 0x110000
    // False for a reference to U+0000, a surrogate or past U+10FFFF, none
    // of which names a character.
    bool valid = false;
};

// The reference at the start of `text` (which starts with '&'): one of
// &amp; &lt; &gt; &quot; &apos; or &#N; / &#xH; (decimal or hex digits, a
// lower-case x as XML writes it). Nothing for anything else.
std::optional<CharacterReference> ReadCharacterReference(std::wstring_view text);

// The text with its character references decoded in one pass: a reference
// that names no character becomes U+FFFD, a '&' that starts no reference
// stays as written, and the result of a replacement is not read again
// ("&amp;lt;" reads "&lt;"). Characters beyond the basic plane become
// surrogate pairs.
std::wstring DecodeCharacterReferences(std::wstring_view text);

}  // namespace common
