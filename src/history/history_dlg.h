#pragma once
// The history window: the videos played or captured most recently, newest
// first, with buttons to play one again, copy it to the favourites or delete
// it, and the two boxes that switch browser capture on, which runs for the
// whole run of the program, the window shown or not.

#include <string>

#include "history/history_store.h"
#include "history/web_capture.h"
#include "listwindow/list_dlg.h"

inline constexpr wchar_t kHistoryFile[] = L"History.ini";

class CHistoryDlg : public VideoListDialog, public CCaptureStreamIDListener {
public:
    // The capture timer: one step twice a second.
    static constexpr UINT_PTR kCaptureTimerId = 105;
    static constexpr UINT kCapturePeriodMs = 500;

    CHistoryDlg();
    ~CHistoryDlg() override;

    HistoryStore& history() { return store; }
    // Records the video as the newest entry (ID, title and length only).
    void AddHistory(VideoItem item) { store.AddHistory(std::move(item)); }

    // Stops capture, saves the history, then closes the window.
    bool DestroyWindow() override;

    // Fetches the title of every entry that has none; failures are skipped.
    void FillMissingTitles();

    // The address bar of the watched browser shows a new text.
    void OnAddressCaptured(const std::wstring& address) override;
    CWebCapture& webCapture() { return capture; }

protected:
    bool OnInitDialog() override;
    bool OnButtonClicked(int id) override;
    void OnTimer(UINT_PTR id) override;

    void LoadList() override { store.LoadHistory(); }
    void SaveList() override { store.SaveHistory(); }
    // The selection follows the video ID, wherever the video went.
    std::vector<std::wstring> RowTexts(int row, const VideoItem& item) const override;

private:
    void onGoFavorite();
    void onDelete();

    HistoryStore store;
    CWebCapture capture;
};
