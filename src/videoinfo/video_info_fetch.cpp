#include "videoinfo/video_info_fetch.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>
#include <utility>

#include "videoinfo/feed_address.h"
#include "videoinfo/video_info_parse.h"

namespace {

constexpr DWORD_PTR kContext = 1;
constexpr DWORD kReadChunk = 4096;

struct InternetHandleCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

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

// WinINet ignores time-outs set only on the session handle once a server has
// accepted the connection, so they go on each handle of the request.
bool SetTimeouts(HINTERNET handle, DWORD timeoutMs) {
    for (const DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD value = timeoutMs;
        if (!InternetSetOptionW(handle, option, &value, sizeof(value))) return false;
    }
    return true;
}

}  // namespace

int FetchVideoInfo(std::wstring videoId, std::wstring* reply) {
    return FetchVideoInfoWithTimeout(std::move(videoId), reply, kFetchTimeoutMs);
}

int FetchVideoInfoWithTimeout(std::wstring videoId, std::wstring* reply, unsigned long timeoutMs) {
    if (reply == nullptr) return kFetchNoTarget;
    reply->clear();

    const FeedHost host = FeedHostFromSetting(ReadEnvironment(kFeedHostVariable));
    const std::wstring path = FeedPath(videoId);

    const InternetHandle session(InternetOpenW(kFetchUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session || !SetTimeouts(session.get(), timeoutMs)) return kFetchClientError;

    const InternetHandle connection(InternetConnectW(session.get(), host.name.c_str(), host.port, nullptr, nullptr,
                                                     INTERNET_SERVICE_HTTP, 0, kContext));
    if (!connection || !SetTimeouts(connection.get(), timeoutMs)) return kFetchClientError;

    // Always from the server, never from or into the cache; no dialog of any
    // kind, since web capture fetches in the background.
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;
    const InternetHandle request(
        HttpOpenRequestW(connection.get(), L"GET", path.c_str(), nullptr, nullptr, nullptr, flags, kContext));
    if (!request || !SetTimeouts(request.get(), timeoutMs)) return kFetchClientError;

    if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return kFetchClientError;

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize,
                        nullptr)) {
        return kFetchClientError;
    }
    if (status != HTTP_STATUS_OK) return kFetchHttpStatus;

    std::string body;
    char chunk[kReadChunk];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request.get(), chunk, kReadChunk, &read)) return kFetchClientError;
        if (read == 0) break;
        if (body.size() + read > kMaxReplyBytes) return kFetchClientError;
        body.append(chunk, read);
    }

    *reply = DecodeReplyBody(body);
    return kFetchOk;
}
