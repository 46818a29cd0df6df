// The control panel inside the real main window, with the scripted player
// control and a scripted metadata feed on loopback.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/clipdeck_dlg.h"
#include "core/environment.h"
#include "fake_player.h"
#include "res/resource.h"
#include "scripted_http_responder.h"
#include "ui_test.h"

using clipdeck::test::FakePlayer;
using clipdeck::test::HttpResponse;
using clipdeck::test::ItemText;
using clipdeck::test::ScriptedResponder;

namespace {

std::string entry(const std::string& title, int seconds) {
    return "<?xml version='1.0' encoding='UTF-8'?><entry xmlns='http://www.w3.org/2005/Atom'>"
           "<id>x</id><title type='text'>" + title + "</title><media:group><media:title type='plain'>" + title +
           "</media:title><yt:duration seconds='" + std::to_string(seconds) + "'/></media:group></entry>";
}

std::wstring invoke(const std::wstring& handler, const std::wstring& argument) {
    return L"<invoke name=\"" + handler + L"\" returntype=\"xml\"><arguments>" + argument + L"</arguments></invoke>";
}

std::wstring number(double value) {
    wchar_t text[64];
    swprintf(text, 64, L"<number>%g</number>", value);
    return text;
}

class ControlPanelTest : public testing::Test {
protected:
    static void SetUpTestSuite() { FakePlayer::Register(); }

    void SetUp() override {
        fake().Reset();
        folder = clipdeck::test::ScratchFolder() + L"\\panel-" + std::to_wstring(counter++);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        AppEnvironment().directory = folder;
        open();
    }
    void TearDown() override {
        close();
        feed.reset();
        ReleaseAppEnvironment();
        ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", nullptr);
    }

    void open() {
        main = std::make_unique<CClipdeckDlg>();
        ASSERT_TRUE(main->Create(nullptr));
        panel = main->controlPanel().hwnd();
        ASSERT_NE(panel, nullptr);
    }
    void close() {
        if (main) main->DestroyWindow();
        main.reset();
    }
    void makeReady() {
        fake().FireReadyState(4);
        fake().FireFlashCall(invoke(L"onYouTubePlayerReady", L"<string></string>"));
        fake().Reset();
    }
    void serve(int status, const std::string& body, unsigned long delayMs = 0) {
        clipdeck::test::ResponderScript script;
        script.response = HttpResponse(status, status == 200 ? "OK" : "Not Found", body);
        script.delayMs = delayMs;
        feed = std::make_unique<ScriptedResponder>(script);
        ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", feed->HostSetting().c_str());
    }
    void type(const std::wstring& text) { ::SetDlgItemTextW(panel, IDE_CONTROL_VIDEOREF, text.c_str()); }
    void click(int id) { clipdeck::test::Click(panel, id); }
    void state(long code) { fake().FireFlashCall(invoke(L"onStateChangeHandler", number(code))); }
    std::wstring text(int id) { return ItemText(panel, id); }
    std::vector<std::wstring> sent() { return fake().callFunctionRequests(); }
    std::vector<std::wstring> sentCommands() {
        // Leaves out the polling and the URL query the panel makes on its own.
        std::vector<std::wstring> commands;
        for (const auto& r : sent()) {
            if (r.find(L"name=\"get") == std::wstring::npos && r.find(L"name=\"isMuted") == std::wstring::npos &&
                r.find(L"name=\"setVolume") == std::wstring::npos) {
                commands.push_back(r);
            }
        }
        return commands;
    }
    // Loads `id` as the user would and makes the player report it playing.
    void loadAndPlay(const std::wstring& id, const std::string& title = "Plain title", int seconds = 213) {
        serve(200, entry(title, seconds));
        type(id);
        click(IDB_CONTROL_PLAY);
        fake().Reply(L"getVideoUrl", L"<string>http://www.youtube.com/watch?v=" + id + L"</string>");
        fake().Reply(L"getDuration", number(seconds));
        state(-1);
        state(3);
        state(1);
    }

    static inline int counter = 0;
    std::wstring folder;
    clipdeck::test::MessageCatcher catcher;
    std::unique_ptr<CClipdeckDlg> main;
    HWND panel = nullptr;
    std::unique_ptr<ScriptedResponder> feed;
    FakePlayer& fake() { return FakePlayer::Instance(); }
};

const std::wstring kPlay = L"<invoke name=\"playVideo\"></invoke>";
const std::wstring kStop = L"<invoke name=\"stopVideo\"></invoke>";
const std::wstring kSeekStart =
    L"<invoke name=\"seekTo\" returntype=\"xml\"><arguments><number>0</number><true/></arguments></invoke>";
std::wstring seek(const wchar_t* seconds) {
    return std::wstring(L"<invoke name=\"seekTo\" returntype=\"xml\"><arguments><number>") + seconds +
           L"</number><true/></arguments></invoke>";
}
std::wstring load(const std::wstring& id) {
    return L"<invoke name=\"loadVideoById\" returntype=\"xml\"><arguments><string>" + id +
           L"</string><number>0</number><string>default</string></arguments></invoke>";
}

}  // namespace

TEST_F(ControlPanelTest, StartsWaitingForThePlayerThenAnnouncesIt) {
    EXPECT_EQ(text(IDT_CONTROL_TITLE), L" Now player Loading ..");
    EXPECT_EQ(text(IDT_CONTROL_STATUS), L"Unload");
    EXPECT_EQ(text(IDT_CONTROL_TIME), L"");
    EXPECT_EQ(text(IDT_CONTROL_QUALITY), L"");
    EXPECT_EQ(::IsDlgButtonChecked(panel, IDX_CONTROL_FRAME), BST_CHECKED);
    EXPECT_EQ(::SendDlgItemMessageW(panel, IDK_CONTROL_VOLUME, TBM_GETPOS, 0, 0), 20);
    EXPECT_FALSE(::IsWindowVisible(main->controlPanel().player().hwnd()));
    EXPECT_TRUE(::GetWindowLongPtrW(panel, GWL_STYLE) & WS_VISIBLE);

    makeReady();
    EXPECT_EQ(text(IDT_CONTROL_TITLE), L" player Load Complete!");
    EXPECT_TRUE(::IsWindowVisible(main->controlPanel().player().hwnd()));
    EXPECT_TRUE(sent().empty());  // nothing is loaded by itself
}

TEST_F(ControlPanelTest, BadReferencesGetTheirMessageAndChangeNothing) {
    makeReady();
    click(IDB_CONTROL_PLAY);
    type(L"0123456789");
    click(IDB_CONTROL_PLAY);
    serve(404, "Video not found");
    type(L"unknownId00");
    click(IDB_CONTROL_PLAY);
    serve(200, "<entry><content>no title here</content></entry>");
    type(L"http://www.youtube.com/watch?v=notitle0000");
    click(IDB_CONTROL_PLAY);
    EXPECT_EQ(catcher.messages,
              (std::vector<std::wstring>{L"VideoID / URLが設定されていません", L"VideoID / URLの形式に誤りがあります。",
                                         L"Vidoeデータが取得できません。", L"Video titleデータが取得できません"}));
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(text(IDE_CONTROL_VIDEOREF), L"http://www.youtube.com/watch?v=notitle0000");
    EXPECT_EQ(text(IDT_CONTROL_TITLE), L" player Load Complete!");
}

TEST_F(ControlPanelTest, AWatchUrlLoadsAndIsReplacedByTheBareId) {
    makeReady();
    serve(200, entry("Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC &amp; more", 213));
    type(L"http://www.youtube.com/watch?v=cdPlain0001&feature=related");
    click(IDB_CONTROL_PLAY);
    EXPECT_TRUE(catcher.messages.empty());
    EXPECT_EQ(sent(), (std::vector<std::wstring>{load(L"cdPlain0001")}));
    EXPECT_EQ(text(IDE_CONTROL_VIDEOREF), L"cdPlain0001");
    EXPECT_EQ(text(IDT_CONTROL_TITLE), L" Café 日本 & more");
    ASSERT_EQ(feed->Requests().size(), 1u);
    EXPECT_EQ(feed->Requests()[0].rfind("GET /feeds/api/videos/cdPlain0001 HTTP/1.1", 0), 0u);
}

// A reference from a link or a later start: shown at once, loaded as if
// typed once the player is ready, and a second one given while ready loads
// at once, with the same messages as typing.
TEST_F(ControlPanelTest, AGivenReferenceWaitsForThePlayerAndLoadsAsTyped) {
    serve(200, entry("Given", 30));
    main->controlPanel().LoadReference(L"http://www.youtube.com/watch?v=cdGiven0001");
    clipdeck::test::PumpMessages();
    EXPECT_EQ(text(IDE_CONTROL_VIDEOREF), L"http://www.youtube.com/watch?v=cdGiven0001");
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(feed->Requests().empty());

    makeReady();
    clipdeck::test::PumpMessages();
    EXPECT_EQ(sent(), (std::vector<std::wstring>{load(L"cdGiven0001")}));
    EXPECT_EQ(text(IDE_CONTROL_VIDEOREF), L"cdGiven0001");
    EXPECT_EQ(text(IDT_CONTROL_TITLE), L" Given");

    fake().Reset();
    main->controlPanel().LoadReference(L"not an id");
    clipdeck::test::PumpMessages();
    EXPECT_EQ(catcher.messages, (std::vector<std::wstring>{L"VideoID / URLの形式に誤りがあります。"}));
    EXPECT_TRUE(sent().empty());
}

TEST_F(ControlPanelTest, PlayTwiceLoadsThenResumesAndACuedVideoStartsFromTheBeginning) {
    makeReady();
    loadAndPlay(L"cdPlain0001");
    EXPECT_EQ(text(IDT_CONTROL_STATUS), L"Play");
    fake().Reset();
    fake().Reply(L"getVideoUrl", L"<string>http://www.youtube.com/watch?v=cdPlain0001</string>");
    click(IDB_CONTROL_PLAY);
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{kPlay}));

    state(5);
    EXPECT_EQ(text(IDT_CONTROL_STATUS), L"Go Start");
    fake().Reset();
    fake().Reply(L"getVideoUrl", L"<string>http://www.youtube.com/watch?v=cdPlain0001</string>");
    click(IDB_CONTROL_PLAY);
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{kSeekStart}));

    // The URL of the loaded video in the box differs from the bare ID: it loads again.
    fake().Reset();
    fake().Reply(L"getVideoUrl", L"<string>http://www.youtube.com/watch?v=cdPlain0001</string>");
    serve(200, entry("Plain title", 213));
    type(L"http://www.youtube.com/watch?v=cdPlain0001");
    click(IDB_CONTROL_PLAY);
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{load(L"cdPlain0001")}));
}

TEST_F(ControlPanelTest, EndOfAVideoStopsItAndShowsTheStates) {
    makeReady();
    loadAndPlay(L"cdPlain0001");
    fake().Reset();
    state(2);
    EXPECT_EQ(text(IDT_CONTROL_STATUS), L"Pause");
    state(3);
    EXPECT_EQ(text(IDT_CONTROL_STATUS), L"Buffering");
    state(0);
    EXPECT_EQ(text(IDT_CONTROL_STATUS), L"End");
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{kStop}));
    state(7);
    EXPECT_EQ(text(IDT_CONTROL_STATUS), L"");
}

TEST_F(ControlPanelTest, SeekButtonsStayInsideTheVideo) {
    makeReady();
    loadAndPlay(L"cdPlain0001");
    fake().Reset();
    fake().Reply(L"getDuration", number(213));
    fake().Reply(L"getCurrentTime", number(6.5));
    click(IDB_CONTROL_BACK);
    click(IDB_CONTROL_FORWARD);
    fake().Reply(L"getCurrentTime", number(190));
    click(IDB_CONTROL_FORWARD);
    click(IDB_CONTROL_NEXT);
    click(IDB_CONTROL_TOSTART);
    click(IDB_CONTROL_PAUSE);
    EXPECT_EQ(sentCommands(),
              (std::vector<std::wstring>{seek(L"0.000"), seek(L"36.500"), seek(L"212.500"), seek(L"212.500"),
                                         kSeekStart, L"<invoke name=\"pauseVideo\"></invoke>"}));
}

TEST_F(ControlPanelTest, TheTimerDrawsTimeBarsAndVolumeOnlyWhenTheyChange) {
    makeReady();
    loadAndPlay(L"cdPlain0001");
    fake().Reset();
    fake().Reply(L"getCurrentTime", number(65.9));
    fake().Reply(L"getDuration", number(213));
    fake().Reply(L"getVideoBytesLoaded", number(500));
    fake().Reply(L"getVideoStartBytes", number(500));
    fake().Reply(L"getVideoBytesTotal", number(1500));
    fake().Reply(L"getVolume", number(80));
    main->controlPanel().Poll();
    EXPECT_EQ(text(IDT_CONTROL_TIME), L"1:05 / 3:33");
    EXPECT_EQ(::SendDlgItemMessageW(panel, IDP_CONTROL_POSITION, PBM_GETPOS, 0, 0), 30);
    EXPECT_EQ(::SendDlgItemMessageW(panel, IDP_CONTROL_LOADED, PBM_GETPOS, 0, 0), 50);
    EXPECT_EQ(text(IDT_CONTROL_VOLUME), L"80");
    for (const auto& r : sent()) EXPECT_EQ(r.find(L"setVolume"), std::wstring::npos);

    // Slider moved: the player gets the new volume at the next tick.
    ::SendDlgItemMessageW(panel, IDK_CONTROL_VOLUME, TBM_SETPOS, TRUE, 35);
    main->controlPanel().Poll();
    EXPECT_EQ(text(IDT_CONTROL_VOLUME), L"65");
    EXPECT_EQ(sent().back(),
              L"<invoke name=\"setVolume\" returntype=\"xml\"><arguments><number>65</number></arguments></invoke>");

    // Before the metadata is known the duration reads below zero.
    fake().Reply(L"getDuration", number(-1));
    main->controlPanel().Poll();
    EXPECT_EQ(text(IDT_CONTROL_TIME), L"-:--/-:--");
    EXPECT_EQ(::SendDlgItemMessageW(panel, IDP_CONTROL_POSITION, PBM_GETPOS, 0, 0), 0);
}

TEST_F(ControlPanelTest, MuteHoldsTheVolumeBackUntilUnticked) {
    makeReady();
    loadAndPlay(L"cdPlain0001");
    fake().Reset();
    fake().Reply(L"isMuted", L"<false/>");
    fake().Reply(L"getVolume", number(80));
    click(IDX_CONTROL_MUTE);
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{L"<invoke name=\"mute\"></invoke>"}));
    ::SendDlgItemMessageW(panel, IDK_CONTROL_VOLUME, TBM_SETPOS, TRUE, 50);
    main->controlPanel().Poll();
    EXPECT_EQ(text(IDT_CONTROL_VOLUME), L"0");
    for (const auto& r : sent()) EXPECT_EQ(r.find(L"Volume"), std::wstring::npos);

    fake().Reply(L"isMuted", L"<true/>");
    click(IDX_CONTROL_MUTE);
    EXPECT_EQ(sentCommands().back(), L"<invoke name=\"unMute\"></invoke>");
    main->controlPanel().Poll();
    EXPECT_EQ(text(IDT_CONTROL_VOLUME), L"50");
    EXPECT_EQ(sent().back(),
              L"<invoke name=\"setVolume\" returntype=\"xml\"><arguments><number>50</number></arguments></invoke>");
}

TEST_F(ControlPanelTest, PlayerErrorsShowInTheTitleLineOnly) {
    makeReady();
    loadAndPlay(L"cdPlain0001");
    fake().Reset();
    fake().FireFlashCall(invoke(L"onErrorHandler", number(150)));
    EXPECT_EQ(text(IDT_CONTROL_TITLE), L"150:埋め込みプレーヤーでは再生できません.");
    EXPECT_EQ(text(IDT_CONTROL_STATUS), L"Play");
    EXPECT_TRUE(sentCommands().empty());
    fake().FireFlashCall(invoke(L"onErrorHandler", number(101)));
    EXPECT_EQ(text(IDT_CONTROL_TITLE), L"101:埋め込みプレーヤーでは再生できません.");
    fake().FireFlashCall(invoke(L"onPlaybackQualityChangeHandler", L"<string>large</string>"));
    EXPECT_EQ(text(IDT_CONTROL_QUALITY), L"large");
}

TEST_F(ControlPanelTest, TheBoxTextAndThePlayerPlaceSurviveARestart) {
    makeReady();
    HWND player = main->controlPanel().player().hwnd();
    ::SetWindowPos(player, nullptr, -900, -150, 400, 300, SWP_NOZORDER);
    type(L"http://www.youtube.com/watch?v=notLoaded00");
    close();
    std::wstring ini = folder + L"\\Clipdeck.ini";
    wchar_t value[300];
    ::GetPrivateProfileStringW(L"SYSTEM", L"VIDEOID", L"", value, 300, ini.c_str());
    EXPECT_STREQ(value, L"http://www.youtube.com/watch?v=notLoaded00");
    EXPECT_EQ(::GetPrivateProfileIntW(L"PLAYER", L"POS_LEFT", 0, ini.c_str()), -900);
    EXPECT_EQ(::GetPrivateProfileIntW(L"PLAYER", L"POS_BOTTOM", 0, ini.c_str()), 150);

    open();
    EXPECT_EQ(text(IDE_CONTROL_VIDEOREF), L"http://www.youtube.com/watch?v=notLoaded00");
    RECT r{};
    ::GetWindowRect(main->controlPanel().player().hwnd(), &r);
    EXPECT_EQ(r.left, -900);
    EXPECT_EQ(r.top, -150);
    EXPECT_EQ(r.right - r.left, 400);
}

TEST_F(ControlPanelTest, ASilentFeedReleasesThePanelWithinTheTimeOut) {
    makeReady();
    clipdeck::test::ResponderScript script;
    script.holdOpen = true;  // accepts and never answers
    feed = std::make_unique<ScriptedResponder>(script);
    ::SetEnvironmentVariableW(L"CLIPDECK_FEED_HOST", feed->HostSetting().c_str());
    type(L"cdSilent001");
    DWORD start = ::GetTickCount();
    click(IDB_CONTROL_PLAY);
    DWORD elapsed = ::GetTickCount() - start;
    EXPECT_LT(elapsed, 15000u);
    EXPECT_EQ(catcher.messages, (std::vector<std::wstring>{L"Vidoeデータが取得できません。"}));
    EXPECT_TRUE(sent().empty());
}

TEST_F(ControlPanelTest, FrameTopMostAndAspectReachThePlayerWindow) {
    makeReady();
    CPlayerDlg& player = main->controlPanel().player();
    click(IDX_CONTROL_FRAME);
    EXPECT_FALSE(player.Style() & WS_THICKFRAME);
    click(IDX_CONTROL_FRAME);
    EXPECT_TRUE(player.Style() & WS_THICKFRAME);
    click(IDX_CONTROL_TOPMOST);
    EXPECT_TRUE(player.ExStyle() & WS_EX_TOPMOST);
    click(IDB_CONTROL_ASPECT43);
    RECT c = player.ClientRect();
    EXPECT_LE(std::abs(c.right * 3 - c.bottom * 4), 4);
    click(IDB_CONTROL_ASPECT169);
    c = player.ClientRect();
    EXPECT_LE(std::abs(c.right * 9 - c.bottom * 16), 16);
}

// --- the favourites and the history ---------------------------------------

namespace {

VideoItem favorite(const std::wstring& id, const std::wstring& title, int duration, int volume, int start,
                   int end) {
    VideoItem item;
    item.videoId = id;
    item.title = title;
    item.duration = duration;
    item.volume = volume;
    item.startPos = start;
    item.endPos = end;
    return item;
}

std::wstring loadAt(const std::wstring& id, int start) {
    return L"<invoke name=\"loadVideoById\" returntype=\"xml\"><arguments><string>" + id + L"</string><number>" +
           std::to_wstring(start) + L"</number><string>default</string></arguments></invoke>";
}

}  // namespace

class ListPlayTest : public ControlPanelTest {
protected:
    // Three favourites, top to bottom: A, B (ends 20 s early), C.
    void addThree() {
        FavoriteStore& f = main->controlPanel().favorites().favorites();
        f.AddItem(favorite(L"cdListC0001", L"Third", 120, 40, 0, 0));
        f.AddItem(favorite(L"cdListB0001", L"Second", 180, 60, 5, 20));
        f.AddItem(favorite(L"cdListA0001", L"First", 90, 80, 10, 0));
    }
    int currentIndex() { return main->controlPanel().favorites().favorites().currentIndex(); }
    bool listPlayTicked() { return ::IsDlgButtonChecked(panel, IDX_CONTROL_LISTPLAY) == BST_CHECKED; }
    int sliderPos() { return static_cast<int>(::SendDlgItemMessageW(panel, IDK_CONTROL_VOLUME, TBM_GETPOS, 0, 0)); }
    std::vector<std::wstring> historyIds() {
        std::vector<std::wstring> ids;
        for (const auto& item : main->controlPanel().history().history().items()) ids.push_back(item.videoId);
        return ids;
    }
};

TEST_F(ListPlayTest, RunsTheFavouritesInOrderEachWithItsOwnSettingsAndStopsAfterTheLast) {
    makeReady();
    addThree();
    click(IDX_CONTROL_LISTPLAY);
    EXPECT_TRUE(listPlayTicked());
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{kStop, loadAt(L"cdListA0001", 10)}));
    EXPECT_EQ(text(IDE_CONTROL_VIDEOREF), L"cdListA0001");
    EXPECT_EQ(text(IDT_CONTROL_TITLE), L" First");
    EXPECT_EQ(sliderPos(), 20);
    EXPECT_EQ(currentIndex(), 0);

    fake().Reset();
    state(1);
    // The second favourite ends 20 seconds early: at 161 of 180 s it counts as ended.
    state(0);
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{kStop, loadAt(L"cdListB0001", 5)}));
    EXPECT_EQ(sliderPos(), 40);
    fake().Reset();
    fake().Reply(L"getDuration", number(180));
    fake().Reply(L"getCurrentTime", number(161));
    state(1);
    main->controlPanel().Poll();
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{kStop, loadAt(L"cdListC0001", 0)}));
    EXPECT_EQ(currentIndex(), 2);

    // After the last one list play ends and the player is left alone.
    fake().Reset();
    state(0);
    EXPECT_FALSE(listPlayTicked());
    EXPECT_EQ(currentIndex(), -1);
    EXPECT_TRUE(sentCommands().empty());
    EXPECT_EQ(historyIds(), (std::vector<std::wstring>{L"cdListC0001", L"cdListB0001", L"cdListA0001"}));
}

TEST_F(ListPlayTest, NextOnTheLastFavouriteSeeksToTheEndAndPrvStopsAtTheFirst) {
    makeReady();
    addThree();
    click(IDX_CONTROL_LISTPLAY);
    fake().Reset();
    click(IDB_CONTROL_PREV);  // on the first: nothing
    EXPECT_TRUE(sentCommands().empty());
    click(IDB_CONTROL_NEXT);
    click(IDB_CONTROL_NEXT);
    EXPECT_EQ(currentIndex(), 2);
    click(IDB_CONTROL_PREV);
    EXPECT_EQ(sentCommands().back(), loadAt(L"cdListB0001", 5));
    click(IDB_CONTROL_NEXT);
    fake().Reset();
    fake().Reply(L"getDuration", number(120));
    click(IDB_CONTROL_NEXT);
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{seek(L"119.500")}));
    EXPECT_EQ(currentIndex(), -1);
    EXPECT_TRUE(listPlayTicked());
    // The end that follows starts the first favourite again.
    fake().Reset();
    state(0);
    EXPECT_EQ(sentCommands(), (std::vector<std::wstring>{kStop, loadAt(L"cdListA0001", 10)}));
}

TEST_F(ListPlayTest, AnEmptyListUnticksTheBoxAndUntickingClearsThePosition) {
    makeReady();
    click(IDX_CONTROL_LISTPLAY);
    EXPECT_FALSE(listPlayTicked());
    EXPECT_TRUE(sentCommands().empty());
    addThree();
    click(IDX_CONTROL_LISTPLAY);
    EXPECT_EQ(currentIndex(), 0);
    click(IDX_CONTROL_LISTPLAY);
    EXPECT_EQ(currentIndex(), -1);
    fake().Reset();
    click(IDB_CONTROL_PREV);  // without list play: nothing
    EXPECT_TRUE(sentCommands().empty());
}

TEST_F(ListPlayTest, ATypedVideoBecomesTheNewestHistoryEntryWithItsLength) {
    makeReady();
    loadAndPlay(L"cdPlain0001", "Plain title", 3725);
    const auto& items = main->controlPanel().history().history().items();
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0].videoId, L"cdPlain0001");
    EXPECT_EQ(items[0].title, L"Plain title");
    EXPECT_EQ(items[0].duration, 3725);
}

// The first time, a list window shows beside the main window, covering
// neither it nor the player window nor the other list, inside the work area;
// after that where the user left it, in this run and the next.
TEST_F(ListPlayTest, AListWindowShowsBesideTheMainWindowFirstThenWhereItWasLeft) {
    makeReady();
    auto rectOf = [](HWND w) {
        RECT r{};
        ::GetWindowRect(w, &r);
        return r;
    };
    auto apart = [](const RECT& a, const RECT& b) {
        RECT both{};
        return !::IntersectRect(&both, &a, &b);
    };
    HWND favorites = main->controlPanel().favorites().hwnd();
    HWND history = main->controlPanel().history().hwnd();
    HWND player = main->controlPanel().player().hwnd();
    ASSERT_TRUE(::IsWindowVisible(player));
    // The test desktop is small (1024 x 768): the player window in its
    // bottom right corner leaves room beside the main window.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(main->hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT p = rectOf(player);
    ::SetWindowPos(player, nullptr, monitor.rcWork.right - (p.right - p.left), monitor.rcWork.bottom - (p.bottom - p.top),
                   0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    click(IDB_CONTROL_FAVORITE);
    click(IDB_CONTROL_HISTORY);
    ASSERT_TRUE(::IsWindowVisible(favorites));
    ASSERT_TRUE(::IsWindowVisible(history));
    for (HWND list : {favorites, history}) {
        const RECT r = rectOf(list);
        EXPECT_TRUE(apart(r, rectOf(main->hwnd())));
        EXPECT_TRUE(apart(r, rectOf(player)));
        RECT inside{};
        ::IntersectRect(&inside, &r, &monitor.rcWork);
        EXPECT_TRUE(::EqualRect(&inside, &r));
    }

    // Moved, hidden by Esc and shown again: where it was left.
    ::SetWindowPos(favorites, nullptr, 33, 44, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ::SendMessageW(favorites, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(::IsWindowVisible(favorites));
    click(IDB_CONTROL_FAVORITE);
    EXPECT_EQ(rectOf(favorites).left, 33);
    EXPECT_EQ(rectOf(favorites).top, 44);
    const RECT historyWas = rectOf(history);

    close();
    open();
    favorites = main->controlPanel().favorites().hwnd();
    history = main->controlPanel().history().hwnd();
    EXPECT_EQ(rectOf(favorites).left, 33);
    EXPECT_EQ(rectOf(favorites).top, 44);
    click(IDB_CONTROL_HISTORY);
    EXPECT_EQ(rectOf(history).left, historyWas.left);
    EXPECT_EQ(rectOf(history).top, historyWas.top);
}

namespace {

// The top-level dialogs of this thread whose caption starts with `caption`
// (the list windows add their item count once they have loaded).
int windowsCaptioned(const wchar_t* caption) {
    struct Search {
        const wchar_t* caption;
        int found = 0;
    } search{caption};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t text[64] = {};
            ::GetWindowTextW(window, text, 64);
            if (std::wstring(text).rfind(s->caption, 0) == 0) ++s->found;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

// The list windows are made shortly after the main window is drawn, so they
// do not hold up its first showing; anything that needs them earlier makes
// them then, and never twice.
TEST_F(ControlPanelTest, TheListWindowsComeOnceWhenTheQueueRunsOrWhenFirstNeeded) {
    EXPECT_EQ(windowsCaptioned(L"Favorite"), 0);
    EXPECT_EQ(windowsCaptioned(L"History"), 0);
    EXPECT_TRUE(clipdeck::test::PumpUntil([] { return windowsCaptioned(L"Favorite") > 0; }, 5000));
    EXPECT_EQ(windowsCaptioned(L"Favorite"), 1);
    EXPECT_EQ(windowsCaptioned(L"History"), 1);
    EXPECT_FALSE(::IsWindowVisible(main->controlPanel().favorites().hwnd()));

    close();
    open();
    click(IDB_CONTROL_FAVORITE);  // before the timer has run
    EXPECT_TRUE(::IsWindowVisible(main->controlPanel().favorites().hwnd()));
    clipdeck::test::PumpUntil([] { return false; }, 200);  // the timer comes and goes
    EXPECT_EQ(windowsCaptioned(L"Favorite"), 1);
    EXPECT_EQ(windowsCaptioned(L"History"), 1);
    EXPECT_TRUE(::IsWindowVisible(main->controlPanel().favorites().hwnd()));
}

// Closed before the list windows were made, the program has read no list,
// so it must write none over the files either.
TEST_F(ControlPanelTest, ClosingBeforeTheListWindowsExistLeavesTheListFilesAlone) {
    close();
    const std::wstring favorites = folder + L"\\" + kFavoritesFile;
    const std::wstring history = folder + L"\\" + kHistoryFile;
    ::WritePrivateProfileStringW(L"FAVORITE", L"KEEP", L"this line stays", favorites.c_str());
    ::WritePrivateProfileStringW(L"HISTORY", L"KEEP", L"this line stays", history.c_str());
    auto contents = [](const std::wstring& path) {
        std::string text;
        if (FILE* in = _wfopen(path.c_str(), L"rb")) {
            char buffer[4096];
            for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, n);
            std::fclose(in);
        }
        return text;
    };
    const std::string favoritesBefore = contents(favorites);
    const std::string historyBefore = contents(history);
    ASSERT_FALSE(favoritesBefore.empty());

    open();
    close();
    EXPECT_EQ(contents(favorites), favoritesBefore);
    EXPECT_EQ(contents(history), historyBefore);
    EXPECT_EQ(windowsCaptioned(L"Favorite"), 0);
}
