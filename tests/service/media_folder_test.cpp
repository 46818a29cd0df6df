// A media folder followed through listings: files that come, are still
// being written, change and go. Times are given to List, so nothing waits.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "media_folder.h"
#include "render.h"
#include "temp_folder.h"
#include "request.h"

namespace clipdeck::service {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
const fs::path kMedia = CLIPDECK_TEST_MEDIA;

std::vector<Video> Copies(const std::vector<Catalogue::Shared>& videos) {
    std::vector<Video> copies;
    for (const Catalogue::Shared& video : videos) copies.push_back(*video);
    return copies;
}

std::string Field(const FormFields& fields, const std::string& key) {
    for (const auto& [name, value] : fields) {
        if (name == key) return value;
    }
    return "(absent)";
}

// A folder of its own, with files copied from the test media.
class Folder : public testing::Test {
protected:
    // Copies a test file in, written `age` ago.
    void Put(const std::string& from, const std::string& name, std::chrono::seconds age = 60s) {
        temp_.Put(kMedia / from, name, age);
    }
    MediaFolder::Listing ListAt(MediaFolder& folder, std::chrono::milliseconds later = 0ms) {
        return folder.List(start_ + later, FileTimeNow() + std::chrono::nanoseconds(later).count());
    }
    // Lists and reads every due file; the videos then.
    std::vector<Video> ReadAll(MediaFolder& folder, std::chrono::milliseconds later = 0ms) {
        for (const std::string& name : ListAt(folder, later).due) folder.Read(name);
        return Copies(folder.Videos(warnings_));
    }

    test::TempFolder temp_;
    const fs::path& dir_ = temp_.Path();
    SteadyTime start_ = std::chrono::steady_clock::now();
    std::vector<std::string> warnings_;
};

TEST(MediaFolderRead, GroupsFilesIntoVideosWithLevelsSizesAndLengthsFromTheFiles) {
    MediaFolder folder(kMedia.string(), 2);
    MediaFolder::Listing listing = folder.List(std::chrono::steady_clock::now(), FileTimeNow() + std::chrono::nanoseconds(1h).count());
    ASSERT_EQ(listing.error, "");
    ASSERT_EQ(listing.due, (std::vector<std::string>{"broken.mp4", "other.webm", "tiny_240.mp4", "tiny_360p.mp4"}));
    EXPECT_NE(folder.Read("broken.mp4"), "");
    for (const char* name : {"other.webm", "tiny_240.mp4", "tiny_360p.mp4"}) EXPECT_EQ(folder.Read(name), "");
    std::vector<std::string> warnings;
    std::vector<Video> videos = Copies(folder.Videos(warnings));
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(videos.size(), 2u);
    // The unreadable file is reported with its reason and left out.
    ASSERT_EQ(folder.Skipped().size(), 1u);
    EXPECT_EQ(fs::path(folder.Skipped()[0].file).filename(), "broken.mp4");
    EXPECT_NE(folder.Skipped()[0].reason, "");

    const Video& other = videos[0];  // "other.webm" sorts before "tiny_240.mp4"
    EXPECT_EQ(other.id, MediaVideoId("other.webm"));
    EXPECT_EQ(other.title, "other");
    EXPECT_EQ(other.seconds, 1);
    EXPECT_EQ(other.folder, 2);
    EXPECT_EQ(other.levels, std::vector<Quality>{Quality::Small});
    ASSERT_EQ(other.media.size(), 1u);
    EXPECT_EQ(other.media[0].contentType, "video/webm");
    EXPECT_EQ(other.media[0].path, "other.webm");  // within the folder

    const Video& tiny = videos[1];
    EXPECT_EQ(tiny.id, MediaVideoId("tiny.mp4"));
    EXPECT_EQ(tiny.title, "Tiny Clip");
    EXPECT_EQ(tiny.seconds, 3);  // the longer of its files
    EXPECT_EQ(tiny.levels, (std::vector<Quality>{Quality::Medium, Quality::Small}));
    ASSERT_EQ(tiny.media.size(), 2u);
    EXPECT_EQ(tiny.media[0].quality, Quality::Medium);
    EXPECT_EQ(tiny.media[0].path, "tiny_360p.mp4");
    EXPECT_EQ(tiny.media[0].bytes, fs::file_size(kMedia / "tiny_360p.mp4"));
    EXPECT_EQ(tiny.media[1].bytes, fs::file_size(kMedia / "tiny_240.mp4"));
    EXPECT_EQ(tiny.media[1].contentType, "video/mp4");
    EXPECT_EQ(tiny.published.size(), 10u);  // YYYY-MM-DD of the file

    // The service's answer names each level's address and the files' sizes.
    FormFields info = VideoInfoFields(&tiny);
    EXPECT_EQ(Field(info, "fmt_list"), "medium,small");
    EXPECT_EQ(Field(info, "bytes_medium"), std::to_string(tiny.media[0].bytes));
    EXPECT_EQ(Field(info, "media_medium"), "/media/" + tiny.id + "/medium");
    EXPECT_EQ(Field(info, "media_small"), "/media/" + tiny.id + "/small");
    EXPECT_EQ(Field(info, "type_small"), "video/mp4");
    EXPECT_EQ(Field(info, "length_seconds"), "3");
}

TEST(MediaFolderRead, AMissingFolderCannotBeListed) {
    MediaFolder folder((kMedia / "nowhere").string(), 0);
    MediaFolder::Listing listing = folder.List(std::chrono::steady_clock::now(), FileTimeNow());
    EXPECT_NE(listing.error, "");
    EXPECT_TRUE(listing.due.empty());
}

TEST_F(Folder, AFileJustWrittenWaitsUntilItHasStoodStill) {
    Put("tiny_240.mp4", "old.mp4");
    Put("other.webm", "fresh.webm", 0s);
    MediaFolder folder(dir_.string(), 0);
    // At first sight only the file written a minute ago is read.
    EXPECT_EQ(ListAt(folder).due, std::vector<std::string>{"old.mp4"});
    EXPECT_EQ(folder.Waiting(), 2u);
    EXPECT_EQ(folder.Read("fresh.webm"), "");  // not due: nothing happens
    EXPECT_EQ(folder.Read("old.mp4"), "");
    EXPECT_EQ(folder.Waiting(), 1u);
    // Still growing: later listings see it change and wait for it again.
    std::ofstream(dir_ / "fresh.webm", std::ios::app) << "more";
    EXPECT_TRUE(ListAt(folder, 500ms).due.empty());
    EXPECT_TRUE(ListAt(folder, 700ms).due.empty());
    // Untouched for the settling time since its last write: due.
    EXPECT_EQ(ListAt(folder, 1200ms).due, std::vector<std::string>{"fresh.webm"});
}

TEST_F(Folder, AFileDatedInTheFutureIsReadOnceItHasStoodStillByTheClock) {
    Put("other.webm", "future.webm", -3600s);
    MediaFolder folder(dir_.string(), 0);
    EXPECT_TRUE(ListAt(folder).due.empty());
    EXPECT_EQ(ListAt(folder, 1100ms).due, std::vector<std::string>{"future.webm"});
}

TEST_F(Folder, FilesThatGoOrChangeAreWithdrawnAndReadAgain) {
    Put("tiny_240.mp4", "clip_240.mp4");
    Put("tiny_360p.mp4", "clip_360.mp4");
    Put("other.webm", "other.webm");
    MediaFolder folder(dir_.string(), 0);
    std::vector<Video> videos = ReadAll(folder);
    ASSERT_EQ(videos.size(), 2u);
    const std::string clip = MediaVideoId("clip.mp4");
    EXPECT_EQ(videos[0].id, clip);
    EXPECT_EQ(videos[0].levels.size(), 2u);

    // Nothing changed: nothing to read, nothing withdrawn, the same IDs.
    MediaFolder::Listing again = ListAt(folder, 600ms);
    EXPECT_TRUE(again.due.empty());
    EXPECT_FALSE(again.withdrawn);
    EXPECT_EQ(folder.Videos(warnings_)[0]->id, clip);

    // One level goes: the video stays with the other, under the same ID.
    fs::remove(dir_ / "clip_360.mp4");
    EXPECT_TRUE(ListAt(folder, 1200ms).withdrawn);
    videos = Copies(folder.Videos(warnings_));
    ASSERT_EQ(videos.size(), 2u);
    EXPECT_EQ(videos[0].id, clip);
    EXPECT_EQ(videos[0].levels, std::vector<Quality>{Quality::Small});

    // Replaced by other content (copied in a minute ago, so at once due):
    // withdrawn, read again, served with its new length and size.
    Put("other.webm", "clip_240.mp4");
    MediaFolder::Listing replaced = ListAt(folder, 1800ms);
    EXPECT_TRUE(replaced.withdrawn);
    EXPECT_EQ(replaced.due, std::vector<std::string>{"clip_240.mp4"});
    EXPECT_EQ(folder.Videos(warnings_).size(), 1u);  // only other.webm until it is read
    EXPECT_EQ(folder.Read("clip_240.mp4"), "");
    videos = Copies(folder.Videos(warnings_));
    ASSERT_EQ(videos.size(), 2u);
    EXPECT_EQ(videos[0].id, clip);
    EXPECT_EQ(videos[0].seconds, 1);
    EXPECT_EQ(videos[0].media[0].bytes, fs::file_size(kMedia / "other.webm"));

    // A file that cannot be read is skipped once, and tried again when it changes.
    std::ofstream(dir_ / "later.mp4") << "not yet";
    fs::last_write_time(dir_ / "later.mp4", fs::file_time_type::clock::now() - 60s);
    EXPECT_EQ(ListAt(folder, 2400ms).due, std::vector<std::string>{"later.mp4"});
    EXPECT_NE(folder.Read("later.mp4"), "");
    EXPECT_TRUE(ListAt(folder, 3000ms).due.empty());
    EXPECT_EQ(folder.Skipped().size(), 1u);
    Put("tiny_240.mp4", "later.mp4");
    EXPECT_EQ(ListAt(folder, 3600ms).due, std::vector<std::string>{"later.mp4"});
    EXPECT_TRUE(folder.Skipped().empty());

    // The folder goes: everything is withdrawn and the listing says why.
    fs::remove_all(dir_);
    MediaFolder::Listing gone = ListAt(folder, 4200ms);
    EXPECT_TRUE(gone.withdrawn);
    EXPECT_NE(gone.error, "");
    EXPECT_TRUE(folder.Videos(warnings_).empty());
}

TEST_F(Folder, ASecondFileForOneLevelIsLeftOutWithAWarning) {
    Put("tiny_240.mp4", "clip_240.mp4");
    Put("tiny_240.mp4", "clip_240p.mp4");
    MediaFolder folder(dir_.string(), 0);
    std::vector<Video> videos = ReadAll(folder);
    ASSERT_EQ(videos.size(), 1u);
    ASSERT_EQ(videos[0].media.size(), 1u);
    EXPECT_EQ(videos[0].media[0].path, "clip_240.mp4");  // the first in byte order
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_NE(warnings_[0].find("clip_240p.mp4: level small of clip.mp4 is already taken"), std::string::npos)
        << warnings_[0];
}

TEST(MediaFolderRead, MediaAddressesLeadToTheFileOfTheLevel) {
    MediaFolder folder(kMedia.string(), 0);
    for (const std::string& name : folder.List(std::chrono::steady_clock::now(), FileTimeNow() + std::chrono::nanoseconds(1h).count()).due)
        folder.Read(name);
    std::vector<std::string> warnings;
    LibrarySnapshot library;
    library.folders = {{kMedia.string(), kMedia.string(), 2, 0, {}}};
    for (Catalogue::Shared& video : folder.Videos(warnings)) library.catalogue.Add(std::move(video));
    Video plain;
    plain.id = "cdPlain0001";
    plain.seconds = 10;
    plain.levels = {Quality::Small};
    library.catalogue.Add(plain);
    const std::string tiny = MediaVideoId("tiny.mp4");

    Reply reply = HandleRequest(library, "GET", "/media/" + tiny + "/small", 0);
    ASSERT_NE(reply.media, nullptr);
    EXPECT_EQ(reply.media->path, "tiny_240.mp4");
    EXPECT_EQ(fs::path(reply.mediaPath), kMedia / "tiny_240.mp4");
    EXPECT_EQ(reply.contentType, "video/mp4");
    const std::vector<std::string> elsewhere = {"/media/" + tiny + "/hd720", "/media/" + tiny,
                                                "/media/cdPlain0001/small", "/media/cdNoSuchOne/small"};
    for (const std::string& target : elsewhere) {
        Reply missing = HandleRequest(library, "GET", target, 0);
        EXPECT_EQ(missing.media, nullptr) << target;
        EXPECT_EQ(missing.status, 404) << target;
    }
    // A forced status wins over media too.
    EXPECT_EQ(HandleRequest(library, "GET", "/media/" + tiny + "/small", 503).media, nullptr);
}

TEST(MediaFolderDates, AreTheUtcDayOfTheModificationTime) {
    using namespace std::chrono;
    const auto at = [](sys_days day, hours h) {
        return static_cast<FileTime>(nanoseconds(sys_time<hours>(day) + h - sys_days{}).count());
    };
    EXPECT_EQ(DateOfFileTime(at(2024y / 2 / 29, 23h)), "2024-02-29");
    EXPECT_EQ(DateOfFileTime(at(1970y / 1 / 1, 0h)), "1970-01-01");
    EXPECT_EQ(DateOfFileTime(at(1969y / 12 / 31, 1h)), "1970-01-01");
}

}  // namespace
}  // namespace clipdeck::service
