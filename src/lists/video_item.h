#pragma once
// One video as the control panel, the favourites and the history pass it to
// one another, by copy.

#include <string>

struct VideoItem {
    std::wstring videoId;
    std::wstring title;
    int duration = 0;
    int volume = 80;
    int startPos = 0;
    int endPos = 0;
};
