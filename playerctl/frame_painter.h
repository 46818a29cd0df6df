#pragma once
// Paints decoded frames scaled to fit the control, their shape kept, with
// black bars around: each new picture is converted once, straight from the
// decoder's buffer into a bitmap of the picture's size, when it is first
// painted; a frame never painted is never converted.

#include <windows.h>

#include <cstdint>

#include "media/frame.h"

namespace playerctl {

class FramePainter {
public:
    FramePainter() = default;
    ~FramePainter();
    FramePainter(const FramePainter&) = delete;
    FramePainter& operator=(const FramePainter&) = delete;

    // False when the picture cannot be read (nothing painted).
    bool Paint(HDC dc, const RECT& client, const DecodedFrame& frame);
    // Frames are numbered afresh (another decoder): the next one is converted.
    void Forget() { converted_ = 0; }

private:
    bool Convert(const DecodedFrame& frame);
    void Free();

    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    std::uint8_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    std::uint64_t converted_ = 0;  // the number of the frame in the bitmap
};

}  // namespace playerctl
