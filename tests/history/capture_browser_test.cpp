// Browser capture against real browser windows in other processes: Wine's
// own Internet Explorer, and a stand-in for Chrome (chrome.exe, built beside
// this test). The history entries come from the local service through the
// real metadata fetch; run-with-service.sh starts it and names it in
// CLIPDECK_FEED_HOST.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chrome_standin.h"
#include "core/environment.h"
#include "history/history_dlg.h"
#include "history/web_capture.h"
#include "res/resource.h"
#include "remote_ui.h"
#include "videoinfo/video_info_fetch.h"

namespace {

using remote_ui::PollUntil;

// A catalogue video of the local service.
constexpr wchar_t kVideoId[] = L"cdPlain0002";
constexpr wchar_t kVideoTitle[] = L"Bicycle Repair Basics: Fixing a Flat Tyre";
constexpr int kVideoSeconds = 487;
constexpr wchar_t kOtherVideoId[] = L"cdJapan0001";
constexpr wchar_t kOtherVideoTitle[] = L"東京の夜景タイムラプス";
constexpr int kOtherVideoSeconds = 180;

std::wstring WatchAddress(const std::wstring& id) { return L"http://www.youtube.com/watch?v=" + id; }

// Steps that a capture should need at most once a window shows its address
// (one is enough; the rest allow for a slow browser start).
constexpr int kStepsToCapture = 40;
constexpr DWORD kStepPauseMs = 100;

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring EnvironmentValue(const wchar_t* name) {
    wchar_t value[256] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 256);
    return length > 0 && length < 256 ? std::wstring(value) : std::wstring();
}

// What the history dialog does with each reported address, kept for the
// test: the address itself and the entry it would add.
class Recorder : public CCaptureStreamIDListener {
public:
    explicit Recorder(CWebCapture& capture) : capture_(capture) { capture_.AddListener(this); }
    ~Recorder() { capture_.RemoveListener(this); }

    void OnAddressCaptured(const std::wstring& address) override {
        addresses.push_back(address);
        if (std::optional<VideoItem> item = HistoryItemFromAddress(address, FetchVideoInfo)) items.push_back(*item);
    }

    std::vector<std::wstring> addresses;
    std::vector<VideoItem> items;

private:
    CWebCapture& capture_;
};

// Runs capture steps, as the timer would, until `done` holds; false when it
// never does within `steps`.
bool StepUntil(CWebCapture& capture, bool ie, bool chrome, const std::function<bool()>& done,
               int steps = kStepsToCapture) {
    for (int i = 0; i < steps; ++i) {
        capture.Step(ie, chrome);
        if (done()) return true;
        ::Sleep(kStepPauseMs);
    }
    return false;
}

void Steps(CWebCapture& capture, bool ie, bool chrome, int count) {
    for (int i = 0; i < count; ++i) capture.Step(ie, chrome);
}

bool MakeForeground(HWND window) {
    return PollUntil(
        [window] {
            if (::GetForegroundWindow() == window) return true;
            ::SetForegroundWindow(window);
            return ::GetForegroundWindow() == window;
        },
        10000);
}

HWND TopLevelOfClass(DWORD pid, const wchar_t* className) {
    for (HWND window : remote_ui::TopLevelWindows(pid)) {
        if (remote_ui::ClassOf(window) == className && ::IsWindowVisible(window)) return window;
    }
    return nullptr;
}

// A visible window of this test's own process: "another program" in the
// foreground.
class OwnWindow {
public:
    OwnWindow() {
        window_ = ::CreateWindowExW(0, L"Static", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                    100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~OwnWindow() { ::DestroyWindow(window_); }
    HWND hwnd() const { return window_; }

private:
    HWND window_;
};

// --- the Chrome stand-in -------------------------------------------------

class ChromeStandIn {
public:
    explicit ChromeStandIn(const std::wstring& address) : program_(ExeFolder() + L"\\chrome.exe", address) {
        const DWORD pid = program_.Pid();
        PollUntil([&] { return (frame_ = TopLevelOfClass(pid, kFrameClass)) != nullptr; }, 20000);
        if (!frame_) throw remote_ui::Failure("the Chrome stand-in showed no window");
        for (HWND child : remote_ui::ChildWindows(frame_)) {
            if (remote_ui::ClassOf(child) == kAddressClass && ::GetDlgCtrlID(child) == kAddressControlId)
                address_ = child;
        }
        if (!address_) throw remote_ui::Failure("the Chrome stand-in has no address bar");
        hanging_ = ::OpenEventW(SYNCHRONIZE, FALSE, HangingEventName(pid).c_str());
        release_ = ::OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, ReleaseEventName(pid).c_str());
    }
    ~ChromeStandIn() {
        Release();
        if (hanging_) ::CloseHandle(hanging_);
        if (release_) ::CloseHandle(release_);
    }

    HWND frame() const { return frame_; }
    HWND addressBar() const { return address_; }
    bool Foreground() const { return MakeForeground(frame_); }
    // The browser navigates: its address bar shows `text`.
    bool Show(const std::wstring& text) const { return remote_ui::WriteText(address_, text); }

    // The window stops answering; true once it has.
    bool Hang() const {
        ::PostMessageW(frame_, kHangMessage, 0, 0);
        return hanging_ && ::WaitForSingleObject(hanging_, 10000) == WAIT_OBJECT_0;
    }
    bool StillHanging() const { return ::WaitForSingleObject(release_, 0) == WAIT_TIMEOUT; }
    void Release() const {
        if (release_) ::SetEvent(release_);
    }
    void Close() { program_.Kill(); }

private:
    remote_ui::Program program_;
    HWND frame_ = nullptr;
    HWND address_ = nullptr;
    HANDLE hanging_ = nullptr;
    HANDLE release_ = nullptr;
};

class ChromeCapture : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(EnvironmentValue(L"CLIPDECK_FEED_HOST").empty()); }

    bool CaptureOne(bool ie = false, bool chrome = true) {
        const size_t before = recorder.addresses.size();
        return StepUntil(capture, ie, chrome, [&] { return recorder.addresses.size() > before; });
    }

    CWebCapture capture;
    Recorder recorder{capture};
};

TEST_F(ChromeCapture, AVideoPageBecomesAnEntryAndItsSchemeIsRestored) {
    ChromeStandIn chrome(L"www.youtube.com/watch?v=" + std::wstring(kVideoId));
    ASSERT_TRUE(chrome.Foreground());
    ASSERT_TRUE(CaptureOne());
    EXPECT_TRUE(capture.state().addressBarFound);
    EXPECT_EQ(capture.state().addressBar.window, chrome.addressBar());
    EXPECT_EQ(capture.state().processName, L"CHROME.EXE");
    EXPECT_EQ(recorder.addresses, std::vector<std::wstring>{WatchAddress(kVideoId)});
    ASSERT_EQ(recorder.items.size(), 1u);
    EXPECT_EQ(recorder.items[0].videoId, kVideoId);
    EXPECT_EQ(recorder.items[0].title, kVideoTitle);
    EXPECT_EQ(recorder.items[0].duration, kVideoSeconds);

    // The same page again, however it is written, is not news.
    Steps(capture, false, true, 3);
    ASSERT_TRUE(chrome.Show(WatchAddress(kVideoId)));
    Steps(capture, false, true, 3);
    EXPECT_EQ(recorder.addresses.size(), 1u);

    // Another video is.
    ASSERT_TRUE(chrome.Show(L"www.youtube.com/watch?v=" + std::wstring(kOtherVideoId) + L"&feature=related"));
    ASSERT_TRUE(CaptureOne());
    ASSERT_EQ(recorder.items.size(), 2u);
    EXPECT_EQ(recorder.items[1].videoId, kOtherVideoId);
    EXPECT_EQ(recorder.items[1].title, kOtherVideoTitle);
    EXPECT_EQ(recorder.items[1].duration, kOtherVideoSeconds);
}

// The history window as the program runs it: its own timer steps the
// capture, and a video in the foreground browser becomes its top row.
TEST_F(ChromeCapture, TheHistoryWindowRecordsTheForegroundBrowsersVideo) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    AppEnvironment().directory = std::wstring(temp) + L"clipdeck-capture-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(AppEnvironment().directory.c_str(), nullptr);
    CHistoryDlg history;
    ASSERT_TRUE(history.Create(::GetDesktopWindow()));
    ::CheckDlgButton(history.hwnd(), IDX_HISTORY_CHROME, BST_CHECKED);
    ChromeStandIn chrome(L"www.youtube.com/watch?v=" + std::wstring(kVideoId));
    ASSERT_TRUE(chrome.Foreground());
    const DWORD start = ::GetTickCount();
    while (history.history().count() == 0 && ::GetTickCount() - start < 20000) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(20);
    }
    ASSERT_EQ(history.history().count(), 1);
    EXPECT_EQ(history.history().items()[0].videoId, kVideoId);
    EXPECT_EQ(history.history().items()[0].title, kVideoTitle);
    EXPECT_EQ(history.history().items()[0].duration, kVideoSeconds);
    history.DestroyWindow();
    ReleaseAppEnvironment();
}

TEST_F(ChromeCapture, PagesThatAreNoKnownVideoAreReportedButAddNothing) {
    ChromeStandIn chrome(L"www.youtube.com/user/someone");
    ASSERT_TRUE(chrome.Foreground());
    ASSERT_TRUE(CaptureOne());
    for (const std::wstring text :
         {L"https://www.youtube.com/watch?v=cdPlain0001", L"www.youtube.com/watch?v=cdMissing01",
          L"www.youtube.com/watch?v=cdPrivate01", L"cats www.youtube.com/"}) {
        ASSERT_TRUE(chrome.Show(text));
        ASSERT_TRUE(CaptureOne()) << text;
    }
    EXPECT_EQ(recorder.addresses,
              (std::vector<std::wstring>{L"http://www.youtube.com/user/someone",
                                         L"https://www.youtube.com/watch?v=cdPlain0001",
                                         L"http://www.youtube.com/watch?v=cdMissing01",
                                         L"http://www.youtube.com/watch?v=cdPrivate01", L"cats www.youtube.com/"}));
    EXPECT_TRUE(recorder.items.empty());
}

TEST_F(ChromeCapture, OnlyTheTickedBrowserIsWatchedAndUntickingBothStartsAfresh) {
    ChromeStandIn chrome(L"www.youtube.com/watch?v=" + std::wstring(kVideoId));
    ASSERT_TRUE(chrome.Foreground());
    Steps(capture, true, false, 5);
    EXPECT_TRUE(recorder.addresses.empty());
    EXPECT_FALSE(capture.state().addressBarFound);
    EXPECT_EQ(capture.state().browserWindow, chrome.frame());  // looked at, but not a browser that is ticked

    Steps(capture, false, false, 5);
    EXPECT_EQ(capture.state().browserWindow, nullptr);
    EXPECT_TRUE(recorder.addresses.empty());

    ASSERT_TRUE(CaptureOne(true, true));
    // Both boxes unticked forgets the last address, so ticking one again
    // reports the page still shown once more.
    Steps(capture, false, false, 2);
    EXPECT_EQ(capture.GetAddress(), L"");
    EXPECT_FALSE(capture.state().addressBarFound);
    ASSERT_TRUE(CaptureOne());
    Steps(capture, false, true, 3);
    EXPECT_EQ(recorder.addresses, std::vector<std::wstring>(2, WatchAddress(kVideoId)));
    EXPECT_EQ(recorder.items.size(), 2u);
}

TEST_F(ChromeCapture, ComingBackToTheBrowserShowingTheSameAddressReportsNothing) {
    ChromeStandIn chrome(L"www.youtube.com/watch?v=" + std::wstring(kVideoId));
    ASSERT_TRUE(chrome.Foreground());
    ASSERT_TRUE(CaptureOne());
    OwnWindow other;
    ASSERT_TRUE(MakeForeground(other.hwnd()));
    Steps(capture, false, true, 2);
    EXPECT_EQ(capture.state().browserWindow, other.hwnd());
    EXPECT_FALSE(capture.state().addressBarFound);
    ASSERT_TRUE(chrome.Foreground());
    Steps(capture, false, true, 3);
    EXPECT_TRUE(capture.state().addressBarFound);
    EXPECT_EQ(recorder.addresses.size(), 1u);
    // While away, the browser moved on: the next visit reports the new page.
    ASSERT_TRUE(MakeForeground(other.hwnd()));
    Steps(capture, false, true, 2);
    ASSERT_TRUE(chrome.Show(L"www.youtube.com/watch?v=" + std::wstring(kOtherVideoId)));
    ASSERT_TRUE(chrome.Foreground());
    ASSERT_TRUE(CaptureOne());
    EXPECT_EQ(recorder.addresses.back(), WatchAddress(kOtherVideoId));
}

TEST_F(ChromeCapture, AnAddressBarIsLookedForAgainUntilItShowsAnAddress) {
    ChromeStandIn chrome(L"New Tab");
    ASSERT_TRUE(chrome.Foreground());
    Steps(capture, false, true, 3);
    EXPECT_FALSE(capture.state().addressBarFound);
    EXPECT_FALSE(capture.state().childrenListed);  // listed again on the next step
    // The decoys (hidden, disabled) were passed over; the visible bar was listed.
    bool listedBar = false;
    for (const ChildWindowInfo& child : capture.state().children) {
        EXPECT_NE(child.text, L"www.hidden.example/");
        EXPECT_NE(child.text, L"www.disabled.example/");
        EXPECT_FALSE(child.text.empty());
        if (child.window == chrome.addressBar()) {
            listedBar = true;
            EXPECT_EQ(child.className, kAddressClass);
            EXPECT_EQ(child.controlId, kAddressControlId);
            EXPECT_EQ(child.text, L"New Tab");
        }
    }
    EXPECT_TRUE(listedBar);
    EXPECT_TRUE(recorder.addresses.empty());

    ASSERT_TRUE(chrome.Show(L"www.youtube.com/watch?v=" + std::wstring(kVideoId)));
    ASSERT_TRUE(CaptureOne());
    EXPECT_EQ(recorder.addresses, std::vector<std::wstring>{WatchAddress(kVideoId)});
    ASSERT_EQ(recorder.items.size(), 1u);
}

TEST_F(ChromeCapture, AnAddressIsReadUpTo511Characters) {
    const std::wstring text = L"www.youtube.com/watch?v=" + std::wstring(kVideoId) + L"&list=" + std::wstring(600, L'x');
    ChromeStandIn chrome(L"www.youtube.com/");
    ASSERT_TRUE(chrome.Foreground());
    ASSERT_TRUE(CaptureOne());
    ASSERT_TRUE(chrome.Show(text));
    ASSERT_TRUE(CaptureOne());
    EXPECT_EQ(recorder.addresses.back(), L"http://" + text.substr(0, 511));
    ASSERT_EQ(recorder.items.size(), 1u);
    EXPECT_EQ(recorder.items[0].videoId, kVideoId);
}

TEST_F(ChromeCapture, AClosedBrowserEndsTheWatchSilently) {
    auto chrome = std::make_unique<ChromeStandIn>(L"www.youtube.com/watch?v=" + std::wstring(kVideoId));
    ASSERT_TRUE(chrome->Foreground());
    ASSERT_TRUE(CaptureOne());
    chrome->Close();
    Steps(capture, false, true, 5);
    EXPECT_EQ(recorder.addresses.size(), 1u);
    EXPECT_FALSE(::IsWindow(capture.state().addressBar.window));
}

// A browser that stops answering: each step gives up on it and returns while
// it still hangs, and capture carries on once it answers again.
TEST_F(ChromeCapture, AHungBrowserDoesNotHoldUpTheSteps) {
    ChromeStandIn chrome(L"www.youtube.com/watch?v=" + std::wstring(kVideoId));
    ASSERT_TRUE(chrome.Foreground());
    ASSERT_TRUE(CaptureOne());
    ASSERT_TRUE(chrome.Show(L"www.youtube.com/watch?v=" + std::wstring(kOtherVideoId)));
    ASSERT_TRUE(chrome.Hang());
    Steps(capture, false, true, 2);
    EXPECT_TRUE(chrome.StillHanging());
    EXPECT_EQ(recorder.addresses.size(), 1u);  // the new address could not be read

    chrome.Release();
    ASSERT_TRUE(CaptureOne());
    EXPECT_EQ(recorder.addresses.back(), WatchAddress(kOtherVideoId));
}

TEST_F(ChromeCapture, AHungBrowserComingToTheForegroundIsListedWithoutWaitingForIt) {
    ChromeStandIn chrome(L"www.youtube.com/watch?v=" + std::wstring(kVideoId));
    ASSERT_TRUE(chrome.Foreground());
    ASSERT_TRUE(chrome.Hang());
    Steps(capture, false, true, 2);
    EXPECT_TRUE(chrome.StillHanging());
    EXPECT_EQ(capture.state().browserWindow, chrome.frame());
    EXPECT_FALSE(capture.state().addressBarFound);
    EXPECT_TRUE(recorder.addresses.empty());
    chrome.Release();
    ASSERT_TRUE(CaptureOne());
    EXPECT_EQ(recorder.addresses, std::vector<std::wstring>{WatchAddress(kVideoId)});
}

// --- Wine's Internet Explorer --------------------------------------------

// Points the Internet settings' proxy at the local service for the life of
// the object, so that Internet Explorer's page requests for the video
// service's host reach it, while the metadata fetch to loopback goes direct.
// Wine reads the override list as plain host names: "<local>" alone does not
// cover 127.0.0.1.
class ProxyToService {
public:
    explicit ProxyToService(const std::wstring& server) {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
        if (!key_) return;
        for (Saved& saved : saved_) {
            DWORD size = sizeof saved.data;
            saved.present = ::RegQueryValueExW(key_, saved.name, nullptr, &saved.type, saved.data, &size) ==
                            ERROR_SUCCESS;
            saved.size = size;
        }
        const DWORD enable = 1;
        ::RegSetValueExW(key_, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&enable), sizeof enable);
        SetText(L"ProxyServer", server);
        SetText(L"ProxyOverride", L"<local>;127.0.0.1");
    }
    ~ProxyToService() {
        if (!key_) return;
        for (const Saved& saved : saved_) {
            if (saved.present) {
                ::RegSetValueExW(key_, saved.name, 0, saved.type, saved.data, saved.size);
            } else {
                ::RegDeleteValueW(key_, saved.name);
            }
        }
        ::RegCloseKey(key_);
    }
    bool ok() const { return key_ != nullptr; }

private:
    static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    struct Saved {
        const wchar_t* name;
        bool present = false;
        DWORD type = 0;
        DWORD size = 0;
        BYTE data[1024] = {};
    };
    void SetText(const wchar_t* name, const std::wstring& value) {
        ::RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    HKEY key_ = nullptr;
    Saved saved_[3] = {{L"ProxyEnable"}, {L"ProxyServer"}, {L"ProxyOverride"}};
};

class InternetExplorer {
public:
    explicit InternetExplorer(const std::wstring& address) : program_(Path(), address) {
        PollUntil([&] { return (frame_ = TopLevelOfClass(program_.Pid(), L"IEFrame")) != nullptr; }, 30000);
        if (!frame_) throw remote_ui::Failure("Internet Explorer showed no window");
    }
    HWND frame() const { return frame_; }
    bool Foreground() const { return MakeForeground(frame_); }
    // Class and text of each descendant, for failure reports.
    std::wstring Describe() const {
        std::wstring out;
        for (HWND child : remote_ui::ChildWindows(frame_)) {
            out += remote_ui::ClassOf(child) + L" \"" + remote_ui::ReadText(child).value_or(L"?") + L"\"\n";
        }
        return out;
    }

private:
    static std::wstring Path() {
        wchar_t folder[MAX_PATH] = {};
        ::ExpandEnvironmentStringsW(L"%ProgramFiles%\\Internet Explorer\\iexplore.exe", folder, MAX_PATH);
        return folder;
    }
    remote_ui::Program program_;
    HWND frame_ = nullptr;
};

class InternetExplorerCapture : public testing::Test {
protected:
    void SetUp() override {
        feedHost = EnvironmentValue(L"CLIPDECK_FEED_HOST");
        ASSERT_FALSE(feedHost.empty());
        proxy = std::make_unique<ProxyToService>(feedHost);
        ASSERT_TRUE(proxy->ok());
    }

    bool CaptureOne(bool ie = true, bool chrome = false) {
        const size_t before = recorder.addresses.size();
        return StepUntil(capture, ie, chrome, [&] { return recorder.addresses.size() > before; });
    }

    std::wstring feedHost;
    std::unique_ptr<ProxyToService> proxy;
    CWebCapture capture;
    Recorder recorder{capture};
};

TEST_F(InternetExplorerCapture, AVideoOpenedInTheBrowserBecomesAnEntryOnce) {
    InternetExplorer first(WatchAddress(kVideoId));
    ASSERT_TRUE(first.Foreground());
    ASSERT_TRUE(CaptureOne()) << remote_ui::Utf8(first.Describe());
    EXPECT_EQ(capture.state().processName, L"IEXPLORE.EXE");
    EXPECT_EQ(capture.state().addressBar.className, L"Edit");
    EXPECT_EQ(recorder.addresses, std::vector<std::wstring>{WatchAddress(kVideoId)});
    ASSERT_EQ(recorder.items.size(), 1u);
    EXPECT_EQ(recorder.items[0].videoId, kVideoId);
    EXPECT_EQ(recorder.items[0].title, kVideoTitle);
    EXPECT_EQ(recorder.items[0].duration, kVideoSeconds);

    // The same page opened a second time is recorded once.
    InternetExplorer second(WatchAddress(kVideoId));
    ASSERT_TRUE(second.Foreground());
    Steps(capture, true, false, 1);
    EXPECT_EQ(capture.state().browserWindow, second.frame());
    EXPECT_FALSE(StepUntil(capture, true, false, [&] { return recorder.addresses.size() > 1; }, 10));
    EXPECT_EQ(recorder.items.size(), 1u);

    // A channel page is an address but no video.
    InternetExplorer channel(L"http://www.youtube.com/user/someone");
    ASSERT_TRUE(channel.Foreground());
    ASSERT_TRUE(CaptureOne());
    EXPECT_EQ(recorder.addresses.back(), L"http://www.youtube.com/user/someone");
    EXPECT_EQ(recorder.items.size(), 1u);
}

TEST_F(InternetExplorerCapture, NothingIsRecordedWhileItsBoxIsUnticked) {
    InternetExplorer browser(WatchAddress(kOtherVideoId));
    ASSERT_TRUE(browser.Foreground());
    Steps(capture, false, false, 10);
    Steps(capture, false, true, 10);
    EXPECT_TRUE(recorder.addresses.empty());
    EXPECT_FALSE(capture.state().addressBarFound);
    // Ticked, the page it has been showing all along is recorded.
    ASSERT_TRUE(CaptureOne()) << remote_ui::Utf8(browser.Describe());
    ASSERT_EQ(recorder.items.size(), 1u);
    EXPECT_EQ(recorder.items[0].videoId, kOtherVideoId);
    EXPECT_EQ(recorder.items[0].title, kOtherVideoTitle);
}

}  // namespace
