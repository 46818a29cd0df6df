// The favourites store over a list file in memory.
#include "favorites/favorite_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "list_test.h"
#include "memory_profile.h"

namespace {

VideoItem Item(const std::wstring& id) { return VideoItem{id, L"title of " + id, 100, 50, 5, 6}; }

class FavoriteStoreTest : public testing::Test {
protected:
    void SetUp() override {
        store.SetChangeHandler([this] { ++refreshes; });
    }
    // Adds "v<n-1>" ... "v0", so that row i holds "v<i>".
    void Fill(int n) {
        for (int i = n - 1; i >= 0; --i) store.AddItem(Item(L"v" + std::to_wstring(i)));
        refreshes = 0;
        file.writes = 0;
    }
    std::vector<std::wstring> Ids() const { return clipdeck::test::IdsOf(store.items()); }
    // What the file holds now, read by a store of its own.
    std::vector<VideoItem> Reloaded() {
        FavoriteStore other(file);
        other.LoadFavorites();
        return other.items();
    }

    clipdeck::test::MemoryProfile file;
    FavoriteStore store{file};
    int refreshes = 0;
};

}  // namespace

TEST_F(FavoriteStoreTest, AddAndUpdateMatchIdsExactly) {
    Fill(2);
    EXPECT_FALSE(store.AddItem(VideoItem{L"v1", L"other"}));
    EXPECT_FALSE(store.UpdateItem(VideoItem{L"V1", L""}));
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(file.writes, 0);
    EXPECT_TRUE(store.AddItem(Item(L"V1")));
    EXPECT_EQ(Ids(), (std::vector<std::wstring>{L"V1", L"v0", L"v1"}));
    const VideoItem edited{L"v1", L"new title", 1, 2, 3, 4};
    EXPECT_TRUE(store.UpdateItem(edited));
    EXPECT_EQ(store.items()[2], edited);
    EXPECT_EQ(refreshes, 2);
}

TEST_F(FavoriteStoreTest, AddKeepsFifteenAndTheMarkOnThePlayedItem) {
    Fill(15);
    store.SetCurrentIndex(3);
    store.AddItem(Item(L"new"));
    EXPECT_EQ(store.count(), 15);
    EXPECT_EQ(store.currentIndex(), 4);
    EXPECT_EQ(store.items()[4].videoId, L"v3");

    // The played item is pushed out: the mark lands on the new last item.
    store.SetCurrentIndex(14);
    store.AddItem(Item(L"newer"));
    EXPECT_EQ(store.currentIndex(), 14);
    EXPECT_EQ(store.items()[14].videoId, L"v12");
}

TEST_F(FavoriteStoreTest, NextAndPrevWalkTheListWithoutWrappingOrWriting) {
    VideoItem out;
    EXPECT_FALSE(store.NextItem(out));
    EXPECT_EQ(refreshes, 0);
    Fill(3);
    EXPECT_FALSE(store.PrevItem(out));
    std::vector<std::wstring> walk;
    while (store.NextItem(out)) walk.push_back(out.videoId);
    EXPECT_EQ(walk, (std::vector<std::wstring>{L"v0", L"v1", L"v2"}));
    EXPECT_EQ(store.currentIndex(), -1);
    EXPECT_EQ(refreshes, 4);

    ASSERT_TRUE(store.NextItem(out));
    EXPECT_EQ(out.videoId, L"v0");
    out = VideoItem{L"untouched", L""};
    EXPECT_FALSE(store.PrevItem(out));
    EXPECT_EQ(out.videoId, L"untouched");
    store.NextItem(out);
    store.NextItem(out);
    ASSERT_TRUE(store.PrevItem(out));
    EXPECT_EQ(out, Item(L"v1"));
    EXPECT_EQ(store.currentIndex(), 1);
    EXPECT_EQ(file.writes, 0);
}

TEST_F(FavoriteStoreTest, MovesAndRemovalsKeepTheMarkOnThePlayedItem) {
    Fill(5);
    store.SetCurrentIndex(2);
    EXPECT_TRUE(store.MoveItemUp(3));
    EXPECT_EQ(store.currentIndex(), 3);
    EXPECT_TRUE(store.MoveItemDown(3));
    EXPECT_EQ(store.currentIndex(), 4);
    EXPECT_TRUE(store.MoveItemDown(1));
    EXPECT_EQ(Ids(), (std::vector<std::wstring>{L"v0", L"v3", L"v1", L"v4", L"v2"}));
    EXPECT_TRUE(store.MoveItemUp(4));
    EXPECT_EQ(store.currentIndex(), 3);
    EXPECT_EQ(store.items()[store.currentIndex()].videoId, L"v2");

    EXPECT_TRUE(store.RemoveItem(0));
    EXPECT_EQ(store.currentIndex(), 2);
    EXPECT_TRUE(store.RemoveItem(3));
    EXPECT_EQ(store.currentIndex(), 2);
    EXPECT_EQ(Ids(), (std::vector<std::wstring>{L"v3", L"v1", L"v2"}));
    EXPECT_EQ(refreshes, 7);

    // Refused: the played item, rows outside the list, moves past an end.
    EXPECT_FALSE(store.RemoveItem(2));
    EXPECT_FALSE(store.RemoveItem(3));
    EXPECT_FALSE(store.MoveItemUp(0));
    EXPECT_FALSE(store.MoveItemDown(2));
    EXPECT_FALSE(store.MoveItemDown(-1));
    EXPECT_FALSE(store.SetCurrentIndex(3));
    EXPECT_FALSE(store.SetCurrentIndex(-2));
    EXPECT_EQ(refreshes, 7);
    EXPECT_EQ(store.currentIndex(), 2);
}

// Unticking "List play" sets the index to -1: the bold mark goes (the view
// hears of it), nothing is written, the item that was played may be deleted,
// and list play starts again from the top.
TEST_F(FavoriteStoreTest, IndexMinusOneClearsTheListPlayMark) {
    Fill(3);
    VideoItem out;
    ASSERT_TRUE(store.NextItem(out));
    ASSERT_TRUE(store.NextItem(out));
    ASSERT_EQ(store.currentIndex(), 1);
    refreshes = 0;
    EXPECT_TRUE(store.SetCurrentIndex(-1));
    EXPECT_EQ(store.currentIndex(), -1);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(file.writes, 0);
    EXPECT_FALSE(store.PrevItem(out));
    EXPECT_TRUE(store.RemoveItem(1));
    EXPECT_TRUE(store.NextItem(out));
    EXPECT_EQ(out.videoId, L"v0");
    EXPECT_EQ(store.currentIndex(), 0);
}

TEST_F(FavoriteStoreTest, EveryChangeOfTheItemsIsInTheFileAtOnce) {
    Fill(4);
    EXPECT_EQ(Reloaded(), store.items());
    const auto check = [this](bool changed) {
        EXPECT_EQ(Reloaded(), store.items());
        EXPECT_EQ(file.writes > 0, changed);
        file.writes = 0;
    };
    store.AddItem(Item(L"added"));
    check(true);
    store.UpdateItem(VideoItem{L"v2", L"edited"});
    check(true);
    store.MoveItemUp(3);
    check(true);
    store.MoveItemDown(0);
    check(true);
    store.RemoveItem(1);
    check(true);
    VideoItem out;
    store.NextItem(out);
    store.SetCurrentIndex(2);
    store.PrevItem(out);
    check(false);

    // Loading starts with no current item; saving writes every key again.
    store.LoadFavorites();
    EXPECT_EQ(store.currentIndex(), -1);
    store.SaveFavorites();
    EXPECT_EQ(file.writes, 1 + 4 * 6);
}
