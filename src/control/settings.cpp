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

void SaveSettings(const std::wstring& videoRef, const RECT& playerRect) {
    const std::wstring path = DataFilePath(kSettingsFile);
    fw::WriteProfileString(path, L"SYSTEM", L"VIDEOID", videoRef);
    fw::WriteProfileInt(path, L"PLAYER", L"POS_LEFT", playerRect.left);
    fw::WriteProfileInt(path, L"PLAYER", L"POS_TOP", playerRect.top);
    fw::WriteProfileInt(path, L"PLAYER", L"POS_RIGHT", playerRect.right);
    fw::WriteProfileInt(path, L"PLAYER", L"POS_BOTTOM", playerRect.bottom);
}
