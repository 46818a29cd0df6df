// The library: the catalogue and several media folders behind one snapshot,
// what it logs, and a request that waits for a file not read yet.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "library.h"
#include "media.h"
#include "temp_folder.h"

namespace clipdeck::service {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
const fs::path kMedia = CLIPDECK_TEST_MEDIA;

Catalogue OneVideoCatalogue(const std::string& id) {
    Catalogue catalogue;
    Video video;
    video.id = id;
    video.seconds = 10;
    video.levels = {Quality::Small};
    video.title = "From the catalogue";
    catalogue.Add(video);
    return catalogue;
}

class Folders : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(root_ / "a");
        fs::create_directory(root_ / "b");
    }
    void Put(const std::string& from, const fs::path& to) { temp_.Put(kMedia / from, to); }
    std::unique_ptr<Library> Make(Catalogue catalogue = {}) {
        return std::make_unique<Library>(
            std::move(catalogue), std::vector<std::string>{(root_ / "a").string(), (root_ / "b").string()},
            [this](const std::string& line) {
                std::lock_guard<std::mutex> lock(mutex_);
                out_.push_back(line);
            },
            [this](const std::string& line) {
                std::lock_guard<std::mutex> lock(mutex_);
                warnings_.push_back(line);
            });
    }
    std::vector<std::string> Out() {
        std::lock_guard<std::mutex> lock(mutex_);
        return out_;
    }

    test::TempFolder temp_;
    const fs::path& root_ = temp_.Path();
    std::mutex mutex_;
    std::vector<std::string> out_, warnings_;
};

TEST_F(Folders, ServeTheCatalogueThenEachFolderInTurnWithIdsThatLast) {
    Put("tiny_240.mp4", "a/clip.mp4");
    Put("other.webm", "b/other.webm");
    Put("tiny_360p.mp4", "b/clip.mp4");  // the same name as in a: the same ID, a's is served
    Put("tiny_240.mp4", "b/taken.mp4");
    const std::string taken = MediaVideoId("taken.mp4");
    auto library = Make(OneVideoCatalogue(taken));
    // Before any listing: the catalogue alone, nothing read through.
    EXPECT_EQ(library->Snapshot()->catalogue.Videos().size(), 1u);
    EXPECT_FALSE(library->Snapshot()->scanned);

    library->ScanOnce();
    auto snapshot = library->Snapshot();
    EXPECT_TRUE(snapshot->scanned);
    const Catalogue::List videos = snapshot->catalogue.Videos();
    ASSERT_EQ(videos.size(), 3u);
    EXPECT_EQ(videos[0].id, taken);
    EXPECT_EQ(videos[0].title, "From the catalogue");
    EXPECT_EQ(videos[1].id, MediaVideoId("clip.mp4"));
    EXPECT_EQ(videos[1].folder, 0);
    EXPECT_EQ(videos[1].seconds, 2);  // a's clip
    EXPECT_EQ(videos[2].id, MediaVideoId("other.webm"));
    EXPECT_EQ(videos[2].folder, 1);
    ASSERT_EQ(snapshot->folders.size(), 2u);
    EXPECT_EQ(snapshot->folders[0].videos, 1u);
    EXPECT_EQ(snapshot->folders[1].videos, 1u);
    // Each ID taken twice is a warning, once.
    ASSERT_EQ(warnings_.size(), 2u);
    EXPECT_NE(warnings_[0].find("clip.mp4: its ID"), std::string::npos) << warnings_[0];
    EXPECT_NE(warnings_[1].find("taken.mp4: its ID " + taken), std::string::npos) << warnings_[1];

    std::vector<std::string> out = Out();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "media " + videos[1].id + " small 2 Tiny Clip");
    EXPECT_EQ(out[1], "media " + videos[2].id + " small 1 other");
    EXPECT_EQ(out[2], "scanned 2 folders: 2 videos, 0 files skipped");

    // A pass that finds nothing new says nothing; a file that goes is removed.
    library->ScanOnce();
    EXPECT_EQ(Out().size(), 3u);
    fs::remove(root_ / "b/other.webm");
    library->ScanOnce();
    EXPECT_EQ(Out().back(), "removed " + videos[2].id);
    EXPECT_EQ(library->Snapshot()->catalogue.Find(videos[2].id), nullptr);
    EXPECT_EQ(warnings_.size(), 2u);

    // A new library on the same folders (the service started again) gives the same IDs.
    auto again = Make();
    again->ScanOnce();
    EXPECT_NE(again->Snapshot()->catalogue.Find(MediaVideoId("clip.mp4")), nullptr);
    EXPECT_NE(again->Snapshot()->catalogue.Find(taken), nullptr);  // no longer taken
}

TEST_F(Folders, UnreadableFilesAreListedWithTheirReason) {
    Put("broken.mp4", "a/broken.mp4");
    auto library = Make();
    library->ScanOnce();
    auto snapshot = library->Snapshot();
    ASSERT_EQ(snapshot->skipped.size(), 1u);
    EXPECT_EQ(fs::path(snapshot->skipped[0].file), root_ / "a/broken.mp4");
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_NE(warnings_[0].find("broken.mp4: not a media file"), std::string::npos) << warnings_[0];
    EXPECT_EQ(Out().back(), "scanned 2 folders: 0 videos, 1 file skipped");
    library->ScanOnce();
    EXPECT_EQ(warnings_.size(), 1u);
}

TEST_F(Folders, ARequestForAFileNotReadYetHasItReadFirst) {
    // Enough files that reading them all takes a second or more; the one
    // asked for sorts last.
    Put("tiny_240.mp4", "a/clip1000.mp4");
    for (int i = 1; i < 300; ++i)
        fs::create_hard_link(root_ / "a/clip1000.mp4", root_ / ("a/clip" + std::to_string(1000 + i) + ".mp4"));
    Put("other.webm", "b/zzz-wanted.webm");
    const std::string wanted = MediaVideoId("zzz-wanted.webm");
    auto library = Make();
    library->Start(10ms);
    library->AwaitVideo(wanted, 10s);
    auto snapshot = library->Snapshot();
    EXPECT_NE(snapshot->catalogue.Find(wanted), nullptr);
    EXPECT_LT(snapshot->catalogue.Videos().size(), 301u) << "read in name order, not first";
    // An ID no file of the folders makes is answered at once.
    const auto start = std::chrono::steady_clock::now();
    library->AwaitVideo("cdNoSuchOne", 10s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    library->AwaitScanned(30s);
    EXPECT_EQ(library->Snapshot()->catalogue.Videos().size(), 301u);
}

}  // namespace
}  // namespace clipdeck::service
