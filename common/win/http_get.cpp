#include "common/win/http_get.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <optional>

namespace common {

namespace {

constexpr DWORD kReadChunk = 8192;

struct InternetHandleCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

// WinINet honours time-outs only on the connection and request handles: set
// on the session alone they are ignored, and a server that accepts and never
// answers holds the call for minutes.
bool SetTimeouts(HINTERNET handle, DWORD timeoutMs) {
    for (const DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD value = timeoutMs;
        if (!InternetSetOptionW(handle, option, &value, sizeof(value))) return false;
    }
    return true;
}

}  // namespace

HttpGetResult HttpGet(const HttpGetRequest& request) {
    HttpGetResult result;
    const InternetHandle session(
        InternetOpenW(request.userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return result;

    const InternetHandle connection(InternetConnectW(session.get(), request.host.c_str(), request.port, nullptr,
                                                     nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection || !SetTimeouts(connection.get(), request.timeoutMs)) return result;

    const InternetHandle get(HttpOpenRequestW(connection.get(), L"GET", request.pathAndQuery.c_str(), nullptr,
                                              nullptr, nullptr, request.flags, 0));
    if (!get || !SetTimeouts(get.get(), request.timeoutMs)) return result;

    if (!HttpSendRequestW(get.get(), nullptr, 0, nullptr, 0)) return result;

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!HttpQueryInfoW(get.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusSize,
                        nullptr)) {
        return result;
    }
    // A connection closed before any status line still "succeeds" here with
    // status 0 (Wine): that is no answer.
    if (status < 100 || status > 599) return result;
    result.answered = true;
    result.status = status;
    if (status != HTTP_STATUS_OK) return result;

    char chunk[kReadChunk];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(get.get(), chunk, kReadChunk, &read)) return result;
        if (read == 0) break;
        const std::size_t room = request.maxBody - result.body.size();
        if (read > room) {
            result.body.append(chunk, room);
            result.overCap = true;
            return result;
        }
        result.body.append(chunk, read);
    }
    // Cut off by a close or reset, or longer than announced: broken.
    const std::optional<std::uint64_t> announced = AnnouncedLength(get.get());
    if (announced && *announced != result.body.size()) return result;
    result.complete = true;
    return result;
}

std::optional<std::uint64_t> AnnouncedLength(void* request) {
    wchar_t text[32] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return std::nullopt;
    std::uint64_t value = 0;
    int digits = 0;
    for (const wchar_t* c = text; *c; ++c, ++digits) {
        if (*c < L'0' || *c > L'9' || digits == 18) return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(*c - L'0');
    }
    if (digits == 0) return std::nullopt;
    return value;
}

}  // namespace common
