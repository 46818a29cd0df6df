#pragma once
// Browser address capture: watches the address bar of the foreground
// Internet Explorer or Chrome window, twice a second from the history
// dialog's timer, and tells its listeners whenever the address changes. It
// knows nothing about videos; capture_rules.h decides what an address means.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "history/capture_listener.h"
#include "history/capture_rules.h"
#include "lists/video_item.h"
#include "videoinfo/video_info_fetch.h"

// A descendant of the watched browser window as it was when listed.
struct ChildWindowInfo {
    HWND window = nullptr;
    WINDOWINFO windowInfo{};  // kept with the record; nothing decides on it
    std::wstring text;        // never empty in a listed record
    std::wstring className;
    int controlId = 0;
};

// The capture timer belongs to the history dialog.
inline constexpr UINT_PTR kCaptureTimerId = 105;
inline constexpr UINT kCapturePeriodMs = 500;

// How long reading another process's window text may take. A window that
// does not answer in time reads like one that has gone, so a hung browser
// cannot hang us.
inline constexpr UINT kWindowTextTimeoutMs = 1000;

class CWebCapture {
public:
    std::vector<CCaptureStreamIDListener*> listeners;  // not owned; notified in order
    HWND browserWindow = nullptr;  // last foreground window whose process could be named
    bool addressBarFound = false;
    std::wstring lastAddress;  // last address reported
    std::wstring processName;  // browserWindow's executable, upper case
    bool captureIE = true;
    bool captureChrome = true;
    bool childrenListed = false;
    std::vector<ChildWindowInfo> children;
    ChildWindowInfo addressBar;

    // One capture step.
    void Poll();
    // Forgets the watched window and the last address; the listing stays.
    void ResetCapture();
    std::wstring GetAddress() const { return lastAddress; }

    // What the capture timer does with the two check boxes' states: with
    // both off the capture is reset, otherwise it takes one step.
    void Step(bool ieTicked, bool chromeTicked);

    // Removes every occurrence of `listener`.
    void RemoveListener(CCaptureStreamIDListener* listener);

private:
    bool ListChildWindows();
    bool FindIEAddressBar();
    bool FindChromeAddressBar();
    bool ReadIEAddress();
    bool ReadChromeAddress();
    void NotifyListeners();

    void WatchAddressBar(CaptureBrowser browser);
    bool FindAddressBar(CaptureBrowser browser);
    bool ReadAddress(CaptureBrowser browser);
};

// The capture timer's tick in the history dialog `dialog`: the timer stops
// for the length of the step, so steps never overlap however long one takes,
// and the check boxes decide which browsers are watched.
void CaptureTimerTick(HWND dialog, CWebCapture& capture);

// The history entry for the address `capture` last reported, fetched with
// `fetch`; nothing unless an address bar was found and the address is a
// video page of the service whose metadata could be fetched.
std::optional<VideoItem> CapturedVideo(const CWebCapture& capture, const VideoInfoFetch& fetch = FetchVideoInfo);

// The executable base name of process `processId` as the system reports it;
// empty on any failure (for example a process of higher privilege).
std::wstring GetProcessBaseName(DWORD processId);

// Reads the text of `window`, of any process, at most 511 characters. False
// when the window does not answer within kWindowTextTimeoutMs or has gone.
bool ReadWindowText(HWND window, std::wstring& text);
