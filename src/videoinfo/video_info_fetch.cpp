#include "videoinfo/video_info_fetch.h"

#include <windows.h>
#include <wininet.h>

#include <string>
#include <utility>

#include "common/win/http_get.h"
#include "core/environment.h"
#include "core/host_wait.h"
#include "videoinfo/feed_address.h"
#include "videoinfo/video_info_parse.h"

int FetchVideoInfo(std::wstring videoId, std::wstring* reply) {
    return FetchVideoInfoWithTimeout(std::move(videoId), reply, kFetchTimeoutMs);
}

int FetchVideoInfoWithTimeout(std::wstring videoId, std::wstring* reply, unsigned long timeoutMs) {
    if (reply == nullptr) return kFetchNoTarget;
    reply->clear();

    // A request made while the program's own service is starting goes to
    // it once it listens, within the same bound as an answer.
    WaitForHosts(timeoutMs);
    const FeedHost host = FeedHostFromSetting(EnvironmentVariable(kFeedHostVariable));
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
