#pragma once
// The file of a video list: section "SYSTEM" holds COUNT, and one section
// "ITEM<i>" per entry, ITEM0 being the top row. Sections past COUNT from an
// earlier, longer list are never removed; COUNT bounds every read.

#include <vector>

#include "framework/ini_text.h"
#include "lists/video_item.h"

inline constexpr int kMaxListItems = 15;
inline constexpr size_t kMaxListTextChars = 260;

// The favourites keep all six fields of an item; the history only the ID,
// the title and the duration.
enum class ItemKeys { IdTitleDuration, All };

class ListFile {
public:
    ListFile(Profile& profile, ItemKeys keys) : profile_(profile), keys_(keys) {}

    // At most kMaxListItems entries; a missing section or key reads as the
    // default of a new VideoItem, longer texts are cut to kMaxListTextChars.
    std::vector<VideoItem> Read() const;
    // The whole list, whatever the file held: COUNT, then every key of every
    // item, as one series of the profile's (BeginWrites / EndWrites), so the
    // file holds the list before it or after it. False when the file was
    // left as it was.
    bool Write(const std::vector<VideoItem>& items);

private:
    Profile& profile_;
    ItemKeys keys_;
};
