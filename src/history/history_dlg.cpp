#include "history/history_dlg.h"

#include <cwchar>

#include "core/environment.h"
#include "framework/errors.h"
#include "lists/list_text.h"
#include "res/resource.h"
#include "videoinfo/video_info_fetch.h"
#include "videoinfo/video_info_parse.h"

namespace {

enum Column { kVideoId, kTime, kTitle, kPad };

constexpr fw::ListView::Column kColumns[] = {
    {L"VideoID", LVCFMT_LEFT, 100},
    {L"Time", LVCFMT_RIGHT, 50},
    {L"Video Title", LVCFMT_LEFT, 400},
    {L"", LVCFMT_LEFT, 0},
};

}  // namespace

CHistoryDlg::CHistoryDlg() : fw::Dialog(IDD_HISTORY), store(file) {}

CHistoryDlg::~CHistoryDlg() = default;

void CHistoryDlg::DoDataExchange(fw::DataExchange& dx) { dx.Control(IDL_HISTORY_LIST, list); }

bool CHistoryDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();
    file.SetPath(DataFilePath(kHistoryFile));
    store.LoadHistory();
    store.SetChangeHandler([this] { RefreshList(); });
    list.AddExtendedStyle(fw::ListStyleForThisSystem());
    list.InsertColumns(kColumns);
    RefreshList();
    // Capture runs for the whole run of the program, the window shown or not.
    capture.listeners.push_back(this);
    SetTimer(kCaptureTimerId, kCapturePeriodMs);
    return true;
}

bool CHistoryDlg::DestroyWindow() {
    if (!hwnd_) return false;
    KillTimer(kCaptureTimerId);
    capture.RemoveListener(this);
    store.SaveHistory();
    return fw::Dialog::DestroyWindow();
}

void CHistoryDlg::OnCancel() { Show(SW_HIDE); }

bool CHistoryDlg::OnButtonClicked(int id) {
    switch (id) {
    case IDB_HISTORY_PLAYBACK: onPlayBack(); return true;
    case IDB_HISTORY_TOFAVORITE: onGoFavorite(); return true;
    case IDB_HISTORY_DELETE: onDelete(); return true;
    case IDB_HISTORY_SETTITLE: FillMissingTitles(); return true;
    default: return false;
    }
}

void CHistoryDlg::OnTimer(UINT_PTR id) {
    if (id == kCaptureTimerId) CaptureTimerTick(hwnd_, capture);
}

void CHistoryDlg::OnAddressCaptured() {
    if (std::optional<VideoItem> item = CapturedVideo(capture)) AddHistory(*item);
}

void CHistoryDlg::RefreshList() {
    if (!list.IsWindow()) return;
    const int selected = selectedRow();
    const std::wstring selectedId = selected >= 0 ? list.GetItemText(selected, kVideoId) : std::wstring();
    list.SetRedraw(false);
    list.DeleteAllItems();
    const auto& items = store.items();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const VideoItem& item = items[static_cast<size_t>(i)];
        list.InsertItem(i, item.videoId);
        list.SetItemText(i, kTime, DurationText(item.duration));
        list.SetItemText(i, kTitle, item.title);
    }
    // The selection follows the video, wherever it went.
    if (selected >= 0) list.SelectRowWithText(kVideoId, selectedId);
    list.SetRedraw(true);
    wchar_t caption[64];
    std::swprintf(caption, 64, L"History %d item", store.count());
    SetText(caption);
}

void CHistoryDlg::onPlayBack() {
    if (!controller) return;
    std::optional<VideoItem> item = store.ItemAt(selectedRow());
    if (!item) {
        fw::ShowMessage(hwnd_, L"再生したVideoを選択してください.");
        return;
    }
    controller->PlayItem(*item);
}

void CHistoryDlg::onGoFavorite() {
    std::optional<VideoItem> item = store.ItemAt(selectedRow());
    if (!item) {
        fw::ShowMessage(hwnd_, L"Videoを選択してください");
        return;
    }
    if (controller) controller->AddFavorite(*item);
}

void CHistoryDlg::onDelete() {
    const int row = selectedRow();
    if (!store.IsRow(row)) {
        fw::ShowMessage(hwnd_, L"削除したいデータを選択してください.");
        return;
    }
    store.RemoveHistory(row);
}

void CHistoryDlg::FillMissingTitles() {
    for (int i = 0; i < store.count(); ++i) {
        const VideoItem& item = store.items()[static_cast<size_t>(i)];
        if (!item.title.empty()) continue;
        std::wstring reply;
        if (FetchVideoInfo(item.videoId, &reply) != kFetchOk) continue;
        store.ReplaceTitle(i, ParseTitle(reply));
    }
    RefreshList();
}
