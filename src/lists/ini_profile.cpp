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
    return fw::ReadProfileString(Target(), section.c_str(), key.c_str(), fallback, maxChars);
}

int IniProfile::ReadInt(const std::wstring& section, const std::wstring& key, int fallback) const {
    if (path_.empty()) return fallback;
    return fw::ReadProfileInt(Target(), section.c_str(), key.c_str(), fallback);
}

void IniProfile::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    if (path_.empty()) return;
    fw::WriteProfileString(Target(), section.c_str(), key.c_str(), StoredForm(value));
}

void IniProfile::WriteInt(const std::wstring& section, const std::wstring& key, int value) {
    if (path_.empty()) return;
    fw::WriteProfileInt(Target(), section.c_str(), key.c_str(), value);
}

void IniProfile::BeginWrites() {
    if (path_.empty() || !staging_.empty()) return;
    const std::wstring staging = StagingPath();
    // A copy left by a process killed during a series is stale: start anew.
    ::DeleteFileW(staging.c_str());
    if (!::CopyFileW(path_.c_str(), staging.c_str(), FALSE)) {
        // No file yet: the copy starts as a new file does. Any other failure:
        // write in place as before, rather than replace the file with a copy
        // that lacks its other keys.
        if (::GetLastError() != ERROR_FILE_NOT_FOUND && ::GetLastError() != ERROR_PATH_NOT_FOUND) return;
        if (::GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    }
    staging_ = staging;
}

bool IniProfile::EndWrites() {
    if (staging_.empty()) return true;
    const std::wstring staging = std::move(staging_);
    staging_.clear();
    if (::MoveFileExW(staging.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    // The file keeps its old content: this series is lost, not the list.
    ::DeleteFileW(staging.c_str());
    return false;
}
