// Demonstration helper for scripts/run.sh: waits for the running Clipdeck
// to announce its player, then, as a user would, types a video reference
// into the panel and presses Play, or ticks "List play", and shows the two
// list windows when asked. Leaves the program running.
//
//   clipdeck_demo [--list-play] [--show-lists] [--capture-ie] [--about] [VIDEO-ID-OR-URL]
//   clipdeck_demo --close SECONDS
//
// --close closes the running Clipdeck as a user would, with WM_CLOSE to its
// main window, and waits up to SECONDS for the process to end: exit status
// 0 when it has, 1 when it has not (or there was none to close).
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "clipdeck_ui.h"
#include "remote_ui.h"
#include "res/resource.h"

namespace {

// The process owning a top-level "Clipdeck" window with a control panel.
DWORD findClipdeck() {
    DWORD found = 0;
    for (HWND w = ::FindWindowExW(nullptr, nullptr, L"#32770", L"Clipdeck"); w && !found;
         w = ::FindWindowExW(nullptr, w, L"#32770", L"Clipdeck")) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (clipdeck_ui::FindMain(pid)) found = pid;
    }
    return found;
}

// The top-level window of `pid` whose caption starts with `prefix`.
HWND findCaptioned(DWORD pid, const std::wstring& prefix) {
    struct Search {
        DWORD pid;
        const std::wstring* prefix;
        HWND found;
    } search{pid, &prefix, nullptr};
    ::EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            wchar_t caption[64] = L"";
            ::GetWindowTextW(w, caption, 64);
            if (owner != s->pid || std::wstring(caption).rfind(*s->prefix, 0) != 0) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Shows a list window through its panel button; the program places it.
void show(DWORD pid, HWND button, const std::wstring& caption) {
    remote_ui::PostClick(button);
    remote_ui::PollUntil([&] { return ::IsWindowVisible(findCaptioned(pid, caption)) != FALSE; }, 5000);
}

int close(int seconds) {
    const DWORD pid = findClipdeck();
    if (pid == 0) {
        std::fputs("clipdeck_demo: no Clipdeck to close\n", stderr);
        return 1;
    }
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (std::optional<clipdeck_ui::MainWindows> main = clipdeck_ui::FindMain(pid)) {
        // A box open over the main window (the About box, a message) is
        // closed first, as a user would, or the main window cannot close.
        for (HWND w : remote_ui::TopLevelWindows(pid)) {
            if (::IsWindowVisible(w) && ::GetWindow(w, GW_OWNER) == main->main) ::PostMessageW(w, WM_CLOSE, 0, 0);
        }
        ::PostMessageW(main->main, WM_CLOSE, 0, 0);
    }
    const bool ended = process && ::WaitForSingleObject(process, static_cast<DWORD>(seconds) * 1000) == WAIT_OBJECT_0;
    if (process) ::CloseHandle(process);
    return ended ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--close") return close(_wtoi(argv[2]));
    std::wstring reference;
    bool listPlay = false;
    bool showLists = false;
    bool captureIe = false;
    bool about = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--list-play") {
            listPlay = true;
        } else if (arg == L"--show-lists") {
            showLists = true;
        } else if (arg == L"--capture-ie") {
            captureIe = true;
        } else if (arg == L"--about") {
            about = true;
        } else if (reference.empty() && arg.rfind(L"--", 0) != 0) {
            reference = arg;
        } else {
            reference.clear();
            listPlay = showLists = captureIe = about = false;
            break;
        }
    }
    if (reference.empty() && !listPlay && !showLists && !captureIe && !about) {
        std::fputs("usage: clipdeck_demo [--list-play] [--show-lists] [--capture-ie] [--about] [VIDEO-ID-OR-URL]\n"
                   "       clipdeck_demo --close SECONDS\n",
                   stderr);
        return 2;
    }
    DWORD pid = 0;
    if (!remote_ui::PollUntil([&] { return (pid = findClipdeck()) != 0; }, 30000)) {
        std::fputs("clipdeck_demo: no Clipdeck window appeared\n", stderr);
        return 1;
    }
    clipdeck_ui::MainWindows ui = *clipdeck_ui::FindMain(pid);
    HWND title = ui.Item(IDT_CONTROL_TITLE);
    if (!remote_ui::PollUntil([&] { return remote_ui::ReadText(title) == clipdeck_ui::kLoadComplete; }, 30000)) {
        std::fputs("clipdeck_demo: the player did not load (is the service running?)\n", stderr);
        return 1;
    }
    if (!reference.empty()) {
        remote_ui::WriteText(ui.Item(IDE_CONTROL_VIDEOREF), reference);
        remote_ui::PostClick(ui.Item(IDB_CONTROL_PLAY));
        remote_ui::Print(L"clipdeck_demo: playing " + reference);
    }
    if (listPlay) {
        remote_ui::PostClick(ui.Item(IDX_CONTROL_LISTPLAY));
        remote_ui::Print(L"clipdeck_demo: list play");
    }
    if (showLists) {
        show(pid, ui.Item(IDB_CONTROL_FAVORITE), L"Favorite ");
        show(pid, ui.Item(IDB_CONTROL_HISTORY), L"History ");
    }
    if (about) ::PostMessageW(ui.main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    if (captureIe) {
        // The box lives in the history window, shown or not.
        HWND history = nullptr;
        if (remote_ui::PollUntil([&] { return (history = findCaptioned(pid, L"History ")) != nullptr; }, 5000)) {
            remote_ui::PostClick(::GetDlgItem(history, IDX_HISTORY_IE));
            remote_ui::Print(L"clipdeck_demo: capture from Internet Explorer");
            // Once the browser has come to the front and been read, show the
            // history above it without taking the foreground from it.
            ::Sleep(10000);
            ::ShowWindow(history, SW_SHOWNOACTIVATE);
            ::SetWindowPos(history, HWND_TOPMOST, 740, 420, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    return 0;
}
