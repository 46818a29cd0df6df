// The main window: modal run, keys, system menu, glass and session end.
#include <gtest/gtest.h>

#include "app/clipdeck_dlg.h"
#include "core/environment.h"
#include "core/trace.h"
#include "fake_player.h"
#include "launch/hand_over.h"
#include "launch/launcher.h"
#include "launch/link_scheme.h"
#include "res/resource.h"
#include "ui_test.h"

using clipdeck::test::FakePlayer;

namespace {

class MainDialogTest : public testing::Test {
protected:
    static void SetUpTestSuite() { FakePlayer::Register(); }
    void SetUp() override {
        FakePlayer::Instance().Reset();
        folder = clipdeck::test::ScratchFolder() + L"\\main-" + std::to_wstring(counter++);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        AppEnvironment().directory = folder;
    }
    void TearDown() override {
        CClipdeckDlg::SetCompositionProbe(nullptr);
        ReleaseAppEnvironment();
    }
    std::wstring savedVideoId() {
        wchar_t value[300] = L"";
        ::GetPrivateProfileStringW(L"SYSTEM", L"VIDEOID", L"(none)", value, 300, (folder + L"\\Clipdeck.ini").c_str());
        return value;
    }

    static inline int counter = 0;
    std::wstring folder;
    clipdeck::test::MessageCatcher catcher;
};

}  // namespace

TEST_F(MainDialogTest, EnterKeepsTheWindowAndEscapeClosesItThroughTheNormalPath) {
    CClipdeckDlg dialog;
    bool openAfterEnter = false;
    std::wstring caption, firstTrace, link;
    clipdeck::test::RunSoon([&] {
        HWND main = dialog.hwnd();
        caption = clipdeck::test::TextOf(main);
        link = clipdeck::test::ItemText(main, IDN_MAIN_MAKER);
        firstTrace = clipdeck::test::ItemText(dialog.monitor().hwnd(), IDE_MONITOR_LOG);
        ::SetDlgItemTextW(dialog.controlPanel().hwnd(), IDE_CONTROL_VIDEOREF, L"typedButNotLoaded");
        ::SendMessageW(main, WM_COMMAND, IDOK, 0);
        clipdeck::test::PumpMessages();
        openAfterEnter = ::IsWindow(main) && dialog.hwnd() == main;
        ::SendMessageW(main, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(caption, L"Clipdeck");
    EXPECT_EQ(link, L"<a>Powered By Fernhollow</a>");
    EXPECT_EQ(firstTrace, L"START MONITOR\r\n");
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_EQ(CurrentTraceSink(), nullptr);
    // Closing saved the panel's settings.
    EXPECT_EQ(savedVideoId(), L"typedButNotLoaded");
}

// The hidden monitor is made after the main window, by a timer; what is traced
// before then reaches its log in order.
TEST_F(MainDialogTest, TheMonitorIsMadeAfterTheMainWindowWithTheLinesTracedBefore) {
    CClipdeckDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    auto findMonitor = [&] {
        HWND found = nullptr;
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND window, LPARAM out) {
                if (clipdeck::test::TextOf(window) != L"MONITOR") return TRUE;
                *reinterpret_cast<HWND*>(out) = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    };
    EXPECT_EQ(findMonitor(), nullptr);
    Trace(L"traced %d\r\n", 1);
    Trace(L"traced %d\r\n", 2);
    ASSERT_TRUE(clipdeck::test::PumpUntil([&] { return findMonitor() != nullptr; }, 5000));
    HWND monitor = findMonitor();
    EXPECT_EQ(::GetWindow(monitor, GW_OWNER), dialog.hwnd());
    EXPECT_FALSE(::IsWindowVisible(monitor));
    Trace(L"traced %d\r\n", 3);
    EXPECT_EQ(clipdeck::test::ItemText(monitor, IDE_MONITOR_LOG),
              L"START MONITOR\r\ntraced 1\r\ntraced 2\r\ntraced 3\r\n");
    dialog.DestroyWindow();
    EXPECT_EQ(CurrentTraceSink(), nullptr);
}

TEST_F(MainDialogTest, TheSystemMenuEndsWithASeparatorTheAboutEntryAndTheLibrary) {
    CClipdeckDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    HMENU menu = ::GetSystemMenu(dialog.hwnd(), FALSE);
    int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 3);
    MENUITEMINFOW separator{};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    ::GetMenuItemInfoW(menu, count - 3, TRUE, &separator);
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    EXPECT_EQ(::GetMenuItemID(menu, count - 2), static_cast<UINT>(IDM_ABOUTBOX));
    wchar_t text[128];
    ::GetMenuStringW(menu, count - 2, text, 128, MF_BYPOSITION);
    EXPECT_STREQ(text, L"バージョン情報 Clipdeck(&A)...");
    EXPECT_EQ(::GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_LIBRARY));
    ::GetMenuStringW(menu, count - 1, text, 128, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Video library...");
    // Without a service of its own the entry is there at once.
    EXPECT_FALSE(::GetMenuState(menu, IDM_LIBRARY, MF_BYCOMMAND) & MF_GRAYED);
    dialog.DestroyWindow();
}

// A service that cannot start: one message says why, once the window is
// up, and the library entry stays grey (there is no library to open).
TEST_F(MainDialogTest, AServiceThatCannotStartIsReportedOnceAndLeavesNoLibrary) {
    launch::Launcher launcher;
    launch::Launcher::Plan plan;
    plan.programPath = folder + L"\\Clipdeck.exe";  // no service beside it
    plan.dataFolder = folder;
    plan.startService = true;
    launcher.Start(plan);
    CClipdeckDlg dialog;
    dialog.SetStartup(&launcher, nullptr, L"");
    ASSERT_TRUE(dialog.Create(nullptr));
    HMENU menu = ::GetSystemMenu(dialog.hwnd(), FALSE);
    EXPECT_TRUE(clipdeck::test::PumpUntil([&] { return !catcher.messages.empty(); }, 10000));
    clipdeck::test::PumpUntil([] { return false; }, 200);
    EXPECT_EQ(catcher.messages,
              (std::vector<std::wstring>{L"Clipdeck could not start its video service, so videos cannot be played.\r\n\r\n"
                                         L"clipdeck-service.exe is missing from " + folder + L"."}));
    EXPECT_TRUE(::GetMenuState(menu, IDM_LIBRARY, MF_BYCOMMAND) & MF_GRAYED);
    dialog.DestroyWindow();
    launcher.Stop();
    launch::UnregisterLinkScheme();
}

// The library is the feed host's "/", the default one without the variable.
TEST_F(MainDialogTest, TheLibraryIsThePageOfTheFeedHost) {
    ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", L"127.0.0.1:49321");
    EXPECT_EQ(CClipdeckDlg::LibraryUrl(), L"http://127.0.0.1:49321/");
    ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", L"videos.example");
    EXPECT_EQ(CClipdeckDlg::LibraryUrl(), L"http://videos.example/");
    ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", nullptr);
    EXPECT_EQ(CClipdeckDlg::LibraryUrl(), L"http://127.0.0.1:8480/");
}

// A later start's command line arrives as WM_COPYDATA: its reference goes
// into the box (and plays once the player is ready); other copies are not
// taken.
TEST_F(MainDialogTest, AHandedOverCommandLinePutsItsReferenceInTheBox) {
    CClipdeckDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    auto send = [&](ULONG_PTR tag, const std::wstring& block) {
        COPYDATASTRUCT data{tag, static_cast<DWORD>(block.size() * sizeof(wchar_t)),
                            const_cast<wchar_t*>(block.data())};
        return ::SendMessageW(dialog.hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    };
    EXPECT_EQ(send(0x1234, std::wstring(L"x\0cdOther0001\0", 16)), FALSE);
    EXPECT_EQ(send(launch::kHandOverTag, launch::EncodeArguments({L"C:\\Clipdeck.exe", L"-D482", L"clipdeck:cdGiven0001"})),
              TRUE);
    clipdeck::test::PumpMessages();
    EXPECT_EQ(clipdeck::test::ItemText(dialog.controlPanel().hwnd(), IDE_CONTROL_VIDEOREF), L"cdGiven0001");
    dialog.DestroyWindow();
}

TEST_F(MainDialogTest, GlassFollowsCompositionAndPaintsOnBlack) {
    int answer = 1;
    CClipdeckDlg::SetCompositionProbe([&answer](int& enabled) {
        enabled = answer;
        return true;
    });
    CClipdeckDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_TRUE(dialog.glassOn());
    HWND link = dialog.Item(IDN_MAIN_MAKER);
    HDC dc = ::GetDC(dialog.hwnd());
    LRESULT brush = ::SendMessageW(dialog.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                   reinterpret_cast<LPARAM>(link));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);

    answer = 0;
    ::SendMessageW(dialog.hwnd(), 0x031E /* WM_DWMCOMPOSITIONCHANGED */, 0, 0);
    EXPECT_FALSE(dialog.glassOn());
    brush = ::SendMessageW(dialog.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(link));
    EXPECT_NE(reinterpret_cast<HBRUSH>(brush), static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::ReleaseDC(dialog.hwnd(), dc);

    answer = 1;
    ::SendMessageW(dialog.hwnd(), 0x031E, 0, 0);
    EXPECT_TRUE(dialog.glassOn());
    dialog.DestroyWindow();
}

TEST_F(MainDialogTest, WithoutCompositionTheDesktopAnswersNoGlass) {
    // Wine's desktop window manager reports no composition.
    CClipdeckDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_FALSE(dialog.glassOn());
    dialog.DestroyWindow();
}

TEST_F(MainDialogTest, SessionEndSavesEverythingAsANormalClose) {
    CClipdeckDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    ::SetDlgItemTextW(dialog.controlPanel().hwnd(), IDE_CONTROL_VIDEOREF, L"savedAtLogoff");
    ::SendMessageW(dialog.hwnd(), WM_QUERYENDSESSION, 0, 0);
    EXPECT_EQ(savedVideoId(), L"(none)");
    ::SendMessageW(dialog.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(savedVideoId(), L"savedAtLogoff");
    EXPECT_EQ(dialog.hwnd(), nullptr);
}

TEST_F(MainDialogTest, ACancelledSessionEndChangesNothing) {
    CClipdeckDlg dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    ::SendMessageW(dialog.hwnd(), WM_ENDSESSION, FALSE, 0);
    EXPECT_NE(dialog.hwnd(), nullptr);
    EXPECT_EQ(savedVideoId(), L"(none)");
    dialog.DestroyWindow();
}
