// The About box: the version read from the program's own resource, opened
// from the main window's system menu, closed with OK.
#include <gtest/gtest.h>

#include "app/about_dlg.h"
#include "app/clipdeck_dlg.h"
#include "core/environment.h"
#include "fake_player.h"
#include "res/resource.h"
#include "ui_test.h"

using clipdeck::test::FakePlayer;

namespace {

constexpr wchar_t kAboutCaption[] = L"バージョン情報 Clipdeck";

// The About box of this thread, found as a user would see it.
HWND FindAboutBox() {
    HWND found = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            if (clipdeck::test::TextOf(window) != kAboutCaption || !::IsWindowVisible(window)) return TRUE;
            *reinterpret_cast<HWND*>(param) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

TEST(VersionText, IsTheProductVersionOfTheRunningProgramReadOnce) {
    // This test program carries the program's version resource.
    const wchar_t* first = VersionText();
    EXPECT_STREQ(first, L"Ver.:1.0.0.1");
    EXPECT_EQ(VersionText(), first);
}

TEST(AboutDialog, ShowsTheDashedVersionAndOkClosesIt) {
    CAboutDlg about;
    std::wstring caption, label;
    clipdeck::test::RunSoon([&] {
        caption = clipdeck::test::TextOf(about.hwnd());
        label = clipdeck::test::ItemText(about.hwnd(), IDT_ABOUT_VERSION);
        clipdeck::test::Click(about.hwnd(), IDOK);
    });
    EXPECT_EQ(about.DoModal(nullptr), IDOK);
    EXPECT_EQ(caption, kAboutCaption);
    EXPECT_EQ(label, L"Clipdeck Ver.:1-0-0-1 ");
    EXPECT_EQ(about.hwnd(), nullptr);
}

TEST(AboutDialog, TheSystemMenuEntryOpensItModallyOverTheMainWindow) {
    FakePlayer::Register();
    FakePlayer::Instance().Reset();
    const std::wstring folder = clipdeck::test::ScratchFolder() + L"\\about";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    AppEnvironment().directory = folder;
    clipdeck::test::MessageCatcher catcher;
    {
        CClipdeckDlg main;
        ASSERT_TRUE(main.Create(nullptr));
        HWND about = nullptr, owner = nullptr;
        bool mainEnabled = true;
        std::wstring label;
        clipdeck::test::RunSoon([&] {
            about = FindAboutBox();
            if (!about) {
                // Whatever opened instead must not keep the test waiting.
                ::SendMessageW(::GetActiveWindow(), WM_COMMAND, IDCANCEL, 0);
                return;
            }
            owner = ::GetWindow(about, GW_OWNER);
            mainEnabled = ::IsWindowEnabled(main.hwnd()) != FALSE;
            label = clipdeck::test::ItemText(about, IDT_ABOUT_VERSION);
            clipdeck::test::Click(about, IDOK);
        });
        // Returns once the box is closed.
        ::SendMessageW(main.hwnd(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(owner, main.hwnd());
        EXPECT_FALSE(mainEnabled);
        EXPECT_EQ(label, L"Clipdeck Ver.:1-0-0-1 ");
        EXPECT_FALSE(::IsWindow(about));
        EXPECT_TRUE(::IsWindowEnabled(main.hwnd()));
        main.DestroyWindow();
    }
    EXPECT_TRUE(catcher.errors.empty());
    ReleaseAppEnvironment();
}
