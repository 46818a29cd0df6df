// The movie's scripting interface and its simulated video, on stepped time.
#include "playerctl/player_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace playerctl {
namespace {

// 30 s of video; medium is 50 000 bytes a second.
constexpr char kCatalogueInfo[] =
    "status=ok&video_id=abcDEF12345&title=Stepped+%E6%99%82%E9%96%93&length_seconds=30"
    "&fmt_list=large,medium,small&bytes_large=3000000&bytes_medium=1500000&bytes_small=600000"
    "&color=336699";

std::wstring Request(const std::wstring& name, const std::wstring& args = L"") {
    return L"<invoke name=\"" + name + L"\" returntype=\"xml\"><arguments>" + args +
           L"</arguments></invoke>";
}

std::wstring Str(const std::wstring& s) { return L"<string>" + s + L"</string>"; }
std::wstring Num(const std::wstring& n) { return L"<number>" + n + L"</number>"; }

struct Movie {
    explicit Movie(PlaybackOptions options = {}) : api([this] { return now; }, options) {
        for (const wchar_t* event : {L"onStateChange", L"onPlaybackQualityChange", L"onError"}) {
            Call(L"addEventListener", Str(event) + Str(std::wstring(event) + L"Handler"));
        }
    }

    std::wstring Call(const std::wstring& name, const std::wstring& args = L"") {
        auto reply = api.Call(Request(name, args));
        EXPECT_TRUE(reply) << "rejected: " << std::string(name.begin(), name.end());
        Collect();
        return reply.value_or(L"");
    }

    void Load(const std::wstring& id, const char* info = kCatalogueInfo, int start = 0) {
        Call(L"loadVideoById", Str(id) + Num(std::to_wstring(start)) + Str(L"default"));
        auto request = api.TakeInfoRequest();
        ASSERT_TRUE(request);
        EXPECT_EQ(request->videoId, id);
        api.ApplyInfo(request->generation, ParseVideoInfo(info));
        Collect();
    }

    // Steps the clock in 100 ms ticks, as a timer would.
    void Run(std::int64_t ms) {
        for (std::int64_t t = 0; t < ms; t += 100) {
            now += 100;
            api.Advance();
            Collect();
        }
    }

    void RunUntilState(int state, std::int64_t limitMs = 120000) {
        for (std::int64_t t = 0; t < limitMs && (states.empty() || states.back() != state); t += 100)
            Run(100);
        ASSERT_FALSE(states.empty());
        ASSERT_EQ(states.back(), state);
    }

    double Number(const std::wstring& name) {
        std::wstring reply = Call(name);
        auto parsed = ParseInvoke(L"<invoke name=\"r\"><arguments>" + reply + L"</arguments></invoke>");
        EXPECT_TRUE(parsed && parsed->arguments.size() == 1 &&
                    parsed->arguments[0].kind == Value::Kind::Number);
        return parsed ? parsed->arguments.at(0).number : -1;
    }

    void Collect() {
        for (const std::wstring& call : api.TakeCalls()) {
            calls.push_back(call);
            auto parsed = ParseInvoke(call);
            ASSERT_TRUE(parsed);
            ASSERT_EQ(parsed->arguments.size(), 1u);
            const Value& v = parsed->arguments[0];
            if (parsed->name == L"onStateChangeHandler") states.push_back(static_cast<int>(v.number));
            if (parsed->name == L"onErrorHandler") errors.push_back(static_cast<int>(v.number));
            if (parsed->name == L"onPlaybackQualityChangeHandler") qualities.push_back(v.text);
        }
    }

    void Forget() {
        calls.clear();
        states.clear();
        errors.clear();
        qualities.clear();
    }

    std::int64_t now = 1000;
    PlayerApi api;
    std::vector<std::wstring> calls;
    std::vector<int> states;
    std::vector<int> errors;
    std::vector<std::wstring> qualities;
};

TEST(Playback, PlaysThroughFromUnstartedToEnded) {
    Movie m;
    EXPECT_EQ(m.Call(L"getDuration"), L"<number>0</number>");
    m.Call(L"loadVideoById", Str(L"abcDEF12345") + Num(L"0") + Str(L"default"));
    EXPECT_EQ(m.states, (std::vector<int>{-1}));
    EXPECT_EQ(m.Call(L"getDuration"), L"<number>0</number>") << "no metadata yet";
    auto request = m.api.TakeInfoRequest();
    ASSERT_TRUE(request);
    EXPECT_FALSE(m.api.TakeInfoRequest()) << "asked once";
    m.Run(5000);
    EXPECT_EQ(m.states, (std::vector<int>{-1})) << "nothing plays before the info is in";

    std::int64_t applied = m.now;
    m.api.ApplyInfo(request->generation, ParseVideoInfo(kCatalogueInfo));
    m.Collect();
    EXPECT_EQ(m.states, (std::vector<int>{-1, 3}));
    EXPECT_EQ(m.qualities, (std::vector<std::wstring>{L"medium"}));
    EXPECT_EQ(m.Call(L"getDuration"), L"<number>30</number>");

    m.RunUntilState(1);
    // Two seconds of medium at four times the playing rate: half a second.
    EXPECT_EQ(m.now - applied, 500);
    EXPECT_EQ(m.Number(L"getCurrentTime"), 0);
    m.Run(12500);
    EXPECT_EQ(m.Call(L"getCurrentTime"), L"<number>12.5</number>");

    m.RunUntilState(0);
    EXPECT_EQ(m.states, (std::vector<int>{-1, 3, 1, 0}));
    EXPECT_EQ(m.Number(L"getCurrentTime"), 30);
    m.Run(2000);
    EXPECT_EQ(m.Number(L"getCurrentTime"), 30) << "stays at the end";
    EXPECT_EQ(m.states.size(), 4u);
}

TEST(Playback, BytesLoadGrowToTheTotal) {
    Movie m;
    m.Load(L"abcDEF12345");
    EXPECT_EQ(m.Number(L"getVideoBytesTotal"), 1500000);
    EXPECT_EQ(m.Number(L"getVideoStartBytes"), 0);
    double last = m.Number(L"getVideoBytesLoaded");
    EXPECT_EQ(last, 0);
    bool grew = false;
    for (int i = 0; i < 100; ++i) {
        m.Run(100);
        double loaded = m.Number(L"getVideoBytesLoaded");
        EXPECT_GE(loaded, last);
        grew = grew || loaded > last;
        last = loaded;
    }
    EXPECT_TRUE(grew);
    EXPECT_EQ(last, 1500000);
}

TEST(Playback, DownloadGoesOnWhilePausedAndPlaybackDoesNot) {
    Movie m;
    m.Load(L"abcDEF12345");
    m.RunUntilState(1);
    m.Run(1000);
    m.Call(L"pauseVideo");
    EXPECT_EQ(m.states.back(), 2);
    double at = m.Number(L"getCurrentTime");
    double loaded = m.Number(L"getVideoBytesLoaded");
    m.now += 3000;  // no ticks: a paused player needs none
    EXPECT_EQ(m.Number(L"getCurrentTime"), at);
    EXPECT_GT(m.Number(L"getVideoBytesLoaded"), loaded);
    m.Call(L"playVideo");
    EXPECT_EQ(m.states.back(), 1);
}

TEST(Playback, SlowDownloadSendsPlaybackBackToBuffering) {
    PlaybackOptions slow;
    slow.downloadSpeed = 0.5;
    Movie m(slow);
    m.Load(L"abcDEF12345");
    m.RunUntilState(0, 200000);
    // -1, 3, then playing and buffering in turns, then the end.
    ASSERT_GE(m.states.size(), 6u);
    EXPECT_EQ(m.states[0], -1);
    EXPECT_EQ(m.states[1], 3);
    EXPECT_EQ(m.states[2], 1);
    EXPECT_EQ(m.states[3], 3);
    EXPECT_EQ(m.states.back(), 0);
    for (size_t i = 2; i + 1 < m.states.size(); ++i) EXPECT_TRUE(m.states[i] == 1 || m.states[i] == 3);
    // Half speed: the 30 s video needs 60 s of loading.
    EXPECT_GE(m.now, 1000 + 60000);
}

TEST(Playback, SeekAheadIntoTheUnloadedPartMovesTheStartBytes) {
    PlaybackOptions even;
    even.downloadSpeed = 1.0;
    Movie m(even);
    m.Load(L"abcDEF12345");
    m.RunUntilState(1);
    m.Run(1000);
    EXPECT_EQ(m.Number(L"getVideoStartBytes"), 0);

    m.Forget();
    m.Call(L"seekTo", Num(L"20.000") + L"<true/>");
    EXPECT_EQ(m.Number(L"getVideoStartBytes"), 1000000);
    EXPECT_EQ(m.Number(L"getVideoBytesTotal"), 500000);
    EXPECT_EQ(m.Number(L"getVideoBytesLoaded"), 0);
    EXPECT_EQ(m.Number(L"getCurrentTime"), 20);
    EXPECT_EQ(m.states, (std::vector<int>{3}));
    m.RunUntilState(1);
    m.Run(1000);
    EXPECT_GT(m.Number(L"getCurrentTime"), 20);

    // Back before the loaded part: loading starts over there.
    m.Call(L"seekTo", Num(L"5.000") + L"<true/>");
    EXPECT_EQ(m.Number(L"getVideoStartBytes"), 250000);

    // Within the loaded part: nothing restarts.
    m.RunUntilState(1);
    m.Run(3000);
    double loaded = m.Number(L"getVideoBytesLoaded");
    m.Call(L"seekTo", Num(L"6.000") + L"<true/>");
    EXPECT_EQ(m.Number(L"getVideoStartBytes"), 250000);
    EXPECT_GE(m.Number(L"getVideoBytesLoaded"), loaded);
    EXPECT_EQ(m.states.back(), 1);
}

TEST(Playback, SeekWithoutSeekAheadStaysInTheLoadedPart) {
    PlaybackOptions even;
    even.downloadSpeed = 1.0;
    Movie m(even);
    m.Load(L"abcDEF12345");
    m.RunUntilState(1);
    m.Call(L"pauseVideo");
    double loadedEnd = m.Number(L"getVideoBytesLoaded") / 50000.0;
    m.Call(L"seekTo", Num(L"25"));
    EXPECT_EQ(m.Number(L"getVideoStartBytes"), 0);
    EXPECT_NEAR(m.Number(L"getCurrentTime"), loadedEnd, 0.01);
    EXPECT_EQ(m.states.back(), 2) << "a paused player stays paused";
}

TEST(Playback, SeekPastTheEndEndsAndPlayingAgainRestarts) {
    Movie m;
    m.Load(L"abcDEF12345");
    m.RunUntilState(1);
    m.Forget();
    m.Call(L"seekTo", Num(L"31.000") + L"<true/>");
    EXPECT_EQ(m.states, (std::vector<int>{0}));
    EXPECT_EQ(m.Number(L"getCurrentTime"), 30);

    m.Call(L"pauseVideo");
    m.Run(1000);
    EXPECT_EQ(m.states, (std::vector<int>{0})) << "pause in the ended state changes nothing";
    EXPECT_EQ(m.Number(L"getCurrentTime"), 30);

    m.Call(L"seekTo", Num(L"10.000") + L"<true/>");
    ASSERT_EQ(m.states.size(), 2u);
    EXPECT_TRUE(m.states[1] == 1 || m.states[1] == 3);
    m.RunUntilState(0);

    m.Forget();
    m.Call(L"playVideo");
    EXPECT_LT(m.Number(L"getCurrentTime"), 1) << "play after the end starts over";
    m.RunUntilState(1);
}

TEST(Playback, StopCuesAtTheStartAndPlayOrSeekResumes) {
    Movie m;
    m.Load(L"abcDEF12345");
    m.RunUntilState(1);
    m.Run(4000);
    m.Forget();
    m.Call(L"stopVideo");
    EXPECT_EQ(m.states, (std::vector<int>{5}));
    EXPECT_EQ(m.Number(L"getCurrentTime"), 0);
    m.Run(2000);
    EXPECT_EQ(m.Number(L"getCurrentTime"), 0) << "a cued video waits";
    m.Call(L"pauseVideo");
    EXPECT_EQ(m.states, (std::vector<int>{5}));

    m.Call(L"playVideo");
    EXPECT_EQ(m.states, (std::vector<int>{5, 1})) << "the start is loaded already";
    m.Run(1000);
    EXPECT_EQ(m.Number(L"getCurrentTime"), 1);

    m.Call(L"stopVideo");
    m.Call(L"seekTo", Num(L"2.500") + L"<true/>");
    EXPECT_EQ(m.states, (std::vector<int>{5, 1, 5, 1}));
    EXPECT_EQ(m.Number(L"getCurrentTime"), 2.5);
}

TEST(Playback, LoadingFromASecondStartsThere) {
    Movie m;
    m.Load(L"abcDEF12345", kCatalogueInfo, 20);
    EXPECT_EQ(m.Number(L"getCurrentTime"), 20);
    EXPECT_EQ(m.Number(L"getVideoStartBytes"), 1000000);
    m.RunUntilState(0);
    EXPECT_EQ(m.states, (std::vector<int>{-1, 3, 1, 0}));
    EXPECT_LT(m.now, 1000 + 12000);
}

TEST(Playback, NewVideoReplacesThePendingOne) {
    Movie m;
    m.Call(L"loadVideoById", Str(L"first567890") + Num(L"0") + Str(L"default"));
    auto first = m.api.TakeInfoRequest();
    m.Call(L"loadVideoById", Str(L"second67890") + Num(L"0") + Str(L"default"));
    auto second = m.api.TakeInfoRequest();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->generation, second->generation);
    m.api.ApplyInfo(first->generation, ParseVideoInfo(kCatalogueInfo));
    m.Collect();
    EXPECT_EQ(m.states, (std::vector<int>{-1, -1})) << "late info for the old video is dropped";
    EXPECT_EQ(m.Call(L"getDuration"), L"<number>0</number>");
    m.api.ApplyInfo(second->generation, ParseVideoInfo(kCatalogueInfo));
    m.Collect();
    EXPECT_EQ(m.states, (std::vector<int>{-1, -1, 3}));
    EXPECT_EQ(m.Call(L"getVideoUrl"), Str(L"http://www.youtube.com/watch?v=second67890"));
}

TEST(Quality, LevelsAndCurrentLevelFollowTheVideo) {
    Movie m;
    EXPECT_EQ(m.Call(L"getPlaybackQuality"), L"<undefined/>");
    EXPECT_EQ(m.Call(L"getAvailableQualityLevels"), L"<array></array>");
    m.Load(L"abcDEF12345");
    EXPECT_EQ(m.Call(L"getPlaybackQuality"), Str(L"medium"));
    EXPECT_EQ(m.Call(L"getAvailableQualityLevels"),
              L"<array><property id=\"0\"><string>large</string></property>"
              L"<property id=\"1\"><string>medium</string></property>"
              L"<property id=\"2\"><string>small</string></property></array>");
}

TEST(Quality, ChoosingFallsBackToTheNextLowerLevel) {
    Movie m;
    m.Load(L"abcDEF12345");
    m.RunUntilState(1);
    m.Forget();

    m.Call(L"setPlaybackQuality", Str(L"hd1080"));  // not offered: next lower is large
    EXPECT_EQ(m.Call(L"getPlaybackQuality"), Str(L"large"));
    EXPECT_EQ(m.Number(L"getVideoBytesTotal") + m.Number(L"getVideoStartBytes"), 3000000);
    EXPECT_EQ(m.Number(L"getVideoBytesLoaded"), 0) << "the new stream loads from the position";
    EXPECT_EQ(m.states, (std::vector<int>{3}));

    m.Call(L"setPlaybackQuality", Str(L"large"));  // no change, no event
    m.Call(L"setPlaybackQuality", Str(L"Small"));   // unknown name: default
    EXPECT_EQ(m.Call(L"getPlaybackQuality"), Str(L"medium"));
    m.Call(L"setPlaybackQuality", Str(L"small"));
    EXPECT_EQ(m.qualities, (std::vector<std::wstring>{L"large", L"medium", L"small"}));
    m.RunUntilState(1);
}

TEST(Quality, WithNothingLowerTheLowestOfferedLevelIsUsed) {
    Movie m;
    m.Load(L"abcDEF12345",
           "status=ok&length_seconds=60&fmt_list=hd1080,hd720&bytes_hd1080=9000000&bytes_hd720=6000000");
    EXPECT_EQ(m.qualities, (std::vector<std::wstring>{L"hd720"}));
    m.Call(L"setPlaybackQuality", Str(L"small"));
    m.Call(L"setPlaybackQuality", Str(L"highres"));
    EXPECT_EQ(m.qualities, (std::vector<std::wstring>{L"hd720", L"hd1080"}));
}

TEST(Errors, InfoFailuresReachTheErrorHandler) {
    Movie m;
    m.Load(L"nosuchvideo", "status=fail&errorcode=100&reason=Not+found");
    EXPECT_EQ(m.errors, (std::vector<int>{100}));
    EXPECT_EQ(m.calls.back(),
              L"<invoke name=\"onErrorHandler\" returntype=\"xml\"><arguments><number>100</number>"
              L"</arguments></invoke>");
    m.Call(L"playVideo");
    m.Run(1000);
    EXPECT_EQ(m.states, (std::vector<int>{-1})) << "an unplayable video never plays";
    EXPECT_EQ(m.Call(L"getPlaybackQuality"), L"<undefined/>");
    EXPECT_EQ(m.Call(L"getDuration"), L"<number>0</number>");

    m.Load(L"noembed7890", "status=fail&errorcode=150&reason=Embedding+disabled");
    EXPECT_EQ(m.errors, (std::vector<int>{100, 150}));

    m.Call(L"loadVideoById", Str(L"offline7890"));
    auto request = m.api.TakeInfoRequest();
    ASSERT_TRUE(request);
    m.api.ApplyInfo(request->generation, FailedVideoInfo(100));
    m.Collect();
    EXPECT_EQ(m.errors, (std::vector<int>{100, 150, 100}));

    // Info that claims to be fine but cannot be played.
    VideoInfo hollow;
    hollow.ok = true;
    hollow.lengthSeconds = 30;
    hollow.levels = {Quality::Small};  // without a size
    m.Call(L"loadVideoById", Str(L"hollow67890"));
    request = m.api.TakeInfoRequest();
    ASSERT_TRUE(request);
    m.api.ApplyInfo(request->generation, hollow);
    m.Collect();
    EXPECT_EQ(m.errors, (std::vector<int>{100, 150, 100, 100}));

    m.Load(L"abcDEF12345");
    EXPECT_EQ(m.states.back(), 3) << "the next good video plays";
}

TEST(Listeners, CallsAreTheHandlerInvokeTextsByteForByte) {
    Movie m;
    m.Load(L"abcDEF12345");
    ASSERT_EQ(m.calls.size(), 3u);
    EXPECT_EQ(m.calls[0],
              L"<invoke name=\"onStateChangeHandler\" returntype=\"xml\"><arguments><number>-1</number>"
              L"</arguments></invoke>");
    EXPECT_EQ(m.calls[1],
              L"<invoke name=\"onPlaybackQualityChangeHandler\" returntype=\"xml\"><arguments>"
              L"<string>medium</string></arguments></invoke>");
    EXPECT_EQ(m.calls[2],
              L"<invoke name=\"onStateChangeHandler\" returntype=\"xml\"><arguments><number>3</number>"
              L"</arguments></invoke>");
    EXPECT_EQ(PlayerApi::ReadyCall(),
              L"<invoke name=\"onYouTubePlayerReady\" returntype=\"xml\"><arguments><string></string>"
              L"</arguments></invoke>");
}

TEST(Listeners, OnlyRegisteredHandlersAreCalledOncePerRegistration) {
    std::int64_t now = 0;
    PlayerApi api([&] { return now; });
    auto call = [&](const std::wstring& name, const std::wstring& args) {
        return api.Call(Request(name, args)).value_or(L"rejected");
    };
    call(L"loadVideoById", Str(L"abcDEF12345"));
    EXPECT_TRUE(api.TakeCalls().empty()) << "no listener, no calls";

    EXPECT_EQ(call(L"addEventListener", Str(L"onStateChange") + Str(L"a")), L"<undefined/>");
    call(L"addEventListener", Str(L"onStateChange") + Str(L"a"));
    call(L"addEventListener", Str(L"onStateChange") + Str(L"b"));
    call(L"addEventListener", Str(L"onSomethingElse") + Str(L"c"));
    call(L"loadVideoById", Str(L"abcDEF12345"));
    auto calls = api.TakeCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_NE(calls[0].find(L"name=\"a\""), std::wstring::npos);
    EXPECT_NE(calls[1].find(L"name=\"b\""), std::wstring::npos);
}

TEST(Calls, VolumeAndMuteBelongToThePlayer) {
    Movie m;
    EXPECT_EQ(m.Call(L"getVolume"), L"<number>100</number>");
    EXPECT_EQ(m.Call(L"isMuted"), L"<false/>");
    EXPECT_EQ(m.Call(L"setVolume", Num(L"75")), L"<undefined/>");
    EXPECT_EQ(m.Call(L"getVolume"), L"<number>75</number>");
    m.Call(L"setVolume", Num(L"150"));
    EXPECT_EQ(m.Call(L"getVolume"), L"<number>100</number>");
    m.Call(L"setVolume", Num(L"-3"));
    EXPECT_EQ(m.Call(L"getVolume"), L"<number>0</number>");
    m.Call(L"setVolume", Num(L"42"));
    EXPECT_EQ(m.api.Call(L"<invoke name=\"mute\"></invoke>"), L"<undefined/>");
    EXPECT_EQ(m.Call(L"isMuted"), L"<true/>");
    m.Load(L"abcDEF12345");
    EXPECT_EQ(m.Call(L"isMuted"), L"<true/>") << "kept across videos";
    EXPECT_EQ(m.Call(L"getVolume"), L"<number>42</number>");
    m.api.Call(L"<invoke name=\"unMute\"></invoke>");
    EXPECT_EQ(m.Call(L"isMuted"), L"<false/>");
    EXPECT_EQ(m.Call(L"getVolume"), L"<number>42</number>");
}

TEST(Calls, VideoUrlIsTheWatchAddressWithItsTextEscaped) {
    Movie m;
    EXPECT_EQ(m.Call(L"getVideoUrl"), L"<string></string>");
    m.Call(L"loadVideoById", Str(L"a&amp;b&lt;c") + Num(L"0") + Str(L"default"));
    EXPECT_EQ(m.Call(L"getVideoUrl"), Str(L"http://www.youtube.com/watch?v=a%26b%3Cc"));
    auto request = m.api.TakeInfoRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->videoId, L"a&b<c");
}

TEST(Calls, BadRequestsAreRejected) {
    Movie m;
    const std::wstring bad[] = {
        L"",
        L"<invoke name=\"getVolume\" returntype=\"xml\">",
        L"<invoke name=\"noSuchFunction\" returntype=\"xml\"></invoke>",
        L"<invoke name=\"GETVOLUME\" returntype=\"xml\"></invoke>",
        Request(L"loadVideoById"),
        Request(L"loadVideoById", Num(L"1")),
        Request(L"loadVideoById", Str(L"id") + Str(L"ten")),
        Request(L"seekTo"),
        Request(L"seekTo", Str(L"10")),
        Request(L"seekTo", Num(L"10") + Str(L"true")),
        Request(L"setVolume"),
        Request(L"setPlaybackQuality"),
        Request(L"addEventListener", Str(L"onStateChange")),
        Request(L"addEventListener", Str(L"onStateChange") + Str(L"")),
    };
    for (const std::wstring& request : bad) {
        EXPECT_FALSE(m.api.Call(request)) << std::string(request.begin(), request.end());
    }
    EXPECT_TRUE(m.api.Call(Request(L"seekTo", Num(L"10"))));
    EXPECT_TRUE(m.api.Call(Request(L"loadVideoById", Str(L"id") + L"<undefined/><null/>")));
}

TEST(Clock, AClockThatGoesBackOrSwitchesDoesNotJump) {
    Movie m;
    m.Load(L"abcDEF12345");
    m.RunUntilState(1);
    m.Run(2000);
    double at = m.Number(L"getCurrentTime");
    m.now -= 5000;
    m.api.Advance();
    EXPECT_EQ(m.Number(L"getCurrentTime"), at);

    std::int64_t other = 1'000'000'000;
    m.api.SetClock([&] { return other; });
    EXPECT_EQ(m.Number(L"getCurrentTime"), at);
    other += 1000;
    m.api.Advance();
    EXPECT_EQ(m.Number(L"getCurrentTime"), at + 1);
}

}  // namespace
}  // namespace playerctl
