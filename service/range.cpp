#include "range.h"

#include <optional>

namespace clipdeck::service {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Decimal digits only; nothing for an empty text or a value past 2^63.
std::optional<std::uint64_t> Number(std::string_view text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

}  // namespace

ByteRange ParseByteRange(std::string_view header, std::uint64_t size) {
    ByteRange whole;
    header = Trim(header);
    constexpr std::string_view kUnit = "bytes=";
    if (header.size() < kUnit.size()) return whole;
    for (std::size_t i = 0; i < kUnit.size(); ++i) {
        char c = header[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kUnit[i]) return whole;
    }
    std::string_view spec = Trim(header.substr(kUnit.size()));
    if (spec.find(',') != std::string_view::npos) return whole;
    const std::size_t dash = spec.find('-');
    if (dash == std::string_view::npos) return whole;
    const std::string_view left = Trim(spec.substr(0, dash));
    const std::string_view right = Trim(spec.substr(dash + 1));

    ByteRange range;
    range.kind = ByteRange::Kind::Part;
    if (left.empty()) {
        auto suffix = Number(right);
        if (!suffix) return whole;
        if (*suffix == 0 || size == 0) return {ByteRange::Kind::Unsatisfiable, 0, 0};
        range.first = *suffix >= size ? 0 : size - *suffix;
        range.last = size - 1;
        return range;
    }
    auto first = Number(left);
    if (!first) return whole;
    std::optional<std::uint64_t> last;
    if (!right.empty()) {
        last = Number(right);
        if (!last || *last < *first) return whole;
    }
    if (*first >= size) return {ByteRange::Kind::Unsatisfiable, 0, 0};
    range.first = *first;
    range.last = (!last || *last >= size) ? size - 1 : *last;
    return range;
}

}  // namespace clipdeck::service
