#pragma once
// One video as the favourites, the history and the control panel pass it to
// one another, by copy.

#include <string>

struct VideoItem {
    std::wstring videoId;
    std::wstring title;
    int duration = 0;  // seconds; 0 when no length is known
    int volume = 80;   // 0 to 100
    int startPos = 0;  // seconds into the video where playback starts
    int endPos = 0;    // playback ends once fewer seconds than this remain; 0 plays to the end

    bool operator==(const VideoItem&) const = default;
};
