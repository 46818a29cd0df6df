// The player window with the scripted control: movie loading, dragging,
// frame, top-most and aspect.
#include <gtest/gtest.h>

#include "fake_player.h"
#include "player/player_dlg.h"
#include "playerctl/player_control.h"
#include "ui_test.h"

using clipdeck::test::FakePlayer;

namespace {

class PlayerWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite() { FakePlayer::Register(); }
    void SetUp() override {
        FakePlayer::Instance().Reset();
        ASSERT_TRUE(player.Create(nullptr));
    }
    void TearDown() override { player.DestroyWindow(); }

    // Gives the window a client area of the given size.
    void setClient(int width, int height) {
        RECT r{100, 100, 100 + width, 100 + height};
        ::AdjustWindowRectEx(&r, static_cast<DWORD>(player.Style()), FALSE,
                             static_cast<DWORD>(player.ExStyle()));
        player.Move(r.left, r.top, r.right - r.left, r.bottom - r.top);
        RECT c = player.ClientRect();
        ASSERT_EQ(c.right, width);
        ASSERT_EQ(c.bottom, height);
    }
    std::vector<clipdeck::test::FakeCall> loadMovieCalls() {
        std::vector<clipdeck::test::FakeCall> calls;
        for (const auto& call : FakePlayer::Instance().calls()) {
            if (call.dispid == playerctl::kDispLoadMovie) calls.push_back(call);
        }
        return calls;
    }

    clipdeck::test::MessageCatcher catcher;
    CPlayerDlg player;
};

}  // namespace

TEST_F(PlayerWindowTest, LoadsTheMovieOnceShortlyAfterCreation) {
    EXPECT_TRUE(loadMovieCalls().empty());
    ASSERT_TRUE(clipdeck::test::PumpUntil([&] { return !loadMovieCalls().empty(); }, 2000));
    clipdeck::test::PumpUntil([] { return false; }, 350);
    auto calls = loadMovieCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].intArg, 0);
    EXPECT_EQ(calls[0].text, CPlayerBridge::PlayerMovieUrl());
    EXPECT_NE(calls[0].text.find(L"/apiplayer?enablejsapi=1&version=3"), std::wstring::npos);
    EXPECT_EQ(calls[0].text.rfind(L"http://", 0), 0u);
}

TEST_F(PlayerWindowTest, ARefusedMovieLoadIsTriedAgainAtTheNextTick) {
    FakePlayer::Instance().Reject(playerctl::kDispLoadMovie);
    ASSERT_TRUE(clipdeck::test::PumpUntil([&] { return loadMovieCalls().size() >= 2; }, 2000));
    EXPECT_TRUE(catcher.errors.empty());
    FakePlayer::Instance().Reset();
    ASSERT_TRUE(clipdeck::test::PumpUntil([&] { return loadMovieCalls().size() == 1; }, 2000));
    clipdeck::test::PumpUntil([] { return false; }, 350);
    EXPECT_EQ(loadMovieCalls().size(), 1u);
}

TEST(PlayerMovieUrl, ComesFromThePlayerHostSetting) {
    ::SetEnvironmentVariableW(L"CLIPDECK_PLAYER_HOST", L"127.0.0.1:9999");
    EXPECT_EQ(CPlayerBridge::PlayerMovieUrl(), L"http://127.0.0.1:9999/apiplayer?enablejsapi=1&version=3");
    ::SetEnvironmentVariableW(L"CLIPDECK_PLAYER_HOST", nullptr);
    EXPECT_EQ(CPlayerBridge::PlayerMovieUrl(), L"http://127.0.0.1:8480/apiplayer?enablejsapi=1&version=3");
}

TEST_F(PlayerWindowTest, ControlFillsTheClientAreaAfterResizing) {
    setClient(320, 200);
    RECT r{};
    ::GetWindowRect(FakePlayer::Instance().window(), &r);
    EXPECT_EQ(r.right - r.left, 320);
    EXPECT_EQ(r.bottom - r.top, 200);
}

TEST_F(PlayerWindowTest, AspectSixteenNineWidensAroundTheCentre) {
    setClient(400, 300);
    RECT before = player.WindowRect();
    player.setAspect(16, 9);
    RECT after = player.WindowRect();
    EXPECT_EQ((after.right - after.left) - (before.right - before.left), 132);
    EXPECT_EQ(after.left, before.left - 66);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    EXPECT_EQ(player.ClientRect().right, 532);
}

TEST_F(PlayerWindowTest, AspectFourThreeNarrowsAndLeavesAFourThreeWindowAlone) {
    setClient(400, 225);
    RECT before = player.WindowRect();
    player.setAspect(4, 3);
    RECT after = player.WindowRect();
    EXPECT_EQ((before.right - before.left) - (after.right - after.left), 100);
    EXPECT_EQ(after.left, before.left + 50);
    EXPECT_EQ(player.ClientRect().right, 300);
    player.setAspect(4, 3);
    RECT again = player.WindowRect();
    EXPECT_TRUE(::EqualRect(&after, &again));
}

TEST_F(PlayerWindowTest, FrameOffThenOnKeepsTheVideoAreaAndRestoresTheWindow) {
    setClient(400, 300);
    ASSERT_TRUE(player.Style() & WS_THICKFRAME);
    RECT outer = player.WindowRect();
    POINT origin{0, 0};
    ::ClientToScreen(player.hwnd(), &origin);

    player.frameOff();
    EXPECT_FALSE(player.Style() & WS_THICKFRAME);
    POINT offOrigin{0, 0};
    ::ClientToScreen(player.hwnd(), &offOrigin);
    EXPECT_EQ(offOrigin.x, origin.x);
    EXPECT_EQ(offOrigin.y, origin.y);
    EXPECT_EQ(player.ClientRect().right, 400);
    EXPECT_EQ(player.ClientRect().bottom, 300);
    RECT frameless = player.WindowRect();
    player.frameOff();  // already off: nothing changes
    RECT still = player.WindowRect();
    EXPECT_TRUE(::EqualRect(&frameless, &still));

    player.frameOn();
    RECT restored = player.WindowRect();
    EXPECT_TRUE(::EqualRect(&outer, &restored));
    POINT onOrigin{0, 0};
    ::ClientToScreen(player.hwnd(), &onOrigin);
    EXPECT_EQ(onOrigin.x, origin.x);
    EXPECT_EQ(onOrigin.y, origin.y);
}

TEST_F(PlayerWindowTest, TopMostGoesInAndOutOfTheTopBand) {
    player.setTopMost(true);
    EXPECT_TRUE(player.ExStyle() & WS_EX_TOPMOST);
    player.setTopMost(false);
    EXPECT_FALSE(player.ExStyle() & WS_EX_TOPMOST);
}

TEST_F(PlayerWindowTest, EscapeAndEnterLeaveTheWindowOpen) {
    player.Show(SW_SHOW);
    ::SendMessageW(player.hwnd(), WM_COMMAND, IDCANCEL, 0);
    ::SendMessageW(player.hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(player.IsWindow());
    EXPECT_TRUE(player.IsVisible());
}

TEST_F(PlayerWindowTest, TemplateGivesACaptionlessToolWindowWithTheControlDisabled) {
    EXPECT_FALSE(player.Style() & WS_CAPTION);
    EXPECT_FALSE(player.Style() & WS_SYSMENU);
    EXPECT_TRUE(player.ExStyle() & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(player.IsVisible());
    HWND control = FakePlayer::Instance().window();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(::GetDlgCtrlID(control), 1000);
    EXPECT_FALSE(::IsWindowEnabled(control));
}

namespace {

std::vector<MSG> seenByPlayer;
HWND watchedPlayer = nullptr;

LRESULT CALLBACK recordSent(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == watchedPlayer) {
        seenByPlayer.push_back(MSG{sent->hwnd, sent->message, sent->wParam, sent->lParam, 0, {}});
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST_F(PlayerWindowTest, PressingAnywhereStartsACaptionDrag) {
    player.Show(SW_SHOW);
    watchedPlayer = player.hwnd();
    seenByPlayer.clear();
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, recordSent, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    // The button is already up again when the move loop looks, so it ends at once.
    ::PostMessageW(player.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    ::SendMessageW(player.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    ::UnhookWindowsHookEx(hook);
    watchedPlayer = nullptr;
    bool dragged = false;
    for (const MSG& m : seenByPlayer) dragged = dragged || (m.message == WM_NCLBUTTONDOWN && m.wParam == HTCAPTION);
    EXPECT_TRUE(dragged);
}
