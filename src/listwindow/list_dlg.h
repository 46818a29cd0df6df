#pragma once
// What the favourites and history windows have in common: a list of videos
// kept in a file of its own beside the program and shown as the rows of a
// report list. Esc and the close box hide the window, never close it; the
// object lives as long as the control panel, which owns it.

#include <optional>
#include <string>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/profile.h"
#include "lists/list_controller.h"
#include "lists/video_list.h"

class VideoListDialog : public fw::Dialog {
public:
    // The control panel sets itself before it creates the window.
    CListController* controller = nullptr;

    // Saves the list, then closes the window (and the windows it owns).
    bool DestroyWindow() override;

    // Rebuilds the rows and the caption ("<name> <count> item") from the
    // list; the selection stays on the row whose key column reads as the
    // selected one did.
    void RefreshList();

protected:
    struct Kind {
        UINT templateId;
        int listId;
        const wchar_t* fileName;     // beside the program
        const wchar_t* captionName;  // the caption's first word
        int keyColumn;               // the column the selection follows
    };
    // `items` is the derived window's list, kept in `file`.
    VideoListDialog(const Kind& kind, VideoList& items);

    // Reads the file, sets up the report list with `columns` and fills it;
    // from then on every change of the list rebuilds it. The derived
    // window's OnInitDialog calls it after the base's.
    void SetUpList(const fw::ListView::Column* columns, size_t count);
    template <size_t N>
    void SetUpList(const fw::ListView::Column (&columns)[N]) {
        SetUpList(columns, N);
    }

    // The derived window's list, read and written through `file`.
    virtual void LoadList() = 0;
    virtual void SaveList() = 0;
    // The texts of a row's cells, the first column's first.
    virtual std::vector<std::wstring> RowTexts(int row, const VideoItem& item) const = 0;

    void DoDataExchange(fw::DataExchange& dx) override;
    void OnCancel() override;

    int selectedRow() const { return list.GetSelectionMark(); }
    // The selected row when it is a row of the list; otherwise `message`
    // is shown and there is none.
    std::optional<int> SelectedRow(const wchar_t* message);
    // "Play Back": the control panel plays the selected item; the row
    // played, or none (no panel, or no row selected: then a message).
    std::optional<int> PlaySelected();

    IniProfile file;
    fw::ListView list;

private:
    Kind kind_;
    VideoList& items_;
};
