#pragma once
// What the decode thread hands the window: the newest picture as the
// decoder gave it, converted only when it is painted; and how the sound
// goes.

#include <windows.h>
#include <mfobjects.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>

#include "yuv420.h"

namespace playerctl {

struct DecodedFrame {
    Microsoft::WRL::ComPtr<IMFSample> sample;  // null: no picture
    PixelLayout layout = PixelLayout::I420;
    int width = 0;
    int height = 0;
    int stride = 0;                  // of the luma rows, unless the buffer says otherwise
    std::int64_t ms = 0;             // media time of the frame
    std::uint64_t number = 0;        // 1 for the first frame ever shown, then up
};

// Runs `use` on the frame's picture with its buffer locked, straight from
// the decoder's memory (the 2D buffer's own pitch where it offers one);
// false when the buffer cannot be locked or is too short for the picture.
bool ReadPicture(const DecodedFrame& frame, const std::function<void(const Yuv420Frame&)>& use);

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
