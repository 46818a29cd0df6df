// Decoded sound on its way to the device: sample formats, channels, rate,
// volume.
#include "playerctl/media/pcm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace playerctl {
namespace {

TEST(PcmTest, IntegerAndFloatSamplesBecomeFloats) {
    const std::uint8_t pcm16[] = {0x00, 0x80, 0x00, 0x00, 0x00, 0x40, 0x7F};  // -32768, 0, 16384, half a sample
    std::vector<float> out;
    PcmToFloat(pcm16, sizeof pcm16, 16, false, out);
    EXPECT_EQ(out, (std::vector<float>{-1.0f, 0.0f, 0.5f}));

    out.clear();
    const std::uint8_t pcm24[] = {0x00, 0x00, 0xC0};  // -0.5
    PcmToFloat(pcm24, sizeof pcm24, 24, false, out);
    EXPECT_EQ(out, (std::vector<float>{-0.5f}));

    out.clear();
    float floats[] = {0.25f, NAN, INFINITY};
    PcmToFloat(reinterpret_cast<const std::uint8_t*>(floats), sizeof floats, 32, true, out);
    EXPECT_EQ(out, (std::vector<float>{0.25f, 0.0f, 0.0f})) << "nothing that is not a number reaches the device";

    out.clear();
    PcmToFloat(pcm16, sizeof pcm16, 8, false, out);
    PcmToFloat(pcm16, sizeof pcm16, 64, true, out);
    EXPECT_TRUE(out.empty()) << "unknown layouts give nothing";
}

TEST(PcmTest, ChannelsAreSpreadOrMixed) {
    std::vector<float> out;
    const float mono[] = {0.5f, -0.25f};
    PcmConverter up(48000, 1, 48000, 2);
    up.Convert(mono, 2, out);
    EXPECT_EQ(out, (std::vector<float>{0.5f, 0.5f, -0.25f, -0.25f}));

    out.clear();
    const float stereo[] = {0.5f, 0.25f, -1.0f, 1.0f};
    PcmConverter down(48000, 2, 48000, 1);
    down.Convert(stereo, 2, out);
    EXPECT_EQ(out, (std::vector<float>{0.375f, 0.0f}));

    out.clear();
    const float six[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    PcmConverter keep(48000, 6, 48000, 2);
    keep.Convert(six, 1, out);
    EXPECT_EQ(out, (std::vector<float>{0.1f, 0.2f}));

    EXPECT_FALSE(PcmConverter(0, 2, 48000, 2).Valid());
    EXPECT_FALSE(PcmConverter(44100, 0, 48000, 2).Valid());
}

std::vector<float> Ramp(int frames) {
    std::vector<float> v;
    for (int i = 0; i < frames; ++i) v.push_back(static_cast<float>(i) / frames);
    return v;
}

TEST(PcmTest, RateConversionKeepsLengthAndShapeAcrossBlocks) {
    std::vector<float> in = Ramp(44100);
    std::vector<float> whole;
    PcmConverter one(44100, 1, 48000, 1);
    one.Convert(in.data(), in.size(), whole);
    EXPECT_NEAR(static_cast<double>(whole.size()), 48000.0, 2.0);
    for (size_t i = 1; i < whole.size(); ++i) ASSERT_GE(whole[i], whole[i - 1]) << i;
    EXPECT_NEAR(whole[24000], 0.5f, 0.001f);

    // The same sound in uneven blocks comes out the same, without seams.
    std::vector<float> pieces;
    PcmConverter many(44100, 1, 48000, 1);
    for (size_t at = 0, n = 1; at < in.size(); at += n, n = n * 3 % 997 + 1)
        many.Convert(in.data() + at, std::min(n, in.size() - at), pieces);
    ASSERT_EQ(pieces.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) ASSERT_FLOAT_EQ(pieces[i], whole[i]) << i;

    std::vector<float> down;
    PcmConverter slow(48000, 1, 24000, 1);
    std::vector<float> in48 = Ramp(4800);
    slow.Convert(in48.data(), in48.size(), down);
    EXPECT_NEAR(static_cast<double>(down.size()), 2400.0, 1.0);

    // After a reset the place starts over: no frame of before leaks in.
    std::vector<float> after;
    one.Reset();
    const float loud[] = {-1.0f, -1.0f, -1.0f};
    one.Convert(loud, 3, after);
    ASSERT_FALSE(after.empty());
    for (float v : after) EXPECT_EQ(v, -1.0f);
}

TEST(PcmTest, GainScalesClampsAndReportsThePeak) {
    std::vector<float> v = {0.5f, -0.8f, 0.1f};
    EXPECT_FLOAT_EQ(ApplyGain(v.data(), v.size(), 0.5f), 0.4f);
    EXPECT_EQ(v, (std::vector<float>{0.25f, -0.4f, 0.05f}));
    EXPECT_EQ(ApplyGain(v.data(), v.size(), 0.0f), 0.0f);
    std::vector<float> hot = {1.5f, -3.0f};
    EXPECT_EQ(ApplyGain(hot.data(), hot.size(), 1.0f), 1.0f);
    EXPECT_EQ(hot, (std::vector<float>{1.0f, -1.0f}));
}

}  // namespace
}  // namespace playerctl
