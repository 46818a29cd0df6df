#include "videoinfo/video_info_parse.h"

#include <cstdint>
#include <limits>

namespace {

constexpr std::wstring_view kAmpEntity = L"&amp;";

bool IsScanBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// "%ld" on a 32-bit long: an overflowing value saturates rather than wraps.
int ScanLong(std::wstring_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsScanBlank(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) {
        negative = s[i] == L'-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    bool anyDigit = false;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i) {
        anyDigit = true;
        if (value <= -kMin) value = value * 10 + (s[i] - L'0');
    }
    if (!anyDigit) return 0;
    if (negative) value = -value;
    if (value > kMax) return static_cast<int>(kMax);
    if (value < kMin) return static_cast<int>(kMin);
    return static_cast<int>(value);
}

}  // namespace

std::wstring ParseTitle(std::wstring_view reply) {
    const std::size_t open = reply.find(L"<title");
    if (open == std::wstring_view::npos) return {};
    const std::size_t openEnd = reply.find(L'>', open);
    if (openEnd == std::wstring_view::npos) return {};
    // Searched from the start, not from the opening tag: a "</title>" ahead
    // of the first "<title" leaves no title at all.
    const std::size_t close = reply.find(L"</title>");
    if (close == std::wstring_view::npos) return {};
    const std::size_t start = openEnd + 1;
    if (close < start) return {};

    const std::wstring_view raw = reply.substr(start, close - start);
    std::wstring title;
    title.reserve(raw.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t amp = raw.find(kAmpEntity, pos);
        if (amp == std::wstring_view::npos) break;
        title.append(raw.substr(pos, amp - pos));
        title.push_back(L'&');
        pos = amp + kAmpEntity.size();
    }
    title.append(raw.substr(pos));
    return title;
}

int ParseDuration(std::wstring_view reply) {
    constexpr std::wstring_view kSeconds = L"seconds='";
    const std::size_t element = reply.find(L"<yt:duration");
    if (element == std::wstring_view::npos) return 0;
    const std::size_t attribute = reply.find(kSeconds, element);
    if (attribute == std::wstring_view::npos) return 0;
    const std::size_t start = attribute + kSeconds.size();
    const std::size_t end = reply.find(L"'/>", start);
    if (end == std::wstring_view::npos) return 0;
    return ScanLong(reply.substr(start, end - start));
}
