#pragma once
// The control's window object: one per ClipdeckPlayer window. It takes the
// method calls, runs the player and its decoder, and paints; its fetches go
// to a FetchWorker and its events leave through an EventOutbox. Internal to
// playerctl.
//
// Lifetime: the object is made at WM_NCCREATE and deleted by the window
// procedure once WM_NCDESTROY has come and no call of the procedure for
// this window is left on the stack. A parent may destroy the control from
// inside an event the control is delivering; the handler that was
// delivering still runs to its end on a live object.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "card.h"
#include "card_painter.h"
#include "event_outbox.h"
#include "fetch_worker.h"
#include "frame_painter.h"
#include "media/decoder.h"
#include "player_api.h"
#include "player_control.h"
#include "video_info.h"

namespace playerctl {

class ControlWindow {
public:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static ControlWindow* FromHandle(HWND hwnd);

    // Test seam (player_control_testing.h). RunStep goes through the window
    // procedure (kMsgRunStep), so the lifetime rule covers it.
    static constexpr UINT kMsgRunStep = WM_USER + 4;
    void SetClock(PlayerApi::Clock clock);
    bool TimerRunning() const { return timerRunning_; }
    const std::optional<std::wstring>& LastReturnValue() const { return outbox_.LastAnswer(); }
    int RepaintRequests() const { return repaintRequests_; }
    int FramesShown() const { return framesShown_; }
    const DecodedFrame& Frame() const { return frame_; }
    std::optional<AudioStats> Audio() const;

private:
    explicit ControlWindow(HWND hwnd);

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnFinalMessage();

    HRESULT Invoke(Invocation& invocation);
    HRESULT LoadMovie(long layer, const wchar_t* url);
    HRESULT CallFunction(const wchar_t* request, BSTR& result);

    void OnFetched();
    void Advance();
    void OnMedia();
    void AfterPlayerChange();
    void ForwardMediaCommands();
    void ApplyVolume();
    void UpdateTimer();
    void RefreshView();
    void OnPaint();
    void Paint(HDC dc);
    bool ShowsFrame() const;

    HWND hwnd_;
    int depth_ = 0;          // calls of the window procedure on the stack
    bool destroyed_ = false; // WM_NCDESTROY has come
    PlayerApi::Clock clock_;
    bool testClock_ = false;
    PlayerApi api_;
    FetchWorker fetches_;
    EventOutbox outbox_;

    std::uint64_t movie_ = 0;
    std::optional<HttpUrl> host_;
    long readyState_ = 0;

    bool timerRunning_ = false;
    CardView view_;
    int repaintRequests_ = 0;
    CardPainter painter_;
    FramePainter framePainter_;

    // Real media: a decoder for each media opened; let go (not waited for)
    // when the media closes or the window goes.
    std::unique_ptr<MediaDecoder> decoder_;
    DecodedFrame frame_;
    bool frameValid_ = false;  // frame_ belongs to the media open now
    int framesShown_ = 0;
};

}  // namespace playerctl
