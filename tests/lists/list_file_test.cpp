// The list file format, over a profile in memory.
#include "lists/list_file.h"

#include <gtest/gtest.h>

#include "list_test.h"
#include "memory_profile.h"

using clipdeck::test::MemoryProfile;

namespace {

VideoItem Item(int n) {
    return VideoItem{L"id" + std::to_wstring(n), L"title " + std::to_wstring(n), 60 + n, 10 + n, n, 2 * n};
}

std::vector<VideoItem> Items(int count) {
    std::vector<VideoItem> items;
    for (int i = 0; i < count; ++i) items.push_back(Item(i));
    return items;
}

}  // namespace

TEST(ListFile, CountBoundsReadingAndLeftoverSectionsStayUntouched) {
    MemoryProfile profile;
    EXPECT_TRUE(ListFile(profile, ItemKeys::All).Read().empty());
    ListFile(profile, ItemKeys::All).Write({});
    EXPECT_EQ(profile.Value(L"SYSTEM", L"COUNT"), L"0");
    EXPECT_FALSE(profile.HasSection(L"ITEM0"));

    ListFile(profile, ItemKeys::All).Write(Items(20));
    ListFile file(profile, ItemKeys::All);
    EXPECT_EQ(file.Read(), Items(15));

    file.Write(Items(15));
    EXPECT_EQ(profile.Value(L"SYSTEM", L"COUNT"), L"15");
    EXPECT_EQ(profile.Value(L"ITEM19", L"VIDEOID"), L"id19");

    file.Write(Items(5));
    EXPECT_EQ(profile.Value(L"SYSTEM", L"COUNT"), L"5");
    EXPECT_EQ(profile.Value(L"ITEM7", L"TITLE"), L"title 7");
    EXPECT_EQ(file.Read(), Items(5));

    profile.WriteInt(L"SYSTEM", L"COUNT", -3);
    EXPECT_TRUE(file.Read().empty());
}

TEST(ListFile, AMissingSectionOrKeyReadsAsTheDefaultItem) {
    MemoryProfile holed;
    holed.WriteInt(L"SYSTEM", L"COUNT", 3);
    holed.WriteString(L"ITEM0", L"VIDEOID", L"id0");
    holed.WriteString(L"ITEM2", L"VIDEOID", L"id2");
    holed.WriteString(L"ITEM2", L"VOLUME", L"500");
    std::vector<VideoItem> read = ListFile(holed, ItemKeys::All).Read();
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0], (VideoItem{L"id0", L""}));
    EXPECT_EQ(read[1], VideoItem{});
    EXPECT_EQ(read[2].volume, 500);  // out of range stays as read
}

TEST(ListFile, TextOver260CharactersIsWrittenInFullAndCutWhenRead) {
    MemoryProfile profile;
    VideoItem item = Item(1);
    item.title = std::wstring(259, L'a') + L"bcd" + std::wstring(38, L'e');
    ListFile file(profile, ItemKeys::All);
    file.Write({item});
    EXPECT_EQ(profile.Value(L"ITEM0", L"TITLE"), item.title);
    EXPECT_EQ(file.Read()[0].title, std::wstring(259, L'a') + L"b");
}

TEST(ListFile, TheHistoryFormatKeepsOnlyIdTitleAndDuration) {
    MemoryProfile profile;
    ListFile file(profile, ItemKeys::IdTitleDuration);
    file.Write({Item(3)});
    EXPECT_EQ(profile.Value(L"ITEM0", L"DURATION"), L"63");
    EXPECT_FALSE(profile.Value(L"ITEM0", L"VOLUME"));
    profile.WriteInt(L"ITEM0", L"VOLUME", 13);
    EXPECT_EQ(file.Read()[0], (VideoItem{L"id3", L"title 3", 63}));
}

TEST(ListFile, AnUpdateWritesOnlyWhatDiffersFromTheFile) {
    MemoryProfile profile;
    ListFile(profile, ItemKeys::All).Write(Items(20));
    ListFile file(profile, ItemKeys::All);
    std::vector<VideoItem> items = file.Read();

    profile.writes = 0;
    items[4].title = L"changed";
    file.Update(items);
    EXPECT_EQ(profile.writes, 2);  // COUNT (20 in the file, 15 loaded) and one title
    file.Update(items);
    EXPECT_EQ(profile.writes, 2);

    EXPECT_EQ(ListFile(profile, ItemKeys::All).Read(), items);

    // What a file holds is unknown until it is read or written: all of it.
    MemoryProfile other;
    ListFile(other, ItemKeys::All).Update(Items(2));
    EXPECT_EQ(other.writes, 1 + 2 * 6);
}

TEST(ListFile, EachWriteIsOneSeriesAndAFailedSeriesMakesTheNextWriteWhole) {
    MemoryProfile profile;
    ListFile file(profile, ItemKeys::All);
    file.Write(Items(3));
    EXPECT_EQ(profile.seriesEnded, 1);
    std::vector<VideoItem> items = Items(3);
    std::swap(items[0], items[2]);
    file.Update(items);
    EXPECT_EQ(profile.seriesEnded, 2);

    // The file was left as it was: an update that wrote only the keys that
    // differ would now leave the file holding a mix.
    std::vector<VideoItem> lost = items;
    lost[1].volume = 5;
    profile.failEnd = true;
    file.Update(lost);
    EXPECT_EQ(ListFile(profile, ItemKeys::All).Read(), items);
    profile.failEnd = false;
    profile.writes = 0;
    std::vector<VideoItem> next = lost;
    next[0].title = L"next";
    file.Update(next);
    EXPECT_EQ(profile.writes, 1 + 3 * 6);
    EXPECT_EQ(ListFile(profile, ItemKeys::All).Read(), next);
}
