#include "framework/profile.h"

#include <vector>

namespace fw {

void EnsureUnicodeProfile(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;  // exists already, or cannot be made: the write will tell
    const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    ::WriteFile(file, bom, sizeof bom, &written, nullptr);
    ::CloseHandle(file);
}

std::wstring ReadProfileString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                               const std::wstring& fallback, size_t maxChars) {
    std::vector<wchar_t> buffer(maxChars + 1, L'\0');
    DWORD n = ::GetPrivateProfileStringW(section, key, fallback.c_str(), buffer.data(),
                                         static_cast<DWORD>(buffer.size()), path.c_str());
    return std::wstring(buffer.data(), n);
}

int ReadProfileInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int fallback) {
    return static_cast<int>(::GetPrivateProfileIntW(section, key, fallback, path.c_str()));
}

void WriteProfileString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                        const std::wstring& value) {
    EnsureUnicodeProfile(path);
    ::WritePrivateProfileStringW(section, key, value.c_str(), path.c_str());
}

void WriteProfileInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int value) {
    WriteProfileString(path, section, key, std::to_wstring(value));
}

}  // namespace fw
