// The test seam of player_control_testing.h over the control's window object.
#include "control_window.h"
#include "player_control_testing.h"

namespace playerctl::testing {

bool SetClock(HWND control, std::function<std::int64_t()> clock) {
    ControlWindow* w = ControlWindow::FromHandle(control);
    if (!w || !clock) return false;
    w->SetClock(std::move(clock));
    return true;
}

bool RunStep(HWND control) {
    if (!ControlWindow::FromHandle(control)) return false;
    SendMessageW(control, ControlWindow::kMsgRunStep, 0, 0);
    return true;
}

bool IsTimerRunning(HWND control) {
    ControlWindow* w = ControlWindow::FromHandle(control);
    return w && w->TimerRunning();
}

std::optional<std::wstring> LastReturnValue(HWND control) {
    ControlWindow* w = ControlWindow::FromHandle(control);
    return w ? w->LastReturnValue() : std::nullopt;
}

int RepaintRequests(HWND control) {
    ControlWindow* w = ControlWindow::FromHandle(control);
    return w ? w->RepaintRequests() : -1;
}

std::optional<FrameStats> Frames(HWND control) {
    ControlWindow* w = ControlWindow::FromHandle(control);
    if (!w) return std::nullopt;
    const DecodedFrame& f = w->Frame();
    return FrameStats{w->FramesShown(), f.ms, f.width, f.height};
}

bool StopDecoders(DWORD waitMs) { return MediaDecoder::StopAll(std::chrono::milliseconds(waitMs)); }

std::optional<SoundStats> Sound(HWND control) {
    ControlWindow* w = ControlWindow::FromHandle(control);
    if (!w) return std::nullopt;
    std::optional<AudioStats> a = w->Audio();
    if (!a) return std::nullopt;
    return SoundStats{a->device, a->clockFromAudio, a->audioClockReads, a->framesWritten, a->framesPlayed,
                      a->gain, a->peak, a->rate, a->channels};
}

}  // namespace playerctl::testing
