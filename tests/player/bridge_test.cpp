// The bridge against the scripted control, inside a real player window and
// with the real monitor collecting the trace.
#include <gtest/gtest.h>

#include "fake_player.h"
#include "framework/errors.h"
#include "core/trace.h"
#include "monitor/monitor_dlg.h"
#include "player/player_dlg.h"
#include "playerctl/player_control.h"
#include "res/resource.h"
#include "ui_test.h"

using clipdeck::test::FakePlayer;

namespace {

struct RecordingListener : CClipdeckListener {
    std::vector<std::wstring> events;
    std::function<void()> onEvent;
    void onPlayerReady() override { record(L"ready"); }
    void OnError(long code) override { record(L"error " + std::to_wstring(code)); }
    void onStateChange(long state) override { record(L"state " + std::to_wstring(state)); }
    void onPlaybackQualityChange(std::wstring quality) override { record(L"quality " + quality); }
    void record(const std::wstring& e) {
        events.push_back(e);
        if (onEvent) onEvent();
    }
};

std::vector<std::wstring> splitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t p; (p = text.find(L"\r\n", start)) != std::wstring::npos; start = p + 2) {
        lines.push_back(text.substr(start, p - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

const std::wstring kReadyCall =
    L"<invoke name=\"onYouTubePlayerReady\" returntype=\"xml\"><arguments><string></string></arguments></invoke>";

class BridgeTest : public testing::Test {
protected:
    static void SetUpTestSuite() { FakePlayer::Register(); }

    void SetUp() override {
        fake().Reset();
        ASSERT_TRUE(monitor.Create(nullptr));
        SetTraceSink(&monitor);
        ASSERT_TRUE(player.Create(nullptr));
        player.bridge().addListener(&listener);
    }
    void TearDown() override {
        player.DestroyWindow();
        monitor.DestroyWindow();
    }

    FakePlayer& fake() { return FakePlayer::Instance(); }
    CPlayerBridge& bridge() { return player.bridge(); }
    std::vector<std::wstring> trace() {
        return splitLines(clipdeck::test::ItemText(monitor.hwnd(), IDE_MONITOR_LOG));
    }
    void makeReady() {
        ASSERT_EQ(fake().FireFlashCall(kReadyCall), L"<undefined/>");
        ::SetDlgItemTextW(monitor.hwnd(), IDE_MONITOR_LOG, L"");
        listener.events.clear();
        fake().Reset();
    }

    clipdeck::test::MessageCatcher catcher;
    CMonitorDlg monitor;
    CPlayerDlg player;
    RecordingListener listener;
};

}  // namespace

TEST(BridgeWithoutControl, ReturnsNeutralValuesAndWritesNothing) {
    CMonitorDlg monitor;
    ASSERT_TRUE(monitor.Create(nullptr));
    SetTraceSink(&monitor);
    CPlayerBridge bridge;
    EXPECT_DOUBLE_EQ(bridge.getCurrentTime(), 0.0);
    EXPECT_DOUBLE_EQ(bridge.getDuration(), 0.0);
    EXPECT_TRUE(bridge.getAvailableQualityLevels().empty());
    EXPECT_EQ(bridge.getVideoUrl(), L"");
    EXPECT_FALSE(bridge.isMuted());
    EXPECT_EQ(bridge.getVolume(), 0);
    EXPECT_EQ(bridge.getVideoBytesTotal(), 0);
    bridge.playVideo();
    bridge.loadVideoById(L"abcdefghijk", 5);
    bridge.loadPlayerMovie();
    EXPECT_EQ(clipdeck::test::ItemText(monitor.hwnd(), IDE_MONITOR_LOG), L"");
    monitor.DestroyWindow();
}

TEST_F(BridgeTest, TracedOperationsWriteRequestThenReply) {
    makeReady();
    fake().Reply(L"getVideoUrl", L"<string>http://www.youtube.com/watch?v=abcdefghijk</string>");
    fake().Reply(L"isMuted", L"<true/>");
    bridge().playVideo();
    EXPECT_EQ(trace(), (std::vector<std::wstring>{L"CallFunction():<invoke name=\"playVideo\"></invoke>",
                                                  L"ReturnValue:<undefined/>"}));
    EXPECT_EQ(bridge().getVideoUrl(), L"http://www.youtube.com/watch?v=abcdefghijk");
    EXPECT_TRUE(bridge().isMuted());
    bridge().seekTo(30);
    bridge().setPlaybackQuality(L"large");
    bridge().loadVideoById(L"abcdefghijk");
    auto lines = trace();
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[2], L"CallFunction():<invoke name=\"getVideoUrl\" returntype=\"xml\"></invoke>");
    EXPECT_EQ(lines[3], L"ReturnValue:<string>http://www.youtube.com/watch?v=abcdefghijk</string>");
    EXPECT_EQ(lines[6], L"CallFunction():<invoke name=\"seekTo\" returntype=\"xml\"><arguments><number>30.000"
                        L"</number><true/></arguments></invoke>");
}

TEST_F(BridgeTest, PollingQueriesWriteNoTrace) {
    makeReady();
    fake().Reply(L"getCurrentTime", L"<number>12.5</number>");
    fake().Reply(L"getDuration", L"<number>213</number>");
    fake().Reply(L"getVolume", L"<number>75.9</number>");
    fake().Reply(L"getVideoBytesLoaded", L"<number>1000</number>");
    EXPECT_DOUBLE_EQ(bridge().getCurrentTime(), 12.5);
    EXPECT_DOUBLE_EQ(bridge().getDuration(), 213.0);
    EXPECT_EQ(bridge().getVolume(), 75);
    bridge().setVolume(40);
    EXPECT_EQ(bridge().getVideoBytesLoaded(), 1000);
    EXPECT_EQ(bridge().getVideoBytesTotal(), 0);
    EXPECT_EQ(bridge().getVideoStartBytes(), 0);
    bridge().getPlaybackQuality();
    EXPECT_TRUE(trace().empty());
    EXPECT_EQ(fake().callFunctionRequests().size(), 8u);
    EXPECT_EQ(fake().callFunctionRequests()[3],
              L"<invoke name=\"setVolume\" returntype=\"xml\"><arguments><number>40</number></arguments></invoke>");
}

TEST_F(BridgeTest, OperationsBeforeTheReadyCallAreHeldBack) {
    fake().FireReadyState(4);
    fake().Reset();
    bridge().playVideo();
    EXPECT_DOUBLE_EQ(bridge().getDuration(), 0.0);
    EXPECT_TRUE(fake().calls().empty());
    EXPECT_FALSE(bridge().isReady());
}

TEST_F(BridgeTest, ReadyStatesRegisterTheHandlersOnceAtTheFirstFour) {
    for (long state : {0L, 1L, 3L, 4L, 4L}) fake().FireReadyState(state);
    const std::vector<std::wstring> registration = {
        L"<invoke name=\"addEventListener\" returntype=\"xml\"><arguments><string>onStateChange</string>"
        L"<string>onStateChangeHandler</string></arguments></invoke>",
        L"<invoke name=\"addEventListener\" returntype=\"xml\"><arguments><string>onPlaybackQualityChange</string>"
        L"<string>onPlaybackQualityChangeHandler</string></arguments></invoke>",
        L"<invoke name=\"addEventListener\" returntype=\"xml\"><arguments><string>onError</string>"
        L"<string>onErrorHandler</string></arguments></invoke>"};
    EXPECT_EQ(fake().callFunctionRequests(), registration);
    auto lines = trace();
    std::vector<std::wstring> readyLines;
    for (const auto& line : lines) {
        if (line.rfind(L"OnReadySateChange():", 0) == 0) readyLines.push_back(line);
    }
    EXPECT_EQ(readyLines, (std::vector<std::wstring>{L"OnReadySateChange():0", L"OnReadySateChange():1",
                                                    L"OnReadySateChange():3", L"OnReadySateChange():4"}));
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[3], L"CallFunction():" + registration[0]);
    EXPECT_EQ(lines[4], L"ReturnValue:<undefined/>");
    EXPECT_EQ(lines[9], L"OnReadySateChange():4");

    fake().FireReadyState(3);
    fake().FireReadyState(4);
    EXPECT_EQ(fake().callFunctionRequests().size(), 3u);
}

TEST_F(BridgeTest, RegistrationWritesTheRequestBeforeTheCall) {
    fake().Reject(playerctl::kDispCallFunction);
    fake().FireReadyState(4);
    ASSERT_EQ(catcher.errors.size(), 1u);
    auto lines = trace();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(L"CallFunction():<invoke name=\"addEventListener\"", 0), 0u);
}

TEST_F(BridgeTest, PlayerCallsReachListenersAndAreAnsweredUndefined) {
    RecordingListener second;
    bridge().addListener(&second);
    EXPECT_EQ(fake().FireFlashCall(kReadyCall), L"<undefined/>");
    EXPECT_TRUE(bridge().isReady());
    EXPECT_EQ(fake().FireFlashCall(L"<invoke name=\"onStateChangeHandler\" returntype=\"xml\"><arguments>"
                                   L"<number>1</number></arguments></invoke>"),
              L"<undefined/>");
    EXPECT_EQ(fake().FireFlashCall(L"<invoke name=\"onErrorHandler\" returntype=\"xml\"><arguments>"
                                   L"<number>150</number></arguments></invoke>"),
              L"<undefined/>");
    EXPECT_EQ(fake().FireFlashCall(L"<invoke name=\"onPlaybackQualityChangeHandler\" returntype=\"xml\">"
                                   L"<arguments><string>large</string></arguments></invoke>"),
              L"<undefined/>");
    const std::vector<std::wstring> expected{L"ready", L"state 1", L"error 150", L"quality large"};
    EXPECT_EQ(listener.events, expected);
    EXPECT_EQ(second.events, expected);
    auto lines = trace();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], L"FlashCall():" + kReadyCall);
    EXPECT_EQ(lines[1], L"SetReturnValue():<undefined/>");
}

TEST_F(BridgeTest, FunctionCallsGetTheLocationOnlyWhenTheyAskForIt) {
    EXPECT_EQ(fake().FireFlashCall(L"<invoke name=\"__flash__toXML\" returntype=\"xml\"><arguments><string>"
                                   L"function(){return window.location.href;}</string></arguments></invoke>"),
              L"<string >http://www.youtube.com/watch/</string>");
    // "function" decides before any handler name is looked at.
    EXPECT_EQ(fake().FireFlashCall(L"<invoke name=\"onStateChangeHandler\"><arguments><string>function"
                                   L"</string></arguments></invoke>"),
              L"(none)");
    EXPECT_EQ(fake().FireFlashCall(L"<call name=\"onStateChangeHandler\"><number>1</number></call>"), L"(none)");
    EXPECT_EQ(fake().FireFlashCall(L"<invoke name=\"somethingElse\"></invoke>"), L"(none)");
    EXPECT_TRUE(listener.events.empty());
    auto lines = trace();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], L"SetReturnValue():<string >http://www.youtube.com/watch/</string>");
    EXPECT_EQ(lines[3].rfind(L"FlashCall():<call", 0), 0u);
}

TEST_F(BridgeTest, MissingArgumentsArePassedOnAsZeroOrEmpty) {
    fake().FireFlashCall(L"<invoke name=\"onStateChangeHandler\"><arguments></arguments></invoke>");
    fake().FireFlashCall(L"<invoke name=\"onPlaybackQualityChangeHandler\"></invoke>");
    EXPECT_EQ(listener.events, (std::vector<std::wstring>{L"state 0", L"quality "}));
}

TEST_F(BridgeTest, WithoutListenersHandledCallsAreStillAnswered) {
    CPlayerDlg lonely;
    fake().Reset();
    ASSERT_TRUE(lonely.Create(nullptr));
    EXPECT_EQ(fake().FireFlashCall(L"<invoke name=\"onErrorHandler\"><arguments><number>100</number>"
                                   L"</arguments></invoke>"),
              L"<undefined/>");
    lonely.DestroyWindow();
}

TEST_F(BridgeTest, ListenersMayCallThePlayerBeforeTheAnswer) {
    makeReady();
    listener.onEvent = [this] { bridge().stopVideo(); };
    fake().FireFlashCall(L"<invoke name=\"onStateChangeHandler\"><arguments><number>0</number></arguments></invoke>");
    auto lines = trace();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], L"CallFunction():<invoke name=\"stopVideo\"></invoke>");
    EXPECT_EQ(lines[3], L"SetReturnValue():<undefined/>");
}

TEST_F(BridgeTest, ARejectedCallRaisesADispatchErrorAndWritesNothing) {
    makeReady();
    fake().Reject(playerctl::kDispCallFunction);
    EXPECT_THROW(bridge().playVideo(), fw::DispatchError);
    EXPECT_THROW(bridge().getDuration(), fw::DispatchError);
    EXPECT_TRUE(trace().empty());
}
