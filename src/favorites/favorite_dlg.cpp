#include "favorites/favorite_dlg.h"

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

CFavoriteDlg::CFavoriteDlg()
    : VideoListDialog({IDD_FAVORITE, IDL_FAVORITE_LIST, kFavoritesFile, L"Favorite", kNo}, store), store(file) {}

CFavoriteDlg::~CFavoriteDlg() = default;

bool CFavoriteDlg::OnInitDialog() {
    VideoListDialog::OnInitDialog();
    SetUpList(kColumns);
    // The row being played: the list's own font in bold.
    boldFont.Reset(fw::CreateBoldFont(reinterpret_cast<HFONT>(list.Send(WM_GETFONT))));
    itemSettingDlg.SetUpdateHandler([this](const VideoItem& item) { store.UpdateItem(item); });
    itemSettingDlg.Create(hwnd_);
    itemSettingDlg.Show(SW_HIDE);
    return true;
}

std::vector<std::wstring> CFavoriteDlg::RowTexts(int row, const VideoItem& item) const {
    return {std::to_wstring(row + 1), DurationText(item.duration), std::to_wstring(item.volume), item.title,
            item.videoId, std::to_wstring(item.startPos), std::to_wstring(item.endPos)};
}

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

void CFavoriteDlg::onPlayBack() {
    const std::optional<int> row = PlaySelected();
    // During list play the chosen item becomes the position list play goes
    // on from; otherwise it plays by itself.
    if (row && store.currentIndex() >= 0) store.SetCurrentIndex(*row);
}

void CFavoriteDlg::onSetting() {
    const std::optional<int> row = SelectedRow(L"設定を行うITEMを選択してください.");
    if (!row) return;
    RECT mine = WindowRect();
    RECT theirs = itemSettingDlg.WindowRect();
    const int width = theirs.right - theirs.left;
    const int height = theirs.bottom - theirs.top;
    ::SetWindowPos(itemSettingDlg.hwnd(), nullptr, mine.left + ((mine.right - mine.left) - width) / 2,
                   mine.top + ((mine.bottom - mine.top) - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    itemSettingDlg.SetItem(*store.ItemAt(*row));
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
    const std::optional<int> row = SelectedRow(L"削除したいデータを選択してください.");
    if (!row) return;
    if (*row == store.currentIndex()) {
        fw::ShowMessage(hwnd_, L"再生中のアイテムは削除できません");
        return;
    }
    store.RemoveItem(*row);
}

void CFavoriteDlg::onAutoPlay() {
    if (store.count() == 0) {
        fw::ShowMessage(hwnd_, L"登録データがありません");
        return;
    }
    if (controller) controller->StartListPlay();
}
