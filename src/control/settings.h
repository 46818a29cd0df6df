#pragma once
// The settings file Clipdeck.ini beside the program: the text of the
// reference box, the player window's rectangle, where the user left
// the favourites and history windows, and where the videos come from.

#include <windows.h>

#include <string>

inline constexpr wchar_t kSettingsFile[] = L"Clipdeck.ini";
inline constexpr size_t kMaxVideoRefChars = 260;

struct Settings {
    std::wstring videoRef;
    // Each rectangle is "none" while its left equals its right.
    RECT playerRect{0, 0, 0, 0};
    RECT favoritesRect{0, 0, 0, 0};
    RECT historyRect{0, 0, 0, 0};
};

inline bool HasPlace(const RECT& r) { return r.left != r.right; }

// Keys the file lacks leave the members as they were.
void LoadSettings(Settings& settings);
// Written whole in one go, as the lists are: a process killed while closing
// leaves the settings as they were. A list window's place is written only
// when it has one; the file keeps whatever else it holds.
void SaveSettings(const Settings& settings);

// The [SERVICE] section, which only the user writes: hosts to use in place
// of the program's own service, and the folder that service serves in place
// of the user's Videos folder. Empty when not given.
struct ServiceSettings {
    std::wstring feedHost;    // FEED_HOST, "host[:port]"
    std::wstring playerHost;  // PLAYER_HOST, "host[:port]"
    std::wstring videos;      // VIDEOS, a folder
};

ServiceSettings LoadServiceSettings();
