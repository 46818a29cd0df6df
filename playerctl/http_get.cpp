#include "http_get.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>

namespace playerctl {

namespace {

constexpr DWORD kTimeoutMs = 5000;

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET h) : h_(h) {}
    ~InternetHandle() {
        if (h_) InternetCloseHandle(h_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_;
};

void SetTimeouts(HINTERNET h) {
    DWORD timeout = kTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionW(h, option, &timeout, sizeof timeout);
    }
}

}  // namespace

HttpResult HttpGet(const std::wstring& host, unsigned short port, const std::wstring& pathAndQuery,
                   std::size_t maxBody) {
    HttpResult result;
    InternetHandle session(InternetOpenW(L"Clipdeck", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return result;
    // Time-outs count only on the connection and request handles; on the
    // session handle WinINet ignores them.
    InternetHandle connection(InternetConnectW(session.get(), host.c_str(), port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return result;
    SetTimeouts(connection.get());
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;
    InternetHandle request(HttpOpenRequestW(connection.get(), L"GET", pathAndQuery.c_str(), nullptr,
                                            nullptr, nullptr, flags, 0));
    if (!request) return result;
    SetTimeouts(request.get());
    if (!HttpSendRequestW(request.get(), nullptr, 0, nullptr, 0)) return result;

    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr))
        return result;
    result.answered = true;
    result.status = status;

    char buffer[8192];
    while (result.body.size() < maxBody) {
        DWORD read = 0;
        if (!InternetReadFile(request.get(), buffer, sizeof buffer, &read) || read == 0) break;
        result.body.append(buffer, std::min<std::size_t>(read, maxBody - result.body.size()));
    }
    return result;
}

}  // namespace playerctl
