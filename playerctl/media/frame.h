#pragma once
// What the decode thread hands the window: the newest picture, and how the
// sound goes. No Windows header.

#include <cstdint>
#include <vector>

namespace playerctl {

struct DecodedFrame {
    std::vector<std::uint8_t> bgra;  // width * height pixels, top row first
    int width = 0;
    int height = 0;
    std::int64_t ms = 0;             // media time of the frame
    std::uint64_t number = 0;        // 1 for the first frame ever shown, then up
};

// How the sound of the media open now goes (for the test seam).
struct AudioStats {
    bool device = false;             // an endpoint plays this media's sound
    bool clockFromAudio = false;     // the last reading of the clock came from the device
    std::int64_t audioClockReads = 0;
    std::int64_t framesWritten = 0;  // since the media was opened
    std::int64_t framesPlayed = 0;   // since the last seek
    float gain = 1;                  // applied to the last frames written
    float peak = 0;                  // largest magnitude of the last frames written
    int rate = 0;
    int channels = 0;
};

}  // namespace playerctl
