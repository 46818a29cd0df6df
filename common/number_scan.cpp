#include "common/number_scan.h"

#include <limits>

namespace common {

namespace {

bool IsScanBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

}  // namespace

std::int32_t ScanLong(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsScanBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    bool anyDigit = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        anyDigit = true;
        // Past the limit the value only has to stay past it.
        if (value <= -kMin) value = value * 10 + (text[i] - L'0');
    }
    if (!anyDigit) return 0;
    if (negative) value = -value;
    if (value > kMax) return static_cast<std::int32_t>(kMax);
    if (value < kMin) return static_cast<std::int32_t>(kMin);
    return static_cast<std::int32_t>(value);
}

int HexDigitValue(char32_t c) {
    if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
    if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a' + 10);
    if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A' + 10);
    return -1;
}

std::optional<std::uint32_t> ParseRgbHex(std::string_view text) {
    if (text.size() != 6) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = HexDigitValue(static_cast<unsigned char>(c));
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value;
}

}  // namespace common
