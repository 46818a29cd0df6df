#include "control/settings.h"

#include "core/environment.h"
#include "framework/profile.h"

void LoadSettings(std::wstring& videoRef, RECT& playerRect) {
    const std::wstring path = DataFilePath(kSettingsFile);
    videoRef = fw::ReadProfileString(path, L"SYSTEM", L"VIDEOID", videoRef, kMaxVideoRefChars);
    playerRect.left = fw::ReadProfileInt(path, L"PLAYER", L"POS_LEFT", playerRect.left);
    playerRect.top = fw::ReadProfileInt(path, L"PLAYER", L"POS_TOP", playerRect.top);
    playerRect.right = fw::ReadProfileInt(path, L"PLAYER", L"POS_RIGHT", playerRect.right);
    playerRect.bottom = fw::ReadProfileInt(path, L"PLAYER", L"POS_BOTTOM", playerRect.bottom);
}

// Written as one series through a copy, as the lists are: a process killed
// while closing leaves the settings as they were, not a cut-off file.
void SaveSettings(const std::wstring& videoRef, const RECT& playerRect) {
    IniProfile file(DataFilePath(kSettingsFile));
    file.BeginWrites();
    file.WriteString(L"SYSTEM", L"VIDEOID", videoRef);
    file.WriteInt(L"PLAYER", L"POS_LEFT", playerRect.left);
    file.WriteInt(L"PLAYER", L"POS_TOP", playerRect.top);
    file.WriteInt(L"PLAYER", L"POS_RIGHT", playerRect.right);
    file.WriteInt(L"PLAYER", L"POS_BOTTOM", playerRect.bottom);
    file.EndWrites();
}
