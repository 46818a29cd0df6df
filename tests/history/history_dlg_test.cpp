// The history window against a real History.ini in a scratch folder.
#include <gtest/gtest.h>

#include "core/environment.h"
#include "framework/controls.h"
#include "history/history_dlg.h"
#include "res/resource.h"
#include "ui_test.h"

namespace {

class RecordingController : public CListController {
public:
    explicit RecordingController(CHistoryDlg& history) : history_(history) {}
    // Like the control panel: what is played becomes the newest entry.
    void PlayItem(VideoItem item) override {
        played.push_back(item);
        history_.AddHistory(item);
    }
    void StartListPlay() override {}
    void AddFavorite(const VideoItem& item) override { favorites.push_back(item); }
    std::vector<VideoItem> played;
    std::vector<VideoItem> favorites;

private:
    CHistoryDlg& history_;
};

VideoItem video(const std::wstring& id, const std::wstring& title, int duration) {
    VideoItem item;
    item.videoId = id;
    item.title = title;
    item.duration = duration;
    item.volume = 50;
    item.startPos = 10;
    return item;
}

class HistoryWindowTest : public testing::Test {
protected:
    void SetUp() override {
        folder = clipdeck::test::NewDataFolder(L"history");
        dialog.controller = &controller;
        ASSERT_TRUE(dialog.Create(::GetDesktopWindow()));
    }
    void TearDown() override {
        dialog.DestroyWindow();
        ReleaseAppEnvironment();
    }
    HWND list() { return dialog.Item(IDL_HISTORY_LIST); }
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

    std::wstring folder;
    clipdeck::test::MessageCatcher catcher;
    CHistoryDlg dialog;
    RecordingController controller{dialog};
};

}  // namespace

TEST_F(HistoryWindowTest, AnEmptyHistoryAnswersEveryButtonWithItsMessage) {
    EXPECT_EQ(clipdeck::test::TextOf(dialog.hwnd()), L"History 0 item");
    EXPECT_NE(::IsDlgButtonChecked(dialog.hwnd(), IDX_HISTORY_IE), BST_CHECKED);
    EXPECT_NE(::IsDlgButtonChecked(dialog.hwnd(), IDX_HISTORY_CHROME), BST_CHECKED);
    click(IDB_HISTORY_PLAYBACK);
    click(IDB_HISTORY_TOFAVORITE);
    click(IDB_HISTORY_DELETE);
    EXPECT_EQ(catcher.messages, (std::vector<std::wstring>{L"再生したVideoを選択してください.", L"Videoを選択してください",
                                                           L"削除したいデータを選択してください."}));
}

TEST_F(HistoryWindowTest, PlayingAnEntryMovesItToTheTopWithTheSelection) {
    dialog.AddHistory(video(L"cdC00000003", L"Gamma", 3725));
    dialog.AddHistory(video(L"cdB00000002", L"Beta 𝄞", 0));
    dialog.AddHistory(video(L"cdA00000001", L"Alpha", 65));
    EXPECT_EQ(clipdeck::test::TextOf(dialog.hwnd()), L"History 3 item");
    EXPECT_EQ(cell(2, 1), L"62:05");
    EXPECT_EQ(cell(1, 1), L"0:00");
    EXPECT_EQ(cell(1, 2), L"Beta 𝄞");
    select(2);
    click(IDB_HISTORY_PLAYBACK);
    ASSERT_EQ(controller.played.size(), 1u);
    EXPECT_EQ(controller.played[0].videoId, L"cdC00000003");
    EXPECT_EQ(controller.played[0].volume, 80);  // the history keeps only ID, title and length
    EXPECT_EQ(cell(0, 0), L"cdC00000003");
    EXPECT_EQ(selected(), 0);

    click(IDB_HISTORY_TOFAVORITE);
    ASSERT_EQ(controller.favorites.size(), 1u);
    EXPECT_EQ(controller.favorites[0].videoId, L"cdC00000003");

    click(IDB_HISTORY_DELETE);
    EXPECT_EQ(dialog.history().count(), 2);
    EXPECT_EQ(selected(), -1);
    wchar_t count[8] = L"";
    ::GetPrivateProfileStringW(L"SYSTEM", L"COUNT", L"", count, 8, (folder + L"\\History.ini").c_str());
    EXPECT_STREQ(count, L"2");
}

TEST_F(HistoryWindowTest, EscapeHidesTheWindowWhichLivesOn) {
    dialog.Show(SW_SHOW);
    ::SendMessageW(dialog.hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(dialog.IsWindow());
    EXPECT_FALSE(dialog.IsVisible());
}
