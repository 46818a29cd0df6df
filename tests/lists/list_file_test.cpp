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

// Every change writes the whole list in one series, whatever this object
// last read or wrote: the file may have been changed underneath.
TEST(ListFile, EveryWriteIsTheWholeListInOneSeries) {
    MemoryProfile profile;
    ListFile file(profile, ItemKeys::All);
    EXPECT_TRUE(file.Write(Items(3)));
    std::vector<VideoItem> items = file.Read();
    std::swap(items[0], items[2]);
    profile.writes = 0;
    EXPECT_TRUE(file.Write(items));
    EXPECT_EQ(profile.writes, 1 + 3 * 6);
    EXPECT_EQ(profile.seriesEnded, 2);

    MemoryProfile other;  // another list in its place
    ListFile(other, ItemKeys::All).Write(Items(5));
    ListFile there(other, ItemKeys::All);
    EXPECT_TRUE(there.Write(items));
    EXPECT_EQ(ListFile(other, ItemKeys::All).Read(), items);

    // A series that does not reach the file leaves it as it was.
    profile.failEnd = true;
    EXPECT_FALSE(file.Write(Items(1)));
    EXPECT_EQ(ListFile(profile, ItemKeys::All).Read(), items);
}
