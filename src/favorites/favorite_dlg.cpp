#include "favorites/favorite_dlg.h"

#include <cwchar>

#include "core/environment.h"
#include "framework/errors.h"
#include "lists/list_text.h"
#include "res/resource.h"

namespace {

enum Column { kNo, kTime, kVolume, kTitle, kVideoId, kStart, kEnd, kPad };

constexpr fw::ListView::Column kColumns[] = {
    {L"No", LVCFMT_RIGHT, 30},        {L"Time", LVCFMT_RIGHT, 50},   {L"Vol", LVCFMT_CENTER, 40},
    {L"Video Title", LVCFMT_LEFT, 450}, {L"VideoID", LVCFMT_LEFT, 100}, {L"sp", LVCFMT_RIGHT, 40},
    {L"ep", LVCFMT_RIGHT, 40},        {L"", LVCFMT_LEFT, 0},
};

}  // namespace

CFavoriteDlg::CFavoriteDlg() : fw::Dialog(IDD_FAVORITE), store(file) {}

CFavoriteDlg::~CFavoriteDlg() = default;

void CFavoriteDlg::DoDataExchange(fw::DataExchange& dx) { dx.Control(IDL_FAVORITE_LIST, list); }

bool CFavoriteDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();
    file.SetPath(DataFilePath(kFavoritesFile));
    store.LoadFavorites();
    store.SetChangeHandler([this] { RefreshList(); });
    list.AddExtendedStyle(fw::ListStyleForThisSystem());
    // The row being played: the list's own font in bold.
    boldFont.Reset(fw::CreateBoldFont(reinterpret_cast<HFONT>(list.Send(WM_GETFONT))));
    list.InsertColumns(kColumns);
    itemSettingDlg.SetUpdateHandler([this](const VideoItem& item) { store.UpdateItem(item); });
    itemSettingDlg.Create(hwnd_);
    itemSettingDlg.Show(SW_HIDE);
    RefreshList();
    return true;
}

bool CFavoriteDlg::DestroyWindow() {
    if (!hwnd_) return false;
    store.SaveFavorites();
    itemSettingDlg.DestroyWindow();
    return fw::Dialog::DestroyWindow();
}

void CFavoriteDlg::OnCancel() { Show(SW_HIDE); }

bool CFavoriteDlg::OnButtonClicked(int id) {
    switch (id) {
    case IDB_FAVORITE_PLAYBACK:
    case IDB_FAVORITE_SETTING:
    case IDB_FAVORITE_UP:
    case IDB_FAVORITE_DOWN:
    case IDB_FAVORITE_DELETE:
    case IDB_FAVORITE_AUTOPLAY:
        break;
    default:
        return false;
    }
    // While one item's settings are open, the list must hold still.
    if (itemSettingDlg.IsVisible()) return true;
    switch (id) {
    case IDB_FAVORITE_PLAYBACK: onPlayBack(); break;
    case IDB_FAVORITE_SETTING: onSetting(); break;
    case IDB_FAVORITE_UP: onUp(); break;
    case IDB_FAVORITE_DOWN: onDown(); break;
    case IDB_FAVORITE_DELETE: onDelete(); break;
    case IDB_FAVORITE_AUTOPLAY: onAutoPlay(); break;
    }
    return true;
}

bool CFavoriteDlg::OnNotify(int id, NMHDR* header, LRESULT& result) {
    if (id != IDL_FAVORITE_LIST) return false;
    switch (header->code) {
    case NM_DBLCLK:
        if (!itemSettingDlg.IsVisible()) onPlayBack();
        return true;
    case NM_CUSTOMDRAW:
        result = fw::ListView::DrawRowFonts(
            header, [this](int row) { return row == store.currentIndex() ? boldFont.get() : nullptr; });
        return true;
    default:
        return false;
    }
}

void CFavoriteDlg::RefreshList() {
    if (!list.IsWindow()) return;
    const int selected = selectedRow();
    const std::wstring selectedNumber = selected >= 0 ? list.GetItemText(selected, kNo) : std::wstring();
    list.SetRedraw(false);
    list.DeleteAllItems();
    const auto& items = store.items();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const VideoItem& item = items[static_cast<size_t>(i)];
        list.InsertItem(i, std::to_wstring(i + 1));
        list.SetItemText(i, kTime, DurationText(item.duration));
        list.SetItemText(i, kVolume, std::to_wstring(item.volume));
        list.SetItemText(i, kTitle, item.title);
        list.SetItemText(i, kVideoId, item.videoId);
        list.SetItemText(i, kStart, std::to_wstring(item.startPos));
        list.SetItemText(i, kEnd, std::to_wstring(item.endPos));
    }
    // The selection stays on the same row number, not on the same item.
    if (selected >= 0) list.SelectRowWithText(kNo, selectedNumber);
    list.SetRedraw(true);
    wchar_t caption[64];
    std::swprintf(caption, 64, L"Favorite %d item", store.count());
    SetText(caption);
}

void CFavoriteDlg::onPlayBack() {
    if (!controller) return;
    const int row = selectedRow();
    std::optional<VideoItem> item = store.ItemAt(row);
    if (!item) {
        fw::ShowMessage(hwnd_, L"再生したVideoを選択してください.");
        return;
    }
    controller->PlayItem(*item);
    // During list play the chosen item becomes the position list play goes
    // on from; otherwise it plays by itself.
    if (store.currentIndex() >= 0) store.SetCurrentIndex(row);
}

void CFavoriteDlg::onSetting() {
    std::optional<VideoItem> item = store.ItemAt(selectedRow());
    if (!item) {
        fw::ShowMessage(hwnd_, L"設定を行うITEMを選択してください.");
        return;
    }
    RECT mine = WindowRect();
    RECT theirs = itemSettingDlg.WindowRect();
    const int width = theirs.right - theirs.left;
    const int height = theirs.bottom - theirs.top;
    ::SetWindowPos(itemSettingDlg.hwnd(), nullptr, mine.left + ((mine.right - mine.left) - width) / 2,
                   mine.top + ((mine.bottom - mine.top) - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    itemSettingDlg.SetItem(*item);
    itemSettingDlg.Show(SW_SHOW);
}

// Moving the selection mark first makes the rebuilt list show the moved item
// selected.
void CFavoriteDlg::onUp() {
    const int row = selectedRow();
    if (row <= 0 || row >= store.count()) return;
    list.SelectRow(row - 1);
    store.MoveItemUp(row);
}

void CFavoriteDlg::onDown() {
    const int row = selectedRow();
    if (row < 0 || row >= store.count() - 1) return;
    list.SelectRow(row + 1);
    store.MoveItemDown(row);
}

void CFavoriteDlg::onDelete() {
    const int row = selectedRow();
    if (!store.IsRow(row)) {
        fw::ShowMessage(hwnd_, L"削除したいデータを選択してください.");
        return;
    }
    if (row == store.currentIndex()) {
        fw::ShowMessage(hwnd_, L"再生中のアイテムは削除できません");
        return;
    }
    store.RemoveItem(row);
}

void CFavoriteDlg::onAutoPlay() {
    if (store.count() == 0) {
        fw::ShowMessage(hwnd_, L"登録データがありません");
        return;
    }
    if (controller) controller->StartListPlay();
}
