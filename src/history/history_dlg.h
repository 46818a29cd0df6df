#pragma once
// The history window: the videos played or captured most recently, newest
// first, with buttons to play one again, copy it to the favourites or delete
// it, and the two boxes that switch browser capture on. The object lives as
// long as the control panel; its window is hidden and shown, never closed by
// the user.

#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/profile.h"
#include "history/history_store.h"
#include "history/web_capture.h"
#include "lists/list_controller.h"

inline constexpr wchar_t kHistoryFile[] = L"History.ini";

class CHistoryDlg : public fw::Dialog, public CCaptureStreamIDListener {
public:
    CHistoryDlg();
    ~CHistoryDlg() override;

    // The control panel sets itself before it creates the window.
    CListController* controller = nullptr;

    HistoryStore& history() { return store; }
    // Records the video as the newest entry (ID, title and length only).
    void AddHistory(VideoItem item) { store.AddHistory(std::move(item)); }

    // Saves the history, then closes the window.
    bool DestroyWindow() override;

    // Rebuilds the rows and the caption; the selection follows the video ID.
    void RefreshList();
    // Fetches the title of every entry that has none; failures are skipped.
    void FillMissingTitles();

    // The address bar of the watched browser shows a new text.
    void OnAddressCaptured() override;
    CWebCapture& webCapture() { return capture; }

protected:
    bool OnInitDialog() override;
    void DoDataExchange(fw::DataExchange& dx) override;
    bool OnButtonClicked(int id) override;
    void OnTimer(UINT_PTR id) override;
    void OnCancel() override;

private:
    void onPlayBack();
    void onGoFavorite();
    void onDelete();
    int selectedRow() const { return list.GetSelectionMark(); }

    IniProfile file;
    HistoryStore store;
    CWebCapture capture;
    fw::ListView list;
};
