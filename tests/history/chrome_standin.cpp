// Stands in for Chrome in the capture tests: built as chrome.exe, it shows a
// top-level window whose address bar is a "Chrome_AutocompleteEditView"
// (inside a container, so it is a grandchild), next to decoys that capture
// must pass over: a hidden and a disabled view showing "www." and a button
// with text.
//
//   chrome.exe [address text]
//
// The test sets the address bar's text with WM_SETTEXT, as the browser does
// when the user navigates. Posting kHangMessage to the top-level window
// makes the window stop answering: it signals the event named
// HangingEventName(pid) and waits until ReleaseEventName(pid) is signalled
// (or a minute has passed).
#include <windows.h>

#include <string>

#include "chrome_standin.h"

namespace {

LRESULT CALLBACK FrameProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case kHangMessage: {
        const DWORD pid = ::GetCurrentProcessId();
        HANDLE hanging = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, HangingEventName(pid).c_str());
        HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, ReleaseEventName(pid).c_str());
        if (hanging) ::SetEvent(hanging);
        if (release) ::WaitForSingleObject(release, 60000);
        if (hanging) ::CloseHandle(hanging);
        if (release) ::CloseHandle(release);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, msg, wParam, lParam);
    }
}

void Register(const wchar_t* name, WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    ::RegisterClassW(&wc);
}

HWND Child(HWND parent, const wchar_t* className, const wchar_t* text, DWORD extraStyle, int id, int y) {
    return ::CreateWindowExW(0, className, text, WS_CHILD | extraStyle, 8, y, 400, 22, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                             nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    const DWORD pid = ::GetCurrentProcessId();
    // Made before any window, so a test that sees the window can open them.
    HANDLE hanging = ::CreateEventW(nullptr, TRUE, FALSE, HangingEventName(pid).c_str());
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, ReleaseEventName(pid).c_str());

    Register(kFrameClass, FrameProc);
    Register(kAddressClass, ::DefWindowProcW);
    Register(kContainerClass, ::DefWindowProcW);

    HWND frame = ::CreateWindowExW(0, kFrameClass, L"New Tab - Chrome stand-in", WS_OVERLAPPEDWINDOW, 40, 40, 480,
                                   240, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    // Earlier in the enumeration than the real bar, and never to be taken.
    Child(frame, kAddressClass, L"www.hidden.example/", 0, 1, 8);
    Child(frame, kAddressClass, L"www.disabled.example/", WS_VISIBLE | WS_DISABLED, 2, 8);
    Child(frame, L"Button", L"Reload", WS_VISIBLE, 3, 40);
    HWND container = Child(frame, kContainerClass, L"", WS_VISIBLE, 4, 72);
    ::MoveWindow(container, 8, 72, 440, 40, FALSE);
    Child(container, kAddressClass, commandLine, WS_VISIBLE, kAddressControlId, 8);
    ::ShowWindow(frame, SW_SHOW);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::CloseHandle(hanging);
    ::CloseHandle(release);
    return 0;
}
