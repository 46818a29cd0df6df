#include "video_info.h"

#include <charconv>
#include <utility>

#include "common/host_port.h"
#include "common/number_scan.h"
#include "common/percent.h"
#include "common/utf8.h"

namespace playerctl {

namespace {

constexpr std::string_view kMovieMagic = "CLIPDECK-PLAYER 1";

bool ParseInt(std::string_view text, std::int64_t& out) {
    if (text.empty()) return false;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    out = value;
    return true;
}

}  // namespace

std::wstring DecodeFormValue(std::string_view value) {
    return common::Utf8ToUtf16(common::PercentDecode(value, true));
}

VideoInfo FailedVideoInfo(int errorCode) {
    VideoInfo info;
    info.errorCode = errorCode;
    return info;
}

VideoInfo ParseVideoInfo(std::string_view body) {
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.remove_suffix(1);

    std::string status, fmtList, color;
    std::int64_t errorCode = 0, length = -1;
    VideoInfo info;
    std::array<std::int64_t, common::kQualityCount> bytes{};
    bool anyBytes = false;
    std::array<std::wstring, common::kQualityCount> media{}, mediaType{};

    size_t start = 0;
    while (start <= body.size()) {
        size_t amp = body.find('&', start);
        if (amp == std::string_view::npos) amp = body.size();
        std::string_view pair = body.substr(start, amp - start);
        start = amp + 1;
        size_t eq = pair.find('=');
        if (eq == std::string_view::npos) continue;
        std::string key = common::PercentDecode(pair.substr(0, eq), true);
        std::string_view raw = pair.substr(eq + 1);
        if (key == "status") status = common::PercentDecode(raw, true);
        else if (key == "errorcode") ParseInt(common::PercentDecode(raw, true), errorCode);
        else if (key == "reason") info.reason = DecodeFormValue(raw);
        else if (key == "video_id") info.videoId = DecodeFormValue(raw);
        else if (key == "title") info.title = DecodeFormValue(raw);
        else if (key == "length_seconds") ParseInt(common::PercentDecode(raw, true), length);
        else if (key == "fmt_list") fmtList = common::PercentDecode(raw, true);
        else if (key == "color") color = common::PercentDecode(raw, true);
        else if (key.rfind("media_", 0) == 0 || key.rfind("type_", 0) == 0) {
            bool isPath = key[0] == 'm';
            auto q = common::QualityFromName(std::string_view(key).substr(isPath ? 6 : 5));
            std::wstring value = DecodeFormValue(raw);
            if (!q) continue;
            // Only a path on the player host: never another host or scheme.
            if (isPath && (value.empty() || value[0] != L'/' || value.rfind(L"//", 0) == 0)) continue;
            (isPath ? media : mediaType)[static_cast<int>(*q)] = std::move(value);
        } else if (key.rfind("bytes_", 0) == 0) {
            std::int64_t n = 0;
            auto q = common::QualityFromName(std::string_view(key).substr(6));
            if (q && ParseInt(common::PercentDecode(raw, true), n) && n > 0 && n <= kMaxVideoBytes) {
                bytes[static_cast<int>(*q)] = n;
                anyBytes = true;
            }
        }
    }

    if (status == "fail") {
        info.errorCode = errorCode > 0 && errorCode < 100000 ? static_cast<int>(errorCode) : 100;
        return info;
    }
    if (status != "ok" || length <= 0 || length > kMaxLengthSeconds || !anyBytes) {
        VideoInfo failed = FailedVideoInfo(100);
        failed.reason = L"malformed video info";
        return failed;
    }

    size_t pos = 0;
    while (pos <= fmtList.size()) {
        size_t comma = fmtList.find(',', pos);
        if (comma == std::string::npos) comma = fmtList.size();
        auto q = common::QualityFromName(std::string_view(fmtList).substr(pos, comma - pos));
        pos = comma + 1;
        if (!q || bytes[static_cast<int>(*q)] == 0) continue;
        bool seen = false;
        for (Quality have : info.levels) seen = seen || have == *q;
        if (!seen) info.levels.push_back(*q);
    }
    if (info.levels.empty()) {
        VideoInfo failed = FailedVideoInfo(100);
        failed.reason = L"no playable quality level";
        return failed;
    }
    // Highest first, whatever order the list came in.
    for (size_t i = 1; i < info.levels.size(); ++i) {
        for (size_t j = i; j > 0 && info.levels[j - 1] < info.levels[j]; --j)
            std::swap(info.levels[j - 1], info.levels[j]);
    }

    info.ok = true;
    info.lengthSeconds = length;
    info.bytes = bytes;
    info.media = std::move(media);
    info.mediaType = std::move(mediaType);
    if (auto rgb = common::ParseRgbHex(color)) info.color = *rgb;
    return info;
}

std::wstring VideoInfo::MediaTypeOf(Quality q) const {
    const std::wstring& named = mediaType[static_cast<int>(q)];
    if (!named.empty()) return named;
    const std::wstring& path = MediaOf(q);
    std::wstring tail = path.substr(0, path.find(L'?'));
    auto endsWith = [&](std::wstring_view ext) {
        return tail.size() >= ext.size() && tail.compare(tail.size() - ext.size(), ext.size(), ext) == 0;
    };
    return endsWith(L".webm") || endsWith(L".WEBM") ? L"video/webm" : L"video/mp4";
}

bool IsPlayerMovie(std::string_view body) {
    if (body.substr(0, kMovieMagic.size()) != kMovieMagic) return false;
    std::string_view rest = body.substr(kMovieMagic.size());
    return rest.empty() || rest[0] == '\n' || rest.substr(0, 2) == "\r\n";
}

std::optional<HttpUrl> ParseHttpUrl(std::wstring_view url) {
    constexpr std::wstring_view kScheme = L"http://";
    if (url.size() < kScheme.size()) return std::nullopt;
    for (size_t i = 0; i < kScheme.size(); ++i) {
        wchar_t c = url[i];
        if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
        if (c != kScheme[i]) return std::nullopt;
    }
    url.remove_prefix(kScheme.size());
    size_t slash = url.find_first_of(L"/?#");
    std::wstring_view authority = url.substr(0, slash);
    HttpUrl out;
    if (slash == std::wstring_view::npos) {
        out.pathAndQuery = L"/";
    } else {
        std::wstring_view rest = url.substr(slash);
        rest = rest.substr(0, rest.find(L'#'));
        out.pathAndQuery = rest.empty() || rest[0] != L'/' ? L"/" + std::wstring(rest) : std::wstring(rest);
    }
    const std::optional<common::HostPort> server = common::ParseHostPort(authority);
    if (!server) return std::nullopt;
    out.host = server->name;
    out.port = server->port;
    return out;
}

}  // namespace playerctl
