#include "video_info.h"

#include <charconv>
#include <utility>

#include "external_call.h"

namespace playerctl {

namespace {

constexpr std::wstring_view kQualityNames[kQualityCount] = {L"small",  L"medium", L"large",
                                                           L"hd720",  L"hd1080", L"highres"};

constexpr std::string_view kMovieMagic = "CLIPDECK-PLAYER 1";

bool ParseInt(std::string_view text, std::int64_t& out) {
    if (text.empty()) return false;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    out = value;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecode(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 &&
                   HexDigit(value[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2])));
            i += 2;
        } else {
            out.push_back(c);  // a stray '%' stays as it is
        }
    }
    return out;
}

}  // namespace

std::wstring_view QualityName(Quality q) { return kQualityNames[static_cast<int>(q)]; }

std::optional<Quality> QualityFromName(std::wstring_view name) {
    for (int i = 0; i < kQualityCount; ++i) {
        if (kQualityNames[i] == name) return static_cast<Quality>(i);
    }
    return std::nullopt;
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            cp &= 0xFFFF;
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() &&
                (text[i + 1] & 0xFC00) == 0xDC00) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
                ++i;
            }
        }
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::wstring FromUtf8(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        size_t extra;
        char32_t cp, min;
        if (lead < 0x80) { extra = 0; cp = lead; min = 0; }
        else if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; min = 0x80; }
        else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; min = 0x800; }
        else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; min = 0x10000; }
        else { out.push_back(static_cast<wchar_t>(0xFFFD)); ++i; continue; }
        // Take continuation bytes while they last; a short or bad sequence is
        // one replacement character and decoding resumes at the byte that broke it.
        size_t used = 1;
        while (used <= extra && i + used < bytes.size() &&
               (static_cast<unsigned char>(bytes[i + used]) & 0xC0) == 0x80) {
            cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + used]) & 0x3F);
            ++used;
        }
        i += used;
        if (used != extra + 1 || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            continue;
        }
        AppendCodePoint(out, cp);
    }
    return out;
}

std::wstring DecodeFormValue(std::string_view value) { return FromUtf8(PercentDecode(value)); }

std::wstring PercentEncode(std::wstring_view text) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    for (unsigned char c : ToUtf8(text)) {
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '_' || c == '.' || c == '~';
        if (unreserved) {
            out.push_back(static_cast<wchar_t>(c));
        } else {
            out.push_back(L'%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
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
    std::array<std::int64_t, kQualityCount> bytes{};
    bool anyBytes = false;

    size_t start = 0;
    while (start <= body.size()) {
        size_t amp = body.find('&', start);
        if (amp == std::string_view::npos) amp = body.size();
        std::string_view pair = body.substr(start, amp - start);
        start = amp + 1;
        size_t eq = pair.find('=');
        if (eq == std::string_view::npos) continue;
        std::string key = PercentDecode(pair.substr(0, eq));
        std::string_view raw = pair.substr(eq + 1);
        if (key == "status") status = PercentDecode(raw);
        else if (key == "errorcode") ParseInt(PercentDecode(raw), errorCode);
        else if (key == "reason") info.reason = DecodeFormValue(raw);
        else if (key == "video_id") info.videoId = DecodeFormValue(raw);
        else if (key == "title") info.title = DecodeFormValue(raw);
        else if (key == "length_seconds") ParseInt(PercentDecode(raw), length);
        else if (key == "fmt_list") fmtList = PercentDecode(raw);
        else if (key == "color") color = PercentDecode(raw);
        else if (key.rfind("bytes_", 0) == 0) {
            std::wstring levelName = FromUtf8(key.substr(6));
            std::int64_t n = 0;
            auto q = QualityFromName(levelName);
            if (q && ParseInt(PercentDecode(raw), n) && n > 0 && n <= kMaxVideoBytes) {
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
        auto q = QualityFromName(FromUtf8(std::string_view(fmtList).substr(pos, comma - pos)));
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
    if (color.size() == 6) {
        std::uint32_t rgb = 0;
        bool good = true;
        for (char c : color) {
            int d = HexDigit(c);
            good = good && d >= 0;
            rgb = rgb * 16 + (d >= 0 ? d : 0);
        }
        if (good) info.color = rgb;
    }
    return info;
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
    if (authority.find(L'@') != std::wstring_view::npos) return std::nullopt;
    size_t colon = authority.rfind(L':');
    if (colon != std::wstring_view::npos) {
        std::wstring_view port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5) return std::nullopt;
        unsigned value = 0;
        for (wchar_t c : port) {
            if (c < L'0' || c > L'9') return std::nullopt;
            value = value * 10 + (c - L'0');
        }
        if (value == 0 || value > 65535) return std::nullopt;
        out.port = static_cast<unsigned short>(value);
        authority = authority.substr(0, colon);
    }
    if (authority.empty()) return std::nullopt;
    for (wchar_t c : authority) {
        if (c <= L' ' || c == L'/' || c == L'\\') return std::nullopt;
    }
    out.host.assign(authority);
    return out;
}

}  // namespace playerctl
