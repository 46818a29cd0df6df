// The quality button's flow: levels from the player, the dialog, the name sent.
#include <gtest/gtest.h>

#include "fake_player.h"
#include "player/player_dlg.h"
#include "player/quality_dlg.h"
#include "res/resource.h"
#include "ui_test.h"

using clipdeck::test::FakePlayer;

namespace {

const std::wstring kReady =
    L"<invoke name=\"onYouTubePlayerReady\" returntype=\"xml\"><arguments><string></string></arguments></invoke>";

class QualityFlowTest : public testing::Test {
protected:
    static void SetUpTestSuite() { FakePlayer::Register(); }
    void SetUp() override {
        FakePlayer::Instance().Reset();
        ASSERT_TRUE(player.Create(nullptr));
        FakePlayer::Instance().FireFlashCall(kReady);
        FakePlayer::Instance().Reset();
    }
    void TearDown() override { player.DestroyWindow(); }

    void offer(const std::wstring& levels, const std::wstring& current) {
        FakePlayer::Instance().Reply(L"getAvailableQualityLevels", levels);
        FakePlayer::Instance().Reply(L"getPlaybackQuality", L"<string>" + current + L"</string>");
    }
    std::vector<std::wstring> sentQualities() {
        std::vector<std::wstring> sent;
        for (const auto& request : FakePlayer::Instance().callFunctionRequests()) {
            if (request.find(L"setPlaybackQuality") != std::wstring::npos) sent.push_back(request);
        }
        return sent;
    }
    // Runs the flow; `inside` acts on the open dialog.
    void runFlow(std::function<void(HWND)> inside) {
        clipdeck::test::RunSoon([inside] {
            HWND dialog = ::FindWindowW(L"#32770", L"Quality Setting");
            ASSERT_NE(dialog, nullptr);
            inside(dialog);
        });
        RunQualitySelection(player.bridge(), nullptr);
    }

    clipdeck::test::MessageCatcher catcher;
    CPlayerDlg player;
};

std::wstring levelList(std::initializer_list<const wchar_t*> names) {
    std::wstring reply = L"<array>";
    int i = 0;
    for (const wchar_t* name : names) {
        reply += L"<property id=\"" + std::to_wstring(i++) + L"\"><string>" + name + L"</string></property>";
    }
    return reply + L"</array>";
}

}  // namespace

TEST_F(QualityFlowTest, OffersExactlyTheListedLevelsAndStartsAtDefault) {
    offer(levelList({L"large", L"medium", L"small"}), L"large");
    std::vector<bool> enabled;
    std::wstring shown;
    bool defaultChecked = false;
    runFlow([&](HWND dialog) {
        for (int id = IDR_QUALITY_DEFAULT; id <= IDR_QUALITY_HD720; ++id) {
            enabled.push_back(::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE);
        }
        shown = clipdeck::test::ItemText(dialog, IDT_QUALITY_CURRENT);
        defaultChecked = ::IsDlgButtonChecked(dialog, IDR_QUALITY_DEFAULT) == BST_CHECKED;
        clipdeck::test::Click(dialog, IDOK);
    });
    EXPECT_EQ(enabled, (std::vector<bool>{true, true, true, true, false}));
    EXPECT_EQ(shown, L"large");
    EXPECT_TRUE(defaultChecked);
    // OK untouched asks for "default" even though "large" is in effect.
    EXPECT_EQ(sentQualities(), (std::vector<std::wstring>{
                                   L"<invoke name=\"setPlaybackQuality\" returntype=\"xml\"><arguments><string>"
                                   L"default</string></arguments></invoke>"}));
}

TEST_F(QualityFlowTest, TheChosenLevelIsSent) {
    offer(levelList({L"hd720", L"large", L"medium", L"small"}), L"medium");
    runFlow([](HWND dialog) {
        clipdeck::test::Click(dialog, IDR_QUALITY_HD720);
        clipdeck::test::Click(dialog, IDOK);
    });
    ASSERT_EQ(sentQualities().size(), 1u);
    EXPECT_NE(sentQualities()[0].find(L"<string>hd720</string>"), std::wstring::npos);
}

TEST_F(QualityFlowTest, CancelSendsNothing) {
    offer(levelList({L"small"}), L"small");
    runFlow([](HWND dialog) {
        clipdeck::test::Click(dialog, IDR_QUALITY_SMALL);
        clipdeck::test::Click(dialog, IDCANCEL);
    });
    EXPECT_TRUE(sentQualities().empty());
}

TEST_F(QualityFlowTest, UnknownOrMiscasedLevelsEnableOnlyDefault) {
    offer(levelList({L"highres", L"hd1080", L"Large"}), L"hd1080");
    std::vector<bool> enabled;
    runFlow([&](HWND dialog) {
        for (int id = IDR_QUALITY_DEFAULT; id <= IDR_QUALITY_HD720; ++id) {
            enabled.push_back(::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE);
        }
        clipdeck::test::Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(enabled, (std::vector<bool>{true, false, false, false, false}));
}

TEST_F(QualityFlowTest, AnEmptyLevelListOnlyShowsTheMessage) {
    offer(L"<array></array>", L"");
    RunQualitySelection(player.bridge(), nullptr);
    EXPECT_EQ(catcher.messages, (std::vector<std::wstring>{L"現在設定変更はできません."}));
    EXPECT_TRUE(sentQualities().empty());
    for (const auto& request : FakePlayer::Instance().callFunctionRequests()) {
        EXPECT_EQ(request.find(L"getPlaybackQuality"), std::wstring::npos);
    }
}
