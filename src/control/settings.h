#pragma once
// The settings file Clipdeck.ini beside the program: the text of the
// reference box and the player window's rectangle.

#include <windows.h>

#include <string>

inline constexpr wchar_t kSettingsFile[] = L"Clipdeck.ini";
inline constexpr size_t kMaxVideoRefChars = 260;

void LoadSettings(std::wstring& videoRef, RECT& playerRect);
void SaveSettings(const std::wstring& videoRef, const RECT& playerRect);
