#include "lists/ini_profile.h"

#include "framework/profile.h"

namespace {

// What the profile functions take for white space around a value (they drop
// it when reading), and then some: quoting one more value costs nothing.
bool IsBlank(wchar_t c) {
    return c <= L' ' || c == 0x7F || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// The profile functions read a value without its surrounding blanks and
// without one pair of matching quotes around it, and a line break in a value
// would end its line and start a key or a section of its own. Such a value
// is written inside quotes so that it reads back as it was, line breaks as
// spaces.
std::wstring StoredForm(std::wstring value) {
    for (wchar_t& c : value) {
        if (c == L'\r' || c == L'\n') c = L' ';
    }
    if (value.empty()) return value;
    const wchar_t first = value.front();
    const wchar_t last = value.back();
    const bool quoted = value.size() > 1 && (first == L'"' || first == L'\'') && last == first;
    if (quoted || IsBlank(first) || IsBlank(last)) return L'"' + value + L'"';
    return value;
}

}  // namespace

std::wstring IniProfile::ReadString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& fallback, size_t maxChars) const {
    if (path_.empty()) return fallback.substr(0, maxChars);
    return fw::ReadProfileString(path_, section.c_str(), key.c_str(), fallback, maxChars);
}

int IniProfile::ReadInt(const std::wstring& section, const std::wstring& key, int fallback) const {
    if (path_.empty()) return fallback;
    return fw::ReadProfileInt(path_, section.c_str(), key.c_str(), fallback);
}

void IniProfile::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    if (path_.empty()) return;
    fw::WriteProfileString(path_, section.c_str(), key.c_str(), StoredForm(value));
}

void IniProfile::WriteInt(const std::wstring& section, const std::wstring& key, int value) {
    if (path_.empty()) return;
    fw::WriteProfileInt(path_, section.c_str(), key.c_str(), value);
}
