#include "lists/list_file.h"

#include <string>

namespace {

const std::wstring kSystemSection = L"SYSTEM";
const std::wstring kCountKey = L"COUNT";

std::wstring ItemSection(int index) { return L"ITEM" + std::to_wstring(index); }

}  // namespace

std::vector<VideoItem> ListFile::Read() {
    const int count = profile_.ReadInt(kSystemSection, kCountKey, 0);
    std::vector<VideoItem> items;
    for (int i = 0; i < count && i < kMaxListItems; ++i) {
        const std::wstring section = ItemSection(i);
        VideoItem item;
        item.videoId = profile_.ReadString(section, L"VIDEOID", L"", kMaxListTextChars);
        item.title = profile_.ReadString(section, L"TITLE", L"", kMaxListTextChars);
        item.duration = profile_.ReadInt(section, L"DURATION", item.duration);
        if (keys_ == ItemKeys::All) {
            item.volume = profile_.ReadInt(section, L"VOLUME", item.volume);
            item.startPos = profile_.ReadInt(section, L"STARTPOS", item.startPos);
            item.endPos = profile_.ReadInt(section, L"ENDPOS", item.endPos);
        }
        items.push_back(std::move(item));
    }
    count_ = count;
    held_.assign(items.begin(), items.end());
    return items;
}

void ListFile::Write(const std::vector<VideoItem>& items) { Put(items, false); }

void ListFile::Update(const std::vector<VideoItem>& items) { Put(items, true); }

void ListFile::Put(const std::vector<VideoItem>& items, bool changesOnly) {
    // One change of the list is one series of writes: the file holds the
    // list before it or after it, never a mix.
    profile_.BeginWrites();
    PutKeys(items, changesOnly);
    if (!profile_.EndWrites()) {
        // What the file holds is no longer known: the next write is whole.
        count_.reset();
        held_.clear();
    }
}

void ListFile::PutKeys(const std::vector<VideoItem>& items, bool changesOnly) {
    const int count = static_cast<int>(items.size());
    if (!changesOnly || count_ != count) {
        profile_.WriteInt(kSystemSection, kCountKey, count);
        count_ = count;
    }
    if (held_.size() < items.size()) held_.resize(items.size());
    for (int i = 0; i < count; ++i) {
        const VideoItem& item = items[i];
        const VideoItem* was = changesOnly && held_[i] ? &*held_[i] : nullptr;
        const std::wstring section = ItemSection(i);
        if (!was || was->videoId != item.videoId) profile_.WriteString(section, L"VIDEOID", item.videoId);
        if (!was || was->title != item.title) profile_.WriteString(section, L"TITLE", item.title);
        if (!was || was->duration != item.duration) profile_.WriteInt(section, L"DURATION", item.duration);
        if (keys_ == ItemKeys::All) {
            if (!was || was->volume != item.volume) profile_.WriteInt(section, L"VOLUME", item.volume);
            if (!was || was->startPos != item.startPos) profile_.WriteInt(section, L"STARTPOS", item.startPos);
            if (!was || was->endPos != item.endPos) profile_.WriteInt(section, L"ENDPOS", item.endPos);
        }
        held_[i] = item;
    }
}
