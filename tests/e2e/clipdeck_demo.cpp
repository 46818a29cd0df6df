// Demonstration helper for scripts/run.sh --play: waits for the running
// Clipdeck to announce its player, then types a video reference into the
// panel and presses Play, as a user would. Leaves the program running.
#include <windows.h>

#include <cstdio>
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: clipdeck_demo VIDEO-ID-OR-URL\n", stderr);
        return 2;
    }
    const std::wstring reference = argv[1];
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
    remote_ui::WriteText(ui.Item(IDE_CONTROL_VIDEOREF), reference);
    remote_ui::PostClick(ui.Item(IDB_CONTROL_PLAY));
    remote_ui::Print(L"clipdeck_demo: playing " + reference);
    return 0;
}
