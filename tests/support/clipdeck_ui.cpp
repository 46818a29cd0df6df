#include "clipdeck_ui.h"

#include <cwchar>
#include <cwctype>

#include "remote_ui.h"
#include "res/resource.h"

namespace clipdeck_ui {
namespace {

bool IsDialog(HWND window) { return remote_ui::ClassOf(window) == L"#32770"; }

}  // namespace

std::optional<MainWindows> FindMain(DWORD pid) {
    for (HWND window : remote_ui::TopLevelWindows(pid)) {
        if (!IsDialog(window) || remote_ui::ReadText(window) != L"Clipdeck") continue;
        for (HWND child = ::FindWindowExW(window, nullptr, L"#32770", nullptr); child;
             child = ::FindWindowExW(window, child, L"#32770", nullptr)) {
            if (::GetDlgItem(child, IDT_CONTROL_TITLE) && ::GetDlgItem(child, IDE_CONTROL_VIDEOREF)) {
                return MainWindows{window, child};
            }
        }
    }
    return std::nullopt;
}

HWND FindPlayer(DWORD pid) {
    for (HWND window : remote_ui::TopLevelWindows(pid)) {
        if (::FindWindowExW(window, nullptr, L"ClipdeckPlayer", nullptr)) return window;
    }
    return nullptr;
}

HWND FindMonitorLog(DWORD pid) {
    for (HWND window : remote_ui::TopLevelWindows(pid)) {
        if (!IsDialog(window) || remote_ui::ReadText(window) != L"MONITOR") continue;
        if (HWND log = ::GetDlgItem(window, IDE_MONITOR_LOG)) return log;
    }
    return nullptr;
}

HWND FindDialogWith(DWORD pid, int id, const wchar_t* cls) {
    for (HWND w : remote_ui::TopLevelWindows(pid)) {
        HWND child = ::GetDlgItem(w, id);
        if (child && remote_ui::ClassOf(child) == cls) return w;
    }
    return nullptr;
}

std::wstring ControlName(int id) {
    const wchar_t* name = L"control";
    switch (id) {
    case IDT_CONTROL_TITLE: name = L"title line"; break;
    case IDE_CONTROL_VIDEOREF: name = L"VideoID / Url box"; break;
    case IDT_CONTROL_STATUS: name = L"status"; break;
    case IDT_CONTROL_TIME: name = L"time text"; break;
    case IDT_CONTROL_QUALITY: name = L"quality label"; break;
    case IDT_CONTROL_VOLUME: name = L"volume label"; break;
    case IDP_CONTROL_POSITION: name = L"position bar"; break;
    case IDP_CONTROL_LOADED: name = L"loaded bar"; break;
    case IDX_CONTROL_MUTE: name = L"Mute box"; break;
    case IDB_CONTROL_PLAY: name = L"Play"; break;
    case IDB_CONTROL_PAUSE: name = L"||"; break;
    case IDB_CONTROL_NEXT: name = L">|"; break;
    default: break;
    }
    return std::wstring(name) + L" (" + std::to_wstring(id) + L")";
}

std::optional<TimeReading> ParseTimeText(const std::wstring& text) {
    // m:ss, minutes of any length, seconds always two digits.
    size_t at = 0;
    auto clock = [&](long& seconds) {
        long minutes = 0;
        size_t digits = 0;
        for (; at < text.size() && std::iswdigit(text[at]) && digits < 6; ++at, ++digits) {
            minutes = minutes * 10 + (text[at] - L'0');
        }
        if (digits == 0 || at + 3 > text.size() || text[at] != L':') return false;
        if (!std::iswdigit(text[at + 1]) || !std::iswdigit(text[at + 2])) return false;
        long secs = (text[at + 1] - L'0') * 10 + (text[at + 2] - L'0');
        if (secs > 59) return false;
        at += 3;
        seconds = minutes * 60 + secs;
        return true;
    };
    TimeReading reading;
    if (!clock(reading.current)) return std::nullopt;
    if (text.compare(at, 3, L" / ") != 0) return std::nullopt;
    at += 3;
    if (!clock(reading.duration) || at != text.size()) return std::nullopt;
    return reading;
}

std::vector<long> TracedStates(const std::wstring& log) {
    static constexpr std::wstring_view kLine = L"ContolDlg::onStateChange(";
    std::vector<long> states;
    for (size_t at = log.find(kLine); at != std::wstring::npos; at = log.find(kLine, at + 1)) {
        const wchar_t* number = log.c_str() + at + kLine.size();
        wchar_t* end = nullptr;
        long state = std::wcstol(number, &end, 10);
        if (end != number && *end == L')') states.push_back(state);
    }
    return states;
}

bool WriteFavorites(const std::wstring& folder, const std::vector<Favorite>& favorites) {
    const std::wstring path = folder + L"\\Favorite.ini";
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    const bool ok = ::WriteFile(file, bom, 2, &written, nullptr) && written == 2;
    ::CloseHandle(file);
    if (!ok) return false;
    ::WritePrivateProfileStringW(L"SYSTEM", L"COUNT", std::to_wstring(favorites.size()).c_str(), path.c_str());
    for (size_t i = 0; i < favorites.size(); ++i) {
        const Favorite& f = favorites[i];
        const std::wstring section = L"ITEM" + std::to_wstring(i);
        auto put = [&](const wchar_t* key, const std::wstring& value) {
            ::WritePrivateProfileStringW(section.c_str(), key, value.c_str(), path.c_str());
        };
        put(L"VIDEOID", f.id);
        put(L"TITLE", f.title);
        put(L"DURATION", std::to_wstring(f.duration));
        put(L"VOLUME", std::to_wstring(f.volume));
        put(L"STARTPOS", std::to_wstring(f.start));
        put(L"ENDPOS", std::to_wstring(f.end));
    }
    return true;
}

}  // namespace clipdeck_ui
