#include "videoinfo/video_ref.h"

namespace {
constexpr size_t kVideoIdLength = 11;
}

std::wstring VideoIdFromUrl(const std::wstring& url) {
    size_t p = url.find(L"v=");
    if (p == std::wstring::npos) return {};
    return url.substr(p + 2, kVideoIdLength);
}

std::wstring ParseVideoRef(std::wstring text) {
    if (text.find(L"http://") != std::wstring::npos) return VideoIdFromUrl(text);
    return text.size() == kVideoIdLength ? text : std::wstring();
}
