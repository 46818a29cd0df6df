#include "videoinfo/video_info_fetch.h"

#include <windows.h>
#include <wininet.h>

#include <string>
#include <utility>

#include "common/win/http_get.h"
#include "videoinfo/feed_address.h"
#include "videoinfo/video_info_parse.h"

namespace {

std::wstring ReadEnvironment(const wchar_t* name) {
    std::wstring value(64, L'\0');
    for (;;) {
        const DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return {};
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);  // too small: length is the size needed, terminator included
    }
}

}  // namespace

int FetchVideoInfo(std::wstring videoId, std::wstring* reply) {
    return FetchVideoInfoWithTimeout(std::move(videoId), reply, kFetchTimeoutMs);
}

int FetchVideoInfoWithTimeout(std::wstring videoId, std::wstring* reply, unsigned long timeoutMs) {
    if (reply == nullptr) return kFetchNoTarget;
    reply->clear();

    const FeedHost host = FeedHostFromSetting(ReadEnvironment(kFeedHostVariable));
    common::HttpGetRequest request;
    request.host = host.name;
    request.port = host.port;
    request.pathAndQuery = FeedPath(videoId);
    request.userAgent = kFetchUserAgent;
    // Always from the server, never from or into the cache; no dialog of any
    // kind, since web capture fetches in the background.
    request.flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    request.timeoutMs = timeoutMs;
    request.maxBody = kMaxReplyBytes;

    const common::HttpGetResult result = common::HttpGet(request);
    if (!result.answered) return kFetchClientError;
    if (result.status != HTTP_STATUS_OK) return kFetchHttpStatus;
    if (!result.complete) return kFetchClientError;  // read error, time-out or over the cap

    *reply = DecodeReplyBody(result.body);
    return kFetchOk;
}
