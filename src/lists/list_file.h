#pragma once
// The file of a video list: section "SYSTEM" holds COUNT, and one section
// "ITEM<i>" per entry, ITEM0 being the top row. Sections past COUNT from an
// earlier, longer list are never removed; COUNT bounds every read.

#include <optional>
#include <vector>

#include "lists/profile.h"
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
    std::vector<VideoItem> Read();
    // COUNT, then every key of every item. Each write is one series of the
    // profile's (BeginWrites / EndWrites), so the file holds the list before
    // it or after it.
    void Write(const std::vector<VideoItem>& items);
    // Writes only the keys whose value differs from what this object last
    // read or wrote there, so the file then reads back as `items`. A change
    // of one row costs a few keys instead of the whole list.
    void Update(const std::vector<VideoItem>& items);

private:
    void Put(const std::vector<VideoItem>& items, bool changesOnly);
    void PutKeys(const std::vector<VideoItem>& items, bool changesOnly);

    Profile& profile_;
    ItemKeys keys_;
    // What the file holds as far as this object knows: COUNT, and what each
    // ITEM<i> section reads back as (none when unknown).
    std::optional<int> count_;
    std::vector<std::optional<VideoItem>> held_;
};
