#include "launch/link_scheme.h"

#include <windows.h>

#include <vector>

#include "launch/file_kind.h"
#include "launch/hand_over.h"

namespace launch {

namespace {

const std::wstring& SchemeKey() {
    static const std::wstring key = std::wstring(L"Software\\Classes\\") + kLinkScheme;
    return key;
}

// The default value of HKCU\<path>, or empty.
std::wstring DefaultValue(const std::wstring& path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
    std::wstring value;
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && bytes > 0) {
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        if (::RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) ==
            ERROR_SUCCESS) {
            value = buffer.data();
        }
    }
    ::RegCloseKey(key);
    return value;
}

bool SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const LONG status = ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

bool RegisterLinkSchemeIfMissing(const std::wstring& programPath) {
    const std::wstring commandKey = SchemeKey() + L"\\shell\\open\\command";
    const std::wstring command = DefaultValue(commandKey);
    if (!command.empty() && IsFile(ProgramOfCommand(command))) return false;
    // The command last: a registration cut short is missing its command and
    // is written again at the next start.
    return SetValue(SchemeKey(), nullptr, L"URL:Clipdeck") && SetValue(SchemeKey(), L"URL Protocol", L"") &&
           SetValue(SchemeKey() + L"\\DefaultIcon", nullptr, L'"' + programPath + L"\",0") &&
           SetValue(commandKey, nullptr, LinkCommand(programPath));
}

Unregistered UnregisterLinkScheme() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, SchemeKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return Unregistered::NotRegistered;
    }
    ::RegCloseKey(key);
    const LONG status = ::RegDeleteTreeW(HKEY_CURRENT_USER, SchemeKey().c_str());
    return status == ERROR_SUCCESS ? Unregistered::Removed : Unregistered::Failed;
}

}  // namespace launch
