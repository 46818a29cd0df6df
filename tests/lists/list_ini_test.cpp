// The stores over real INI files, each read back with the profile functions
// or as bytes rather than through a store.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "favorites/favorite_store.h"
#include "framework/profile.h"
#include "history/history_store.h"
#include "list_test.h"
#include "ui_test.h"

namespace {

class ListIniTest : public testing::Test {
protected:
    void SetUp() override {
        folder = clipdeck::test::ScratchFolder() + L"\\lists-" + std::to_wstring(counter++);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        profile.SetPath(folder + L"\\List.ini");
    }
    std::wstring Read(const wchar_t* section, const wchar_t* key) const {
        wchar_t buffer[512];
        ::GetPrivateProfileStringW(section, key, L"(none)", buffer, 512, profile.path().c_str());
        return buffer;
    }
    std::wstring FileText() const {
        std::string bytes = clipdeck::test::ReadFileBytes(profile.path());
        std::wstring text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
        }
        return text;
    }

    static inline int counter = 0;
    std::wstring folder;
    IniProfile profile;
};

}  // namespace

TEST_F(ListIniTest, TitlesInEveryScriptSurviveAFileTheStoreCreated) {
    const std::wstring titles[] = {
        L"日本語のタイトル　",           // ends in an ideographic space
        L"Crème brûlée à Ærøskøbing",
        L"Clef 𝄞 and smile 😀",
        L"\"Quoted\"",
        L"  padded  ",
    };
    FavoriteStore store(profile);
    for (const std::wstring& title : titles) store.AddItem(VideoItem{title.substr(0, 5) + L"id", title, 61, 33});
    store.AddItem(VideoItem{L"breaks", L"two\r\nlines"});
    store.SaveFavorites();

    std::string bytes = clipdeck::test::ReadFileBytes(profile.path());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");

    FavoriteStore loaded(profile);
    loaded.LoadFavorites();
    ASSERT_EQ(loaded.count(), 6);
    EXPECT_EQ(loaded.items()[0].title, L"two  lines");
    for (int i = 1; i < 6; ++i) EXPECT_EQ(loaded.items()[i], store.items()[i]);
    // Only the one line per key: nothing of the title escaped into a key or section of its own.
    EXPECT_EQ(Read(L"ITEM0", L"VIDEOID"), L"breaks");
    EXPECT_EQ(FileText().find(L"\nlines"), std::wstring::npos);
}

TEST_F(ListIniTest, LeftoverSectionsStayInTheFile) {
    for (int i = 0; i < 20; ++i) {
        const std::wstring section = L"ITEM" + std::to_wstring(i);
        profile.WriteString(section, L"VIDEOID", L"id" + std::to_wstring(i));
    }
    profile.WriteInt(L"SYSTEM", L"COUNT", 20);
    HistoryStore store(profile);
    store.LoadHistory();
    ASSERT_EQ(store.count(), 15);
    EXPECT_EQ(store.items()[14].videoId, L"id14");
    store.RemoveHistory(0);
    store.SaveHistory();
    EXPECT_EQ(Read(L"SYSTEM", L"COUNT"), L"14");
    EXPECT_EQ(Read(L"ITEM13", L"VIDEOID"), L"id14");
    EXPECT_EQ(Read(L"ITEM14", L"VIDEOID"), L"id14");
    EXPECT_EQ(Read(L"ITEM19", L"VIDEOID"), L"id19");
}

TEST_F(ListIniTest, EachChangeIsOnDiskAtOnceAndListPlayWritesNothing) {
    HistoryStore history(profile);
    history.AddHistory(VideoItem{L"first", L"", 10});
    EXPECT_EQ(Read(L"SYSTEM", L"COUNT"), L"1");
    history.ReplaceTitle(0, L"Títle");
    EXPECT_NE(FileText().find(L"TITLE=Títle"), std::wstring::npos);
    history.RemoveHistory(0);
    EXPECT_EQ(Read(L"SYSTEM", L"COUNT"), L"0");

    IniProfile favoritesFile(folder + L"\\Favorite.ini");
    FavoriteStore favorites(favoritesFile);
    favorites.AddItem(VideoItem{L"a", L""});
    favorites.AddItem(VideoItem{L"b", L""});
    favorites.MoveItemDown(0);
    wchar_t id[16];
    ::GetPrivateProfileStringW(L"ITEM1", L"VIDEOID", L"", id, 16, favoritesFile.path().c_str());
    EXPECT_STREQ(id, L"b");

    const std::string before = clipdeck::test::ReadFileBytes(favoritesFile.path());
    VideoItem out;
    favorites.NextItem(out);
    favorites.NextItem(out);
    favorites.PrevItem(out);
    favorites.SetCurrentIndex(-1);
    EXPECT_EQ(clipdeck::test::ReadFileBytes(favoritesFile.path()), before);
}

// A process killed during a change leaves the file as it was before the
// change: the writes of a series go to a copy that replaces the file only
// when the series is complete.
TEST_F(ListIniTest, AChangeCutShortLeavesTheFileAsItWas) {
    FavoriteStore store(profile);
    store.AddItem(VideoItem{L"first", L"最初", 61});
    store.AddItem(VideoItem{L"second", L"Crème", 62});
    const std::string before = clipdeck::test::ReadFileBytes(profile.path());

    // What a kill in the middle of a move leaves: the series never ends.
    ListFile file(profile, ItemKeys::All);
    std::vector<VideoItem> items = file.Read();
    std::swap(items[0], items[1]);
    profile.BeginWrites();
    profile.WriteInt(L"SYSTEM", L"COUNT", 1);
    profile.WriteString(L"ITEM0", L"VIDEOID", L"first");
    EXPECT_EQ(clipdeck::test::ReadFileBytes(profile.path()), before);

    // The next run: its file object knows nothing of the copy left behind.
    IniProfile next(profile.path());
    FavoriteStore reloaded(next);
    reloaded.LoadFavorites();
    ASSERT_EQ(reloaded.count(), 2);
    EXPECT_EQ(reloaded.items()[0].title, L"Crème");
    EXPECT_EQ(reloaded.items()[1].title, L"最初");
    reloaded.MoveItemDown(0);
    EXPECT_EQ(Read(L"ITEM0", L"VIDEOID"), L"first");
    EXPECT_EQ(Read(L"ITEM1", L"TITLE"), L"Crème");
    EXPECT_EQ(Read(L"SYSTEM", L"COUNT"), L"2");
    EXPECT_EQ(clipdeck::test::ReadFileBytes(profile.path()).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(::GetFileAttributesW(next.StagingPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ListIniTest, TheFirstSeriesCreatesAUnicodeFileAndLeavesNoCopy) {
    HistoryStore history(profile);
    history.AddHistory(VideoItem{L"id", L"東京", 180});
    EXPECT_EQ(clipdeck::test::ReadFileBytes(profile.path()).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(Read(L"ITEM0", L"TITLE"), L"東京");
    EXPECT_EQ(::GetFileAttributesW(profile.StagingPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

// A change writes the file whole, byte for byte as the profile functions
// would have written the same keys into a new Unicode file.
TEST_F(ListIniTest, TheWholeFileIsWhatTheProfileFunctionsWouldWrite) {
    const std::vector<VideoItem> items = {{L"cdJapan0001", L"東京の夜景 ", 180, 70, 5, 0},
                                          {L"cdMusic0001", L"𝄞 \"Violin\"", 142}};
    const std::wstring byHand = folder + L"\\ByHand.ini";
    HANDLE file = ::CreateFileW(byHand.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, "\xFF\xFE", 2, &written, nullptr);
    ::CloseHandle(file);
    auto put = [&](const wchar_t* section, const wchar_t* key, const std::wstring& value) {
        ::WritePrivateProfileStringW(section, key, value.c_str(), byHand.c_str());
    };
    put(L"SYSTEM", L"COUNT", L"2");
    for (int i = 0; i < 2; ++i) {
        const std::wstring section = L"ITEM" + std::to_wstring(i);
        put(section.c_str(), L"VIDEOID", items[i].videoId);
        put(section.c_str(), L"TITLE", StoredProfileValue(items[i].title));
        put(section.c_str(), L"DURATION", std::to_wstring(items[i].duration));
        put(section.c_str(), L"VOLUME", std::to_wstring(items[i].volume));
        put(section.c_str(), L"STARTPOS", std::to_wstring(items[i].startPos));
        put(section.c_str(), L"ENDPOS", std::to_wstring(items[i].endPos));
    }
    ListFile(profile, ItemKeys::All).Write(items);
    EXPECT_EQ(clipdeck::test::ReadFileBytes(profile.path()), clipdeck::test::ReadFileBytes(byHand));
    EXPECT_EQ(ListFile(profile, ItemKeys::All).Read(), items);
}

// The file deleted, or replaced by another list, while the program runs:
// the next change writes this list whole. Sections past COUNT and keys the
// lists do not write stay, as they always have.
TEST_F(ListIniTest, AFileDeletedOrReplacedUnderneathGetsTheWholeListAtTheNextChange) {
    FavoriteStore store(profile);
    store.AddItem(VideoItem{L"c", L"Third", 30, 33});
    store.AddItem(VideoItem{L"b", L"Second", 20, 22});
    store.AddItem(VideoItem{L"a", L"First", 10, 11});

    ASSERT_TRUE(::DeleteFileW(profile.path().c_str()));
    store.MoveItemDown(0);
    EXPECT_EQ(ListFile(profile, ItemKeys::All).Read(), store.items());

    IniProfile other(folder + L"\\Other.ini");
    FavoriteStore another(other);
    for (const wchar_t* id : {L"z5", L"z4", L"z3", L"z2", L"z1"}) another.AddItem(VideoItem{id, id, 99, 5});
    other.WriteString(L"NOTES", L"MINE", L"kept");
    ASSERT_TRUE(::MoveFileExW(other.path().c_str(), profile.path().c_str(), MOVEFILE_REPLACE_EXISTING));
    store.MoveItemUp(2);
    EXPECT_EQ(ListFile(profile, ItemKeys::All).Read(), store.items());
    EXPECT_EQ(Read(L"SYSTEM", L"COUNT"), L"3");
    EXPECT_EQ(Read(L"ITEM4", L"VIDEOID"), L"z5");
    EXPECT_EQ(Read(L"NOTES", L"MINE"), L"kept");
}
