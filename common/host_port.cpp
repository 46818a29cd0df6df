#include "common/host_port.h"

namespace common {

namespace {

constexpr std::size_t kMaxHostName = 253;

bool IsAsciiAlnum(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
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

std::optional<HostPort> ParseHostPort(std::wstring_view text) {
    HostPort host;
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

}  // namespace common
