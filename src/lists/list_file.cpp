#include "lists/list_file.h"

#include <string>

namespace {

const std::wstring kSystemSection = L"SYSTEM";
const std::wstring kCountKey = L"COUNT";

std::wstring ItemSection(int index) { return L"ITEM" + std::to_wstring(index); }

}  // namespace

std::vector<VideoItem> ListFile::Read() const {
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
    return items;
}

bool ListFile::Write(const std::vector<VideoItem>& items) {
    profile_.BeginWrites();
    const int count = static_cast<int>(items.size());
    profile_.WriteInt(kSystemSection, kCountKey, count);
    for (int i = 0; i < count; ++i) {
        const VideoItem& item = items[i];
        const std::wstring section = ItemSection(i);
        profile_.WriteString(section, L"VIDEOID", item.videoId);
        profile_.WriteString(section, L"TITLE", item.title);
        profile_.WriteInt(section, L"DURATION", item.duration);
        if (keys_ == ItemKeys::All) {
            profile_.WriteInt(section, L"VOLUME", item.volume);
            profile_.WriteInt(section, L"STARTPOS", item.startPos);
            profile_.WriteInt(section, L"ENDPOS", item.endPos);
        }
    }
    return profile_.EndWrites();
}
