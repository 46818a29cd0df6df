#pragma once
// The control's HTTP worker: each fetch (the movie, a video's info) runs on
// a thread of its own, and what it brings waits in a mailbox until the
// window takes it, told by a posted message. Threads outlive the window if
// they must: once it is closed the mailbox swallows what they bring.
// Internal to playerctl.

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "common/win/http_get.h"

namespace playerctl {

class FetchWorker {
public:
    enum class Kind { Movie, Info };

    struct Result {
        Kind kind;
        std::uint64_t movie;       // LoadMovie generation it belongs to
        std::uint64_t generation;  // video generation (Info)
        common::HttpGetResult http;
    };

    // How a request goes out (common::HttpGet in the product).
    using Get = std::function<common::HttpGetResult(const common::HttpGetRequest&)>;

    // `window` gets `doneMessage` posted after each fetch.
    FetchWorker(HWND window, UINT doneMessage, Get get = common::HttpGet);
    // Closes.
    ~FetchWorker();
    FetchWorker(const FetchWorker&) = delete;
    FetchWorker& operator=(const FetchWorker&) = delete;

    // GET http://host:port/pathAndQuery. A thread that cannot be made, or a
    // fetch that throws, brings a result that nobody answered.
    void Start(Kind kind, std::uint64_t movie, std::uint64_t generation, const std::wstring& host,
               std::uint16_t port, std::wstring pathAndQuery);
    // What has come since the last call, oldest first.
    std::deque<Result> Take();
    // The window goes: nothing more is posted, and what is still on its way
    // is dropped.
    void Close();

private:
    struct Mailbox;
    std::shared_ptr<Mailbox> mailbox_;
    Get get_;
};

}  // namespace playerctl
