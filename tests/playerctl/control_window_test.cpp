// The player control as the program meets it: a child window in a parent
// that records the control's events and answers them, the real WinINet
// against a scripted responder, playback on stepped time.
#include "playerctl/player_control.h"

#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "playerctl/external_call.h"
#include "http_responder.h"
#include "playerctl/player_control_testing.h"

namespace playerctl {
namespace {

using test::HttpResponder;

constexpr wchar_t kParentClass[] = L"PlayerctlTestParent";
constexpr int kControlId = 1000;
constexpr wchar_t kMoviePath[] = L"/apiplayer?enablejsapi=1&version=3";

constexpr char kThirtySeconds[] =
    "status=ok&video_id=abc-DEF_123&title=%E3%83%86%E3%82%B9%E3%83%88+video&length_seconds=30"
    "&fmt_list=large,medium,small&bytes_large=3000000&bytes_medium=1500000&bytes_small=600000"
    "&color=336699";
constexpr char kTenMinutes[] =
    "status=ok&video_id=longlonglon&title=Long&length_seconds=600&fmt_list=medium"
    "&bytes_medium=30000000&color=336699";

struct Recorded {
    long dispid;
    long intArg;
    std::wstring text;
};

// The test's stand-in for the player window: records every event and runs
// the test's reaction while the event is being delivered.
struct Parent {
    HWND hwnd = nullptr;
    std::vector<Recorded> events;
    std::function<void(const Event&)> react;

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Parent*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == kMsgEvent && self) {
            const auto& event = *reinterpret_cast<const Event*>(lParam);
            EXPECT_EQ(wParam, static_cast<WPARAM>(kControlId));
            self->events.push_back({event.dispid, event.intArg, event.strArg ? event.strArg : L""});
            if (self->react) self->react(event);
            return 1;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
};

HRESULT Invoke(HWND control, long dispid, const wchar_t* text, long intArg = 0,
               std::wstring* reply = nullptr) {
    Invocation invocation;
    invocation.dispid = dispid;
    invocation.intArg = intArg;
    invocation.strArg = text;
    auto hr = static_cast<HRESULT>(SendMessageW(control, kMsgInvoke, 0, reinterpret_cast<LPARAM>(&invocation)));
    if (invocation.result) {
        if (reply) reply->assign(invocation.result, SysStringLen(invocation.result));
        SysFreeString(invocation.result);
    }
    return hr;
}

std::wstring Request(const std::wstring& name, const std::wstring& args = L"") {
    return L"<invoke name=\"" + name + L"\" returntype=\"xml\"><arguments>" + args +
           L"</arguments></invoke>";
}

std::wstring Str(const std::wstring& s) { return L"<string>" + s + L"</string>"; }

// One pixel of what the control draws into a 320x180 bitmap.
COLORREF RenderPixel(HWND control, int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 320;
    bi.bmiHeader.biHeight = -180;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    COLORREF pixel = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixel;
}

class PlayerControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterControlClass(instance));
        ASSERT_TRUE(RegisterControlClass(instance)) << "registering twice is harmless";
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Parent::Proc;
        wc.hInstance = instance;
        wc.lpszClassName = kParentClass;
        RegisterClassExW(&wc);
    }

    void SetUp() override {
        responder_.emplace(
            [this](const std::string& target, const std::string& head) { return Answer(target, head); });
        parent_.hwnd = CreateWindowExW(0, kParentClass, L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(parent_.hwnd);
        SetWindowLongPtrW(parent_.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&parent_));
        control_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 320, 180, parent_.hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlId)),
                                   GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(control_);
    }

    void TearDown() override {
        parent_.react = nullptr;
        DestroyWindow(parent_.hwnd);
        Pump([] { return false; }, 0);
        responder_.reset();
    }

    HttpResponder::Response Answer(const std::string& target, const std::string& head) {
        std::lock_guard<std::mutex> lock(scriptMutex_);
        if (target.rfind("/apiplayer", 0) == 0) return movieAnswer_;
        if (auto it = media_.find(target); it != media_.end()) return test::RangeResponse(it->second, head);
        const std::string prefix = "/get_video_info?video_id=";
        if (target.rfind(prefix, 0) == 0) {
            auto it = videos_.find(target.substr(prefix.size()));
            if (it != videos_.end()) return it->second;
            return {200, "status=fail&errorcode=100&reason=Video+not+found"};
        }
        return {404, "not found"};
    }

    void SetVideo(const std::string& encodedId, HttpResponder::Response response) {
        std::lock_guard<std::mutex> lock(scriptMutex_);
        videos_[encodedId] = std::move(response);
    }

    // Runs the message loop until `done` holds or the time is up.
    static bool Pump(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
        DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (done()) return true;
            if (GetTickCount() - start >= timeoutMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    HRESULT Call(const std::wstring& request, std::wstring* reply = nullptr) {
        return Invoke(control_, kDispCallFunction, request.c_str(), 0, reply);
    }

    std::wstring Reply(const std::wstring& function) {
        std::wstring reply;
        EXPECT_EQ(Call(L"<invoke name=\"" + function + L"\" returntype=\"xml\"></invoke>", &reply), S_OK);
        return reply;
    }

    std::vector<long> ReadyStates() const {
        std::vector<long> out;
        for (const auto& e : parent_.events)
            if (e.dispid == kDispReadyStateChange) out.push_back(e.intArg);
        return out;
    }

    // Arguments of the movie's calls to `handler`, as numbers or strings.
    std::vector<std::wstring> CallsTo(const std::wstring& handler) const {
        std::vector<std::wstring> out;
        for (const auto& e : parent_.events) {
            if (e.dispid != kDispFlashCall) continue;
            auto parsed = ParseInvoke(e.text);
            if (!parsed || parsed->name != handler || parsed->arguments.empty()) continue;
            const Value& v = parsed->arguments[0];
            out.push_back(v.kind == Value::Kind::Number ? FormatNumber(v.number) : v.text);
        }
        return out;
    }

    std::vector<std::wstring> States() const { return CallsTo(L"onStateChangeHandler"); }

    bool ReadyCalled() const { return !CallsTo(L"onYouTubePlayerReady").empty(); }

    // Loads the movie the way the program does: at ready state 4 the three
    // handlers are registered from inside the event.
    void LoadReadyMovie() {
        parent_.react = [this](const Event& e) {
            if (e.dispid == kDispReadyStateChange && e.intArg == 4) {
                for (const wchar_t* event : {L"onStateChange", L"onPlaybackQualityChange", L"onError"}) {
                    EXPECT_EQ(Call(Request(L"addEventListener", Str(event) + Str(std::wstring(event) + L"Handler"))),
                              S_OK);
                }
            }
            if (e.dispid == kDispFlashCall) {
                EXPECT_EQ(Invoke(control_, kDispSetReturnValue, L"<undefined/>"), S_OK);
            }
        };
        ASSERT_EQ(Invoke(control_, kDispLoadMovie, responder_->Url(kMoviePath).c_str()), S_OK);
        ASSERT_TRUE(Pump([this] { return ReadyCalled(); }));
    }

    void UseSteppedClock() { ASSERT_TRUE(testing::SetClock(control_, [this] { return now_; })); }

    void Step(std::int64_t ms) {
        now_ += ms;
        ASSERT_TRUE(testing::RunStep(control_));
    }

    void StepUntilState(const wchar_t* state, int limitSteps = 2000) {
        for (int i = 0; i < limitSteps && (States().empty() || States().back() != state); ++i) Step(100);
        ASSERT_FALSE(States().empty());
        ASSERT_EQ(States().back(), state);
    }

    std::optional<HttpResponder> responder_;
    std::mutex scriptMutex_;
    HttpResponder::Response movieAnswer_{200, "CLIPDECK-PLAYER 1\nsimulated player\n"};
    std::map<std::string, HttpResponder::Response> videos_;
    std::map<std::string, std::string> media_;  // path: file content
    Parent parent_;
    HWND control_ = nullptr;
    std::int64_t now_ = 0;
};

TEST_F(PlayerControlTest, MovieLoadReportsReadyStatesThenCallsTheReadyFunction) {
    EXPECT_TRUE(FAILED(Call(Request(L"getVolume"))));
    EXPECT_EQ(Invoke(control_, kDispLoadMovie, L"http://127.0.0.1/apiplayer", 1), E_INVALIDARG);
    EXPECT_TRUE(FAILED(Invoke(control_, 0x1234, L"")));

    ASSERT_EQ(Invoke(control_, kDispLoadMovie, responder_->Url(kMoviePath).c_str()), S_OK);
    EXPECT_TRUE(parent_.events.empty()) << "events come after LoadMovie has returned";
    EXPECT_TRUE(FAILED(Call(Request(L"getVolume")))) << "no calls before the movie is complete";

    std::vector<HRESULT> duringEvents;
    parent_.react = [&](const Event& e) {
        EXPECT_EQ(e.control, control_);
        duringEvents.push_back(Call(Request(L"getVolume")));
        if (e.dispid == kDispFlashCall) {
            EXPECT_EQ(Invoke(control_, kDispSetReturnValue, L"<undefined/>"), S_OK);
        }
    };
    ASSERT_TRUE(Pump([this] { return ReadyCalled(); }));
    EXPECT_EQ(ReadyStates(), (std::vector<long>{0, 1, 3, 4}));
    ASSERT_EQ(parent_.events.size(), 5u);
    EXPECT_EQ(parent_.events.back().dispid, kDispFlashCall);
    EXPECT_EQ(parent_.events.back().text,
              L"<invoke name=\"onYouTubePlayerReady\" returntype=\"xml\"><arguments><string></string>"
              L"</arguments></invoke>");
    // Rejected during 0, 1 and 3; accepted from 4 on.
    EXPECT_EQ(duringEvents.size(), 5u);
    for (size_t i = 0; i < duringEvents.size(); ++i)
        EXPECT_EQ(SUCCEEDED(duringEvents[i]), i >= 3) << i;
    EXPECT_EQ(testing::LastReturnValue(control_), L"<undefined/>");
    EXPECT_EQ(responder_->Targets(), (std::vector<std::string>{"/apiplayer?enablejsapi=1&version=3"}));

    EXPECT_TRUE(FAILED(Invoke(control_, kDispSetReturnValue, L"<undefined/>")))
        << "no answer outside a call of the movie";
    EXPECT_EQ(Reply(L"getVolume"), L"<number>100</number>");
    EXPECT_TRUE(FAILED(Call(Request(L"noSuchFunction"))));
    EXPECT_TRUE(FAILED(Call(L"<invoke name=\"getVolume\"")));
}

TEST_F(PlayerControlTest, MovieThatDoesNotArriveNeverBecomesReady) {
    struct Case {
        const char* what;
        HttpResponder::Response answer;
        bool refused;
    };
    const Case cases[] = {
        {"not the movie", {200, "<html>player</html>"}, false},
        {"not found", {404, "CLIPDECK-PLAYER 1\n"}, false},
        {"refused", {}, true},
    };
    for (const Case& c : cases) {
        parent_.events.clear();
        {
            std::lock_guard<std::mutex> lock(scriptMutex_);
            movieAnswer_ = c.answer;
        }
        size_t asked = responder_->Targets().size();
        std::wstring url = c.refused ? L"http://127.0.0.1:" + std::to_wstring(test::RefusingPort()) + kMoviePath
                                     : responder_->Url(kMoviePath);
        ASSERT_EQ(Invoke(control_, kDispLoadMovie, url.c_str()), S_OK) << c.what;
        if (!c.refused) {
            ASSERT_TRUE(Pump([&] { return responder_->Targets().size() > asked; })) << c.what;
        }
        Pump([] { return false; }, c.refused ? 800 : 300);
        EXPECT_EQ(ReadyStates(), (std::vector<long>{0, 1})) << c.what;
        EXPECT_FALSE(ReadyCalled()) << c.what;
        EXPECT_TRUE(FAILED(Call(Request(L"getVolume")))) << c.what;
    }
    // The same control loads a good movie afterwards.
    parent_.events.clear();
    {
        std::lock_guard<std::mutex> lock(scriptMutex_);
        movieAnswer_ = {200, "CLIPDECK-PLAYER 1\r\n"};
    }
    LoadReadyMovie();
    EXPECT_EQ(ReadyStates(), (std::vector<long>{0, 1, 3, 4}));
}

TEST_F(PlayerControlTest, PlaysThroughOnSteppedTime) {
    SetVideo("abc-DEF_123", {200, kThirtySeconds});
    LoadReadyMovie();
    UseSteppedClock();
    ASSERT_EQ(Call(Request(L"loadVideoById", Str(L"abc-DEF_123") + L"<number>0</number>" + Str(L"default"))),
              S_OK);
    ASSERT_TRUE(Pump([this] { return States().size() >= 2; }));
    EXPECT_EQ(States(), (std::vector<std::wstring>{L"-1", L"3"}));
    EXPECT_EQ(CallsTo(L"onPlaybackQualityChangeHandler"), (std::vector<std::wstring>{L"medium"}));
    EXPECT_EQ(responder_->Targets().back(), "/get_video_info?video_id=abc-DEF_123");
    EXPECT_EQ(Reply(L"getDuration"), L"<number>30</number>");
    EXPECT_FALSE(testing::IsTimerRunning(control_)) << "stepped time drives playback";

    // RunStep delivers what the step set off before it returns.
    size_t before = parent_.events.size();
    StepUntilState(L"1");
    EXPECT_GT(parent_.events.size(), before);
    Step(10000);
    EXPECT_EQ(Reply(L"getCurrentTime"), L"<number>10</number>");
    StepUntilState(L"0");
    EXPECT_EQ(States(), (std::vector<std::wstring>{L"-1", L"3", L"1", L"0"}));
    EXPECT_EQ(Reply(L"getVideoBytesLoaded"), L"<number>1500000</number>");
    EXPECT_EQ(Reply(L"getVideoBytesTotal"), L"<number>1500000</number>");
    EXPECT_EQ(Reply(L"getVideoUrl"), Str(L"http://www.youtube.com/watch?v=abc-DEF_123"));
}

TEST_F(PlayerControlTest, RealClockRunsTheTimerOnlyWhilePlaying) {
    SetVideo("short567890", {200, "status=ok&length_seconds=20&fmt_list=small&bytes_small=200000"});
    LoadReadyMovie();
    EXPECT_FALSE(testing::IsTimerRunning(control_));
    ASSERT_EQ(Call(Request(L"loadVideoById", Str(L"short567890"))), S_OK);
    ASSERT_TRUE(Pump([this] { return !States().empty() && States().back() == L"1"; }));
    EXPECT_TRUE(testing::IsTimerRunning(control_));
    ASSERT_EQ(Call(L"<invoke name=\"pauseVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(Pump([this] { return States().back() == L"2"; }));
    EXPECT_FALSE(testing::IsTimerRunning(control_));
    EXPECT_EQ(States(), (std::vector<std::wstring>{L"-1", L"3", L"1", L"2"}));
}

TEST_F(PlayerControlTest, ErrorsReachTheErrorHandler) {
    SetVideo("noembed7890", {200, "status=fail&errorcode=150&reason=Embedding+disabled"});
    SetVideo("%E6%97%A5%E6%9C%AC%26x", {500, "status=ok"});
    LoadReadyMovie();
    UseSteppedClock();
    auto errorsAfter = [this](const std::wstring& id, size_t count) {
        EXPECT_EQ(Call(Request(L"loadVideoById", Str(id))), S_OK);
        EXPECT_TRUE(Pump([&] { return CallsTo(L"onErrorHandler").size() >= count; }));
    };
    errorsAfter(L"nosuchvideo", 1);
    errorsAfter(L"noembed7890", 2);
    errorsAfter(L"\x65e5\x672c&amp;x", 3);
    EXPECT_EQ(CallsTo(L"onErrorHandler"), (std::vector<std::wstring>{L"100", L"150", L"100"}));
    EXPECT_EQ(responder_->Targets().back(), "/get_video_info?video_id=%E6%97%A5%E6%9C%AC%26x");

    bool found150 = false;
    for (const auto& e : parent_.events)
        found150 = found150 || e.text == L"<invoke name=\"onErrorHandler\" returntype=\"xml\"><arguments>"
                                         L"<number>150</number></arguments></invoke>";
    EXPECT_TRUE(found150);
    Step(5000);
    for (const auto& state : States()) EXPECT_EQ(state, L"-1") << "an unplayable video never plays";
}

TEST_F(PlayerControlTest, ParentCallsBackFromInsideTheMoviesCall) {
    SetVideo("abc-DEF_123", {200, kThirtySeconds});
    std::vector<std::wstring> insideReplies;
    LoadReadyMovie();
    UseSteppedClock();
    parent_.react = [&](const Event& e) {
        std::wstring text = e.strArg ? e.strArg : L"";
        if (e.dispid != kDispFlashCall || text.find(L"onStateChangeHandler") == std::wstring::npos) return;
        if (text.find(L"<number>1</number>") != std::wstring::npos) {
            std::wstring reply;
            EXPECT_EQ(Call(L"<invoke name=\"getCurrentTime\" returntype=\"xml\"></invoke>", &reply), S_OK);
            insideReplies.push_back(reply);
            EXPECT_EQ(Call(L"<invoke name=\"pauseVideo\"></invoke>", &reply), S_OK);
            insideReplies.push_back(reply);
        }
        EXPECT_EQ(Invoke(control_, kDispSetReturnValue, L"<undefined/>"), S_OK);
    };
    ASSERT_EQ(Call(Request(L"loadVideoById", Str(L"abc-DEF_123"))), S_OK);
    ASSERT_TRUE(Pump([this] { return States().size() >= 2; }));
    StepUntilState(L"2", 100);
    EXPECT_EQ(States(), (std::vector<std::wstring>{L"-1", L"3", L"1", L"2"}))
        << "the pause from inside the call is reported after it";
    EXPECT_EQ(insideReplies, (std::vector<std::wstring>{L"<number>0</number>", L"<undefined/>"}));
    EXPECT_EQ(testing::LastReturnValue(control_), L"<undefined/>");
}

TEST_F(PlayerControlTest, ControlDestroyedInsideAnEventIsCleanedUpAfterIt) {
    SetVideo("abc-DEF_123", {200, kThirtySeconds});
    LoadReadyMovie();
    UseSteppedClock();
    parent_.react = [&](const Event& e) {
        if (e.strArg && std::wstring(e.strArg).find(L"onPlaybackQualityChangeHandler") != std::wstring::npos)
            DestroyWindow(control_);
    };
    ASSERT_EQ(Call(Request(L"loadVideoById", Str(L"abc-DEF_123"))), S_OK);
    ASSERT_TRUE(Pump([this] { return !IsWindow(control_); }));
    Pump([] { return false; }, 100);
    EXPECT_EQ(States(), (std::vector<std::wstring>{L"-1"})) << "nothing after the window went";
    EXPECT_FALSE(testing::RunStep(control_));
}

TEST_F(PlayerControlTest, PaintsTheCardAndRepaintsOnlyWhenItChanges) {
    SetVideo("longlonglon", {200, kTenMinutes});
    LoadReadyMovie();
    UseSteppedClock();
    ASSERT_EQ(Call(Request(L"loadVideoById", Str(L"longlonglon"))), S_OK);
    ASSERT_TRUE(Pump([this] { return States().size() >= 2; }));
    StepUntilState(L"1");
    Step(160050);  // the whole video is in after 150 s
    ASSERT_EQ(Reply(L"getVideoBytesLoaded"), L"<number>30000000</number>");

    // Ten tenths of a second: one new second on the clock, at most one new
    // pixel of the stripe (a 320-pixel card for ten minutes).
    int before = testing::RepaintRequests(control_);
    for (int i = 0; i < 10; ++i) Step(100);
    int repaints = testing::RepaintRequests(control_) - before;
    EXPECT_GE(repaints, 1);
    EXPECT_LE(repaints, 2);

    auto render = [this](int x, int y) { return RenderPixel(control_, x, y); };
    EXPECT_EQ(render(300, 100), RGB(0x33, 0x66, 0x99)) << "the video's colour";
    EXPECT_EQ(render(160, 90), RGB(0x33, 0x66, 0x99)) << "no overlay while playing";
    ASSERT_EQ(Call(L"<invoke name=\"pauseVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(Pump([this] { return States().back() == L"2"; }));
    EXPECT_NE(render(160, 90), RGB(0x33, 0x66, 0x99)) << "the pause overlay";
    EXPECT_EQ(render(300, 10), RGB(0x33, 0x66, 0x99));
}

}  // namespace
}  // namespace playerctl

// Real media: clips made by make_clips.sh, served with Range support,
// decoded by the platform's media stack. With the null graphics driver no
// WM_PAINT arrives, so the frames are counted through the test seam and the
// picture is drawn with WM_PRINTCLIENT.
namespace playerctl {
namespace {

std::string ReadClip(const std::string& name) {
    const char* dir = std::getenv("CLIPDECK_TEST_MEDIA");
    if (!dir) {
        ADD_FAILURE() << "CLIPDECK_TEST_MEDIA names no folder";
        return {};
    }
    std::string path = dir;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;  // the Unix root as Wine shows it
    std::ifstream in(path + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << path << "/" << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The first H.264 or AAC clip a process decodes loads the media stack's
// decoders, which on a busy machine (two of these test programs at once)
// can take longer than the player's 2 s for a first frame. Each test
// program loads them once, untimed, before its first clip.
void LoadMediaDecoders() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    const char* dir = std::getenv("CLIPDECK_TEST_MEDIA");
    if (!dir) return;
    std::string path = dir;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    path += "/sound.mp4";
    std::wstring url(path.begin(), path.end());
    std::replace(url.begin(), url.end(), L'/', L'\\');
    std::thread([&url] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return;
        IMFSourceReader* reader = nullptr;
        if (SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_FULL)) &&
            SUCCEEDED(MFCreateSourceReaderFromURL(url.c_str(), nullptr, &reader))) {
            const std::pair<DWORD, GUID> outputs[] = {
                {static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM), MFVideoFormat_NV12},
                {static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), MFAudioFormat_Float}};
            for (const auto& [stream, subtype] : outputs) {
                IMFMediaType* type = nullptr;
                if (FAILED(MFCreateMediaType(&type))) continue;
                type->SetGUID(MF_MT_MAJOR_TYPE, subtype == MFVideoFormat_NV12 ? MFMediaType_Video : MFMediaType_Audio);
                type->SetGUID(MF_MT_SUBTYPE, subtype);
                reader->SetCurrentMediaType(stream, nullptr, type);
                type->Release();
                DWORD actual = 0, flags = 0;
                LONGLONG time = 0;
                IMFSample* sample = nullptr;
                reader->ReadSample(stream, 0, &actual, &flags, &time, &sample);
                if (sample) sample->Release();
            }
            reader->Release();
        }
        CoUninitialize();
    }).join();
}

class RealMediaTest : public PlayerControlTest {
protected:
    void SetUp() override {
        LoadMediaDecoders();
        PlayerControlTest::SetUp();
    }

    // Serves `file` as /media/<file> for video `id`, and loads it.
    std::string Play(const std::string& id, const std::string& file, bool checkRead = true, int seconds = 3) {
        std::string content = ReadClip(file);
        if (checkRead) {
            EXPECT_FALSE(content.empty()) << file;
        }
        {
            std::lock_guard<std::mutex> lock(scriptMutex_);
            media_["/media/" + file] = content;
        }
        SetVideo(id, {200, "status=ok&video_id=" + id + "&title=Real&length_seconds=" + std::to_string(seconds) + "&fmt_list=medium&bytes_medium=" +
                               std::to_string(std::max<size_t>(1, content.size())) + "&media_medium=%2Fmedia%2F" + file});
        EXPECT_EQ(Call(Request(L"loadVideoById", Str(std::wstring(id.begin(), id.end())))), S_OK);
        return content;
    }

    bool PumpUntilState(const wchar_t* state, DWORD timeoutMs = 20000) {
        bool reached = Pump([&] { return !States().empty() && States().back() == state; }, timeoutMs);
        if (!reached) {
            std::string trail;
            for (const std::wstring& s : States()) trail += std::string(s.begin(), s.end()) + " ";
            for (const std::wstring& e : CallsTo(L"onErrorHandler")) trail += "error " + std::string(e.begin(), e.end()) + " ";
            ADD_FAILURE() << "no state " << std::string(state, state + wcslen(state)) << "; states " << trail
                          << "frames " << testing::Frames(control_)->frames;
        }
        return reached;
    }

    double Seconds(const wchar_t* function) {
        std::wstring reply = Reply(function);
        const std::wstring open = L"<number>";
        if (reply.rfind(open, 0) != 0) return -1;
        return std::wcstod(reply.c_str() + open.size(), nullptr);
    }

    COLORREF Render(int x, int y) { return RenderPixel(control_, x, y); }
};

bool Near(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

TEST_F(RealMediaTest, DecodesAnMp4ThroughRangeRequestsToTheEnd) {
    LoadReadyMovie();
    std::string clip = Play("realclip001", "clip.mp4");
    ASSERT_TRUE(PumpUntilState(L"1"));
    auto frames = testing::Frames(control_);
    ASSERT_TRUE(frames);
    EXPECT_GE(frames->frames, 1);
    EXPECT_EQ(frames->width, 320);
    EXPECT_EQ(frames->height, 240);
    EXPECT_EQ(Reply(L"getDuration"), L"<number>3</number>");

    // 320x240 fitted into 320x180: 240x180 in the middle, black bars beside;
    // the lower half of the picture is the flat colour.
    EXPECT_TRUE(Near(Render(160, 150), RGB(0x20, 0x60, 0xC0), 16)) << std::hex << Render(160, 150);
    EXPECT_EQ(Render(10, 90), RGB(0, 0, 0));

    ASSERT_TRUE(PumpUntilState(L"0"));
    std::vector<std::wstring> states = States();
    ASSERT_GE(states.size(), 4u);
    EXPECT_EQ(std::vector<std::wstring>(states.begin(), states.begin() + 3),
              (std::vector<std::wstring>{L"-1", L"3", L"1"}));
    for (size_t i = 3; i + 1 < states.size(); ++i)
        EXPECT_TRUE(states[i] == L"1" || states[i] == L"3") << "only buffering between: " << i;
    frames = testing::Frames(control_);
    EXPECT_GT(frames->frames, 10);
    EXPECT_GE(frames->lastMs, 2800) << "the last frame";
    EXPECT_GE(Seconds(L"getCurrentTime"), 2.9);
    EXPECT_EQ(Reply(L"getVideoBytesTotal"), L"<number>" + std::to_wstring(clip.size()) + L"</number>");
    EXPECT_EQ(Reply(L"getVideoBytesLoaded"), Reply(L"getVideoBytesTotal"));
    int mediaRequests = 0;
    for (const std::string& target : responder_->Targets()) mediaRequests += target == "/media/clip.mp4";
    EXPECT_GE(mediaRequests, 2) << "read in blocks";
    EXPECT_TRUE(CallsTo(L"onErrorHandler").empty());
}

TEST_F(RealMediaTest, PauseSeekStopAndPlayActOnAWebm) {
    LoadReadyMovie();
    Play("realclip002", "clip.webm");
    ASSERT_TRUE(PumpUntilState(L"1"));
    ASSERT_EQ(Call(L"<invoke name=\"pauseVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(PumpUntilState(L"2"));
    ASSERT_EQ(Call(Request(L"seekTo", L"<number>2</number><true/>")), S_OK);
    // VP9 lands on the very frame: the one at 2 s shows while paused.
    ASSERT_TRUE(Pump([this] { return testing::Frames(control_)->lastMs >= 1960; }));
    EXPECT_LE(testing::Frames(control_)->lastMs, 2040);
    EXPECT_EQ(States().back(), L"2");
    EXPECT_EQ(Seconds(L"getCurrentTime"), 2.0);

    ASSERT_EQ(Call(L"<invoke name=\"playVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(PumpUntilState(L"0"));
    ASSERT_EQ(Call(L"<invoke name=\"stopVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(PumpUntilState(L"5"));
    EXPECT_EQ(Seconds(L"getCurrentTime"), 0.0);
    ASSERT_EQ(Call(L"<invoke name=\"playVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(PumpUntilState(L"1"));
    ASSERT_TRUE(Pump([this] { return testing::Frames(control_)->lastMs < 1000; })) << "from the start again";
    EXPECT_TRUE(CallsTo(L"onErrorHandler").empty());
}

TEST_F(RealMediaTest, MediaThatCannotBeDecodedShowsTheCardWithError5) {
    LoadReadyMovie();
    const char* files[] = {"zero.mp4", "text.mp4"};
    for (size_t i = 0; i < std::size(files); ++i) {
        Play("broken" + std::to_string(i), files[i], i != 0);
        ASSERT_TRUE(Pump([&] { return CallsTo(L"onErrorHandler").size() > i; })) << files[i];
        EXPECT_EQ(CallsTo(L"onErrorHandler").back(), L"5") << files[i];
        EXPECT_EQ(Reply(L"getVolume"), L"<number>100</number>") << "still answering";
        EXPECT_EQ(Render(160, 58), RGB(0x8A, 0x1C, 0x1C)) << "the error card: " << files[i];
    }
    Pump([] { return false; }, 300);
    EXPECT_EQ(CallsTo(L"onErrorHandler").size(), std::size(files)) << "one error each";

    // The media stack may get stuck on these or play them: either way the
    // player goes on answering, ends or reports error 5, and the process
    // exits cleanly with the decoder left behind.
    const char* doubtful[] = {"truncated.mp4", "webm.mp4"};
    for (size_t i = 0; i < std::size(doubtful); ++i) {
        size_t errors = CallsTo(L"onErrorHandler").size();
        size_t states = States().size();
        Play("doubtful" + std::to_string(i), doubtful[i]);
        ASSERT_TRUE(Pump(
            [&] {
                if (CallsTo(L"onErrorHandler").size() > errors) return true;
                std::vector<std::wstring> now = States();
                return now.size() > states && now.back() == L"0";
            },
            20000))
            << doubtful[i];
        if (CallsTo(L"onErrorHandler").size() > errors) {
            EXPECT_EQ(CallsTo(L"onErrorHandler").back(), L"5") << doubtful[i];
        }
        EXPECT_EQ(Reply(L"getVolume"), L"<number>100</number>") << "still answering";
    }
    // What the process does as it exits: no decode thread is left running
    // into the teardown of the media stack.
    EXPECT_TRUE(testing::StopDecoders(10000));
}

TEST_F(RealMediaTest, ClipWithSoundPlaysSilentlyWithoutAnEndpoint) {
    LoadReadyMovie();
    Play("silent0001", "sound.mp4", true, 8);
    ASSERT_TRUE(PumpUntilState(L"1"));
    auto sound = testing::Sound(control_);
    ASSERT_TRUE(sound);
    EXPECT_FALSE(sound->device);
    ASSERT_EQ(Call(Request(L"setVolume", L"<number>30</number>")), S_OK);
    ASSERT_EQ(Call(Request(L"seekTo", L"<number>7</number><false/>")), S_OK);
    ASSERT_TRUE(PumpUntilState(L"0"));
    sound = testing::Sound(control_);
    EXPECT_EQ(sound->framesWritten, 0);
    EXPECT_EQ(sound->audioClockReads, 0);
    EXPECT_GE(testing::Frames(control_)->lastMs, 7800);
    EXPECT_GE(Seconds(L"getCurrentTime"), 7.9);
    EXPECT_EQ(Reply(L"getVolume"), L"<number>30</number>");
    EXPECT_TRUE(CallsTo(L"onErrorHandler").empty());
}

// Run by the playerctl_sound_test entry, which gives Wine an audio endpoint
// (the null ALSA device of alsa-null.conf).
class RealSoundTest : public RealMediaTest {
protected:
    void SetUp() override {
        if (!std::getenv("ALSA_CONFIG_PATH")) GTEST_SKIP() << "no audio endpoint without ALSA_CONFIG_PATH";
        RealMediaTest::SetUp();
    }

    testing::SoundStats Sound() {
        auto sound = testing::Sound(control_);
        return sound ? *sound : testing::SoundStats{};
    }

    // Waits until frames have been written with `gain`, and returns their peak.
    float PeakAt(float gain) {
        std::int64_t before = Sound().framesWritten;
        EXPECT_TRUE(Pump([&] {
            testing::SoundStats s = Sound();
            return s.gain == gain && s.framesWritten > before;
        })) << gain;
        Pump([] { return false; }, 50);
        return Sound().peak;
    }
};

// The tone in the clips is at half of full scale.
constexpr float kTonePeak = 0.5f;

TEST_F(RealSoundTest, Mp4SoundIsConvertedAndKeepsTimeToTheEnd) {
    LoadReadyMovie();
    Play("sound00001", "sound.mp4", true, 8);
    ASSERT_TRUE(PumpUntilState(L"1"));
    testing::SoundStats sound = Sound();
    ASSERT_TRUE(sound.device);
    EXPECT_EQ(sound.rate, 48000);
    EXPECT_EQ(sound.channels, 2);
    // Mid-clip (the encoder's last frames fade out).
    ASSERT_TRUE(Pump([this] { return Sound().framesWritten > 48000; }));
    EXPECT_NEAR(PeakAt(1.0f), kTonePeak, 0.1);
    ASSERT_TRUE(PumpUntilState(L"0"));
    sound = Sound();
    // 8 s of 44.1 kHz mono, converted to 48 kHz stereo.
    EXPECT_GE(sound.framesWritten, 48000 * 15 / 2);
    EXPECT_LE(sound.framesWritten, 48000 * 17 / 2);
    EXPECT_GT(sound.audioClockReads, 0) << "the device kept time";
    EXPECT_GT(testing::Frames(control_)->frames, 10);
    EXPECT_GE(testing::Frames(control_)->lastMs, 7800);
    EXPECT_GE(Seconds(L"getCurrentTime"), 7.9);
    EXPECT_TRUE(CallsTo(L"onErrorHandler").empty());
}

TEST_F(RealSoundTest, VolumeMutePauseSeekAndReplayOnAWebm) {
    LoadReadyMovie();
    Play("sound00002", "sound.webm", true, 8);
    ASSERT_TRUE(PumpUntilState(L"1"));
    ASSERT_TRUE(Sound().device);

    ASSERT_EQ(Call(Request(L"setVolume", L"<number>50</number>")), S_OK);
    EXPECT_NEAR(PeakAt(0.5f), kTonePeak * 0.5f, 0.08);
    ASSERT_EQ(Call(L"<invoke name=\"mute\"></invoke>"), S_OK);
    EXPECT_EQ(PeakAt(0.0f), 0.0f);
    ASSERT_EQ(Call(L"<invoke name=\"unMute\"></invoke>"), S_OK);
    EXPECT_NEAR(PeakAt(0.5f), kTonePeak * 0.5f, 0.08);
    EXPECT_EQ(Reply(L"getVolume"), L"<number>50</number>");
    EXPECT_EQ(Reply(L"isMuted"), L"<false/>");

    ASSERT_EQ(Call(L"<invoke name=\"pauseVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(PumpUntilState(L"2"));
    Pump([] { return false; }, 100);
    std::int64_t played = Sound().framesPlayed;
    Pump([] { return false; }, 300);
    EXPECT_EQ(Sound().framesPlayed, played) << "the device stopped";
    EXPECT_FALSE(Sound().clockFromAudio);

    // VP9 lands on the very frame, shown while paused.
    int shown = testing::Frames(control_)->frames;
    ASSERT_EQ(Call(Request(L"seekTo", L"<number>1</number><true/>")), S_OK);
    ASSERT_TRUE(Pump([&] { return testing::Frames(control_)->frames > shown; }));
    EXPECT_GE(testing::Frames(control_)->lastMs, 960);
    EXPECT_LE(testing::Frames(control_)->lastMs, 1040);
    std::int64_t reads = Sound().audioClockReads;
    ASSERT_EQ(Call(L"<invoke name=\"playVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(Pump([&] { return Sound().audioClockReads > reads; }));
    double at = Seconds(L"getCurrentTime");
    EXPECT_GE(at, 0.95) << "the sound goes on from the seek";
    EXPECT_LE(at, 8.01);

    ASSERT_TRUE(PumpUntilState(L"0"));
    ASSERT_EQ(Call(L"<invoke name=\"stopVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(PumpUntilState(L"5"));
    reads = Sound().audioClockReads;
    ASSERT_EQ(Call(L"<invoke name=\"playVideo\"></invoke>"), S_OK);
    ASSERT_TRUE(PumpUntilState(L"1"));
    ASSERT_TRUE(Pump([this] { return testing::Frames(control_)->lastMs < 1000; })) << "from the start again";
    ASSERT_TRUE(Pump([&] { return Sound().audioClockReads > reads; })) << "sound again";
    EXPECT_EQ(Sound().gain, 0.5f) << "the volume stays";
    ASSERT_TRUE(PumpUntilState(L"0"));
    EXPECT_TRUE(CallsTo(L"onErrorHandler").empty());
}

}  // namespace
}  // namespace playerctl
