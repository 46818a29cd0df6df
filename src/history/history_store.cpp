#include "history/history_store.h"

#include <utility>

void HistoryStore::AddHistory(VideoItem item) {
    VideoItem entry;
    entry.videoId = std::move(item.videoId);
    entry.title = std::move(item.title);
    entry.duration = item.duration;
    items_.insert(items_.begin(), std::move(entry));
    // Only one older entry goes, even when the file held the ID twice.
    for (auto older = items_.begin() + 1; older != items_.end(); ++older) {
        if (older->videoId == items_.front().videoId) {
            items_.erase(older);
            break;
        }
    }
    if (count() > MaxHistory) items_.pop_back();
    ItemsChanged();
}

bool HistoryStore::RemoveHistory(int row) {
    if (!IsRow(row)) return false;
    items_.erase(items_.begin() + row);
    ItemsChanged();
    return true;
}

bool HistoryStore::ReplaceTitle(int row, const std::wstring& title) {
    if (!IsRow(row)) return false;
    items_[row].title = title;
    ItemsChanged();
    return true;
}
