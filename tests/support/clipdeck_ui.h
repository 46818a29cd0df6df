#pragma once
// Clipdeck's windows as seen from another process: the main window and its
// control panel, the player window, and the monitor's trace.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace clipdeck_ui {

inline constexpr wchar_t kLoadComplete[] = L" player Load Complete!";

struct MainWindows {
    HWND main = nullptr;
    HWND panel = nullptr;
    HWND Item(int id) const { return ::GetDlgItem(panel, id); }
};

// The main window of process `pid` (caption "Clipdeck", holding the control
// panel); nothing while it is not there yet. Message boxes carry the same
// caption, so the panel is what tells them apart.
std::optional<MainWindows> FindMain(DWORD pid);
// The top-level window holding the player control.
HWND FindPlayer(DWORD pid);
// The monitor window's log box.
HWND FindMonitorLog(DWORD pid);
// The top-level dialog of `pid` whose control `id` has the window class
// `cls`: how the list windows, shown or hidden, are told apart.
HWND FindDialogWith(DWORD pid, int id, const wchar_t* cls);

// One favourite as Favorite.ini holds it.
struct Favorite {
    std::wstring id;
    std::wstring title;
    int duration = 0, volume = 0, start = 0, end = 0;
};
// Writes `folder`\Favorite.ini anew as the program writes it: UTF-16 with a
// byte-order mark. False when the file cannot be made.
bool WriteFavorites(const std::wstring& folder, const std::vector<Favorite>& favorites);

// "title line (1027)" and the like, for messages.
std::wstring ControlName(int id);

// The time label's "m:ss / m:ss", in whole seconds.
struct TimeReading {
    long current = 0;
    long duration = 0;
};
std::optional<TimeReading> ParseTimeText(const std::wstring& text);

// The player states the panel received, in order, from the monitor's log.
std::vector<long> TracedStates(const std::wstring& log);

}  // namespace clipdeck_ui
