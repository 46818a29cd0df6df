// The Windows-free parts of real playback: Range answers, the block cache,
// the picture layouts and their conversion, media in the video info, and the playback model
// driven by decoder reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <random>
#include <string>
#include <vector>

#include "playerctl/media/block_cache.h"
#include "playerctl/media/http_range.h"
#include "playerctl/media/yuv420.h"
#include "playerctl/player_api.h"

namespace playerctl {
namespace {

TEST(RangeAnswers, ContentRangeIsReadStrictly) {
    auto r = ParseContentRange("bytes 0-99/1234");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->first, 0);
    EXPECT_EQ(r->last, 99);
    EXPECT_EQ(r->total, 1234);
    auto open = ParseContentRange("bytes 5-9/*");
    ASSERT_TRUE(open);
    EXPECT_EQ(open->total, -1);
    for (const char* bad : {"", "bytes", "bytes 9-5/100", "bytes 0-100/100", "items 0-1/2", "bytes -1-5/10",
                            "bytes 0-5", "bytes 0 -5/10", "bytes 1-2/3x", "bytes 0-99999999999999999999/1",
                            "bytes */100"}) {
        EXPECT_FALSE(ParseContentRange(bad)) << bad;
    }
    EXPECT_EQ(ParseLength("0"), 0);
    EXPECT_EQ(ParseLength("262144"), 262144);
    EXPECT_FALSE(ParseLength("-1"));
    EXPECT_FALSE(ParseLength("12 "));
    EXPECT_FALSE(ParseLength("99999999999999999999"));
    EXPECT_EQ(RangeHeader(262144, 524287), L"Range: bytes=262144-524287\r\n");
}

TEST(RangeAnswers, OnlyThePartAskedForIsUsed) {
    EXPECT_EQ(CheckRangeAnswer(206, "bytes 0-9/100", 0, 9, 10), 100);
    EXPECT_EQ(CheckRangeAnswer(206, "bytes 90-99/100", 90, 109, 10), 100) << "short at the end";
    EXPECT_FALSE(CheckRangeAnswer(206, "bytes 10-14/100", 10, 19, 5)) << "short before the end";
    EXPECT_FALSE(CheckRangeAnswer(200, "", 0, 9, 10)) << "the whole file instead";
    EXPECT_FALSE(CheckRangeAnswer(206, "bytes 1-10/100", 0, 9, 10)) << "another range";
    EXPECT_FALSE(CheckRangeAnswer(206, "bytes 0-9/100", 0, 9, 9)) << "body shorter than its header";
    EXPECT_FALSE(CheckRangeAnswer(206, "bytes 0-9/*", 0, 9, 10)) << "no size";
    EXPECT_FALSE(CheckRangeAnswer(416, "bytes */100", 100, 109, 0));
}

// A resource in memory served block by block, as a Range server would.
struct FakeResource {
    std::string bytes;
    std::vector<std::int64_t> asked;
    bool fail = false;

    BlockCache::Fetch Fetch() {
        return [this](std::int64_t first, std::int64_t last, std::string& body, std::int64_t& total) {
            asked.push_back(first);
            if (fail || first >= static_cast<std::int64_t>(bytes.size())) return false;
            std::int64_t end = std::min<std::int64_t>(last, bytes.size() - 1);
            body = bytes.substr(first, end - first + 1);
            total = bytes.size();
            return true;
        };
    }
};

TEST(BlockCache, ReadsAcrossBlocksFetchingEachOnce) {
    FakeResource r;
    for (int i = 0; i < 1000; ++i) r.bytes.push_back(static_cast<char>(i * 7));
    BlockCache cache(r.Fetch(), 64, 100);
    EXPECT_EQ(cache.KnownSize(), -1);
    EXPECT_EQ(cache.Size(), 1000);
    std::string out(300, '\0');
    ASSERT_EQ(cache.Read(50, out.data(), out.size()), 300u);
    EXPECT_EQ(out, r.bytes.substr(50, 300));
    ASSERT_EQ(cache.Read(100, out.data(), 100), 100u);
    EXPECT_EQ(r.asked, (std::vector<std::int64_t>{0, 64, 128, 192, 256, 320})) << "nothing fetched twice";
    EXPECT_EQ(cache.Read(990, out.data(), 100), 10u) << "stops at the end";
    EXPECT_EQ(out.substr(0, 10), r.bytes.substr(990));
    EXPECT_EQ(cache.Read(1000, out.data(), 10), 0u);
    EXPECT_EQ(cache.BytesFetched(), 6 * 64 + 1000 - 960);
    EXPECT_EQ(cache.StartBytes(), 0);

    cache.Cancel();
    EXPECT_FALSE(cache.Read(50, out.data(), 1)) << "cached bytes too, once its reader is let go";
    EXPECT_FALSE(cache.Size());
}

TEST(BlockCache, ForgetsTheLeastRecentBlockAndCountsAfreshAfterASeekAhead) {
    FakeResource r;
    r.bytes.assign(1000, 'x');
    BlockCache cache(r.Fetch(), 100, 2);
    char c;
    cache.Read(0, &c, 1);
    cache.Read(100, &c, 1);
    cache.Read(0, &c, 1);    // block 0 is now the more recent
    cache.Read(200, &c, 1);  // evicts block 1
    cache.Read(0, &c, 1);
    cache.Read(100, &c, 1);
    EXPECT_EQ(r.asked, (std::vector<std::int64_t>{0, 100, 200, 100}));

    cache.RestartCount();
    cache.Read(100, &c, 1);  // cached: no fetch, nothing counted yet
    cache.Read(750, &c, 1);
    EXPECT_EQ(cache.StartBytes(), 700);
    EXPECT_EQ(cache.BytesFetched(), 100);

    EXPECT_FALSE(cache.LastReadFailed());
    r.fail = true;
    EXPECT_FALSE(cache.Read(450, &c, 1)) << "a failed fetch is an error, not the end";
    EXPECT_TRUE(cache.LastReadFailed());
    EXPECT_EQ(cache.Read(750, &c, 1), 1u) << "cached";
    EXPECT_FALSE(cache.LastReadFailed()) << "only the latest read counts";
    EXPECT_FALSE(cache.Read(-1, &c, 1));
}

TEST(BlockCache, NothingToReadWhenTheFirstFetchFails) {
    FakeResource r;
    r.fail = true;
    BlockCache cache(r.Fetch());
    EXPECT_FALSE(cache.Size());
    char c;
    EXPECT_FALSE(cache.Read(0, &c, 1));
}

// The decode thread reports the counts, and the window cancels the cache,
// while a read waits on a host that has stopped answering.
TEST(BlockCache, AnswersAndCancelsWhileAFetchHangs) {
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    BlockCache cache(
        [&](std::int64_t first, std::int64_t last, std::string& body, std::int64_t& total) {
            entered.set_value();
            released.wait();
            body.assign(static_cast<std::size_t>(last - first + 1), 'x');
            total = 1000;
            return true;
        },
        100, 4);
    auto reading = std::async(std::launch::async, [&] {
        char c;
        return cache.Read(0, &c, 1);
    });
    entered.get_future().wait();
    auto asking = std::async(std::launch::async, [&] {
        EXPECT_EQ(cache.Fetches(), 1);
        EXPECT_EQ(cache.BytesFetched(), 0);
        EXPECT_EQ(cache.KnownSize(), -1);
        EXPECT_TRUE(cache.LastReadFailed()) << "not succeeded yet";
        cache.Cancel();
    });
    // Were they to wait for the fetch, they would wait for ever: give up and
    // let the fetch end instead.
    const bool answered = asking.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    release.set_value();
    asking.get();
    EXPECT_TRUE(answered) << "the counts or Cancel waited for the fetch";
    EXPECT_FALSE(reading.get()) << "cancelled while it fetched";
}

std::vector<std::uint8_t> Convert(const Yuv420Frame& f, bool fast) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(f.width) * f.height * 4, 0);
    (fast ? ToBgra : ToBgraScalar)(f, out.data(), f.width * 4);
    return out;
}

// A picture of `w` x `h` in `layout`, luma rows `stride` bytes apart and
// `padRows` rows of padding under the luma plane, filled by `fill(plane,
// index)` (plane 0 luma, 1 U, 2 V).
template <typename Fill>
std::vector<std::uint8_t> MakePicture(PixelLayout layout, int w, int h, int stride, int padRows, Fill fill) {
    const int planeHeight = h + padRows, chromaRows = (h + 1) / 2;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(stride) * planeHeight * 3 / 2 + stride, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) buffer[y * stride + x] = fill(0, y * w + x);
    std::uint8_t* chroma = buffer.data() + stride * planeHeight;
    const int cw = (w + 1) / 2;
    for (int y = 0; y < chromaRows; ++y)
        for (int x = 0; x < cw; ++x) {
            if (layout == PixelLayout::NV12) {
                chroma[y * stride + 2 * x] = fill(1, y * cw + x);
                chroma[y * stride + 2 * x + 1] = fill(2, y * cw + x);
            } else {
                const int cs = (stride + 1) / 2;
                chroma[y * cs + x] = fill(1, y * cw + x);
                chroma[cs * ((planeHeight + 1) / 2) + y * cs + x] = fill(2, y * cw + x);
            }
        }
    buffer.resize(static_cast<std::size_t>(stride) * planeHeight * 3 / 2);
    return buffer;
}

TEST(PictureConversion, KnownColoursInBothLayouts) {
    // 16x2 pixels of one colour: white, black, grey, and two that clip.
    struct Case {
        std::uint8_t y, u, v;
        std::uint8_t b, g, r;
    };
    const Case cases[] = {
        {235, 128, 128, 255, 255, 255}, {16, 128, 128, 0, 0, 0}, {126, 128, 128, 128, 128, 128},
        {81, 90, 240, 0, 0, 255},  // red, clipped
        {41, 240, 110, 255, 0, 0}, // blue, clipped
    };
    for (PixelLayout layout : {PixelLayout::I420, PixelLayout::NV12}) {
        for (const Case& c : cases) {
            auto buffer = MakePicture(layout, 16, 2, 16, 0, [&c](int plane, int) { return plane == 0 ? c.y : plane == 1 ? c.u : c.v; });
            auto f = LayOut(layout, buffer.data(), buffer.size(), 16, 16, 2);
            ASSERT_TRUE(f);
            for (bool fast : {false, true}) {
                auto px = Convert(*f, fast);
                EXPECT_NEAR(px[0], c.b, 2) << int(c.y) << " fast=" << fast;
                EXPECT_NEAR(px[1], c.g, 2) << int(c.y);
                EXPECT_NEAR(px[2], c.r, 2) << int(c.y);
                EXPECT_EQ(px[3], 255);
            }
        }
    }
}

TEST(PictureConversion, LayoutsAgreeAndTheFastPathGivesTheReferenceBytes) {
    std::mt19937 random(12345);
    // Odd sizes, padded strides, padded luma planes: tails and the last chroma row.
    for (auto [w, h, stride, pad] :
         {std::tuple{37, 9, 40, 7}, std::tuple{8, 2, 8, 0}, std::tuple{64, 5, 80, 11}, std::tuple{3, 3, 4, 1}}) {
        std::vector<std::uint8_t> planes[3];
        for (auto& p : planes) {
            p.resize(static_cast<std::size_t>(w) * h);
            for (auto& b : p) b = static_cast<std::uint8_t>(random());
        }
        auto fill = [&planes](int plane, int i) { return planes[plane][i]; };
        auto i420 = MakePicture(PixelLayout::I420, w, h, stride, pad, fill);
        auto nv12 = MakePicture(PixelLayout::NV12, w, h, stride, pad, fill);
        auto a = LayOut(PixelLayout::I420, i420.data(), i420.size(), stride, w, h);
        auto b = LayOut(PixelLayout::NV12, nv12.data(), nv12.size(), stride, w, h);
        ASSERT_TRUE(a && b) << w << "x" << h;
        EXPECT_EQ(Convert(*a, true), Convert(*a, false)) << w << "x" << h;
        EXPECT_EQ(Convert(*b, true), Convert(*b, false)) << w << "x" << h;
        EXPECT_EQ(Convert(*a, true), Convert(*b, true)) << w << "x" << h << ": the same picture either way";
        EXPECT_FALSE(LayOut(PixelLayout::I420, i420.data(), static_cast<std::size_t>(stride) * h, stride, w, h))
            << "too short for the chroma";
    }
    EXPECT_FALSE(LayOut(PixelLayout::NV12, nullptr, 100, 8, 8, 2));
    std::uint8_t tiny[24] = {};
    EXPECT_FALSE(LayOut(PixelLayout::NV12, tiny, sizeof tiny, 4, 8, 2)) << "rows shorter than the picture";
    EXPECT_TRUE(LayOut(PixelLayout::NV12, tiny, sizeof tiny, 8, 8, 2));
}

TEST(MediaInfo, LevelsMayNameTheirMedia) {
    VideoInfo info = ParseVideoInfo(
        "status=ok&length_seconds=10&fmt_list=hd720,medium,small&bytes_hd720=900&bytes_medium=500&bytes_small=100"
        "&media_hd720=%2Fmedia%2Fclip%20a%2Fhd720&type_hd720=video%2Fwebm&media_medium=/m/clip.webm"
        "&media_small=http%3A%2F%2Felsewhere%2Fx.mp4&media_large=/m/nolevel.mp4");
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.MediaOf(Quality::Hd720), L"/media/clip a/hd720");
    EXPECT_EQ(info.MediaTypeOf(Quality::Hd720), L"video/webm");
    EXPECT_EQ(info.MediaTypeOf(Quality::Medium), L"video/webm") << "from the extension";
    EXPECT_EQ(info.MediaOf(Quality::Small), L"") << "only paths on the player host";
    EXPECT_EQ(info.levels.size(), 3u);
    VideoInfo plain = ParseVideoInfo("status=ok&length_seconds=10&fmt_list=small&bytes_small=100&media_small=//x/y");
    EXPECT_EQ(plain.MediaOf(Quality::Small), L"");
}

constexpr char kMediaInfo[] =
    "status=ok&video_id=realclip001&title=Real&length_seconds=10&fmt_list=medium,small"
    "&bytes_medium=500000&bytes_small=200000&media_medium=%2Fmedia%2Fm.mp4&media_small=%2Fmedia%2Fs.webm";

// The movie with a decoder stand-in: commands are collected, reports are
// written by the test.
struct MediaMovie {
    std::int64_t now = 0;
    PlayerApi api{[this] { return now; }};
    std::vector<std::wstring> calls;
    std::vector<MediaCommand> commands;

    MediaMovie() {
        for (const wchar_t* e : {L"onStateChange", L"onError"})
            Call(L"addEventListener", L"<string>" + std::wstring(e) + L"</string><string>" + e + L"Handler</string>");
    }
    std::wstring Call(const std::wstring& name, const std::wstring& args = L"") {
        auto reply = api.Call(L"<invoke name=\"" + name + L"\" returntype=\"xml\"><arguments>" + args +
                              L"</arguments></invoke>");
        Collect();
        return reply.value_or(L"rejected");
    }
    void Collect() {
        for (auto& c : api.TakeCalls()) calls.push_back(c);
        for (auto& c : api.TakeMediaCommands()) commands.push_back(c);
    }
    void Load(const char* info = kMediaInfo) {
        Call(L"loadVideoById", L"<string>realclip001</string>");
        auto request = api.TakeInfoRequest();
        ASSERT_TRUE(request);
        api.ApplyInfo(request->generation, ParseVideoInfo(info));
        Collect();
    }
    MediaReport Report(bool showing, std::int64_t ms) const {
        MediaReport r;
        r.serial = commands.empty() ? 0 : commands.back().serial;
        r.showing = showing;
        r.positionMs = ms;
        r.durationMs = 10010;
        r.sizeBytes = 480000;
        r.bytesFetched = 262144;
        return r;
    }
    void Apply(const MediaReport& r) {
        api.ApplyMediaReport(r);
        Collect();
    }
    std::vector<std::wstring> Args(const std::wstring& handler) const {
        std::vector<std::wstring> out;
        for (const auto& c : calls) {
            auto parsed = ParseInvoke(c);
            if (parsed && parsed->name == handler) out.push_back(FormatNumber(parsed->arguments[0].number));
        }
        return out;
    }
    std::vector<std::wstring> States() const { return Args(L"onStateChangeHandler"); }
    std::vector<MediaCommand::Kind> Kinds() const {
        std::vector<MediaCommand::Kind> out;
        for (const auto& c : commands) out.push_back(c.kind);
        return out;
    }
};

using K = MediaCommand::Kind;

TEST(MediaPlayback, FollowsTheDecoderThroughPauseSeekEndAndStop) {
    MediaMovie m;
    m.Load();
    ASSERT_EQ(m.commands.size(), 1u);
    EXPECT_EQ(m.commands[0].kind, K::Open);
    EXPECT_EQ(m.commands[0].path, L"/media/m.mp4") << "medium by default";
    EXPECT_EQ(m.commands[0].contentType, L"video/mp4");
    EXPECT_TRUE(m.commands[0].play);
    EXPECT_EQ(m.States(), (std::vector<std::wstring>{L"-1", L"3"}));

    m.now += 1000;
    m.Apply(m.Report(false, 0));
    EXPECT_EQ(m.States().back(), L"3");
    m.Apply(m.Report(true, 0));
    EXPECT_EQ(m.States().back(), L"1");
    EXPECT_EQ(m.Call(L"getDuration"), L"<number>10</number>");
    EXPECT_EQ(m.Call(L"getVideoBytesLoaded"), L"<number>262144</number>");
    EXPECT_EQ(m.Call(L"getVideoBytesTotal"), L"<number>480000</number>");
    m.Apply(m.Report(true, 2500));
    EXPECT_EQ(m.Call(L"getCurrentTime"), L"<number>2.5</number>");

    m.Call(L"pauseVideo");
    EXPECT_EQ(m.commands.back().kind, K::Pause);
    m.Call(L"playVideo");
    EXPECT_EQ(m.commands.back().kind, K::Play);
    EXPECT_EQ(m.States(), (std::vector<std::wstring>{L"-1", L"3", L"1", L"2", L"1"})) << "the frame is there";

    m.Call(L"seekTo", L"<number>7</number><true/>");
    EXPECT_EQ(m.commands.back().kind, K::Seek);
    EXPECT_EQ(m.commands.back().ms, 7000);
    EXPECT_TRUE(m.commands.back().seekAhead);
    EXPECT_EQ(m.Call(L"getCurrentTime"), L"<number>7</number>");
    EXPECT_EQ(m.States().back(), L"3");
    MediaReport stale = m.Report(true, 2600);
    stale.serial -= 1;
    m.Apply(stale);
    EXPECT_EQ(m.States().back(), L"3") << "a report from before the seek";
    MediaReport late = m.Report(true, 7200);
    late.startBytes = 300000;
    late.bytesFetched = 180000;
    m.Apply(late);
    EXPECT_EQ(m.States().back(), L"1");
    EXPECT_EQ(m.Call(L"getVideoStartBytes"), L"<number>300000</number>");
    EXPECT_EQ(m.Call(L"getVideoBytesTotal"), L"<number>180000</number>");

    MediaReport starved = m.Report(true, 8000);
    starved.starved = true;
    m.Apply(starved);
    EXPECT_EQ(m.States().back(), L"3");
    m.Apply(m.Report(true, 8100));
    EXPECT_EQ(m.States().back(), L"1");

    MediaReport end = m.Report(true, 10010);
    end.ended = true;
    m.Apply(end);
    EXPECT_EQ(m.States().back(), L"0");

    m.Call(L"stopVideo");
    EXPECT_EQ(m.States().back(), L"5");
    ASSERT_GE(m.commands.size(), 2u);
    EXPECT_EQ(m.commands[m.commands.size() - 2].kind, K::Pause);
    EXPECT_EQ(m.commands.back().kind, K::Seek);
    EXPECT_EQ(m.commands.back().ms, 0);
    m.Apply(m.Report(true, 0));
    m.Call(L"playVideo");
    EXPECT_EQ(m.States().back(), L"1") << "the frame at the start was shown after the stop";
    EXPECT_TRUE(m.Args(L"onErrorHandler").empty());
}

TEST(MediaPlayback, QualityChangeReopensWhereTheVideoStands) {
    MediaMovie m;
    m.Load();
    m.Apply(m.Report(true, 0));
    m.Apply(m.Report(true, 4000));
    m.Call(L"setPlaybackQuality", L"<string>small</string>");
    EXPECT_EQ(m.commands.back().kind, K::Open);
    EXPECT_EQ(m.commands.back().path, L"/media/s.webm");
    EXPECT_EQ(m.commands.back().contentType, L"video/webm");
    EXPECT_EQ(m.commands.back().ms, 4000);
    EXPECT_TRUE(m.commands.back().play);
    EXPECT_EQ(m.States().back(), L"3");

    // A new video closes the media of the old one.
    m.Load("status=ok&length_seconds=20&fmt_list=small&bytes_small=200000");
    EXPECT_EQ(m.commands.back().kind, K::Close);
    EXPECT_FALSE(m.api.Playback().UsesMedia());
}

TEST(MediaPlayback, VideoLoadedAtItsEndOpensItsMediaOncePlayed) {
    MediaMovie m;
    m.Call(L"loadVideoById", L"<string>realclip001</string><number>60</number>");
    auto request = m.api.TakeInfoRequest();
    ASSERT_TRUE(request);
    m.api.ApplyInfo(request->generation, ParseVideoInfo(kMediaInfo));
    m.Collect();
    EXPECT_EQ(m.States(), (std::vector<std::wstring>{L"-1", L"0"}));
    EXPECT_TRUE(m.commands.empty()) << "nothing to decode at the end";
    m.Call(L"playVideo");
    ASSERT_EQ(m.commands.size(), 1u);
    EXPECT_EQ(m.commands[0].kind, K::Open) << "the real media, not a card";
    EXPECT_EQ(m.commands[0].ms, 0);
    EXPECT_TRUE(m.commands[0].play);
    EXPECT_EQ(m.States().back(), L"3");
}

TEST(MediaPlayback, MediaThatCannotBeDecodedEndsInError5) {
    MediaMovie failing;
    failing.Load();
    MediaReport r = failing.Report(false, 0);
    r.failed = true;
    failing.Apply(r);
    EXPECT_EQ(failing.Args(L"onErrorHandler"), (std::vector<std::wstring>{L"5"}));
    EXPECT_EQ(failing.commands.back().kind, K::Close);
    EXPECT_EQ(failing.Call(L"getDuration"), L"<number>0</number>");
    failing.Call(L"playVideo");
    EXPECT_EQ(failing.commands.back().kind, K::Close) << "nothing more asked of the decoder";

    MediaMovie silent;
    silent.Load();
    for (int i = 0; i < 25; ++i) {
        silent.now += 100;
        silent.api.Advance();
        silent.Collect();
    }
    EXPECT_EQ(silent.Args(L"onErrorHandler"), (std::vector<std::wstring>{L"5"})) << "no frame within 2 s";

    MediaMovie opening;
    opening.Load();
    opening.now += 1500;
    opening.api.Advance();
    opening.Apply(opening.Report(true, 0));
    opening.now += 5000;
    opening.api.Advance();
    opening.Collect();
    EXPECT_TRUE(opening.Args(L"onErrorHandler").empty()) << "a frame in time";
}

}  // namespace
}  // namespace playerctl
