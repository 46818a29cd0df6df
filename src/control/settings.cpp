#include "control/settings.h"

#include "core/environment.h"
#include "framework/profile.h"

namespace {

void ReadRect(const IniProfile& file, const wchar_t* section, RECT& r) {
    r.left = file.ReadInt(section, L"POS_LEFT", r.left);
    r.top = file.ReadInt(section, L"POS_TOP", r.top);
    r.right = file.ReadInt(section, L"POS_RIGHT", r.right);
    r.bottom = file.ReadInt(section, L"POS_BOTTOM", r.bottom);
}

void WriteRect(IniProfile& file, const wchar_t* section, const RECT& r) {
    file.WriteInt(section, L"POS_LEFT", r.left);
    file.WriteInt(section, L"POS_TOP", r.top);
    file.WriteInt(section, L"POS_RIGHT", r.right);
    file.WriteInt(section, L"POS_BOTTOM", r.bottom);
}

}  // namespace

void LoadSettings(Settings& settings) {
    const IniProfile file(DataFilePath(kSettingsFile));
    settings.videoRef = file.ReadString(L"SYSTEM", L"VIDEOID", settings.videoRef, kMaxVideoRefChars);
    ReadRect(file, L"PLAYER", settings.playerRect);
    ReadRect(file, L"FAVORITE", settings.favoritesRect);
    ReadRect(file, L"HISTORY", settings.historyRect);
}

void SaveSettings(const Settings& settings) {
    IniProfile file(DataFilePath(kSettingsFile));
    file.BeginWrites();
    file.WriteString(L"SYSTEM", L"VIDEOID", settings.videoRef);
    WriteRect(file, L"PLAYER", settings.playerRect);
    if (HasPlace(settings.favoritesRect)) WriteRect(file, L"FAVORITE", settings.favoritesRect);
    if (HasPlace(settings.historyRect)) WriteRect(file, L"HISTORY", settings.historyRect);
    file.EndWrites();
}

ServiceSettings LoadServiceSettings() {
    const IniProfile file(DataFilePath(kSettingsFile));
    constexpr size_t kMaxHostChars = 260;
    constexpr size_t kMaxFolderChars = 32767;
    ServiceSettings settings;
    settings.feedHost = file.ReadString(L"SERVICE", L"FEED_HOST", L"", kMaxHostChars);
    settings.playerHost = file.ReadString(L"SERVICE", L"PLAYER_HOST", L"", kMaxHostChars);
    settings.videos = file.ReadString(L"SERVICE", L"VIDEOS", L"", kMaxFolderChars);
    return settings;
}
