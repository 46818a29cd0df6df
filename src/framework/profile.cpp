#include "framework/profile.h"

#include <vector>

namespace fw {

namespace {

// The profile functions' answer for a list that may not fit: they return
// the buffer's size less 2 when they had to cut it.
template <typename Fill>
std::vector<wchar_t> ReadList(Fill fill) {
    std::vector<wchar_t> buffer(4096);
    for (;;) {
        const DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n + 2 < buffer.size()) {
            buffer.resize(n + 1);
            return buffer;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

// Each string of a list of strings ended by an empty one.
std::vector<std::wstring> Strings(const std::vector<wchar_t>& list) {
    std::vector<std::wstring> strings;
    for (size_t at = 0; at < list.size() && list[at] != L'\0';) {
        std::wstring s(&list[at]);
        at += s.size() + 1;
        strings.push_back(std::move(s));
    }
    return strings;
}

// A time the file has not had: the profile functions cache a file they have
// read until its last-write time changes, and a file system that keeps that
// time by the clock tick would give two writes in one tick the same one.
FILETIME FreshWriteTime(const std::wstring& path) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    WIN32_FILE_ATTRIBUTE_DATA old{};
    if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &old) &&
        ::CompareFileTime(&now, &old.ftLastWriteTime) <= 0) {
        ULARGE_INTEGER later;
        later.LowPart = old.ftLastWriteTime.dwLowDateTime;
        later.HighPart = old.ftLastWriteTime.dwHighDateTime;
        later.QuadPart += 1;
        now.dwLowDateTime = later.LowPart;
        now.dwHighDateTime = later.HighPart;
    }
    return now;
}

}  // namespace

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

IniText ReadIniText(const std::wstring& path) {
    IniText text;
    const std::vector<std::wstring> names = Strings(ReadList([&](wchar_t* buffer, DWORD size) {
        return ::GetPrivateProfileSectionNamesW(buffer, size, path.c_str());
    }));
    for (const std::wstring& name : names) {
        text.AddSection(name, Strings(ReadList([&](wchar_t* buffer, DWORD size) {
                            return ::GetPrivateProfileSectionW(name.c_str(), buffer, size, path.c_str());
                        })));
    }
    return text;
}

std::wstring StagingPath(const std::wstring& path) { return path + L".new"; }

bool ReplaceFileWith(const std::wstring& path, const std::string& bytes, FILETIME* written) {
    const std::wstring staging = StagingPath(path);
    // CREATE_ALWAYS: a copy left by a process killed while making it is stale.
    HANDLE file = ::CreateFileW(staging.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD count = 0;
    bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr) &&
              count == bytes.size();
    const FILETIME time = FreshWriteTime(path);
    ok = ok && ::SetFileTime(file, nullptr, nullptr, &time);
    ::CloseHandle(file);
    if (ok && ::MoveFileExW(staging.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (written) *written = time;
        return true;
    }
    ::DeleteFileW(staging.c_str());
    return false;
}

}  // namespace fw

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
    const bool alone = !pending_;
    if (alone) BeginWrites();
    pending_->Set(section, key, StoredProfileValue(value));
    if (alone) EndWrites();
}

void IniProfile::WriteInt(const std::wstring& section, const std::wstring& key, int value) {
    WriteString(section, key, std::to_wstring(value));
}

void IniProfile::BeginWrites() {
    if (path_.empty() || pending_) return;
    WIN32_FILE_ATTRIBUTE_DATA file{};
    if (!::GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &file)) {
        pending_.emplace();  // no file: nothing to keep
        return;
    }
    const unsigned long long size = (static_cast<unsigned long long>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;
    if (written_ && ::CompareFileTime(&written_->time, &file.ftLastWriteTime) == 0 && written_->size == size) {
        pending_ = written_->text;
        return;
    }
    pending_ = fw::ReadIniText(path_);
}

bool IniProfile::EndWrites() {
    if (!pending_) return true;
    IniText text = std::move(*pending_);
    pending_.reset();
    const std::string bytes = text.Utf16LeBytes();
    FILETIME time{};
    if (!fw::ReplaceFileWith(path_, bytes, &time)) {
        written_.reset();
        return false;
    }
    written_ = Written{std::move(text), time, bytes.size()};
    return true;
}
