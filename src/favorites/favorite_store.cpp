#include "favorites/favorite_store.h"

#include <algorithm>
#include <utility>

void FavoriteStore::LoadFavorites() {
    LoadItems();
    currentIndex_ = -1;
}

void FavoriteStore::SaveFavorites() { SaveItems(); }

bool FavoriteStore::AddItem(const VideoItem& item) {
    const bool listed = std::any_of(items_.begin(), items_.end(),
                                    [&](const VideoItem& held) { return held.videoId == item.videoId; });
    if (listed) return false;
    items_.insert(items_.begin(), item);
    if (count() > MaxFavorites) items_.pop_back();
    // When the item being played was the last one and has just been pushed
    // out, the mark lands on the new last item.
    if (currentIndex_ >= 0) currentIndex_ = std::min(currentIndex_ + 1, count() - 1);
    ItemsChanged();
    return true;
}

bool FavoriteStore::UpdateItem(const VideoItem& item) {
    auto found = std::find_if(items_.begin(), items_.end(),
                              [&](const VideoItem& held) { return held.videoId == item.videoId; });
    if (found == items_.end()) return false;
    *found = item;
    ItemsChanged();
    return true;
}

bool FavoriteStore::NextItem(VideoItem& out) {
    if (items_.empty()) return false;
    const int next = currentIndex_ + 1;
    const bool found = next < count();
    currentIndex_ = found ? next : -1;
    if (found) out = items_[next];
    Notify();
    return found;
}

bool FavoriteStore::PrevItem(VideoItem& out) {
    if (items_.empty() || currentIndex_ <= 0) return false;
    --currentIndex_;
    out = items_[currentIndex_];
    Notify();
    return true;
}

bool FavoriteStore::RemoveItem(int row) {
    if (!IsRow(row) || row == currentIndex_) return false;
    if (row < currentIndex_) --currentIndex_;
    items_.erase(items_.begin() + row);
    ItemsChanged();
    return true;
}

bool FavoriteStore::MoveItemUp(int row) {
    if (row <= 0 || !IsRow(row)) return false;
    std::swap(items_[row - 1], items_[row]);
    if (currentIndex_ == row) {
        currentIndex_ = row - 1;
    } else if (currentIndex_ == row - 1) {
        currentIndex_ = row;
    }
    ItemsChanged();
    return true;
}

// Moving a row down is moving the row below it up.
bool FavoriteStore::MoveItemDown(int row) { return IsRow(row) && MoveItemUp(row + 1); }

bool FavoriteStore::SetCurrentIndex(int index) {
    if (index != -1 && !IsRow(index)) return false;
    currentIndex_ = index;
    Notify();
    return true;
}
