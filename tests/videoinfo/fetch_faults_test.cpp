// The metadata fetch against the local service misbehaving on purpose: every
// broken transfer ends in a failure result with an empty reply, soon, and
// the next request is served as usual. Run by with-service.sh.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "common/detached_thread.h"
#include "service_faults.h"
#include "videoinfo/video_info_fetch.h"
#include "videoinfo/video_info_parse.h"

namespace {

using clipdeck::test::ServiceHostSetting;
using clipdeck::test::SetServiceFaults;

constexpr char kFeedPath[] = "/feeds/api/videos/";

struct Outcome {
    bool finished = false;
    int result = -1;
    std::wstring reply = L"stale";
};

// The fetch on a thread of its own, waited for at most `boundMs`: a fetch
// that hangs fails the test instead of holding it.
Outcome FetchWithin(const std::wstring& id, unsigned long timeoutMs, int boundMs) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        Outcome outcome;
    };
    auto shared = std::make_shared<Shared>();
    common::StartDetached([shared, id, timeoutMs] {
        std::wstring reply = L"stale";
        const int result = FetchVideoInfoWithTimeout(id, &reply, timeoutMs);
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->outcome = {true, result, std::move(reply)};
        shared->done.notify_all();
    });
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->done.wait_for(lock, std::chrono::milliseconds(boundMs), [&] { return shared->outcome.finished; });
    return shared->outcome;
}

class FetchFaultsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ServiceHostSetting().empty()) << "run by with-service.sh";
        ASSERT_TRUE(SetServiceFaults({}));
        const Outcome plain = FetchWithin(L"cdPlain0001", kFetchTimeoutMs, 20000);
        ASSERT_EQ(plain.result, kFetchOk);
        whole_ = plain.reply;
        ASSERT_FALSE(ParseTitle(whole_).empty());
    }
    void TearDown() override { EXPECT_TRUE(SetServiceFaults({})); }

    std::wstring whole_;  // the unfaulted reply for cdPlain0001
};

// 500 ms time-outs: the waits of a stall or a slow drip stay short.
TEST_F(FetchFaultsTest, EveryBrokenTransferGivesThreeAndAnEmptyReply) {
    for (const char* fault : {"refuse", "reset", "reset:100", "partial:100", "partial:0", "long:50", "stall",
                              "drip:2000", "reset:0"}) {
        ASSERT_TRUE(SetServiceFaults({std::string(kFeedPath) + "cdPlain0001=" + fault})) << fault;
        const Outcome broken = FetchWithin(L"cdPlain0001", 500, 20000);
        ASSERT_TRUE(broken.finished) << fault;
        EXPECT_EQ(broken.result, kFetchClientError) << fault;
        EXPECT_EQ(broken.reply, L"") << fault;
        // Only that video's entry is faulted, and the fetch after a failed one works.
        const Outcome other = FetchWithin(L"cdJapan0001", 500, 20000);
        ASSERT_TRUE(other.finished) << fault;
        EXPECT_EQ(other.result, kFetchOk) << fault;
        EXPECT_FALSE(ParseTitle(other.reply).empty()) << fault;
    }
}

TEST_F(FetchFaultsTest, ASlowButSteadyAnswerIsWaitedForAndArrivesWhole) {
    ASSERT_TRUE(SetServiceFaults({std::string(kFeedPath) + "cdPlain0001=drip:1"}));
    const Outcome slow = FetchWithin(L"cdPlain0001", kFetchTimeoutMs, 60000);
    ASSERT_TRUE(slow.finished);
    EXPECT_EQ(slow.result, kFetchOk);
    EXPECT_EQ(slow.reply, whole_);
}

TEST_F(FetchFaultsTest, AShortLengthGivesTheAnnouncedBodyOrAFailure) {
    // Windows' WinINet stops at the announced length, and the parsers see a
    // document without its end; Wine's reads on to the close, and a body
    // longer than announced is a broken answer.
    ASSERT_TRUE(SetServiceFaults({std::string(kFeedPath) + "=short:8"}));
    const Outcome cut = FetchWithin(L"cdPlain0001", kFetchTimeoutMs, 20000);
    ASSERT_TRUE(cut.finished);
    if (cut.result == kFetchOk) {
        EXPECT_EQ(cut.reply, whole_.substr(0, whole_.size() - 8));
    } else {
        EXPECT_EQ(cut.result, kFetchClientError);
        EXPECT_EQ(cut.reply, L"");
    }
}

TEST_F(FetchFaultsTest, AFaultAfterACountHitsOnlyTheLaterRequests) {
    ASSERT_TRUE(SetServiceFaults({std::string(kFeedPath) + "=reset@2"}));
    for (int i = 0; i < 2; ++i) {
        const Outcome fine = FetchWithin(L"cdPlain0001", kFetchTimeoutMs, 20000);
        EXPECT_EQ(fine.result, kFetchOk) << i;
        EXPECT_EQ(fine.reply, whole_) << i;
    }
    const Outcome third = FetchWithin(L"cdPlain0001", kFetchTimeoutMs, 20000);
    ASSERT_TRUE(third.finished);
    EXPECT_EQ(third.result, kFetchClientError);
    EXPECT_EQ(third.reply, L"");
}

}  // namespace
