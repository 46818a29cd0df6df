#include "fetch_worker.h"

#include <wininet.h>

#include <mutex>
#include <system_error>
#include <utility>

#include "common/detached_thread.h"
#include "media/com_edge.h"

namespace playerctl {

namespace {

// Only the first line of the movie matters; an info answer is a few hundred bytes.
constexpr std::size_t kMovieBodyLimit = 64 * 1024;
constexpr std::size_t kInfoBodyLimit = 1024 * 1024;

// Connect, send and receive each give up after this long.
constexpr unsigned long kFetchTimeoutMs = 5000;
constexpr wchar_t kUserAgent[] = L"Clipdeck";
// Fresh from the host every time: no cache, cookies, redirects or dialogs.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;

}  // namespace

struct FetchWorker::Mailbox {
    std::mutex mutex;
    HWND window = nullptr;  // null once closed
    UINT message = 0;
    std::deque<Result> results;

    void Deliver(Result result) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!window) return;
        results.push_back(std::move(result));
        PostMessageW(window, message, 0, 0);
    }
};

FetchWorker::FetchWorker(HWND window, UINT doneMessage, Get get)
    : mailbox_(std::make_shared<Mailbox>()), get_(std::move(get)) {
    mailbox_->window = window;
    mailbox_->message = doneMessage;
}

FetchWorker::~FetchWorker() { Close(); }

void FetchWorker::Start(Kind kind, std::uint64_t movie, std::uint64_t generation, const std::wstring& host,
                        std::uint16_t port, std::wstring pathAndQuery) {
    common::HttpGetRequest request;
    request.host = host;
    request.port = port;
    request.pathAndQuery = std::move(pathAndQuery);
    request.userAgent = kUserAgent;
    request.flags = kRequestFlags;
    request.timeoutMs = kFetchTimeoutMs;
    request.maxBody = kind == Kind::Movie ? kMovieBodyLimit : kInfoBodyLimit;
    auto work = [mailbox = mailbox_, get = get_, kind, movie, generation, request = std::move(request)] {
        ThreadEdge([&] { mailbox->Deliver({kind, movie, generation, get(request)}); },
                   [&] { mailbox->Deliver({kind, movie, generation, common::HttpGetResult{}}); });
    };
    try {
        common::StartDetached(std::move(work));
    } catch (const std::system_error&) {
        // No thread: the fetch fails at once, as if nobody answered.
        mailbox_->Deliver({kind, movie, generation, common::HttpGetResult{}});
    }
}

std::deque<FetchWorker::Result> FetchWorker::Take() {
    std::deque<Result> results;
    std::lock_guard<std::mutex> lock(mailbox_->mutex);
    results.swap(mailbox_->results);
    return results;
}

void FetchWorker::Close() {
    std::lock_guard<std::mutex> lock(mailbox_->mutex);
    mailbox_->window = nullptr;
    mailbox_->results.clear();
}

}  // namespace playerctl
