#include "favorites/item_setting_dlg.h"

#include <algorithm>

#include "framework/errors.h"
#include "res/resource.h"

namespace {

// Volume preset buttons, in group order.
constexpr int kPresetButtons[] = {IDR_ITEM_VOL20, IDR_ITEM_VOL40, IDR_ITEM_VOL60, IDR_ITEM_VOL80, IDR_ITEM_VOL100};
constexpr int kPresetVolumes[] = {20, 40, 60, 80, 100};

// An offset is refused when the box does not hold a number in range, or
// when it lies past a known length; both are compared unsigned, so a
// negative value counts as too large.
bool offsetTooLarge(int offset, bool unreadable, int duration) {
    if (unreadable) return true;
    if (duration == 0) return false;
    return static_cast<unsigned int>(offset) > static_cast<unsigned int>(duration);
}

}  // namespace

CItemSettingDlg::CItemSettingDlg() : fw::Dialog(IDD_ITEMSETTING) {}

void CItemSettingDlg::DoDataExchange(fw::DataExchange& dx) {
    dx.Control(IDU_ITEM_VOLUME, volumeSpin);
    dx.Control(IDU_ITEM_STARTPOS, startSpin);
    dx.Control(IDU_ITEM_ENDPOS, endSpin);
    dx.Control(IDE_ITEM_TITLE, titleBox);
    dx.Control(IDT_ITEM_TOTALTIME, totalTimeLabel);
    dx.Radio(IDR_ITEM_VOL20, volumePreset);
}

void CItemSettingDlg::SetItem(const VideoItem& source) {
    editing = source;
    volumePreset = -1;
    UpdateData(false);
    volumeSpin.SetRange(0, kMaxVolume);
    volumeSpin.SetPos(editing.volume);
    startSpin.SetRange(0, kMaxOffset);
    startSpin.SetPos(editing.startPos);
    endSpin.SetRange(0, kMaxOffset);
    endSpin.SetPos(editing.endPos);
    titleBox.SetText(editing.title);
    totalTimeLabel.SetText(std::to_wstring(editing.duration));
    Redraw();
}

bool CItemSettingDlg::OnButtonClicked(int id) {
    for (size_t i = 0; i < std::size(kPresetButtons); ++i) {
        if (id != kPresetButtons[i]) continue;
        volumeSpin.SetPos(kPresetVolumes[i]);
        volumeSpin.Invalidate();
        return true;
    }
    return false;
}

// The volume box takes digits only, but may hold more than 100: the up-down
// control then reports an error and its last good position, while the box
// means "as loud as it goes".
int CItemSettingDlg::volumeFromBox() const {
    bool error = false;
    int v = volumeSpin.GetPos(&error);
    if (error) {
        const std::wstring text = ItemText(IDE_ITEM_VOLUME);
        if (!text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos) v = kMaxVolume;
    }
    return std::clamp(v, 0, kMaxVolume);
}

void CItemSettingDlg::OnOK() {
    bool startUnreadable = false;
    bool endUnreadable = false;
    const int start = startSpin.GetPos(&startUnreadable);
    const int end = endSpin.GetPos(&endUnreadable);
    if (offsetTooLarge(start, startUnreadable, editing.duration)) {
        fw::ShowMessage(hwnd_, L"StartOffsetが大きすぎます");
        return;
    }
    if (offsetTooLarge(end, endUnreadable, editing.duration)) {
        fw::ShowMessage(hwnd_, L"EndOffsetが大きすぎます");
        return;
    }
    editing.startPos = start;
    editing.endPos = end;
    editing.volume = volumeFromBox();
    if (onUpdate) onUpdate(editing);
    Show(SW_HIDE);
}

void CItemSettingDlg::OnCancel() { Show(SW_HIDE); }
