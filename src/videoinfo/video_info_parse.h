#pragma once
// Title and length from the reply of the metadata feed. Both are plain text
// searches, not an XML parser: the feed's entry document is regular enough.

#include <string>
#include <string_view>

// The text between the first "<title" element's ">" and the first "</title>"
// of the reply, with "&amp;" read as "&" (no other entity is decoded, nothing
// is trimmed). Empty when a marker is missing or out of order.
std::wstring ParseTitle(std::wstring_view reply);

// The number in the first <yt:duration ... seconds='N'/>, read like "%ld"
// (leading blanks, optional sign, digits up to the first other character),
// held to the 32-bit range. 0 when the element or the number is missing.
int ParseDuration(std::wstring_view reply);
