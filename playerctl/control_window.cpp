#include "control_window.h"

#include <new>
#include <utility>

#include "common/percent.h"
#include "media/range_stream.h"

namespace playerctl {

namespace {

// Private to the window class.
constexpr UINT kMsgFetched = WM_USER + 1;
constexpr UINT kMsgDeliver = WM_USER + 2;
constexpr UINT kMsgMedia = WM_USER + 3;
static_assert(ControlWindow::kMsgRunStep != kMsgFetched && ControlWindow::kMsgRunStep != kMsgDeliver &&
              ControlWindow::kMsgRunStep != kMsgMedia);

constexpr UINT_PTR kAdvanceTimer = 1;
// Four steps a second move the stripe and the time code smoothly enough for
// a card; anything faster only costs processor time.
constexpr UINT kAdvancePeriodMs = 250;

std::int64_t RealClock() { return static_cast<std::int64_t>(GetTickCount64()); }

}  // namespace

bool RegisterControlClass(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, kClassName, &existing)) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    // Global, so a dialog template finds it whatever instance created the dialog.
    wc.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ControlWindow::WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

ControlWindow* ControlWindow::FromHandle(HWND hwnd) {
    if (!IsWindow(hwnd)) return nullptr;
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (std::wstring_view(name) != kClassName) return nullptr;
    return reinterpret_cast<ControlWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK ControlWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        // Created from a dialog template there are no creation parameters:
        // the window makes its own object.
        ControlWindow* created = nullptr;
        try {
            created = new ControlWindow(hwnd);
        } catch (...) {
            return FALSE;
        }
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    auto* self = reinterpret_cast<ControlWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    // The lifetime rule (control_window.h), kept here and nowhere else.
    ++self->depth_;
    LRESULT result = 0;
    try {
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->OnFinalMessage();
            result = DefWindowProcW(hwnd, msg, wParam, lParam);
        } else {
            result = self->HandleMessage(msg, wParam, lParam);
        }
    } catch (const std::bad_alloc&) {
        result = msg == kMsgInvoke ? E_OUTOFMEMORY : 0;
    } catch (...) {
        result = msg == kMsgInvoke ? E_UNEXPECTED : 0;
    }
    if (--self->depth_ == 0 && self->destroyed_) delete self;
    return result;
}

ControlWindow::ControlWindow(HWND hwnd)
    : hwnd_(hwnd), clock_(RealClock), api_(clock_), fetches_(hwnd, kMsgFetched),
      outbox_(hwnd, kMsgDeliver, [this](long state) {
          readyState_ = state;
          RefreshView();
      }) {}

void ControlWindow::OnFinalMessage() {
    destroyed_ = true;
    outbox_.Close();
    fetches_.Close();
    decoder_.reset();
}

LRESULT ControlWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case kMsgInvoke: {
        auto* invocation = reinterpret_cast<Invocation*>(lParam);
        return invocation ? Invoke(*invocation) : E_POINTER;
    }
    case kMsgFetched:
        OnFetched();
        return 0;
    case kMsgMedia:
        OnMedia();
        return 0;
    case kMsgDeliver:
        outbox_.OnDeliverMessage();
        UpdateTimer();
        return 0;
    case kMsgRunStep:
        Advance();
        return 0;
    case WM_TIMER:
        if (wParam != kAdvanceTimer) break;
        Advance();
        return 0;
    case WM_SIZE:
        RefreshView();
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_DESTROY:
        if (timerRunning_) KillTimer(hwnd_, kAdvanceTimer);
        timerRunning_ = false;
        return 0;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

HRESULT ControlWindow::Invoke(Invocation& invocation) {
    switch (invocation.dispid) {
    case kDispLoadMovie:
        return LoadMovie(invocation.intArg, invocation.strArg);
    case kDispCallFunction:
        return CallFunction(invocation.strArg, invocation.result);
    case kDispSetReturnValue:
        return outbox_.SetReturnValue(invocation.strArg);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT ControlWindow::LoadMovie(long layer, const wchar_t* url) {
    if (layer != 0 || !url) return E_INVALIDARG;
    ++movie_;
    api_ = PlayerApi(clock_);
    decoder_.reset();
    frameValid_ = false;
    readyState_ = 0;
    outbox_.Clear();
    outbox_.Push(kDispReadyStateChange, 0);
    outbox_.Push(kDispReadyStateChange, 1);
    // An address we cannot fetch is a movie that never arrives.
    host_ = ParseHttpUrl(url);
    if (host_) fetches_.Start(FetchWorker::Kind::Movie, movie_, 0, host_->host, host_->port, host_->pathAndQuery);
    AfterPlayerChange();
    outbox_.PostDeliver();
    return S_OK;
}

HRESULT ControlWindow::CallFunction(const wchar_t* request, BSTR& result) {
    if (!request) return E_INVALIDARG;
    if (readyState_ != 4) return E_UNEXPECTED;
    std::optional<std::wstring> reply = api_.Call(request);
    // Whatever the call set off reaches the parent after the call returns.
    AfterPlayerChange();
    outbox_.PostDeliver();
    if (!reply) return E_FAIL;
    result = SysAllocStringLen(reply->data(), static_cast<UINT>(reply->size()));
    return result ? S_OK : E_OUTOFMEMORY;
}

void ControlWindow::OnFetched() {
    for (FetchWorker::Result& r : fetches_.Take()) {
        if (r.movie != movie_) continue;  // for a movie since replaced
        // A transfer that broke off (reset, stalled, cut short) is no answer,
        // whatever its status line said; a body over the cap was read whole
        // as far as we wanted it.
        bool ok = r.http.answered && r.http.status == 200 && (r.http.complete || r.http.overCap);
        if (r.kind == FetchWorker::Kind::Movie) {
            if (!ok || !IsPlayerMovie(r.http.body)) continue;  // never becomes ready
            outbox_.Push(kDispReadyStateChange, 3);
            outbox_.Push(kDispReadyStateChange, 4);
            outbox_.Push(kDispFlashCall, 0, PlayerApi::ReadyCall());
        } else {
            api_.ApplyInfo(r.generation, ok ? ParseVideoInfo(r.http.body) : FailedVideoInfo(100));
        }
    }
    AfterPlayerChange();
    outbox_.Deliver();
    UpdateTimer();
}

void ControlWindow::Advance() {
    api_.Advance();
    AfterPlayerChange();
    outbox_.Deliver();
    UpdateTimer();
}

void ControlWindow::ForwardMediaCommands() {
    for (MediaCommand& command : api_.TakeMediaCommands()) {
        if (!host_) break;
        if (command.kind == MediaCommand::Kind::Open || command.kind == MediaCommand::Kind::Close) {
            // A decoder per media: one stuck on bad input holds up nothing else.
            decoder_.reset();
            frameValid_ = false;
            frame_.sample.Reset();
            frame_.number = 0;  // the next decoder counts from 1
            framePainter_.Forget();
            ++repaintRequests_;
            InvalidateRect(hwnd_, nullptr, FALSE);
            if (command.kind == MediaCommand::Kind::Close) continue;
            decoder_ = std::make_unique<MediaDecoder>(
                [host = host_->host, port = host_->port](const std::wstring& path) {
                    return MakeRangeCache({host, port, path});
                },
                hwnd_, kMsgMedia);
        }
        ApplyVolume();
        if (decoder_) decoder_->Send(std::move(command));
    }
}

void ControlWindow::OnMedia() {
    if (!decoder_) return;
    api_.ApplyMediaReport(decoder_->Report());
    if (decoder_->TakeFrame(frame_)) {
        frameValid_ = true;
        ++framesShown_;
        ++repaintRequests_;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    AfterPlayerChange();
    outbox_.Deliver();
    UpdateTimer();
}

void ControlWindow::ApplyVolume() {
    if (!decoder_) return;
    const PlaybackModel& playback = api_.Playback();
    decoder_->SetGain(playback.Muted() ? 0.0f : static_cast<float>(playback.Volume()) / 100.0f);
}

std::optional<AudioStats> ControlWindow::Audio() const {
    if (!decoder_) return std::nullopt;
    return decoder_->Audio();
}

void ControlWindow::AfterPlayerChange() {
    ForwardMediaCommands();
    ApplyVolume();
    for (std::wstring& call : api_.TakeCalls()) outbox_.Push(kDispFlashCall, 0, std::move(call));
    if (auto request = api_.TakeInfoRequest(); request && host_) {
        fetches_.Start(FetchWorker::Kind::Info, movie_, request->generation, host_->host, host_->port,
                       L"/get_video_info?video_id=" + common::PercentEncode(request->videoId));
    }
    UpdateTimer();
    RefreshView();
}

void ControlWindow::UpdateTimer() {
    bool wanted = !testClock_ && !destroyed_ && api_.Playback().Running();
    if (wanted == timerRunning_) return;
    if (wanted)
        timerRunning_ = SetTimer(hwnd_, kAdvanceTimer, kAdvancePeriodMs, nullptr) != 0;
    else {
        KillTimer(hwnd_, kAdvanceTimer);
        timerRunning_ = false;
    }
}

void ControlWindow::RefreshView() {
    RECT client;
    GetClientRect(hwnd_, &client);
    CardView view = MakeCardView(api_.Playback(), readyState_ == 4, client.right - client.left);
    if (view == view_) return;
    view_ = std::move(view);
    ++repaintRequests_;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void ControlWindow::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    if (dc) Paint(dc);
    EndPaint(hwnd_, &ps);
}

bool ControlWindow::ShowsFrame() const {
    return frameValid_ && api_.Playback().UsesMedia() && api_.Playback().ErrorCode() == 0 && frame_.sample;
}

void ControlWindow::Paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    if (ShowsFrame() && framePainter_.Paint(dc, client, frame_))
        painter_.FreeBuffer();
    else
        painter_.Paint(dc, client, view_);
}

void ControlWindow::SetClock(PlayerApi::Clock clock) {
    clock_ = std::move(clock);
    testClock_ = true;
    api_.SetClock(clock_);
    UpdateTimer();
}

}  // namespace playerctl
