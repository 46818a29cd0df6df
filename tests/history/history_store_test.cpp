// The history store over a list file in memory.
#include "history/history_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "list_test.h"
#include "memory_profile.h"

namespace {

VideoItem Item(const std::wstring& id, const std::wstring& title = L"t") { return VideoItem{id, title, 90, 50, 10, 20}; }

class HistoryStoreTest : public testing::Test {
protected:
    void SetUp() override {
        store.SetChangeHandler([this] { ++refreshes; });
    }
    // Adds "h<n-1>" ... "h0", so that row i holds "h<i>".
    void Fill(int n) {
        for (int i = n - 1; i >= 0; --i) store.AddHistory(Item(L"h" + std::to_wstring(i)));
        refreshes = 0;
    }
    std::vector<std::wstring> Ids() const { return clipdeck::test::IdsOf(store.items()); }
    std::vector<VideoItem> Reloaded() {
        HistoryStore other(file);
        other.LoadHistory();
        return other.items();
    }

    clipdeck::test::MemoryProfile file;
    HistoryStore store{file};
    int refreshes = 0;
};

}  // namespace

TEST_F(HistoryStoreTest, AVideoSeenAgainMovesToTheTopWithItsNewTitle) {
    Fill(15);
    EXPECT_EQ(store.items()[0], (VideoItem{L"h0", L"t", 90}));  // volume and offsets not kept
    store.AddHistory(VideoItem{L"h10", L"renamed", 7});
    EXPECT_EQ(store.count(), 15);
    EXPECT_EQ(store.items()[0], (VideoItem{L"h10", L"renamed", 7}));
    EXPECT_EQ(store.items()[11].videoId, L"h11");
    EXPECT_EQ(store.items()[14].videoId, L"h14");

    store.AddHistory(Item(L"H14"));  // differs in case: a new video
    EXPECT_EQ(store.count(), 15);
    EXPECT_EQ(store.items()[0].videoId, L"H14");
    EXPECT_EQ(store.items()[14].videoId, L"h13");
}

TEST_F(HistoryStoreTest, OnlyTheFirstOlderDuplicateGoes) {
    Fill(6);
    file.WriteString(L"ITEM5", L"VIDEOID", L"h2");
    store.LoadHistory();
    ASSERT_EQ(Ids(), (std::vector<std::wstring>{L"h0", L"h1", L"h2", L"h3", L"h4", L"h2"}));
    store.AddHistory(Item(L"h2", L"new"));
    EXPECT_EQ(Ids(), (std::vector<std::wstring>{L"h2", L"h0", L"h1", L"h3", L"h4", L"h2"}));
}

TEST_F(HistoryStoreTest, RemovalAndTitlesAreWrittenAtOnce) {
    Fill(3);
    EXPECT_TRUE(store.RemoveHistory(1));
    EXPECT_EQ(Reloaded(), store.items());
    file.writes = 0;
    EXPECT_TRUE(store.ReplaceTitle(1, L"filled in"));
    EXPECT_EQ(file.writes, 1 + 2 * 3);  // the whole list
    EXPECT_EQ(Reloaded()[1].title, L"filled in");
    EXPECT_EQ(refreshes, 2);

    EXPECT_FALSE(store.RemoveHistory(2));
    EXPECT_FALSE(store.ReplaceTitle(-1, L"x"));
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(store.ItemAt(1)->title, L"filled in");
    EXPECT_FALSE(store.ItemAt(2));

    // Emptied and saved: COUNT 0, the old sections stay and are ignored.
    store.RemoveHistory(0);
    store.RemoveHistory(0);
    store.SaveHistory();
    EXPECT_EQ(file.Value(L"SYSTEM", L"COUNT"), L"0");
    EXPECT_EQ(file.Value(L"ITEM1", L"TITLE"), L"filled in");
    EXPECT_TRUE(Reloaded().empty());
}
