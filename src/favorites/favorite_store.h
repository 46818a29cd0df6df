#pragma once
// The favourites: at most MaxFavorites items, each with its own volume and
// offsets, and the list-play position `currentIndex` (-1 when no item is
// being played). Kept in Favorite.ini; the owner passes that file in.

#include "framework/ini_text.h"
#include "lists/video_item.h"
#include "lists/video_list.h"

inline constexpr int MaxFavorites = kMaxListItems;

class FavoriteStore : public VideoList {
public:
    // `file` must outlive the store.
    explicit FavoriteStore(Profile& file) : VideoList(file, ItemKeys::All) {}

    // Replaces the items with the file's; no item is current afterwards.
    void LoadFavorites();
    // Writes every item, as at the owner's destruction.
    void SaveFavorites();

    // Adds a copy at the top, unless an item has exactly the same ID (then
    // nothing happens and false is returned). The bottom item goes past
    // MaxFavorites; `currentIndex` stays on the item being played.
    bool AddItem(const VideoItem& item);
    // Replaces all fields of the first item with the same ID; false if none.
    bool UpdateItem(const VideoItem& item);

    // List play. NextItem from -1 gives the top item; past the last item it
    // sets `currentIndex` to -1 and returns false (no wrap-around). PrevItem
    // returns false, changing nothing, at the top or with no current item.
    bool NextItem(VideoItem& out);
    bool PrevItem(VideoItem& out);

    // Each refuses (false, nothing changed) a row that does not exist, a
    // move past either end, and the removal of the item being played.
    // `currentIndex` follows the item being played.
    bool RemoveItem(int row);
    bool MoveItemUp(int row);
    bool MoveItemDown(int row);

    int currentIndex() const { return currentIndex_; }
    // -1 or an existing row; anything else is refused. Only the view
    // changes, so the file is not written.
    bool SetCurrentIndex(int index);

private:
    int currentIndex_ = -1;
};
