#include "videoinfo/feed_address.h"

#include "common/percent.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

}  // namespace

FeedHost FeedHostFromSetting(std::wstring_view value) {
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
    if (auto host = common::ParseHostPort(value)) return *host;
    return *common::ParseHostPort(kDefaultFeedHost);
}

std::wstring FeedPath(std::wstring_view videoId) {
    return L"/feeds/api/videos/" + common::PercentEncode(videoId);
}

std::wstring FeedUrl(const FeedHost& host, std::wstring_view videoId) {
    std::wstring url = L"http://" + host.name;
    if (host.port != common::kDefaultHttpPort) url += L":" + std::to_wstring(host.port);
    return url + FeedPath(videoId);
}
