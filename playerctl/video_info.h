#pragma once
// What the player host tells the component: the movie's first line and the
// video info answer of GET /get_video_info, plus the small URL helpers the
// window layer needs to ask for them. No Windows header.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/quality.h"

namespace playerctl {

using common::Quality;

// Bounds of a playable video, so that byte and time arithmetic in 64 bits
// cannot overflow: a hundred hours, ten gigabytes per level.
inline constexpr std::int64_t kMaxLengthSeconds = 100 * 3600;
inline constexpr std::int64_t kMaxVideoBytes = 10'000'000'000;

struct VideoInfo {
    bool ok = false;
    int errorCode = 0;              // when !ok: 100 unknown video, 150 embedding forbidden, ...
    std::wstring reason;
    std::wstring videoId;
    std::wstring title;
    std::int64_t lengthSeconds = 0;
    std::vector<Quality> levels;    // highest first, each with a size
    std::array<std::int64_t, common::kQualityCount> bytes{};  // by Quality
    std::uint32_t color = 0x303030; // 0xRRGGBB
    // Where a level's real media lies on the player host (a path, decoded),
    // and its content type; empty for a simulated level.
    std::array<std::wstring, common::kQualityCount> media{};
    std::array<std::wstring, common::kQualityCount> mediaType{};

    std::int64_t BytesOf(Quality q) const { return bytes[static_cast<int>(q)]; }
    const std::wstring& MediaOf(Quality q) const { return media[static_cast<int>(q)]; }
    // The type named in the answer, else one taken from the path's extension.
    std::wstring MediaTypeOf(Quality q) const;
};

// The body of an info answer: key=value pairs joined by '&', values
// percent-encoded UTF-8. An "ok" answer without a usable length or level
// (or beyond the bounds above) counts as error 100, as does a body that is
// not an info answer at all. "media_<level>" (a path starting with '/') and
// "type_<level>" are optional and switch that level to real media.
VideoInfo ParseVideoInfo(std::string_view body);

// Info for a failed request (no connection, status other than 200).
VideoInfo FailedVideoInfo(int errorCode);

// The movie's body starts with this line.
bool IsPlayerMovie(std::string_view body);

struct HttpUrl {
    std::wstring host;
    unsigned short port = 80;
    std::wstring pathAndQuery;  // starts with '/'
};

// http://host[:port][/path[?query]], host and port as common::ParseHostPort
// reads them; nothing else.
std::optional<HttpUrl> ParseHttpUrl(std::wstring_view url);

// Percent-decoding ('+' is a blank) followed by UTF-8 decoding; malformed
// UTF-8 becomes U+FFFD.
std::wstring DecodeFormValue(std::string_view value);

}  // namespace playerctl
