#pragma once
// The control panel: the buttons, sliders and read-outs inside the main
// window, and the controller that owns the player window, turns commands
// into player operations, follows the player's events and polls it twice a
// second.

#include <string>

#include "favorites/favorite_dlg.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "history/history_dlg.h"
#include "lists/list_controller.h"
#include "player/listener.h"
#include "player/player_dlg.h"

class CControlDlg : public fw::Dialog, public CClipdeckListener, public CListController {
public:
    static constexpr UINT_PTR kPollTimer = 102;
    static constexpr UINT kPollPeriodMs = 500;

    CControlDlg();
    ~CControlDlg() override;

    bool DestroyWindow() override;

    // Player events.
    void onPlayerReady() override;
    void OnError(long code) override;
    void onStateChange(long state) override;
    void onPlaybackQualityChange(std::wstring quality) override;

    // The ID of the video the player holds, or empty while nothing is loaded.
    std::wstring CurrentVideoId();

    // A reference given from outside (a link, a later start's command line):
    // put in the reference box and loaded exactly as if typed, once the
    // player is ready.
    void LoadReference(const std::wstring& text);

    // The favourites and history windows.
    void PlayItem(VideoItem item) override;
    void StartListPlay() override;
    void AddFavorite(const VideoItem& item) override;

    CPlayerDlg& player() { return playerDlg; }
    // The list windows come after the main window is on screen; asking for
    // one before that makes both.
    CFavoriteDlg& favorites() {
        createListWindows();
        return favoriteDlg;
    }
    CHistoryDlg& history() {
        createListWindows();
        return historyDlg;
    }
    CPlayerBridge& bridge() { return playerDlg.bridge(); }

    // One tick of the poll timer: loaded bar, time, end offset, volume.
    void Poll();

protected:
    bool OnInitDialog() override;
    void DoDataExchange(fw::DataExchange& dx) override;
    bool OnButtonClicked(int id) override;
    void OnTimer(UINT_PTR id) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // The panel is a child of the main window: Enter and Esc belong there.
    void OnOK() override;
    void OnCancel() override;

private:
    // Started at start: the list windows read their files and fill their
    // lists, which the main window need not wait for. A timer, not a posted
    // message: posted messages run before the first WM_PAINT, timers after
    // it, so the window is drawn (and answers) before the lists are made.
    static constexpr UINT_PTR kListWindowsTimer = 106;
    static constexpr UINT kListWindowsDelayMs = 50;
    void createListWindows();
    // The first time, a list window goes beside the main window; after
    // that it shows where it is, across runs too.
    void showListWindow(fw::Dialog& window, RECT& place, const fw::Dialog& other);

    // Loads the reference given from outside, posted so that it runs after
    // the player's event that made it possible.
    static constexpr UINT kMsgLoadGivenReference = WM_APP + 1;

    void onPlay();
    void loadTypedReference();
    void onForward();
    void onNext();
    void onBack();
    void onMute();
    void onListPlay();
    void onPrev();
    // A video ended (or its end offset was reached) while list play is on.
    void playNextInList();
    void setReference(const std::wstring& id);
    void showStatus();
    void setTitleLine(const std::wstring& text);
    void pollLoaded();
    void pollTime();
    void pollVolume();

    HBRUSH readoutBrush;
    CPlayerDlg playerDlg;
    CHistoryDlg historyDlg;
    CFavoriteDlg favoriteDlg;
    bool listWindowsMade = false;
    bool playerReady = false;
    bool referenceGiven = false;
    int lastState = -1;
    int endOffset = 0;
    RECT playerRect{0, 0, 0, 0};
    // Where each list window was put, from the settings or when first
    // shown; none (left == right) until then.
    RECT favoritesRect{0, 0, 0, 0};
    RECT historyRect{0, 0, 0, 0};
    std::wstring videoRef;
    int muteChecked = 0;

    fw::ProgressBar positionBar;
    fw::ProgressBar loadedBar;
    fw::TrackBar volumeSlider;
    fw::Button muteBox;
    fw::Static statusLabel;
    fw::Button listPlayBox;
    fw::Static qualityLabel;
    fw::Edit refBox;
    fw::Static titleLine;
    fw::Static volumeLabel;
    fw::Button frameBox;
    fw::Button topMostBox;
    fw::Static timeLabel;
};
