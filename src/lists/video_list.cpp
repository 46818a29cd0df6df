#include "lists/video_list.h"

std::optional<VideoItem> VideoList::ItemAt(int row) const {
    if (!IsRow(row)) return std::nullopt;
    return items_[row];
}

void VideoList::ItemsChanged() {
    file_.Write(items_);
    Notify();
}

void VideoList::Notify() {
    if (onChange_) onChange_();
}
