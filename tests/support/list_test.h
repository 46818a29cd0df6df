#pragma once
// Helpers for tests of the lists.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "lists/video_item.h"

// Readable items in failure messages.
inline void PrintTo(const VideoItem& item, std::ostream* out) {
    *out << "{" << testing::PrintToString(item.videoId) << ", " << testing::PrintToString(item.title) << ", "
         << item.duration << ", " << item.volume << ", " << item.startPos << ", " << item.endPos << "}";
}

namespace clipdeck::test {

inline std::vector<std::wstring> IdsOf(const std::vector<VideoItem>& items) {
    std::vector<std::wstring> ids;
    for (const VideoItem& item : items) ids.push_back(item.videoId);
    return ids;
}

}  // namespace clipdeck::test
