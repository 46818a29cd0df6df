#pragma once
// Where a metadata request goes: the feed host, taken from the environment,
// and the path of a video's entry.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Environment variable naming the feed host as "host[:port]".
inline constexpr wchar_t kFeedHostVariable[] = L"CLIPDECK_FEED_HOST";
// The local service's default address, used when the variable is unset or
// unusable.
inline constexpr wchar_t kDefaultFeedHost[] = L"127.0.0.1:8480";
inline constexpr std::uint16_t kDefaultHttpPort = 80;

struct FeedHost {
    std::wstring name;
    std::uint16_t port = kDefaultHttpPort;

    bool operator==(const FeedHost&) const = default;
};

// "host[:port]" with surrounding blanks ignored. The host is a name or a
// dotted address (letters, digits, '-', '_', '.'; no empty label); the port is
// 1 to 65535 and defaults to 80. Anything else gives nothing.
std::optional<FeedHost> ParseHostPort(std::wstring_view text);

// The feed host for the environment value (empty when the variable is
// unset); an empty or unusable value gives the default address.
FeedHost FeedHostFromSetting(std::wstring_view value);

// The video ID with every UTF-8 byte outside the unreserved URL characters
// (A-Z a-z 0-9 - . _ ~) written as %XX, so that no typed or captured text can
// change the request. A well-formed ID comes back unchanged.
std::wstring EncodeVideoIdForUrl(std::wstring_view videoId);

// "/feeds/api/videos/" followed by the encoded ID.
std::wstring FeedPath(std::wstring_view videoId);

// "http://" + host (with ":port" unless it is 80) + FeedPath(videoId).
std::wstring FeedUrl(const FeedHost& host, std::wstring_view videoId);
