#include "control_window.h"

#include <wininet.h>

#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "common/percent.h"
#include "player_control_testing.h"

namespace playerctl {

namespace {

// Private to the window class.
constexpr UINT kMsgWorkerDone = WM_USER + 1;
constexpr UINT kMsgDeliver = WM_USER + 2;
constexpr UINT kMsgMedia = WM_USER + 3;

constexpr UINT_PTR kAdvanceTimer = 1;
// Four steps a second move the stripe and the time code smoothly enough for
// a card; anything faster only costs processor time.
constexpr UINT kAdvancePeriodMs = 250;

// Only the first line of the movie matters; an info answer is a few hundred bytes.
constexpr std::size_t kMovieBodyLimit = 64 * 1024;
constexpr std::size_t kInfoBodyLimit = 1024 * 1024;

// Connect, send and receive each give up after this long.
constexpr unsigned long kFetchTimeoutMs = 5000;
constexpr wchar_t kUserAgent[] = L"Clipdeck";
// Fresh from the host every time: no cache, cookies, redirects or dialogs.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;

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
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->OnFinalMessage();
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    try {
        return self->HandleMessage(msg, wParam, lParam);
    } catch (const std::bad_alloc&) {
        return msg == kMsgInvoke ? E_OUTOFMEMORY : 0;
    } catch (...) {
        return msg == kMsgInvoke ? E_UNEXPECTED : 0;
    }
}

ControlWindow::ControlWindow(HWND hwnd)
    : hwnd_(hwnd), clock_(RealClock), api_(clock_), mailbox_(std::make_shared<Mailbox>()) {
    mailbox_->hwnd = hwnd;
}

ControlWindow::~ControlWindow() = default;

void ControlWindow::OnFinalMessage() {
    {
        std::lock_guard<std::mutex> lock(mailbox_->mutex);
        mailbox_->hwnd = nullptr;
        mailbox_->results.clear();
    }
    decoder_.reset();
    destroyed_ = true;
    // Destroyed from inside an event the parent is handling: the delivery
    // loop still on the stack deletes the object when it unwinds.
    if (!delivering_) delete this;
}

LRESULT ControlWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case kMsgInvoke: {
        auto* invocation = reinterpret_cast<Invocation*>(lParam);
        return invocation ? Invoke(*invocation) : E_POINTER;
    }
    case kMsgWorkerDone:
        OnWorkerDone();  // may delete this
        return 0;
    case kMsgMedia:
        OnMedia();  // may delete this
        return 0;
    case kMsgDeliver:
        deliverPosted_ = false;
        Deliver();  // may delete this
        return 0;
    case WM_TIMER:
        if (wParam != kAdvanceTimer) break;
        OnTimer();  // may delete this
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
        return SetReturnValue(invocation.strArg);
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
    outbox_.clear();
    outbox_.push_back({kDispReadyStateChange, 0, {}});
    outbox_.push_back({kDispReadyStateChange, 1, {}});
    // An address we cannot fetch is a movie that never arrives.
    host_ = ParseHttpUrl(url);
    if (host_) StartFetch(Fetch::Movie, 0, host_->pathAndQuery);
    AfterPlayerChange();
    PostDeliver();
    return S_OK;
}

HRESULT ControlWindow::CallFunction(const wchar_t* request, BSTR& result) {
    if (!request) return E_INVALIDARG;
    if (readyState_ != 4) return E_UNEXPECTED;
    std::optional<std::wstring> reply = api_.Call(request);
    // Whatever the call set off reaches the parent after the call returns.
    AfterPlayerChange();
    PostDeliver();
    if (!reply) return E_FAIL;
    result = SysAllocStringLen(reply->data(), static_cast<UINT>(reply->size()));
    return result ? S_OK : E_OUTOFMEMORY;
}

HRESULT ControlWindow::SetReturnValue(const wchar_t* answer) {
    if (!answer) return E_INVALIDARG;
    if (!answerOpen_) return E_UNEXPECTED;
    answer_ = answer;
    return S_OK;
}

void ControlWindow::StartFetch(Fetch kind, std::uint64_t generation, std::wstring pathAndQuery) {
    std::shared_ptr<Mailbox> mailbox = mailbox_;
    HttpUrl host = *host_;
    std::uint64_t movie = movie_;
    auto work = [mailbox, kind, movie, generation, host, path = std::move(pathAndQuery)] {
        common::HttpGetResult http;
        try {
            common::HttpGetRequest request;
            request.host = host.host;
            request.port = host.port;
            request.pathAndQuery = path;
            request.userAgent = kUserAgent;
            request.flags = kRequestFlags;
            request.timeoutMs = kFetchTimeoutMs;
            request.maxBody = kind == Fetch::Movie ? kMovieBodyLimit : kInfoBodyLimit;
            http = common::HttpGet(request);
        } catch (...) {
            http = common::HttpGetResult{};
        }
        std::lock_guard<std::mutex> lock(mailbox->mutex);
        if (!mailbox->hwnd) return;
        mailbox->results.push_back({kind, movie, generation, std::move(http)});
        PostMessageW(mailbox->hwnd, kMsgWorkerDone, 0, 0);
    };
    try {
        std::thread(std::move(work)).detach();
    } catch (const std::system_error&) {
        // No thread: the fetch fails at once, as if nobody answered.
        std::lock_guard<std::mutex> lock(mailbox_->mutex);
        mailbox_->results.push_back({kind, movie_, generation, common::HttpGetResult{}});
        PostMessageW(hwnd_, kMsgWorkerDone, 0, 0);
    }
}

void ControlWindow::OnWorkerDone() {
    std::deque<WorkerResult> results;
    {
        std::lock_guard<std::mutex> lock(mailbox_->mutex);
        results.swap(mailbox_->results);
    }
    for (WorkerResult& r : results) {
        if (r.movie != movie_) continue;  // for a movie since replaced
        // A transfer that broke off (reset, stalled, cut short) is no answer,
        // whatever its status line said; a body over the cap was read whole
        // as far as we wanted it.
        bool ok = r.http.answered && r.http.status == 200 && (r.http.complete || r.http.overCap);
        if (r.kind == Fetch::Movie) {
            if (!ok || !IsPlayerMovie(r.http.body)) continue;  // never becomes ready
            outbox_.push_back({kDispReadyStateChange, 3, {}});
            outbox_.push_back({kDispReadyStateChange, 4, {}});
            outbox_.push_back({kDispFlashCall, 0, PlayerApi::ReadyCall()});
        } else {
            api_.ApplyInfo(r.generation, ok ? ParseVideoInfo(r.http.body) : FailedVideoInfo(100));
        }
    }
    AfterPlayerChange();
    Deliver();
}

void ControlWindow::OnTimer() {
    api_.Advance();
    AfterPlayerChange();
    Deliver();
}

void ControlWindow::ForwardMediaCommands() {
    for (MediaCommand& command : api_.TakeMediaCommands()) {
        if (!host_) break;
        if (command.kind == MediaCommand::Kind::Open || command.kind == MediaCommand::Kind::Close) {
            // A decoder per media: one stuck on bad input holds up nothing else.
            decoder_.reset();
            frameValid_ = false;
            frame_.number = 0;  // the next decoder counts from 1
            ++repaintRequests_;
            InvalidateRect(hwnd_, nullptr, FALSE);
            if (command.kind == MediaCommand::Kind::Close) continue;
            decoder_ = std::make_unique<MediaDecoder>(host_->host, host_->port, hwnd_, kMsgMedia);
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
    Deliver();  // may delete this
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
    for (std::wstring& call : api_.TakeCalls()) outbox_.push_back({kDispFlashCall, 0, std::move(call)});
    if (auto request = api_.TakeInfoRequest(); request && host_) {
        StartFetch(Fetch::Info, request->generation,
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
    return frameValid_ && api_.Playback().UsesMedia() && api_.Playback().ErrorCode() == 0 && !frame_.bgra.empty();
}

void ControlWindow::Paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    if (ShowsFrame())
        PaintFrame(dc, client);
    else
        painter_.Paint(dc, client, view_);
}

void ControlWindow::PaintFrame(HDC dc, const RECT& client) {
    int cw = client.right - client.left, ch = client.bottom - client.top;
    if (cw <= 0 || ch <= 0) return;
    // Scaled to fit, the picture's shape kept, black bars around it.
    int w = cw, h = static_cast<int>(static_cast<std::int64_t>(cw) * frame_.height / frame_.width);
    if (h > ch) {
        h = ch;
        w = static_cast<int>(static_cast<std::int64_t>(ch) * frame_.width / frame_.height);
    }
    int x = client.left + (cw - w) / 2, y = client.top + (ch - h) / 2;
    SetBkColor(dc, RGB(0, 0, 0));
    const RECT bars[] = {{client.left, client.top, client.right, y},
                         {client.left, y + h, client.right, client.bottom},
                         {client.left, y, x, y + h},
                         {x + w, y, client.right, y + h}};
    for (const RECT& bar : bars) {
        if (bar.right > bar.left && bar.bottom > bar.top) ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &bar, nullptr, 0, nullptr);
    }
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = frame_.width;
    bi.bmiHeader.biHeight = -frame_.height;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x, y, w, h, 0, 0, frame_.width, frame_.height, frame_.bgra.data(), &bi, DIB_RGB_COLORS,
                  SRCCOPY);
}

void ControlWindow::PostDeliver() {
    if (deliverPosted_ || outbox_.empty()) return;
    deliverPosted_ = PostMessageW(hwnd_, kMsgDeliver, 0, 0) != 0;
}

void ControlWindow::Deliver() {
    // A nested delivery (from a modal loop the parent runs inside an event)
    // leaves the queue to the loop already running, keeping events in order.
    if (delivering_) return;
    delivering_ = true;
    while (!outbox_.empty() && !destroyed_) {
        Outgoing out = std::move(outbox_.front());
        outbox_.pop_front();
        if (out.dispid == kDispReadyStateChange) {
            readyState_ = out.intArg;
            RefreshView();
        }
        Event event;
        event.control = hwnd_;
        event.dispid = out.dispid;
        event.intArg = out.intArg;
        event.strArg = out.text.c_str();
        bool flashCall = out.dispid == kDispFlashCall;
        if (flashCall) {
            answer_.reset();
            answerOpen_ = true;
        }
        HWND parent = GetParent(hwnd_);
        if (parent) SendMessageW(parent, kMsgEvent, static_cast<WPARAM>(GetDlgCtrlID(hwnd_)),
                                 reinterpret_cast<LPARAM>(&event));
        if (flashCall) {
            // The movie has no use for the answer; it is kept for the test seam.
            answerOpen_ = false;
            lastAnswer_ = std::move(answer_);
        }
    }
    delivering_ = false;
    if (destroyed_) {
        delete this;
        return;
    }
    UpdateTimer();
}

void ControlWindow::SetClock(PlayerApi::Clock clock) {
    clock_ = std::move(clock);
    testClock_ = true;
    api_.SetClock(clock_);
    UpdateTimer();
}

void ControlWindow::RunStep() {
    api_.Advance();
    AfterPlayerChange();
    Deliver();  // may delete this
}

namespace testing {

bool SetClock(HWND control, std::function<std::int64_t()> clock) {
    ControlWindow* w = ControlWindow::FromHandle(control);
    if (!w || !clock) return false;
    w->SetClock(std::move(clock));
    return true;
}

bool RunStep(HWND control) {
    ControlWindow* w = ControlWindow::FromHandle(control);
    if (!w) return false;
    w->RunStep();
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

}  // namespace testing

}  // namespace playerctl
