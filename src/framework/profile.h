#pragma once
// INI files through the private-profile functions.

#include <windows.h>

#include <string>

namespace fw {

// Creates `path` as an empty UTF-16LE file with a byte-order mark when it
// does not exist yet: the profile functions then keep every character,
// where a new file would be written in the ANSI code page. An existing file
// is left as it is.
void EnsureUnicodeProfile(const std::wstring& path);

std::wstring ReadProfileString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                               const std::wstring& fallback, size_t maxChars);
int ReadProfileInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int fallback);
void WriteProfileString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                        const std::wstring& value);
void WriteProfileInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int value);

}  // namespace fw
