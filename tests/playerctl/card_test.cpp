#include "playerctl/card.h"

#include <gtest/gtest.h>

namespace playerctl {
namespace {

VideoInfo Info() {
    return ParseVideoInfo(
        "status=ok&title=Card&length_seconds=75&fmt_list=medium&bytes_medium=750000&color=112233");
}

TEST(CardClock, WritesMinutesAndSeconds) {
    EXPECT_EQ(FormatClock(0), L"0:00");
    EXPECT_EQ(FormatClock(999), L"0:00");
    EXPECT_EQ(FormatClock(5000), L"0:05");
    EXPECT_EQ(FormatClock(75000), L"1:15");
    EXPECT_EQ(FormatClock(12 * 60000), L"12:00");
    EXPECT_EQ(FormatClock(3725000), L"1:02:05");
    EXPECT_EQ(FormatClock(-5), L"0:00");
}

TEST(CardView, ShowsWhatThePlayerIsDoing) {
    PlaybackModel model;
    model.Sync(0);
    EXPECT_EQ(MakeCardView(model, false, 200).look, CardView::Look::Blank);
    EXPECT_EQ(MakeCardView(model, true, 200).look, CardView::Look::Idle);

    auto generation = model.LoadVideo(L"abcDEF12345", 0, L"default");
    CardView loading = MakeCardView(model, true, 200);
    EXPECT_EQ(loading.overlay, CardView::Overlay::Loading);
    EXPECT_EQ(loading.title, L"abcDEF12345");

    model.ApplyInfo(generation, Info());
    CardView buffering = MakeCardView(model, true, 200);
    EXPECT_EQ(buffering.look, CardView::Look::Video);
    EXPECT_EQ(buffering.overlay, CardView::Overlay::Buffering);
    EXPECT_EQ(buffering.title, L"Card");
    EXPECT_EQ(buffering.color, 0x112233u);
    EXPECT_EQ(buffering.timeCode, L"0:00 / 1:15");

    model.Sync(30000);
    CardView playing = MakeCardView(model, true, 200);
    EXPECT_EQ(playing.overlay, CardView::Overlay::None);
    EXPECT_GT(playing.stripeX, 0);
    EXPECT_LE(playing.stripeX, playing.loadedToX);
    model.Pause();
    EXPECT_EQ(MakeCardView(model, true, 200).overlay, CardView::Overlay::Paused);
    model.Stop();
    EXPECT_EQ(MakeCardView(model, true, 200).overlay, CardView::Overlay::Cued);
    model.SeekTo(100, true);
    CardView ended = MakeCardView(model, true, 200);
    EXPECT_EQ(ended.overlay, CardView::Overlay::Ended);
    EXPECT_EQ(ended.timeCode, L"1:15 / 1:15");
    EXPECT_EQ(ended.stripeX, 199);

    generation = model.LoadVideo(L"noembed", 0, L"default");
    model.ApplyInfo(generation, ParseVideoInfo("status=fail&errorcode=150"));
    CardView error = MakeCardView(model, true, 200);
    EXPECT_EQ(error.overlay, CardView::Overlay::Error);
    EXPECT_EQ(error.errorCode, 150);
    EXPECT_EQ(ErrorText(150), L"Embedding not allowed");
}

TEST(CardView, ChangesOnlyWithTheSecondOrTheStripePixel) {
    PlaybackModel model;
    model.Sync(0);
    model.ApplyInfo(model.LoadVideo(L"abcDEF12345", 0, L"default"), Info());
    model.Sync(1000);  // playing, everything loaded long before the end
    ASSERT_EQ(model.State(), PlayerState::Playing);
    model.Sync(60000);
    int changes = 0, steps = 0;
    CardView last = MakeCardView(model, true, 20);
    for (std::int64_t t = 60000; model.State() == PlayerState::Playing; t += 50, ++steps) {
        model.Sync(t);
        CardView now = MakeCardView(model, true, 20);
        if (now != last) ++changes;
        last = now;
    }
    // About 15 s of playing in 50 ms steps: one change per displayed second
    // and per pixel of a 20-pixel bar, not one per step.
    EXPECT_GT(steps, 250);
    EXPECT_GE(changes, 15);
    EXPECT_LE(changes, 15 + 20);
}

}  // namespace
}  // namespace playerctl
