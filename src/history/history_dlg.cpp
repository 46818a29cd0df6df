#include "history/history_dlg.h"

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

CHistoryDlg::CHistoryDlg()
    : VideoListDialog({IDD_HISTORY, IDL_HISTORY_LIST, kHistoryFile, L"History", kVideoId}, store), store(file) {}

CHistoryDlg::~CHistoryDlg() = default;

bool CHistoryDlg::OnInitDialog() {
    VideoListDialog::OnInitDialog();
    SetUpList(kColumns);
    capture.AddListener(this);
    SetTimer(kCaptureTimerId, kCapturePeriodMs);
    return true;
}

bool CHistoryDlg::DestroyWindow() {
    if (!hwnd_) return false;
    KillTimer(kCaptureTimerId);
    capture.RemoveListener(this);
    return VideoListDialog::DestroyWindow();
}

std::vector<std::wstring> CHistoryDlg::RowTexts(int, const VideoItem& item) const {
    return {item.videoId, DurationText(item.duration), item.title};
}

bool CHistoryDlg::OnButtonClicked(int id) {
    switch (id) {
    case IDB_HISTORY_PLAYBACK: PlaySelected(); return true;
    case IDB_HISTORY_TOFAVORITE: onGoFavorite(); return true;
    case IDB_HISTORY_DELETE: onDelete(); return true;
    case IDB_HISTORY_SETTITLE: FillMissingTitles(); return true;
    default: return false;
    }
}

// The timer stops for the length of a step, so steps never overlap however
// long one takes; the check boxes decide which browsers are watched.
void CHistoryDlg::OnTimer(UINT_PTR id) {
    if (id != kCaptureTimerId) return;
    KillTimer(kCaptureTimerId);
    // Started again however the step ends: a listener that fails must not
    // stop capture for the rest of the run.
    struct Restart {
        const CHistoryDlg& dialog;
        ~Restart() { dialog.SetTimer(kCaptureTimerId, kCapturePeriodMs); }
    } restart{*this};
    capture.Step(IsButtonChecked(IDX_HISTORY_IE), IsButtonChecked(IDX_HISTORY_CHROME));
}

void CHistoryDlg::OnAddressCaptured(const std::wstring& address) {
    if (std::optional<VideoItem> item = HistoryItemFromAddress(address, FetchVideoInfo)) AddHistory(*item);
}

void CHistoryDlg::onGoFavorite() {
    const std::optional<int> row = SelectedRow(L"Videoを選択してください");
    if (row && controller) controller->AddFavorite(*store.ItemAt(*row));
}

void CHistoryDlg::onDelete() {
    const std::optional<int> row = SelectedRow(L"削除したいデータを選択してください.");
    if (row) store.RemoveHistory(*row);
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
