// The player control against the local service misbehaving on purpose, one
// fault per control and all of a kind at once, so each group waits for one
// time-out only. Every broken transfer must end in its failure state: a
// movie that never becomes ready, error 100 for video info, error 5 for
// media, at the start or in the middle of playing. Run by with-service.sh
// with the catalogue written by CMakeLists.txt.

#include "playerctl/player_control.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playerctl/external_call.h"
#include "playerctl/player_control_testing.h"
#include "service_faults.h"

namespace playerctl {
namespace {

using clipdeck::test::ServiceHostSetting;
using clipdeck::test::ServiceUrl;
using clipdeck::test::SetServiceFaults;

constexpr wchar_t kHostClass[] = L"PlayerctlFaultsHost";
constexpr char kMovie[] = "/apiplayer?enablejsapi=1&version=3";

// One control in a window of its own that keeps the control's events and
// registers the handlers once the movie is complete, as the program does.
class Player {
public:
    Player() {
        host_ = CreateWindowExW(0, kHostClass, L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(host_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        control_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 320, 180, host_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(1000)), GetModuleHandleW(nullptr),
                                   nullptr);
    }
    ~Player() { DestroyWindow(host_); }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool Created() const { return host_ && control_; }
    HWND Control() const { return control_; }

    HRESULT Invoke(long dispid, const std::wstring& text, long intArg = 0) {
        Invocation invocation;
        invocation.dispid = dispid;
        invocation.intArg = intArg;
        invocation.strArg = text.c_str();
        auto hr = static_cast<HRESULT>(SendMessageW(control_, kMsgInvoke, 0, reinterpret_cast<LPARAM>(&invocation)));
        if (invocation.result) SysFreeString(invocation.result);
        return hr;
    }
    HRESULT LoadMovie(const std::string& target) {
        return Invoke(kDispLoadMovie, ServiceUrl(std::wstring(target.begin(), target.end())));
    }
    HRESULT LoadVideo(const std::wstring& id) {
        return Invoke(kDispCallFunction, L"<invoke name=\"loadVideoById\" returntype=\"xml\"><arguments><string>" +
                                             id + L"</string></arguments></invoke>");
    }

    bool Ready() const { return !Calls(L"onYouTubePlayerReady").empty(); }
    std::vector<std::wstring> States() const { return Calls(L"onStateChangeHandler"); }
    std::vector<std::wstring> Errors() const { return Calls(L"onErrorHandler"); }
    int Frames() const {
        auto frames = testing::Frames(control_);
        return frames ? frames->frames : 0;
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Player*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg != kMsgEvent || !self) return DefWindowProcW(hwnd, msg, wParam, lParam);
        const auto& event = *reinterpret_cast<const Event*>(lParam);
        self->events_.push_back({event.dispid, event.intArg, event.strArg ? event.strArg : L""});
        if (event.dispid == kDispReadyStateChange && event.intArg == 4) {
            for (const wchar_t* name : {L"onStateChange", L"onError"}) {
                self->Invoke(kDispCallFunction, std::wstring(L"<invoke name=\"addEventListener\" returntype=\"xml\">"
                                                             L"<arguments><string>") +
                                                    name + L"</string><string>" + name +
                                                    L"Handler</string></arguments></invoke>");
            }
        }
        if (event.dispid == kDispFlashCall) self->Invoke(kDispSetReturnValue, L"<undefined/>");
        return 1;
    }

private:
    struct Recorded {
        long dispid;
        long intArg;
        std::wstring text;
    };

    std::vector<std::wstring> Calls(const std::wstring& handler) const {
        std::vector<std::wstring> out;
        for (const Recorded& e : events_) {
            if (e.dispid != kDispFlashCall) continue;
            auto parsed = ParseInvoke(e.text);
            if (!parsed || parsed->name != handler || parsed->arguments.empty()) continue;
            const Value& v = parsed->arguments[0];
            out.push_back(v.kind == Value::Kind::Number ? FormatNumber(v.number) : v.text);
        }
        return out;
    }

    HWND host_ = nullptr;
    HWND control_ = nullptr;
    std::vector<Recorded> events_;
};

// Runs the message loop until `done` holds or `limitMs` has passed.
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= limitMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// What a fault is put on, and the video or address it is told apart by.
struct Faulted {
    std::string kind;
    std::unique_ptr<Player> player;
};

class PlayerFaultsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(RegisterControlClass(GetModuleHandleW(nullptr)));
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Player::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kHostClass;
        RegisterClassExW(&wc);
    }
    void SetUp() override {
        ASSERT_FALSE(ServiceHostSetting().empty()) << "run by with-service.sh";
        ASSERT_TRUE(SetServiceFaults({}));
    }
    void TearDown() override {
        players_.clear();
        PumpUntil([] { return false; }, 0);
        EXPECT_TRUE(SetServiceFaults({}));
    }

    // One ready player per kind.
    void ReadyPlayers(const std::vector<std::string>& kinds) {
        for (const std::string& kind : kinds) {
            players_.push_back({kind, std::make_unique<Player>()});
            ASSERT_TRUE(players_.back().player->Created());
            ASSERT_EQ(players_.back().player->LoadMovie(kMovie), S_OK);
        }
        ASSERT_TRUE(PumpUntil([this] { return All([](const Player& p) { return p.Ready(); }); }, 20000));
    }

    bool All(const std::function<bool(const Player&)>& test) const {
        for (const Faulted& f : players_)
            if (!test(*f.player)) return false;
        return true;
    }

    // The n-th video of the test catalogue: "cdFaultIn01"... or "cdFaultMd01"...
    static std::wstring VideoId(const wchar_t* stem, std::size_t n) {
        wchar_t id[16];
        swprintf(id, 16, L"%ls%02u", stem, static_cast<unsigned>(n + 1));
        return id;
    }
    static std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

    std::vector<Faulted> players_;
};

TEST_F(PlayerFaultsTest, AMovieThatArrivesBrokenNeverBecomesReady) {
    const std::vector<std::string> kinds = {"refuse", "reset", "reset:10", "partial:18", "long:5", "stall",
                                            "drip:6000"};
    std::vector<std::string> rules;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        rules.push_back(std::string(kMovie) + "&case=" + std::to_string(i) + "=" + kinds[i]);
    ASSERT_TRUE(SetServiceFaults({rules[0], rules[1], rules[2], rules[3], rules[4], rules[5], rules[6]}));
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        players_.push_back({kinds[i], std::make_unique<Player>()});
        ASSERT_TRUE(players_.back().player->Created());
        ASSERT_EQ(players_.back().player->LoadMovie(std::string(kMovie) + "&case=" + std::to_string(i)), S_OK);
    }
    Player good;
    ASSERT_EQ(good.LoadMovie(std::string(kMovie) + "&case=none"), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return good.Ready(); }, 20000));
    // Past the 5 s time-out of the stalled ones.
    PumpUntil([] { return false; }, 7000);
    for (const Faulted& f : players_) EXPECT_FALSE(f.player->Ready()) << f.kind;

    // Each control loads a movie that arrives whole afterwards.
    ASSERT_TRUE(SetServiceFaults({}));
    for (const Faulted& f : players_) ASSERT_EQ(f.player->LoadMovie(kMovie), S_OK) << f.kind;
    EXPECT_TRUE(PumpUntil([this] { return All([](const Player& p) { return p.Ready(); }); }, 20000));
}

TEST_F(PlayerFaultsTest, VideoInfoThatArrivesBrokenReportsError100) {
    const std::vector<std::string> kinds = {"refuse", "reset", "reset:20", "partial:30", "long:5", "stall",
                                            "drip:6000"};
    ReadyPlayers(kinds);
    std::vector<std::string> rules;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        rules.push_back("/get_video_info?video_id=" + Narrow(VideoId(L"cdFaultIn", i)) + "=" + kinds[i]);
    ASSERT_TRUE(SetServiceFaults({rules[0], rules[1], rules[2], rules[3], rules[4], rules[5], rules[6]}));
    for (std::size_t i = 0; i < players_.size(); ++i)
        ASSERT_EQ(players_[i].player->LoadVideo(VideoId(L"cdFaultIn", i)), S_OK) << players_[i].kind;
    EXPECT_TRUE(PumpUntil([this] { return All([](const Player& p) { return !p.Errors().empty(); }); }, 20000));
    for (const Faulted& f : players_) {
        EXPECT_EQ(f.player->Errors(), std::vector<std::wstring>{L"100"}) << f.kind;
        for (const std::wstring& state : f.player->States()) EXPECT_EQ(state, L"-1") << f.kind;
    }
    // The same players play a video whose info arrives whole.
    ASSERT_TRUE(SetServiceFaults({}));
    for (const Faulted& f : players_) ASSERT_EQ(f.player->LoadVideo(L"cdFaultIn09"), S_OK) << f.kind;
    EXPECT_TRUE(PumpUntil(
        [this] { return All([](const Player& p) { return !p.States().empty() && p.States().back() == L"1"; }); },
        20000));
}

TEST_F(PlayerFaultsTest, MediaThatCannotBeReadReportsError5) {
    const std::vector<std::string> kinds = {"refuse", "reset", "reset:1000", "partial:1000", "long:10", "short:10",
                                            "stall", "drip:6000"};
    ReadyPlayers(kinds);
    std::vector<std::string> rules;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        rules.push_back("/media/" + Narrow(VideoId(L"cdFaultMd", i)) + "/=" + kinds[i]);
    ASSERT_TRUE(SetServiceFaults({rules[0], rules[1], rules[2], rules[3], rules[4], rules[5], rules[6], rules[7]}));
    for (std::size_t i = 0; i < players_.size(); ++i)
        ASSERT_EQ(players_[i].player->LoadVideo(VideoId(L"cdFaultMd", i)), S_OK) << players_[i].kind;
    EXPECT_TRUE(PumpUntil([this] { return All([](const Player& p) { return !p.Errors().empty(); }); }, 30000));
    for (const Faulted& f : players_) {
        EXPECT_EQ(f.player->Errors(), std::vector<std::wstring>{L"5"}) << f.kind;
        for (const std::wstring& state : f.player->States()) EXPECT_NE(state, L"0") << f.kind << ": never ended";
    }
}

// Each player's media breaks once it has shown a picture: every Range read
// of it fails from then on, and what was read ahead plays out before the
// error. A fault at a fixed count of bytes cannot promise pictures first:
// while the media stack opens a clip it reads the end, the middle and then
// on from the start for as long as the decoder takes (1 to 3.5 MB before the
// first picture here, more on a busy machine), and a read that fails by then
// loses the whole opening. Nor can the break wait: the stack may read the
// rest of the 7 MB within milliseconds of the first picture. So until a
// player breaks, its host answers late once it has sent 1.5 MB (counted
// afresh at each change of the rules): 250 ms a block of 256 KB, still four
// times the rate the clip plays at.
TEST_F(PlayerFaultsTest, MediaThatBreaksWhilePlayingReportsError5) {
    const std::vector<std::string> kinds = {"refuse", "reset", "partial:5000", "stall"};
    ReadyPlayers(kinds);
    auto rule = [](std::size_t i, const std::string& kind) {
        return "/media/" + Narrow(VideoId(L"cdFaultLg", i)) + "/=" + kind;
    };
    std::vector<std::string> rules;
    for (std::size_t i = 0; i < kinds.size(); ++i) rules.push_back(rule(i, "delay:250@1500000b"));
    ASSERT_TRUE(SetServiceFaults(rules));
    for (std::size_t i = 0; i < players_.size(); ++i)
        ASSERT_EQ(players_[i].player->LoadVideo(VideoId(L"cdFaultLg", i)), S_OK) << players_[i].kind;
    std::vector<bool> broken(players_.size(), false);
    auto breakable = [&](std::size_t i) { return !broken[i] && players_[i].player->Frames() >= 1; };
    for (std::size_t left = players_.size(); left > 0;) {
        ASSERT_TRUE(PumpUntil(
            [&] {
                for (std::size_t i = 0; i < players_.size(); ++i)
                    if (breakable(i)) return true;
                return false;
            },
            30000))
            << "a video showed no picture";
        for (std::size_t i = 0; i < players_.size(); ++i) {
            if (!breakable(i)) continue;
            EXPECT_TRUE(players_[i].player->Errors().empty()) << players_[i].kind << ": an error before the fault";
            broken[i] = true;
            rules[i] = rule(i, players_[i].kind);
            --left;
        }
        ASSERT_TRUE(SetServiceFaults(rules));
    }
    EXPECT_TRUE(PumpUntil([this] { return All([](const Player& p) { return !p.Errors().empty(); }); }, 60000));
    for (const Faulted& f : players_) {
        EXPECT_EQ(f.player->Errors(), std::vector<std::wstring>{L"5"}) << f.kind;
        for (const std::wstring& state : f.player->States()) EXPECT_NE(state, L"0") << f.kind << ": never ended";
    }
}

}  // namespace
}  // namespace playerctl
