#include "player/protocol.h"

#include <cstdio>
#include <cwchar>

#include "common/number_scan.h"
#include "common/xml_text.h"

namespace protocol {
namespace {

const std::wstring kNumberOpen = L"<number>";
const std::wstring kNumberClose = L"</number>";
const std::wstring kStringOpen = L"<string>";
const std::wstring kStringClose = L"</string>";

std::wstring invoke(const wchar_t* name, const std::wstring& arguments) {
    return std::wstring(L"<invoke name=\"") + name + L"\" returntype=\"xml\"><arguments>" + arguments +
           L"</arguments></invoke>";
}

// A query without arguments: the reply type is named.
std::wstring query(const wchar_t* name) {
    return std::wstring(L"<invoke name=\"") + name + L"\" returntype=\"xml\"></invoke>";
}

// A command without arguments and without reply type.
std::wstring command(const wchar_t* name) { return std::wstring(L"<invoke name=\"") + name + L"\"></invoke>"; }

std::wstring stringArg(const std::wstring& text) { return kStringOpen + common::EscapeXml(text) + kStringClose; }

std::wstring integerArg(long value) { return kNumberOpen + std::to_wstring(value) + kNumberClose; }

std::wstring realArg(double value) {
    char digits[512];
    std::snprintf(digits, sizeof digits, "%.3f", value);
    std::wstring text;
    for (const char* c = digits; *c; ++c) text += static_cast<wchar_t>(*c);
    return kNumberOpen + text + kNumberClose;
}

// The text between the first `open` and the first `close`, both searched
// from the start, with the start and length clamped to the text.
std::wstring extract(const std::wstring& text, const std::wstring& open, const std::wstring& close) {
    const long long size = static_cast<long long>(text.size());
    size_t foundOpen = text.find(open);
    size_t foundClose = text.find(close);
    long long i = foundOpen == std::wstring::npos ? -1 : static_cast<long long>(foundOpen);
    long long j = foundClose == std::wstring::npos ? -1 : static_cast<long long>(foundClose);
    long long start = i + static_cast<long long>(open.size());
    long long length = j - i - static_cast<long long>(open.size());
    if (start < 0) start = 0;
    if (length < 0) length = 0;
    if (start >= size) return {};
    if (start + length > size) length = size - start;
    return text.substr(static_cast<size_t>(start), static_cast<size_t>(length));
}

}  // namespace

std::wstring addStateListener() {
    return invoke(L"addEventListener", stringArg(L"onStateChange") + stringArg(L"onStateChangeHandler"));
}
std::wstring addQualityListener() {
    return invoke(L"addEventListener",
                  stringArg(L"onPlaybackQualityChange") + stringArg(L"onPlaybackQualityChangeHandler"));
}
std::wstring addErrorListener() {
    return invoke(L"addEventListener", stringArg(L"onError") + stringArg(L"onErrorHandler"));
}

std::wstring loadVideoById(const std::wstring& videoId) { return loadVideoById(videoId, 0); }
std::wstring loadVideoById(const std::wstring& videoId, long startSeconds) {
    return invoke(L"loadVideoById", stringArg(videoId) + integerArg(startSeconds) + stringArg(L"default"));
}

std::wstring playVideo() { return command(L"playVideo"); }
std::wstring pauseVideo() { return command(L"pauseVideo"); }
std::wstring stopVideo() { return command(L"stopVideo"); }
std::wstring seekToStart() { return invoke(L"seekTo", integerArg(0) + L"<true/>"); }
std::wstring seekTo(double seconds) { return invoke(L"seekTo", realArg(seconds) + L"<true/>"); }
std::wstring mute() { return command(L"mute"); }
std::wstring unMute() { return command(L"unMute"); }
std::wstring isMuted() { return query(L"isMuted"); }
std::wstring setVolume(int volume) { return invoke(L"setVolume", integerArg(volume)); }
std::wstring getVolume() { return query(L"getVolume"); }
std::wstring getVideoBytesLoaded() { return query(L"getVideoBytesLoaded"); }
std::wstring getVideoBytesTotal() { return query(L"getVideoBytesTotal"); }
std::wstring getVideoStartBytes() { return query(L"getVideoStartBytes"); }
std::wstring getCurrentTime() { return query(L"getCurrentTime"); }
std::wstring getDuration() { return query(L"getDuration"); }
std::wstring getVideoUrl() { return query(L"getVideoUrl"); }
std::wstring getPlaybackQuality() { return query(L"getPlaybackQuality"); }
std::wstring setPlaybackQuality(const std::wstring& quality) {
    return invoke(L"setPlaybackQuality", stringArg(quality));
}
std::wstring getAvailableQualityLevels() { return query(L"getAvailableQualityLevels"); }

std::wstring UndefinedAnswer() { return L"<undefined/>"; }
std::wstring LocationAnswer() { return std::wstring(L"<string >") + L"http://" + kWebHost + L"/watch/" + L"</string>"; }

long GetReplyLong(std::wstring reply) {
    // Byte counts of very large videos do not fit 32 bits; they saturate
    // rather than wrap into nonsense.
    return common::ScanLong(extract(reply, kNumberOpen, kNumberClose));
}

double GetReplyDouble(std::wstring reply) {
    std::wstring text = extract(reply, kNumberOpen, kNumberClose);
    if (text.empty()) return 0.0;
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    double value = std::wcstod(begin, &end);
    if (end == begin) return 0.0;
    return value;
}

bool GetReplyBool(std::wstring reply) { return reply.find(L"true") != std::wstring::npos; }

std::wstring GetReplyString(std::wstring reply) { return extract(reply, kStringOpen, kStringClose); }

std::vector<std::wstring> GetReplyStringList(std::wstring reply) {
    std::vector<std::wstring> list;
    size_t p = 0;
    while (p <= reply.size()) {
        size_t i = reply.find(kStringOpen, p);
        if (i == std::wstring::npos) break;
        size_t j = reply.find(kStringClose, p);
        if (j == std::wstring::npos) break;
        if (j >= i + kStringOpen.size()) list.push_back(reply.substr(i + kStringOpen.size(), j - i - kStringOpen.size()));
        p = j + kStringClose.size();
    }
    return list;
}

}  // namespace protocol
