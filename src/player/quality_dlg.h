#pragma once
// The quality dialog and the quality button's flow.

#include <string>
#include <vector>

#include "framework/dialog.h"

class CPlayerBridge;

class CQualitySetingDlg : public fw::Dialog {
public:
    CQualitySetingDlg();

    std::vector<std::wstring> availableLevels;
    std::wstring currentQuality;
    int selectedIndex = 0;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(fw::DataExchange& dx) override;
};

// Asks the player for its levels, lets the user choose one and sends it.
// An empty level list only shows a message.
void RunQualitySelection(CPlayerBridge& bridge, HWND owner);
