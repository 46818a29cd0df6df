#pragma once
// Numbers read from text: whole numbers the way "%ld" reads them on a
// 32-bit long, hex digits and RRGGBB colours.

#include <cstdint>
#include <optional>
#include <string_view>

namespace common {

// Leading blanks (space, \t \n \v \f \r), an optional sign, then decimal
// digits up to the first other character. 0 when no digit follows; a value
// outside the 32-bit range saturates at its limit instead of wrapping.
std::int32_t ScanLong(std::wstring_view text);

// The value of a hex digit (either case), -1 for any other character.
int HexDigitValue(char32_t c);

// Exactly six hex digits RRGGBB as 0xRRGGBB; nothing for any other text.
std::optional<std::uint32_t> ParseRgbHex(std::string_view text);

}  // namespace common
