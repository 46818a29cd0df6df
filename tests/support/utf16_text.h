#pragma once
// Expected UTF-16 text written as a u"" literal and held in std::wstring the
// way the program holds it on either platform (16-bit units on Windows, the
// same units in a 32-bit wchar_t on Linux).

#include <string>
#include <string_view>

namespace clipdeck::test {

inline std::wstring U16(std::u16string_view units) { return std::wstring(units.begin(), units.end()); }

}  // namespace clipdeck::test
