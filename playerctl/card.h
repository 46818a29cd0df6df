#pragma once
// What the control shows in place of a picture, decided apart from drawing:
// two equal CardViews look the same, so the window repaints only when the
// view changes. No Windows header.

#include <cstdint>
#include <string>

#include "playback.h"

namespace playerctl {

struct CardView {
    enum class Look { Blank, Idle, Video };  // no movie yet; movie without a video; a video
    enum class Overlay { None, Loading, Buffering, Paused, Cued, Ended, Error };

    Look look = Look::Blank;
    Overlay overlay = Overlay::None;
    int errorCode = 0;
    std::wstring title;
    std::uint32_t color = 0;  // 0xRRGGBB
    std::wstring timeCode;    // "m:ss / m:ss"
    int stripeX = -1;         // position stripe, pixels from the left; -1 none
    int loadedFromX = 0;      // loaded part of the position bar
    int loadedToX = 0;

    bool operator==(const CardView&) const = default;
};

inline constexpr std::uint32_t kBlankColor = 0x202020;

// 0:05, 1:15, 12:00; an hour or more as 1:02:05.
std::wstring FormatClock(std::int64_t ms);

CardView MakeCardView(const PlaybackModel& model, bool movieReady, int width);

// A short line under an error code.
std::wstring ErrorText(int code);

}  // namespace playerctl
