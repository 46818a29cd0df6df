#include "http_range.h"

#include <charconv>

namespace playerctl {

namespace {

// Well past any media we play, and small enough that last - first + 1 fits.
constexpr std::int64_t kMaxResource = std::int64_t{1} << 50;

bool ParseDigits(std::string_view text, std::int64_t& out) {
    if (text.empty() || text.size() > 18) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return true;
}

}  // namespace

std::wstring RangeHeader(std::int64_t first, std::int64_t last) {
    return L"Range: bytes=" + std::to_wstring(first) + L"-" + std::to_wstring(last) + L"\r\n";
}

std::optional<std::int64_t> ParseLength(std::string_view value) {
    std::int64_t n = 0;
    if (!ParseDigits(value, n) || n > kMaxResource) return std::nullopt;
    return n;
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
    constexpr std::string_view kUnit = "bytes ";
    if (value.substr(0, kUnit.size()) != kUnit) return std::nullopt;
    value.remove_prefix(kUnit.size());
    size_t dash = value.find('-');
    size_t slash = value.find('/');
    if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) return std::nullopt;
    ContentRange r;
    if (!ParseDigits(value.substr(0, dash), r.first) ||
        !ParseDigits(value.substr(dash + 1, slash - dash - 1), r.last))
        return std::nullopt;
    std::string_view total = value.substr(slash + 1);
    if (total != "*") {
        if (!ParseDigits(total, r.total) || r.total > kMaxResource || r.last >= r.total) return std::nullopt;
    }
    if (r.first > r.last) return std::nullopt;
    return r;
}

std::optional<std::int64_t> CheckRangeAnswer(unsigned long status, std::string_view contentRange,
                                             std::int64_t first, std::int64_t last, std::size_t bodySize) {
    if (status != 206 || first < 0 || last < first) return std::nullopt;
    std::optional<ContentRange> range = ParseContentRange(contentRange);
    // Without the whole size we could not tell the byte stream its length.
    if (!range || range->total < 0 || range->first != first || range->last > last) return std::nullopt;
    // A shorter answer is only right at the end of the resource.
    if (range->last < last && range->last != range->total - 1) return std::nullopt;
    if (static_cast<std::int64_t>(bodySize) != range->last - range->first + 1) return std::nullopt;
    return range->total;
}

}  // namespace playerctl
