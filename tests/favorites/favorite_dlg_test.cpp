// The favourites window and its item settings window, against a real
// Favorite.ini in a scratch folder.
#include <gtest/gtest.h>

#include "core/environment.h"
#include "framework/controls.h"
#include "favorites/favorite_dlg.h"
#include "res/resource.h"
#include "ui_test.h"

using clipdeck::test::ItemText;

namespace {

class RecordingController : public CListController {
public:
    void PlayItem(VideoItem item) override { played.push_back(item); }
    void StartListPlay() override { ++listPlayStarts; }
    void AddFavorite(const VideoItem&) override {}
    std::vector<VideoItem> played;
    int listPlayStarts = 0;
};

VideoItem video(const std::wstring& id, const std::wstring& title, int duration) {
    VideoItem item;
    item.videoId = id;
    item.title = title;
    item.duration = duration;
    return item;
}

class FavoriteWindowTest : public testing::Test {
protected:
    void SetUp() override {
        folder = clipdeck::test::NewDataFolder(L"favorites");
        dialog.controller = &controller;
        ASSERT_TRUE(dialog.Create(::GetDesktopWindow()));
    }
    void TearDown() override {
        dialog.DestroyWindow();
        ReleaseAppEnvironment();
    }
    // Adds three items so that the rows read A, B, C.
    void addThree() {
        store().AddItem(video(L"cdC00000003", L"Gamma", 3725));
        store().AddItem(video(L"cdB00000002", L"日本語のタイトル", 180));
        store().AddItem(video(L"cdA00000001", L"Alpha", 0));
    }
    FavoriteStore& store() { return dialog.favorites(); }
    HWND list() { return dialog.Item(IDL_FAVORITE_LIST); }
    // The list through the window layer's wrapper, as the dialog sees it.
    fw::ListView view() {
        fw::ListView v;
        v.Attach(list());
        return v;
    }
    std::wstring cell(int row, int column) { return view().GetItemText(row, column); }
    void select(int row) { view().SelectRow(row); }
    int selected() { return view().GetSelectionMark(); }
    void click(int id) { clipdeck::test::Click(dialog.hwnd(), id); }
    std::wstring fileValue(const wchar_t* section, const wchar_t* key) {
        wchar_t text[300] = L"";
        ::GetPrivateProfileStringW(section, key, L"", text, 300, (folder + L"\\Favorite.ini").c_str());
        return text;
    }
    HWND settings() { return dialog.itemSetting().hwnd(); }

    std::wstring folder;
    clipdeck::test::MessageCatcher catcher;
    RecordingController controller;
    CFavoriteDlg dialog;
};

}  // namespace

TEST_F(FavoriteWindowTest, RowsShowEveryFieldAndTheCaptionCountsThem) {
    EXPECT_EQ(clipdeck::test::TextOf(dialog.hwnd()), L"Favorite 0 item");
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list(), LVM_GETHEADER, 0, 0));
    EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 8);
    addThree();
    EXPECT_EQ(clipdeck::test::TextOf(dialog.hwnd()), L"Favorite 3 item");
    EXPECT_EQ(cell(2, 0), L"3");
    EXPECT_EQ(cell(2, 1), L"62:05");
    EXPECT_EQ(cell(2, 2), L"80");
    EXPECT_EQ(cell(2, 3), L"Gamma");
    EXPECT_EQ(cell(2, 4), L"cdC00000003");
    EXPECT_EQ(cell(2, 5), L"0");
    EXPECT_EQ(cell(1, 3), L"日本語のタイトル");
    EXPECT_EQ(cell(0, 1), L"0:00");
    // Each change is in the file at once.
    EXPECT_EQ(fileValue(L"SYSTEM", L"COUNT"), L"3");
    EXPECT_EQ(fileValue(L"ITEM1", L"TITLE"), L"日本語のタイトル");
}

TEST_F(FavoriteWindowTest, ButtonsWithoutASelectionSayWhatIsMissing) {
    click(IDB_FAVORITE_PLAYBACK);
    click(IDB_FAVORITE_SETTING);
    click(IDB_FAVORITE_DELETE);
    click(IDB_FAVORITE_AUTOPLAY);
    EXPECT_EQ(catcher.messages,
              (std::vector<std::wstring>{L"再生したVideoを選択してください.", L"設定を行うITEMを選択してください.",
                                         L"削除したいデータを選択してください.", L"登録データがありません"}));
    addThree();
    click(IDB_FAVORITE_UP);
    click(IDB_FAVORITE_DOWN);
    EXPECT_EQ(catcher.messages.size(), 4u);
    click(IDB_FAVORITE_AUTOPLAY);
    EXPECT_EQ(controller.listPlayStarts, 1);
    EXPECT_TRUE(controller.played.empty());
}

TEST_F(FavoriteWindowTest, MovesKeepTheMovedItemSelectedAndTheBoldMarkOnThePlayedOne) {
    addThree();
    VideoItem out;
    ASSERT_TRUE(store().NextItem(out));  // list play on A (row 0)
    select(1);
    click(IDB_FAVORITE_UP);
    EXPECT_EQ(cell(0, 4), L"cdB00000002");
    EXPECT_EQ(selected(), 0);
    EXPECT_EQ(store().currentIndex(), 1);
    click(IDB_FAVORITE_DOWN);
    click(IDB_FAVORITE_DOWN);
    EXPECT_EQ(cell(2, 4), L"cdB00000002");
    EXPECT_EQ(selected(), 2);
    EXPECT_EQ(store().currentIndex(), 0);

    // The row being played is drawn bold, the others in the list's font.
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = list();
    draw.nmcd.hdr.idFrom = IDL_FAVORITE_LIST;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    HDC dc = ::CreateCompatibleDC(nullptr);
    draw.nmcd.hdc = dc;
    auto weightFor = [&](int row) {
        ::SelectObject(dc, ::GetStockObject(SYSTEM_FONT));
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        ::SendMessageW(dialog.hwnd(), WM_NOTIFY, IDL_FAVORITE_LIST, reinterpret_cast<LPARAM>(&draw));
        LOGFONTW font{};
        ::GetObjectW(::GetCurrentObject(dc, OBJ_FONT), sizeof font, &font);
        return font.lfWeight;
    };
    EXPECT_GE(weightFor(0), FW_BOLD);
    EXPECT_LT(weightFor(1), FW_BOLD);
    ::DeleteDC(dc);
}

TEST_F(FavoriteWindowTest, DeleteRefusesThePlayedRowAndKeepsTheSelectionByRowNumber) {
    addThree();
    VideoItem out;
    ASSERT_TRUE(store().NextItem(out));
    ASSERT_TRUE(store().NextItem(out));  // playing B, row 1
    select(1);
    click(IDB_FAVORITE_DELETE);
    EXPECT_EQ(catcher.messages, (std::vector<std::wstring>{L"再生中のアイテムは削除できません"}));
    select(0);
    click(IDB_FAVORITE_DELETE);
    EXPECT_EQ(store().count(), 2);
    EXPECT_EQ(store().currentIndex(), 0);
    EXPECT_EQ(selected(), 0);  // row 1 stays selected, now showing B
    EXPECT_EQ(fileValue(L"SYSTEM", L"COUNT"), L"2");
    select(1);
    click(IDB_FAVORITE_DELETE);
    EXPECT_EQ(selected(), -1);  // row 2 no longer exists
}

TEST_F(FavoriteWindowTest, PlayBackHandsTheItemOverAndMovesListPlayOnlyWhenItRuns) {
    addThree();
    select(2);
    ::SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDB_FAVORITE_PLAYBACK, BN_CLICKED), 0);
    ASSERT_EQ(controller.played.size(), 1u);
    EXPECT_EQ(controller.played[0].videoId, L"cdC00000003");
    EXPECT_EQ(store().currentIndex(), -1);
    VideoItem out;
    ASSERT_TRUE(store().NextItem(out));
    NMHDR dbl{list(), IDL_FAVORITE_LIST, static_cast<UINT>(NM_DBLCLK)};
    ::SendMessageW(dialog.hwnd(), WM_NOTIFY, IDL_FAVORITE_LIST, reinterpret_cast<LPARAM>(&dbl));
    EXPECT_EQ(controller.played.size(), 2u);
    EXPECT_EQ(store().currentIndex(), 2);
}

TEST_F(FavoriteWindowTest, EscapeHidesTheWindowWhichLivesOn) {
    dialog.Show(SW_SHOW);
    ::SendMessageW(dialog.hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(dialog.IsWindow());
    EXPECT_FALSE(dialog.IsVisible());
}

// --- item settings ----------------------------------------------------------

class ItemSettingTest : public FavoriteWindowTest {
protected:
    void openSettingsOf(int row) {
        select(row);
        click(IDB_FAVORITE_SETTING);
        ASSERT_TRUE(::IsWindowVisible(settings()));
    }
    void typeIn(int id, const wchar_t* text) { ::SetDlgItemTextW(settings(), id, text); }
    void ok() { ::SendMessageW(settings(), WM_COMMAND, IDOK, 0); }
};

TEST_F(ItemSettingTest, LoadsTheItemWithNoPresetCheckedAndWhileOpenTheListIsInert) {
    addThree();
    openSettingsOf(1);
    EXPECT_EQ(ItemText(settings(), IDE_ITEM_TITLE), L"日本語のタイトル");
    EXPECT_EQ(ItemText(settings(), IDT_ITEM_TOTALTIME), L"180");
    EXPECT_EQ(ItemText(settings(), IDE_ITEM_VOLUME), L"80");
    for (int id = IDR_ITEM_VOL20; id <= IDR_ITEM_VOL100; ++id) {
        EXPECT_NE(::IsDlgButtonChecked(settings(), id), BST_CHECKED) << id;
    }
    select(0);
    click(IDB_FAVORITE_DELETE);
    click(IDB_FAVORITE_PLAYBACK);
    EXPECT_EQ(store().count(), 3);
    EXPECT_TRUE(controller.played.empty());
    EXPECT_TRUE(catcher.messages.empty());
}

TEST_F(ItemSettingTest, OffsetsAreCheckedAgainstAKnownLength) {
    addThree();
    openSettingsOf(1);  // 180 seconds
    typeIn(IDE_ITEM_STARTPOS, L"181");
    ok();
    typeIn(IDE_ITEM_STARTPOS, L"10");
    typeIn(IDE_ITEM_ENDPOS, L"200");
    ok();
    EXPECT_EQ(catcher.messages, (std::vector<std::wstring>{L"StartOffsetが大きすぎます", L"EndOffsetが大きすぎます"}));
    EXPECT_TRUE(::IsWindowVisible(settings()));
    EXPECT_EQ(fileValue(L"ITEM1", L"STARTPOS"), L"0");

    // Letters cannot be typed, but pasted text is refused like a bad number.
    typeIn(IDE_ITEM_ENDPOS, L"1O");
    ok();
    EXPECT_EQ(catcher.messages.back(), L"EndOffsetが大きすぎます");

    typeIn(IDE_ITEM_STARTPOS, L"180");
    typeIn(IDE_ITEM_ENDPOS, L"180");  // equal to the length is allowed
    clipdeck::test::Click(settings(), IDR_ITEM_VOL60);
    EXPECT_EQ(ItemText(settings(), IDE_ITEM_VOLUME), L"60");
    ok();
    EXPECT_FALSE(::IsWindowVisible(settings()));
    EXPECT_EQ(fileValue(L"ITEM1", L"STARTPOS"), L"180");
    EXPECT_EQ(fileValue(L"ITEM1", L"ENDPOS"), L"180");
    EXPECT_EQ(fileValue(L"ITEM1", L"VOLUME"), L"60");
    EXPECT_EQ(fileValue(L"ITEM1", L"TITLE"), L"日本語のタイトル");
    EXPECT_EQ(cell(1, 2), L"60");
}

TEST_F(ItemSettingTest, WithoutALengthAnyOffsetGoesAndALoudVolumeIsHeldTo100) {
    addThree();
    openSettingsOf(0);  // length 0
    typeIn(IDE_ITEM_STARTPOS, L"6000");
    typeIn(IDE_ITEM_ENDPOS, L"5000");
    typeIn(IDE_ITEM_VOLUME, L"150");
    ok();
    EXPECT_TRUE(catcher.messages.empty());
    EXPECT_EQ(fileValue(L"ITEM0", L"STARTPOS"), L"6000");
    EXPECT_EQ(fileValue(L"ITEM0", L"VOLUME"), L"100");
}

TEST_F(ItemSettingTest, CancelWritesNothing) {
    addThree();
    openSettingsOf(2);
    typeIn(IDE_ITEM_STARTPOS, L"5");
    ::SendMessageW(settings(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(::IsWindowVisible(settings()));
    EXPECT_EQ(fileValue(L"ITEM2", L"STARTPOS"), L"0");
    openSettingsOf(2);
    EXPECT_EQ(ItemText(settings(), IDE_ITEM_STARTPOS), L"0");
}
