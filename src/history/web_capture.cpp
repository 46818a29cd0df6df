#include "history/web_capture.h"

#include <psapi.h>

#include <algorithm>
#include <exception>

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
    if (foreground != state_.browserWindow) {
        if (!::IsWindow(foreground)) return;
        DWORD processId = 0;
        ::GetWindowThreadProcessId(foreground, &processId);
        std::wstring name = GetProcessBaseName(processId);
        // Unnamed: keep the old window, so the next step asks again.
        if (name.empty()) return;
        state_.processName = UpperCaseName(std::move(name));
        state_.browserWindow = foreground;
        state_.childrenListed = false;
        state_.addressBarFound = false;
    }
    if (!::IsWindow(state_.browserWindow)) return;
    if (captureIE_ && state_.processName == kIEProcessName) WatchAddressBar(CaptureBrowser::InternetExplorer);
    if (captureChrome_ && state_.processName == kChromeProcessName) WatchAddressBar(CaptureBrowser::Chrome);
}

void CWebCapture::WatchAddressBar(CaptureBrowser browser) {
    if (!state_.childrenListed) {
        ListChildWindows();
        state_.childrenListed = true;
    }
    if (!state_.addressBarFound) {
        const bool found =
            browser == CaptureBrowser::InternetExplorer ? FindIEAddressBar() : FindChromeAddressBar();
        // Not there yet (a blank page, say): list again on the next step.
        state_.childrenListed = found;
        state_.addressBarFound = found;
    }
    if (!state_.addressBarFound) return;
    const bool changed = browser == CaptureBrowser::InternetExplorer ? ReadIEAddress() : ReadChromeAddress();
    if (changed) NotifyListeners();
}

void CWebCapture::ResetCapture() {
    state_.browserWindow = nullptr;
    state_.addressBarFound = false;
    state_.lastAddress.clear();
    state_.processName.clear();
}

void CWebCapture::Step(bool ieTicked, bool chromeTicked) {
    captureIE_ = ieTicked;
    captureChrome_ = chromeTicked;
    if (!captureIE_ && !captureChrome_) {
        ResetCapture();
    } else {
        Poll();
    }
}

void CWebCapture::AddListener(CCaptureStreamIDListener* listener) { listeners_.push_back(listener); }

void CWebCapture::RemoveListener(CCaptureStreamIDListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

bool CWebCapture::ListChildWindows() {
    if (state_.childrenListed) return true;
    state_.children.clear();
    if (!::IsWindow(state_.browserWindow)) return false;
    Listing listing{&state_.children, {}};
    ::EnumChildWindows(state_.browserWindow, ListChildProc, reinterpret_cast<LPARAM>(&listing));
    state_.childrenListed = true;
    return true;
}

bool CWebCapture::FindIEAddressBar() { return FindAddressBar(CaptureBrowser::InternetExplorer); }
bool CWebCapture::FindChromeAddressBar() { return FindAddressBar(CaptureBrowser::Chrome); }

bool CWebCapture::FindAddressBar(CaptureBrowser browser) {
    const std::optional<std::size_t> index = ::FindAddressBar(browser, state_.children);
    if (!index) return false;
    state_.addressBar = state_.children[*index];
    return true;
}

bool CWebCapture::ReadIEAddress() { return ReadAddress(CaptureBrowser::InternetExplorer); }
bool CWebCapture::ReadChromeAddress() { return ReadAddress(CaptureBrowser::Chrome); }

bool CWebCapture::ReadAddress(CaptureBrowser browser) {
    if (!::IsWindow(state_.addressBar.window)) return false;
    std::wstring text;
    if (!ReadWindowText(state_.addressBar.window, text)) return false;
    return TakeNewAddress(browser, std::move(text), state_.lastAddress);
}

void CWebCapture::NotifyListeners() {
    // A listener may remove itself while being told, or change what capture
    // holds: each is told of the address read, from a copy.
    const std::vector<CCaptureStreamIDListener*> notified = listeners_;
    const std::wstring address = state_.lastAddress;
    for (CCaptureStreamIDListener* listener : notified) listener->OnAddressCaptured(address);
}
