#include "history/web_capture.h"

#include <psapi.h>

#include <algorithm>
#include <exception>

#include "res/resource.h"

namespace {

// What the descendant listing carries through EnumChildWindows.
struct Listing {
    std::vector<ChildWindowInfo>* children;
    // Threads whose window did not answer in this listing: their other
    // windows are passed over, so one hung browser costs one time-out per
    // step rather than one per child window.
    std::vector<DWORD> silentThreads;
};

void ListOne(HWND window, Listing& listing) {
    if (!::IsWindowVisible(window) || !::IsWindowEnabled(window)) return;
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    auto& silent = listing.silentThreads;
    if (std::find(silent.begin(), silent.end(), thread) != silent.end()) return;
    ChildWindowInfo child;
    if (!ReadWindowText(window, child.text)) {
        if (::IsWindow(window)) silent.push_back(thread);
        return;
    }
    if (child.text.empty()) return;
    child.window = window;
    child.windowInfo.cbSize = sizeof child.windowInfo;
    ::GetWindowInfo(window, &child.windowInfo);
    wchar_t name[kWindowTextBuffer] = {};
    ::GetClassNameW(window, name, static_cast<int>(kWindowTextBuffer));
    child.className = name;
    child.controlId = ::GetDlgCtrlID(window);
    listing.children->push_back(std::move(child));
}

BOOL CALLBACK ListChildProc(HWND window, LPARAM param) {
    // Nothing may unwind through the enumeration; a record that cannot be
    // kept is left out.
    try {
        ListOne(window, *reinterpret_cast<Listing*>(param));
    } catch (const std::exception&) {
    }
    return TRUE;
}

}  // namespace

std::wstring GetProcessBaseName(DWORD processId) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return {};
    HMODULE modules[1024];
    DWORD needed = 0;
    wchar_t name[1024] = {};
    bool named = false;
    // The first module is the executable.
    if (::EnumProcessModules(process, modules, sizeof modules, &needed) && needed >= sizeof modules[0])
        named = ::GetModuleBaseNameW(process, modules[0], name, 1024) != 0;
    ::CloseHandle(process);
    return named ? std::wstring(name) : std::wstring();
}

bool ReadWindowText(HWND window, std::wstring& text) {
    wchar_t buffer[kWindowTextBuffer] = {};
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, kWindowTextBuffer, reinterpret_cast<LPARAM>(buffer),
                               SMTO_ABORTIFHUNG, kWindowTextTimeoutMs, &copied))
        return false;
    buffer[kWindowTextBuffer - 1] = L'\0';
    text = buffer;
    return true;
}

void CWebCapture::Poll() {
    HWND foreground = ::GetForegroundWindow();
    if (foreground != browserWindow) {
        if (!::IsWindow(foreground)) return;
        DWORD processId = 0;
        ::GetWindowThreadProcessId(foreground, &processId);
        std::wstring name = GetProcessBaseName(processId);
        // Unnamed: keep the old window, so the next step asks again.
        if (name.empty()) return;
        processName = UpperCaseName(std::move(name));
        browserWindow = foreground;
        childrenListed = false;
        addressBarFound = false;
    }
    if (!::IsWindow(browserWindow)) return;
    if (captureIE && processName == kIEProcessName) WatchAddressBar(CaptureBrowser::InternetExplorer);
    if (captureChrome && processName == kChromeProcessName) WatchAddressBar(CaptureBrowser::Chrome);
}

void CWebCapture::WatchAddressBar(CaptureBrowser browser) {
    if (!childrenListed) {
        ListChildWindows();
        childrenListed = true;
    }
    if (!addressBarFound) {
        const bool found =
            browser == CaptureBrowser::InternetExplorer ? FindIEAddressBar() : FindChromeAddressBar();
        // Not there yet (a blank page, say): list again on the next step.
        childrenListed = found;
        addressBarFound = found;
    }
    if (!addressBarFound) return;
    const bool changed = browser == CaptureBrowser::InternetExplorer ? ReadIEAddress() : ReadChromeAddress();
    if (changed) NotifyListeners();
}

void CWebCapture::ResetCapture() {
    browserWindow = nullptr;
    addressBarFound = false;
    lastAddress.clear();
    processName.clear();
}

void CWebCapture::Step(bool ieTicked, bool chromeTicked) {
    captureIE = ieTicked;
    captureChrome = chromeTicked;
    if (!captureIE && !captureChrome) {
        ResetCapture();
    } else {
        Poll();
    }
}

void CWebCapture::RemoveListener(CCaptureStreamIDListener* listener) {
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

bool CWebCapture::ListChildWindows() {
    if (childrenListed) return true;
    children.clear();
    if (!::IsWindow(browserWindow)) return false;
    Listing listing{&children, {}};
    ::EnumChildWindows(browserWindow, ListChildProc, reinterpret_cast<LPARAM>(&listing));
    childrenListed = true;
    return true;
}

bool CWebCapture::FindIEAddressBar() { return FindAddressBar(CaptureBrowser::InternetExplorer); }
bool CWebCapture::FindChromeAddressBar() { return FindAddressBar(CaptureBrowser::Chrome); }

bool CWebCapture::FindAddressBar(CaptureBrowser browser) {
    const std::optional<std::size_t> index = ::FindAddressBar(browser, children);
    if (!index) return false;
    addressBar = children[*index];
    return true;
}

bool CWebCapture::ReadIEAddress() { return ReadAddress(CaptureBrowser::InternetExplorer); }
bool CWebCapture::ReadChromeAddress() { return ReadAddress(CaptureBrowser::Chrome); }

bool CWebCapture::ReadAddress(CaptureBrowser browser) {
    if (!::IsWindow(addressBar.window)) return false;
    std::wstring text;
    if (!ReadWindowText(addressBar.window, text)) return false;
    return TakeNewAddress(browser, std::move(text), lastAddress);
}

void CWebCapture::NotifyListeners() {
    // A listener may remove itself while being told.
    const std::vector<CCaptureStreamIDListener*> notified = listeners;
    for (CCaptureStreamIDListener* listener : notified) listener->OnAddressCaptured();
}

void CaptureTimerTick(HWND dialog, CWebCapture& capture) {
    ::KillTimer(dialog, kCaptureTimerId);
    // Started again however the step ends: a listener that fails must not
    // stop capture for the rest of the run.
    struct Restart {
        HWND dialog;
        ~Restart() { ::SetTimer(dialog, kCaptureTimerId, kCapturePeriodMs, nullptr); }
    } restart{dialog};
    capture.Step(::IsDlgButtonChecked(dialog, IDX_HISTORY_IE) == BST_CHECKED,
                 ::IsDlgButtonChecked(dialog, IDX_HISTORY_CHROME) == BST_CHECKED);
}

std::optional<VideoItem> CapturedVideo(const CWebCapture& capture, const VideoInfoFetch& fetch) {
    if (!capture.addressBarFound) return std::nullopt;
    return HistoryItemFromAddress(capture.GetAddress(), fetch);
}
