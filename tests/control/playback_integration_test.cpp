// The whole chain with the real player component: main window, control
// panel, bridge, player window and control, against one loopback host that
// answers as feed and player host, with the control on stepped time.
#include <gtest/gtest.h>

#include <memory>

#include "app/clipdeck_dlg.h"
#include "core/environment.h"
#include "http_responder.h"
#include "playerctl/player_control.h"
#include "playerctl/player_control_testing.h"
#include "res/resource.h"
#include "ui_test.h"

using clipdeck::test::ItemText;
using clipdeck::test::PumpUntil;
using playerctl::test::HttpResponder;

namespace {

std::string feedEntry(const std::string& title, int seconds) {
    return "<?xml version='1.0' encoding='UTF-8'?><entry><title type='text'>" + title +
           "</title><media:group><yt:duration seconds='" + std::to_string(seconds) + "'/></media:group></entry>";
}

HttpResponder::Response answer(const std::string& target) {
    if (target.rfind("/apiplayer", 0) == 0) return {200, "CLIPDECK-PLAYER 1\n"};
    if (target == "/feeds/api/videos/cdShort0008") return {200, feedEntry("Eight Second Countdown", 8)};
    if (target == "/feeds/api/videos/cdNoEmbed01") return {200, feedEntry("No embedding", 254)};
    if (target == "/get_video_info?video_id=cdShort0008") {
        return {200,
                "status=ok&video_id=cdShort0008&title=Eight%20Second%20Countdown&length_seconds=8"
                "&fmt_list=medium%2Csmall&bytes_medium=656384&bytes_small=336384&color=3366AA"};
    }
    if (target == "/get_video_info?video_id=cdNoEmbed01") return {200, "status=fail&errorcode=150&reason=x"};
    return {404, "Video not found"};
}

class PlaybackIntegrationTest : public testing::Test {
protected:
    static void SetUpTestSuite() { playerctl::RegisterControlClass(::GetModuleHandleW(nullptr)); }

    void SetUp() override {
        host = std::make_unique<HttpResponder>(answer);
        std::wstring setting = L"127.0.0.1:" + std::to_wstring(host->Port());
        ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", setting.c_str());
        ::SetEnvironmentVariableW(L"CLIPDECK_PLAYER_HOST", setting.c_str());
        std::wstring folder = clipdeck::test::ScratchFolder() + L"\\chain-" + std::to_wstring(counter++);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        AppEnvironment().directory = folder;
        main = std::make_unique<CClipdeckDlg>();
        ASSERT_TRUE(main->Create(nullptr));
        panel = main->controlPanel().hwnd();
        control = main->controlPanel().player().Item(IDC_PLAYER_FLASH);
        ASSERT_NE(control, nullptr);
        playerctl::testing::SetClock(control, [this] { return now; });
        ASSERT_TRUE(PumpUntil([&] { return text(IDT_CONTROL_TITLE) == L" player Load Complete!"; }, 10000))
            << "title line: " << std::string(text(IDT_CONTROL_TITLE).begin(), text(IDT_CONTROL_TITLE).end());
    }
    void TearDown() override {
        main->DestroyWindow();
        main.reset();
        host.reset();
        ReleaseAppEnvironment();
        ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", nullptr);
        ::SetEnvironmentVariableW(L"CLIPDECK_PLAYER_HOST", nullptr);
    }

    std::wstring text(int id) { return ItemText(panel, id); }
    std::wstring trace() { return ItemText(main->monitor().hwnd(), IDE_MONITOR_LOG); }
    // Moves the player's clock on in steps, letting its events through. Each
    // step also gives the control's network thread a little real time.
    void advance(std::int64_t ms) {
        for (std::int64_t done = 0; done < ms; done += 250) {
            now += 250;
            playerctl::testing::RunStep(control);
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            clipdeck::test::PumpMessages();
        }
    }
    // Steps until `done`, for at most `limitMs` of player time and 10 s of
    // real time.
    bool advanceUntil(const std::function<bool()>& done, std::int64_t limitMs) {
        DWORD start = ::GetTickCount();
        for (std::int64_t spent = 0; !done(); spent += 250) {
            if (spent >= limitMs || ::GetTickCount() - start > 10000) return done();
            advance(250);
        }
        return true;
    }
    void play(const std::wstring& reference) {
        ::SetDlgItemTextW(panel, IDE_CONTROL_VIDEOREF, reference.c_str());
        clipdeck::test::Click(panel, IDB_CONTROL_PLAY);
    }

    static inline int counter = 0;
    clipdeck::test::MessageCatcher catcher;
    std::unique_ptr<HttpResponder> host;
    std::unique_ptr<CClipdeckDlg> main;
    HWND panel = nullptr;
    HWND control = nullptr;
    std::int64_t now = 1000000;
};

}  // namespace

TEST_F(PlaybackIntegrationTest, ATypedVideoPlaysToItsEndAndWaitsAtItsStart) {
    EXPECT_TRUE(::IsWindowVisible(main->controlPanel().player().hwnd()));
    EXPECT_NE(trace().find(L"OnReadySateChange():4"), std::wstring::npos);
    EXPECT_NE(trace().find(L"<string>onErrorHandler</string>"), std::wstring::npos);

    play(L"http://www.youtube.com/watch?v=cdShort0008");
    EXPECT_TRUE(catcher.messages.empty());
    EXPECT_EQ(text(IDE_CONTROL_VIDEOREF), L"cdShort0008");
    EXPECT_EQ(text(IDT_CONTROL_TITLE), L" Eight Second Countdown");
    ASSERT_TRUE(PumpUntil([&] { return text(IDT_CONTROL_STATUS) == L"Buffering"; }, 5000));
    ASSERT_TRUE(advanceUntil([&] { return text(IDT_CONTROL_STATUS) == L"Play"; }, 5000));
    EXPECT_EQ(text(IDT_CONTROL_QUALITY), L"medium");

    advance(3000);
    main->controlPanel().Poll();
    EXPECT_EQ(text(IDT_CONTROL_TIME).substr(text(IDT_CONTROL_TIME).size() - 6), L"/ 0:08");
    EXPECT_GT(::SendDlgItemMessageW(panel, IDP_CONTROL_POSITION, PBM_GETPOS, 0, 0), 0);
    EXPECT_GT(::SendDlgItemMessageW(panel, IDP_CONTROL_LOADED, PBM_GETPOS, 0, 0), 0);

    // Play on the loaded video resumes it rather than loading it again.
    size_t infoRequests = host->Targets().size();
    clipdeck::test::Click(panel, IDB_CONTROL_PAUSE);
    ASSERT_TRUE(PumpUntil([&] { return text(IDT_CONTROL_STATUS) == L"Pause"; }, 3000));
    clipdeck::test::Click(panel, IDB_CONTROL_PLAY);
    ASSERT_TRUE(advanceUntil([&] { return text(IDT_CONTROL_STATUS) == L"Play"; }, 3000));
    EXPECT_EQ(host->Targets().size(), infoRequests);

    // The end stops the player, which waits at the start; Play starts again.
    ASSERT_TRUE(advanceUntil([&] { return text(IDT_CONTROL_STATUS) == L"Go Start"; }, 15000));
    EXPECT_NE(trace().find(L"ContolDlg::onStateChange(0)"), std::wstring::npos);
    EXPECT_NE(trace().find(L"CallFunction():<invoke name=\"stopVideo\"></invoke>"), std::wstring::npos);
    clipdeck::test::Click(panel, IDB_CONTROL_PLAY);
    ASSERT_TRUE(advanceUntil([&] { return text(IDT_CONTROL_STATUS) == L"Play"; }, 5000));
}

TEST_F(PlaybackIntegrationTest, AVideoThatForbidsEmbeddingShowsErrorOneFifty) {
    play(L"cdNoEmbed01");
    ASSERT_TRUE(advanceUntil(
        [&] { return text(IDT_CONTROL_TITLE) == L"150:埋め込みプレーヤーでは再生できません."; }, 5000));
    EXPECT_NE(trace().find(L"ContolDlg::OnError(150)"), std::wstring::npos);
    EXPECT_TRUE(catcher.messages.empty());
    EXPECT_TRUE(catcher.errors.empty());
}

TEST_F(PlaybackIntegrationTest, QualityButtonOffersThePlayersLevels) {
    play(L"cdShort0008");
    ASSERT_TRUE(advanceUntil([&] { return text(IDT_CONTROL_STATUS) == L"Play"; }, 5000));
    std::vector<bool> enabled;
    clipdeck::test::RunSoon([&] {
        HWND dialog = ::FindWindowW(L"#32770", L"Quality Setting");
        ASSERT_NE(dialog, nullptr);
        for (int id = IDR_QUALITY_DEFAULT; id <= IDR_QUALITY_HD720; ++id) {
            enabled.push_back(::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE);
        }
        clipdeck::test::Click(dialog, IDR_QUALITY_SMALL);
        clipdeck::test::Click(dialog, IDOK);
    });
    clipdeck::test::Click(panel, IDB_CONTROL_QUALITY);
    EXPECT_EQ(enabled, (std::vector<bool>{true, true, true, false, false}));
    ASSERT_TRUE(advanceUntil([&] { return text(IDT_CONTROL_QUALITY) == L"small"; }, 5000));
}
