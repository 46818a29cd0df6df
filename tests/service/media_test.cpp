// Media files read with libavformat: the files are made at build time in
// CLIPDECK_TEST_MEDIA (see CMakeLists.txt).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "catalogue.h"
#include "media.h"
#include "render.h"

namespace clipdeck::service {
namespace {

namespace fs = std::filesystem;
const fs::path kMedia = CLIPDECK_TEST_MEDIA;

TEST(MediaLevels, ComeFromThePictureHeight) {
    const std::pair<int, Quality> cases[] = {
        {144, Quality::Small},   {240, Quality::Small},  {241, Quality::Medium},
        {360, Quality::Medium},  {361, Quality::Large},  {480, Quality::Large},
        {481, Quality::Hd720},   {720, Quality::Hd720},  {721, Quality::Hd1080},
        {1080, Quality::Hd1080}, {1081, Quality::Highres}, {2160, Quality::Highres}};
    for (auto [height, quality] : cases) EXPECT_EQ(QualityForHeight(height), quality) << height;
}

TEST(MediaLength, IsRoundedToWholeSecondsNeverZeroAndCappedAt99Hours) {
    // A clip shorter than half a second still lasts a second: 0 would read
    // as "no length" to the player and the feed.
    const std::pair<double, int> cases[] = {
        {0.0, 1},         {0.001, 1},       {0.3, 1},         {0.499, 1},
        {0.5, 1},         {1.49, 1},        {1.5, 2},         {59.6, 60},
        {359998.4, 359998}, {359998.6, 359999}, {359999.0, 359999}, {359999.6, 359999},
        {1e12, 359999},   {-3.0, 1}};
    for (auto [seconds, shown] : cases) EXPECT_EQ(LengthSeconds(seconds), shown) << seconds;
}

TEST(MediaNames, FilesDifferingOnlyInAHeightSuffixShareAKey) {
    EXPECT_EQ(GroupKeyForFile("clip_360.mp4").key, "clip.mp4");
    EXPECT_EQ(GroupKeyForFile("clip_720p.MP4").key, "clip.mp4");
    EXPECT_EQ(GroupKeyForFile("clip_720p.MP4").name, "clip");
    EXPECT_EQ(GroupKeyForFile("clip.mp4").key, "clip.mp4");
    // The container is part of the key: each is a video of its own.
    EXPECT_EQ(GroupKeyForFile("clip_360.webm").key, "clip.webm");
    EXPECT_EQ(GroupKeyForFile("my_holiday_2019_1080.webm").key, "my_holiday_2019.webm");
    // No separator, nothing before it, or no digits: the whole name.
    EXPECT_EQ(GroupKeyForFile("clip360.mp4").key, "clip360.mp4");
    EXPECT_EQ(GroupKeyForFile("_360.mp4").key, "_360.mp4");
    EXPECT_EQ(GroupKeyForFile("clip_p.mp4").key, "clip_p.mp4");
    EXPECT_EQ(GroupKeyForFile("clip_360x.mp4").key, "clip_360x.mp4");
}

TEST(MediaNames, IdsAreValidStableAndDistinct) {
    // Favourites and history keep IDs: a change here loses them.
    EXPECT_EQ(MediaVideoId("demo-bars.mp4"), MediaVideoId("demo-bars.mp4"));
    EXPECT_EQ(MediaVideoId(""), "lMiIESOnyvM");  // FNV-1a offset basis 0xcbf29ce484222325
    std::set<std::string> ids;
    for (const char* key : {"a.mp4", "b.mp4", "a.webm", "clip.mp4", "clip.webm", "Clip.mp4"}) {
        const std::string id = MediaVideoId(key);
        EXPECT_TRUE(IsValidVideoId(id)) << id;
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 6u);
}

TEST(MediaProbe, ReadsLengthHeightAndTitleFromTheFile) {
    std::string error;
    auto small = ProbeMedia((kMedia / "tiny_240.mp4").string(), &error);
    ASSERT_TRUE(small) << error;
    EXPECT_EQ(small->height, 240);
    EXPECT_NEAR(small->seconds, 2.0, 0.2);
    EXPECT_EQ(small->title, "Tiny Clip");

    auto webm = ProbeMedia((kMedia / "other.webm").string(), &error);
    ASSERT_TRUE(webm) << error;
    EXPECT_EQ(webm->height, 144);
    EXPECT_NEAR(webm->seconds, 1.0, 0.2);
    EXPECT_EQ(webm->title, "");
}

TEST(MediaProbe, TellsOfVideoFormatsThePlayerDoesNotDecode) {
    std::string error;
    auto small = ProbeMedia((kMedia / "tiny_240.mp4").string(), &error);
    ASSERT_TRUE(small) << error;
    EXPECT_EQ(small->problem, "");
    auto webm = ProbeMedia((kMedia / "other.webm").string(), &error);
    ASSERT_TRUE(webm) << error;
    EXPECT_EQ(webm->problem, "");
    auto vp9 = ProbeMedia((kMedia.string() + "-formats/vp9-444.webm"), &error);
    ASSERT_TRUE(vp9) << error;
    EXPECT_EQ(vp9->problem.rfind("VP9 profile 1 ", 0), 0u) << vp9->problem;
    auto h264 = ProbeMedia((kMedia.string() + "-formats/h264-444.mp4"), &error);
    ASSERT_TRUE(h264) << error;
    EXPECT_EQ(h264->problem.rfind("H.264 High 4:4:4 ", 0), 0u) << h264->problem;
    // The rest of the rule: what was seen to fail, and nothing else.
    for (VideoCoding bad : {VideoCoding{"vp9", 2}, VideoCoding{"vp9", 3}, VideoCoding{"h264", 110}})
        EXPECT_NE(PlaybackProblem(bad), "") << bad.codec << " " << bad.profile;
    for (VideoCoding good : {VideoCoding{"vp9", 0}, VideoCoding{"vp9", -1}, VideoCoding{"h264", 100},
                             VideoCoding{"h264", 122}, VideoCoding{"hevc", 1}, VideoCoding{"av1", 0},
                             VideoCoding{"vp8", -1}})
        EXPECT_EQ(PlaybackProblem(good), "") << good.codec << " " << good.profile;
}

TEST(MediaProbe, RefusesFilesThatAreNotMedia) {
    std::string error;
    EXPECT_FALSE(ProbeMedia((kMedia / "broken.mp4").string(), &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(ProbeMedia((kMedia / "no-such-file.mp4").string(), &error));
    EXPECT_FALSE(error.empty());
}

TEST(CatalogueMedia, ANinthFieldNamesOneFilePerLevel) {
    const std::string line =
        "cdMedia0001\t99\t-\t102030\tsmall,medium\t2020-01-01\tme\tMine\t"
        "medium=tiny_360p.mp4,small=sub/tiny_240.mp4";
    CatalogueParse parse = ParseCatalogue(line);
    ASSERT_TRUE(parse.errors.empty()) << parse.errors[0].message;
    const Video& video = parse.catalogue.Videos()[0];
    ASSERT_EQ(video.media.size(), 2u);
    EXPECT_EQ(video.media[0].quality, Quality::Medium);
    EXPECT_EQ(video.media[0].path, "tiny_360p.mp4");
    EXPECT_EQ(video.media[1].path, "sub/tiny_240.mp4");
    EXPECT_EQ(video.media[1].contentType, "video/mp4");

    const std::string head = "cdMedia0001\t99\t-\t102030\tsmall,medium\t2020-01-01\tme\tMine\t";
    for (const char* bad : {"medium=a.mp4", "medium=a.mp4,small=b.mp4,large=c.mp4",
                            "medium=a.mp4,medium=b.mp4", "medium=a.avi,small=b.mp4",
                            "medium=,small=b.mp4", "4k=a.mp4,small=b.mp4", "a.mp4,b.mp4", ""}) {
        CatalogueParse wrong = ParseCatalogue(head + bad);
        EXPECT_EQ(wrong.errors.size(), 1u) << bad;
    }
}

TEST(CatalogueMedia, FilesAreReadRelativeToTheCatalogue) {
    CatalogueParse parse = ParseCatalogue(
        "cdMedia0001\t99\t-\t102030\tsmall,medium\t2020-01-01\tme\tMine\t"
        "medium=tiny_360p.mp4,small=tiny_240.mp4\n"
        "cdPlain0001\t42\t-\t102030\tsmall\t2020-01-01\tme\tPlain\n");
    ASSERT_TRUE(parse.errors.empty());
    std::vector<Video> videos(parse.catalogue.Videos().begin(), parse.catalogue.Videos().end());
    EXPECT_TRUE(ResolveCatalogueMedia(videos, kMedia.string()).empty());
    EXPECT_EQ(videos[0].seconds, 3);  // from the files, not the catalogue's 99
    EXPECT_EQ(videos[0].media[1].bytes, fs::file_size(kMedia / "tiny_240.mp4"));
    EXPECT_TRUE(fs::path(videos[0].media[1].path).is_absolute());
    EXPECT_EQ(videos[1].seconds, 42);  // simulated, unchanged

    std::vector<Video> elsewhere(parse.catalogue.Videos().begin(), parse.catalogue.Videos().end());
    auto messages = ResolveCatalogueMedia(elsewhere, (kMedia / "nowhere").string());
    EXPECT_EQ(messages.size(), 2u);
}

}  // namespace
}  // namespace clipdeck::service
