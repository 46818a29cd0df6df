#pragma once
// What the favourites and the history have in common: an ordered list of
// items kept in a list file, which follows every change of the items at
// once, and an owner told of each change so that it can rebuild its view.

#include <functional>
#include <optional>
#include <vector>

#include "framework/ini_text.h"
#include "lists/list_file.h"
#include "lists/video_item.h"

class VideoList {
public:
    using ChangeHandler = std::function<void()>;

    VideoList(const VideoList&) = delete;
    VideoList& operator=(const VideoList&) = delete;

    // Runs after every operation that changes what the list shows, never
    // after a load and never after an operation that changed nothing.
    void SetChangeHandler(ChangeHandler handler) { onChange_ = std::move(handler); }

    const std::vector<VideoItem>& items() const { return items_; }
    int count() const { return static_cast<int>(items_.size()); }
    bool IsRow(int row) const { return row >= 0 && row < count(); }
    // A copy of the item in `row`, or none for a row that does not exist.
    std::optional<VideoItem> ItemAt(int row) const;

protected:
    // `file` must outlive the list.
    VideoList(Profile& file, ItemKeys keys) : file_(file, keys) {}
    ~VideoList() = default;

    void LoadItems() { items_ = file_.Read(); }
    void SaveItems() { file_.Write(items_); }
    // The items have changed: the whole list goes to the file at once, so
    // that a crash loses nothing and the file holds this list whatever
    // happened to it meanwhile; then the owner hears of it.
    void ItemsChanged();
    void Notify();

    std::vector<VideoItem> items_;

private:
    ListFile file_;
    ChangeHandler onChange_;
};
