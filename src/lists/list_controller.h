#pragma once
// What the favourites and history windows ask of the control panel, which
// owns them both. Declared here, below the two windows, so that neither of
// them reaches up to the panel.

#include "lists/video_item.h"

class CListController {
public:
    // Plays the item with its own start offset, end offset and volume, and
    // records it in the history.
    virtual void PlayItem(VideoItem item) = 0;
    // Starts list play from the first favourite.
    virtual void StartListPlay() = 0;
    // Adds the item at the top of the favourites, unless they hold its ID.
    virtual void AddFavorite(const VideoItem& item) = 0;

protected:
    ~CListController() = default;
};
