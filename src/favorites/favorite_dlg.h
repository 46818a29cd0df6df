#pragma once
// The favourites window: the list of favourites with their own volume and
// offsets, buttons to play, set up, reorder and delete them, and the row
// that list play is playing drawn in bold. Its item settings window is
// owned by it and goes with it.

#include "favorites/favorite_store.h"
#include "favorites/item_setting_dlg.h"
#include "framework/controls.h"
#include "listwindow/list_dlg.h"

inline constexpr wchar_t kFavoritesFile[] = L"Favorite.ini";

class CFavoriteDlg : public VideoListDialog {
public:
    CFavoriteDlg();
    ~CFavoriteDlg() override;

    FavoriteStore& favorites() { return store; }
    CItemSettingDlg& itemSetting() { return itemSettingDlg; }

protected:
    bool OnInitDialog() override;
    bool OnButtonClicked(int id) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;

    void LoadList() override { store.LoadFavorites(); }
    void SaveList() override { store.SaveFavorites(); }
    // The row number counts from 1; the selection stays on the same number.
    std::vector<std::wstring> RowTexts(int row, const VideoItem& item) const override;

private:
    void onPlayBack();
    void onSetting();
    void onUp();
    void onDown();
    void onDelete();
    void onAutoPlay();

    FavoriteStore store;
    CItemSettingDlg itemSettingDlg;
    fw::Font boldFont;
};
