#pragma once
// The settings file Clipdeck.ini beside the program: the text of the
// reference box, the player window's rectangle, and where the user left
// the favourites and history windows.

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
