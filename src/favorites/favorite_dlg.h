#pragma once
// The favourites window: the list of favourites with their own volume and
// offsets, buttons to play, set up, reorder and delete them, and the row
// that list play is playing drawn in bold. The object lives as long as the
// control panel; its window is hidden and shown, never closed by the user.

#include "favorites/favorite_store.h"
#include "favorites/item_setting_dlg.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/profile.h"
#include "lists/list_controller.h"

inline constexpr wchar_t kFavoritesFile[] = L"Favorite.ini";

class CFavoriteDlg : public fw::Dialog {
public:
    CFavoriteDlg();
    ~CFavoriteDlg() override;

    // The control panel sets itself before it creates the window.
    CListController* controller = nullptr;

    FavoriteStore& favorites() { return store; }
    CItemSettingDlg& itemSetting() { return itemSettingDlg; }

    // Saves the list, then closes the item settings window and this one.
    bool DestroyWindow() override;

    // Rebuilds the rows and the caption from the list, keeping the selection
    // on the same row number.
    void RefreshList();

protected:
    bool OnInitDialog() override;
    void DoDataExchange(fw::DataExchange& dx) override;
    bool OnButtonClicked(int id) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    void OnCancel() override;

private:
    void onPlayBack();
    void onSetting();
    void onUp();
    void onDown();
    void onDelete();
    void onAutoPlay();
    int selectedRow() const { return list.GetSelectionMark(); }

    IniProfile file;
    FavoriteStore store;
    CItemSettingDlg itemSettingDlg;
    fw::ListView list;
    fw::Font boldFont;
};
