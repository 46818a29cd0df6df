// The edges where an exception of ours would meet a caller that cannot take
// one: Media Foundation reading our stream, the decode thread, the fetch
// thread. Each is given a failure that throws and must turn it into the
// failure its caller understands, with the process going on.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "playerctl/fetch_worker.h"
#include "playerctl/media/block_cache.h"
#include "playerctl/media/decoder.h"
#include "playerctl/media/range_stream.h"

namespace playerctl {
namespace {

constexpr UINT kMsgNews = WM_APP + 7;

// A cache whose every fetch throws: running out of memory, or anything else.
std::shared_ptr<BlockCache> ThrowingCache(bool memory) {
    return std::make_shared<BlockCache>([memory](std::int64_t, std::int64_t, std::string&, std::int64_t&) -> bool {
        if (memory) throw std::bad_alloc();
        throw std::runtime_error("injected");
    });
}

// A window that only collects posted messages.
class Listener {
public:
    Listener() : hwnd_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
    ~Listener() { DestroyWindow(hwnd_); }
    HWND Handle() const { return hwnd_; }
    // Waits for the next kMsgNews; false after `ms`.
    bool Wait(DWORD ms = 5000) {
        DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            if (PeekMessageW(&msg, hwnd_, kMsgNews, kMsgNews, PM_REMOVE)) return true;
            if (GetTickCount() - start >= ms) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
        }
    }

private:
    HWND hwnd_;
};

TEST(ComEdges, CacheStreamMethodsTurnExceptionsIntoFailures) {
    struct Case {
        const char* what;
        std::shared_ptr<BlockCache> cache;
        HRESULT expected;
    };
    const Case cases[] = {{"memory", ThrowingCache(true), E_OUTOFMEMORY},
                          {"anything else", ThrowingCache(false), E_FAIL}};
    for (const Case& c : cases) {
        Microsoft::WRL::ComPtr<IStream> stream = MakeCacheStream(c.cache);
        ASSERT_TRUE(stream) << c.what;
        char buffer[16];
        ULONG done = 99;
        EXPECT_EQ(stream->Read(buffer, sizeof buffer, &done), c.expected) << c.what;
        EXPECT_EQ(done, 0u) << c.what;
        EXPECT_TRUE(c.cache->LastReadFailed()) << c.what << ": an error, not the end of the media";
        STATSTG stat;
        EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), c.expected) << c.what;
        LARGE_INTEGER zero{};
        EXPECT_EQ(stream->Seek(zero, STREAM_SEEK_END, nullptr), c.expected) << c.what;
    }
}

// The decoder asked to open media whose cache cannot be made, and media
// whose every read throws: both end in a report of failure (error 5 for
// the player) for the Open's serial.
TEST(ThreadEdges, DecodeThreadReportsWhatThrowsAsFailedMedia) {
    struct Case {
        const char* what;
        MediaDecoder::CacheFactory factory;
    };
    const Case cases[] = {
        {"the cache's allocation throws", [](const std::wstring&) -> std::shared_ptr<BlockCache> { throw std::bad_alloc(); }},
        {"every read throws", [](const std::wstring&) { return ThrowingCache(false); }},
    };
    for (const Case& c : cases) {
        Listener listener;
        MediaDecoder decoder(c.factory, listener.Handle(), kMsgNews);
        MediaCommand open;
        open.kind = MediaCommand::Kind::Open;
        open.serial = 7;
        open.path = L"/media/clip.mp4";
        open.contentType = L"video/mp4";
        open.play = true;
        decoder.Send(open);
        MediaReport report;
        while (report.serial != 7 && listener.Wait()) report = decoder.Report();
        EXPECT_EQ(report.serial, 7u) << c.what;
        EXPECT_TRUE(report.failed) << c.what;
    }
    EXPECT_TRUE(MediaDecoder::StopAll(std::chrono::seconds(10))) << "the threads ended";
}

TEST(ThreadEdges, FetchThatThrowsComesBackUnanswered) {
    Listener listener;
    FetchWorker worker(listener.Handle(), kMsgNews,
                       [](const common::HttpGetRequest&) -> common::HttpGetResult { throw std::bad_alloc(); });
    worker.Start(FetchWorker::Kind::Info, 3, 9, L"127.0.0.1", 1, L"/get_video_info?video_id=x");
    ASSERT_TRUE(listener.Wait());
    std::deque<FetchWorker::Result> results = worker.Take();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].kind, FetchWorker::Kind::Info);
    EXPECT_EQ(results[0].movie, 3u);
    EXPECT_EQ(results[0].generation, 9u);
    EXPECT_FALSE(results[0].http.answered);
}

}  // namespace
}  // namespace playerctl
