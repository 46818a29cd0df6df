#pragma once
// The player window: a captionless popup holding only the player control,
// dragged by any spot, with or without its sizing frame, optionally on top
// of other windows, reshaped to 4:3 or 16:9.

#include "framework/dialog.h"
#include "player/player_bridge.h"
#include "player/shockwaveflash.h"

class CPlayerDlg : public fw::Dialog {
public:
    static constexpr UINT_PTR kLoadTimer = 101;
    static constexpr UINT kLoadPeriodMs = 100;

    CPlayerDlg();
    ~CPlayerDlg() override;

    CPlayerBridge& bridge() { return bridge_; }
    CShockwaveflash& flash() { return flash_; }

    bool DestroyWindow() override;

    void frameOn();
    void frameOff();
    void setTopMost(bool topMost);
    // Changes the width so that the video area gets the ratio a:b to its
    // height, keeping the height, the top edge and the horizontal centre.
    void setAspect(int a, int b);

protected:
    bool OnInitDialog() override;
    void OnCancel() override;
    void OnOK() override;
    void DoDataExchange(fw::DataExchange& dx) override;
    void OnTimer(UINT_PTR id) override;
    void OnSize(UINT type, int width, int height) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Puts the frame style on or off and keeps the client area where it is.
    void changeFrame(bool on);

    CPlayerBridge bridge_;
    CShockwaveflash flash_;
};
