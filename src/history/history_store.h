#pragma once
// The history: at most MaxHistory videos, newest first. Only the ID, the
// title and the duration are kept; every entry carries the defaults of a new
// VideoItem in its other fields. Kept in History.ini; the owner passes that
// file in.

#include <string>

#include "framework/ini_text.h"
#include "lists/video_item.h"
#include "lists/video_list.h"

inline constexpr int MaxHistory = kMaxListItems;

class HistoryStore : public VideoList {
public:
    // `file` must outlive the store.
    explicit HistoryStore(Profile& file) : VideoList(file, ItemKeys::IdTitleDuration) {}

    void LoadHistory() { LoadItems(); }
    // Writes every entry, as at the owner's destruction.
    void SaveHistory() { SaveItems(); }

    // Makes the video the newest entry, with the given title and duration.
    // The first older entry with exactly the same ID goes, so a video seen
    // again moves to the top; otherwise the oldest goes past MaxHistory.
    void AddHistory(VideoItem item);
    // False, changing nothing, for a row that does not exist.
    bool RemoveHistory(int row);
    bool ReplaceTitle(int row, const std::wstring& title);
};
