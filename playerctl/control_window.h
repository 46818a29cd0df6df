#pragma once
// The control's window object: one per ClipdeckPlayer window, created at
// WM_NCCREATE and deleted after WM_NCDESTROY. Internal to playerctl.

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "card.h"
#include "card_painter.h"
#include "common/win/http_get.h"
#include "media_decoder.h"
#include "player_api.h"
#include "player_control.h"
#include "video_info.h"

namespace playerctl {

class ControlWindow {
public:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static ControlWindow* FromHandle(HWND hwnd);

    // Test seam (player_control_testing.h).
    void SetClock(PlayerApi::Clock clock);
    void RunStep();
    bool TimerRunning() const { return timerRunning_; }
    const std::optional<std::wstring>& LastReturnValue() const { return lastAnswer_; }
    int RepaintRequests() const { return repaintRequests_; }
    int FramesShown() const { return framesShown_; }
    const DecodedFrame& Frame() const { return frame_; }
    std::optional<AudioStats> Audio() const;

private:
    enum class Fetch { Movie, Info };

    struct WorkerResult {
        Fetch kind;
        std::uint64_t movie;       // LoadMovie generation it belongs to
        std::uint64_t generation;  // video generation (Info)
        common::HttpGetResult http;
    };

    // Shared with the worker threads, which outlive the window if they must:
    // a closed mailbox (no window) swallows what they bring.
    struct Mailbox {
        std::mutex mutex;
        HWND hwnd = nullptr;
        std::deque<WorkerResult> results;
    };

    struct Outgoing {
        long dispid;
        long intArg;
        std::wstring text;
    };

    explicit ControlWindow(HWND hwnd);
    ~ControlWindow();

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnFinalMessage();

    HRESULT Invoke(Invocation& invocation);
    HRESULT LoadMovie(long layer, const wchar_t* url);
    HRESULT CallFunction(const wchar_t* request, BSTR& result);
    HRESULT SetReturnValue(const wchar_t* answer);

    void OnWorkerDone();
    void OnTimer();
    void StartFetch(Fetch kind, std::uint64_t generation, std::wstring pathAndQuery);
    void AfterPlayerChange();
    void ApplyVolume();
    void UpdateTimer();
    void RefreshView();
    void PostDeliver();
    // Sends every queued event to the parent. May delete this object when
    // the window is destroyed meanwhile: the caller returns straight after.
    void Deliver();
    void OnPaint();
    void OnMedia();
    void ForwardMediaCommands();
    bool ShowsFrame() const;
    void Paint(HDC dc);
    void PaintFrame(HDC dc, const RECT& client);

    HWND hwnd_;
    PlayerApi::Clock clock_;
    bool testClock_ = false;
    PlayerApi api_;
    std::shared_ptr<Mailbox> mailbox_;

    std::uint64_t movie_ = 0;
    std::optional<HttpUrl> host_;
    long readyState_ = 0;

    std::deque<Outgoing> outbox_;
    bool deliverPosted_ = false;
    bool delivering_ = false;
    bool destroyed_ = false;
    bool answerOpen_ = false;
    std::optional<std::wstring> answer_;
    std::optional<std::wstring> lastAnswer_;

    bool timerRunning_ = false;
    CardView view_;
    int repaintRequests_ = 0;
    CardPainter painter_;

    // Real media: a decoder for each media opened; let go (not waited for)
    // when the media closes or the window goes.
    std::unique_ptr<MediaDecoder> decoder_;
    DecodedFrame frame_;
    bool frameValid_ = false;  // frame_ belongs to the media open now
    int framesShown_ = 0;
};

}  // namespace playerctl
