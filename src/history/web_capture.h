#pragma once
// Browser address capture: watches the address bar of the foreground
// Internet Explorer or Chrome window, twice a second from the history
// dialog's timer, and tells its listeners the address whenever it changes.
// It knows nothing about videos; capture_rules.h decides what an address
// means.

#include <windows.h>

#include <string>
#include <vector>

#include "history/capture_listener.h"
#include "history/capture_rules.h"

// A descendant of the watched browser window as it was when listed.
struct ChildWindowInfo {
    HWND window = nullptr;
    WINDOWINFO windowInfo{};  // kept with the record; nothing decides on it
    std::wstring text;        // never empty in a listed record
    std::wstring className;
    int controlId = 0;
};

// How long reading another process's window text may take. A window that
// does not answer in time reads like one that has gone, so a hung browser
// cannot hang us.
inline constexpr UINT kWindowTextTimeoutMs = 1000;

class CWebCapture {
public:
    // What capture knows of the watched browser; only its own steps change it.
    struct State {
        HWND browserWindow = nullptr;  // last foreground window whose process could be named
        bool addressBarFound = false;
        std::wstring lastAddress;  // last address reported
        std::wstring processName;  // browserWindow's executable, upper case
        bool childrenListed = false;
        std::vector<ChildWindowInfo> children;
        ChildWindowInfo addressBar;
    };
    const State& state() const { return state_; }

    // Listeners are not owned and are told in the order they were added.
    void AddListener(CCaptureStreamIDListener* listener);
    // Removes every occurrence of `listener`.
    void RemoveListener(CCaptureStreamIDListener* listener);

    // One capture step.
    void Poll();
    // Forgets the watched window and the last address; the listing stays.
    void ResetCapture();
    std::wstring GetAddress() const { return state_.lastAddress; }

    // What the capture timer does with the two check boxes' states: with
    // both off the capture is reset, otherwise it takes one step.
    void Step(bool ieTicked, bool chromeTicked);

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

    std::vector<CCaptureStreamIDListener*> listeners_;
    // Overwritten from the check boxes before every step.
    bool captureIE_ = true;
    bool captureChrome_ = true;
    State state_;
};

// The executable base name of process `processId` as the system reports it;
// empty on any failure (for example a process of higher privilege).
std::wstring GetProcessBaseName(DWORD processId);

// Reads the text of `window`, of any process, at most 511 characters. False
// when the window does not answer within kWindowTextTimeoutMs or has gone.
bool ReadWindowText(HWND window, std::wstring& text);
