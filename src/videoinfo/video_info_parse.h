#pragma once
// Title and length from the reply of the metadata feed. Both are plain text
// searches, not an XML parser: the feed's entry document is regular enough.

#include <string>
#include <string_view>

// The reply text made from the response body: the body decoded as UTF-8,
// without a leading byte-order mark.
std::wstring DecodeReplyBody(std::string_view body);

// The text between the first "<title" element's ">" and the first "</title>"
// of the reply, with its character references decoded in one pass: &amp;
// &lt; &gt; &quot; &apos; and &#N; / &#xH; (one naming no character, such as
// a surrogate, becomes U+FFFD); anything else, an unknown name included,
// stays as written, and "&amp;lt;" reads "&lt;". Nothing is trimmed. Empty
// when a marker is missing or out of order.
std::wstring ParseTitle(std::wstring_view reply);

// The number in the first <yt:duration ... seconds='N'/>, read like "%ld"
// (leading blanks, optional sign, digits up to the first other character),
// held to the 32-bit range. 0 when the element or the number is missing.
int ParseDuration(std::wstring_view reply);
