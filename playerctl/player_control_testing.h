#pragma once
// Test seam of the player component. The product never calls these.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace playerctl::testing {

// Replaces the control's clock (milliseconds). From then on no window timer
// drives playback: the test moves its clock and calls RunStep. The clock
// stays in place across LoadMovie.
bool SetClock(HWND control, std::function<std::int64_t()> clock);

// Brings playback up to the clock's present and delivers every event that
// is due before returning, as the product's timer would.
bool RunStep(HWND control);

// Whether the control's own playback timer is running.
bool IsTimerRunning(HWND control);

// The answer the parent gave through SetReturnValue while the movie's last
// call was delivered; nullopt when it gave none.
std::optional<std::wstring> LastReturnValue(HWND control);

// How many times the control has asked to be repainted.
int RepaintRequests(HWND control);

// Real media: frames the window has taken from the decoder (each one would
// be painted; with no display no WM_PAINT comes), and the newest one's
// media time and size.
struct FrameStats {
    int frames = 0;
    std::int64_t lastMs = 0;
    int width = 0;
    int height = 0;
};
std::optional<FrameStats> Frames(HWND control);

// Real media: the sound of the media open now; nullopt while none is open.
struct SoundStats {
    bool device = false;            // an audio endpoint plays it
    bool clockFromAudio = false;    // the last reading of time came from the device
    std::int64_t audioClockReads = 0;
    std::int64_t framesWritten = 0;  // to the device since the media was opened
    std::int64_t framesPlayed = 0;   // by the device since the last seek
    float gain = 1;                  // applied to the last frames written
    float peak = 0;                  // largest magnitude among them
    int rate = 0;
    int channels = 0;
};
std::optional<SoundStats> Sound(HWND control);

// Stops every decode thread of the process, as its exit does, and waits up
// to `waitMs` for them to end; false when some did not.
bool StopDecoders(DWORD waitMs);

}  // namespace playerctl::testing
