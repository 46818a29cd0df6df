#include "player/quality_dlg.h"

#include "framework/errors.h"
#include "player/player_bridge.h"
#include "player/quality.h"
#include "res/resource.h"

namespace {
const int kRadioIds[quality::kChoiceCount] = {IDR_QUALITY_DEFAULT, IDR_QUALITY_SMALL, IDR_QUALITY_MEDIUM,
                                              IDR_QUALITY_LARGE, IDR_QUALITY_HD720};
}

CQualitySetingDlg::CQualitySetingDlg() : fw::Dialog(IDD_QUALITY) {}

void CQualitySetingDlg::DoDataExchange(fw::DataExchange& dx) {
    dx.Text(IDT_QUALITY_CURRENT, currentQuality);
    dx.Radio(IDR_QUALITY_DEFAULT, selectedIndex);
}

bool CQualitySetingDlg::OnInitDialog() {
    fw::Dialog::OnInitDialog();
    for (int i = 1; i < quality::kChoiceCount; ++i) {
        if (!quality::IsOffered(i, availableLevels)) EnableItem(kRadioIds[i], false);
    }
    return true;
}

void RunQualitySelection(CPlayerBridge& bridge, HWND owner) {
    std::vector<std::wstring> levels = bridge.getAvailableQualityLevels();
    if (levels.empty()) {
        fw::ShowMessage(owner, L"現在設定変更はできません.");
        return;
    }
    std::wstring current = bridge.getPlaybackQuality();
    CQualitySetingDlg dialog;
    dialog.currentQuality = current;
    dialog.selectedIndex = 0;
    dialog.availableLevels = levels;
    if (dialog.DoModal(owner) != IDOK) return;
    int index = dialog.selectedIndex;
    if (index < 0 || index >= quality::kChoiceCount) return;
    bridge.setPlaybackQuality(std::wstring(quality::ChoiceName(index)));
}
