#include "videoinfo/feed_address.h"

#include "videoinfo/text_convert.h"

namespace {

constexpr std::size_t kMaxHostName = 253;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool IsAsciiAlnum(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
}

bool IsUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

bool IsValidHostName(std::wstring_view name) {
    if (name.empty() || name.size() > kMaxHostName) return false;
    bool labelEmpty = true;
    for (const wchar_t c : name) {
        if (c == L'.') {
            if (labelEmpty) return false;
            labelEmpty = true;
        } else if (IsAsciiAlnum(c) || c == L'-' || c == L'_') {
            labelEmpty = false;
        } else {
            return false;
        }
    }
    return !labelEmpty;
}

std::optional<std::uint16_t> ParsePort(std::wstring_view digits) {
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    std::uint32_t value = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    }
    if (value == 0 || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<FeedHost> ParseHostPort(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);

    FeedHost host;
    const std::size_t colon = text.find(L':');
    const std::wstring_view name = text.substr(0, colon);
    if (!IsValidHostName(name)) return std::nullopt;
    host.name.assign(name);
    if (colon != std::wstring_view::npos) {
        const auto port = ParsePort(text.substr(colon + 1));
        if (!port) return std::nullopt;
        host.port = *port;
    }
    return host;
}

FeedHost FeedHostFromSetting(std::wstring_view value) {
    if (auto host = ParseHostPort(value)) return *host;
    return *ParseHostPort(kDefaultFeedHost);
}

std::wstring EncodeVideoIdForUrl(std::wstring_view videoId) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::wstring encoded;
    for (const char byte : Utf16ToUtf8(videoId)) {
        if (IsUnreserved(byte)) {
            encoded.push_back(static_cast<wchar_t>(byte));
        } else {
            const auto b = static_cast<unsigned char>(byte);
            encoded.push_back(L'%');
            encoded.push_back(static_cast<wchar_t>(kHex[b >> 4]));
            encoded.push_back(static_cast<wchar_t>(kHex[b & 0x0F]));
        }
    }
    return encoded;
}

std::wstring FeedPath(std::wstring_view videoId) {
    return L"/feeds/api/videos/" + EncodeVideoIdForUrl(videoId);
}

std::wstring FeedUrl(const FeedHost& host, std::wstring_view videoId) {
    std::wstring url = L"http://" + host.name;
    if (host.port != kDefaultHttpPort) url += L":" + std::to_wstring(host.port);
    return url + FeedPath(videoId);
}
