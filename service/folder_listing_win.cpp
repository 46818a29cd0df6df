#include "folder_listing.h"

#include <windows.h>

#include "common/utf8.h"

namespace clipdeck::service {

namespace {

// FILETIME counts 100 ns from 1601; ours nanoseconds from 1970.
constexpr std::int64_t kFrom1601To1970 = 116'444'736'000'000'000;

FileTime TimeOf(const FILETIME& time) {
    const std::int64_t ticks = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - kFrom1601To1970) * 100;
}

std::uint64_t SizeOf(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

std::string ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = text != nullptr ? common::Utf16ToUtf8(text) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> Attributes(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(common::Utf8ToUtf16(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return data;
}

}  // namespace

FileTime FileTimeNow() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    return TimeOf(now);
}

std::optional<FileFacts> StatFile(const std::string& dir, std::string_view name) {
    const auto data = Attributes(dir + "\\" + std::string(name));
    if (!data || (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    return FileFacts{SizeOf(data->nFileSizeHigh, data->nFileSizeLow), TimeOf(data->ftLastWriteTime)};
}

std::optional<FileTime> FolderWriteTime(const std::string& dir) {
    const auto data = Attributes(dir);
    if (!data || (data->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return std::nullopt;
    return TimeOf(data->ftLastWriteTime);
}

bool ListFolder(const std::string& dir, const std::function<bool(std::string_view name)>& wanted,
                const std::function<void(std::string_view name, std::uint64_t size, FileTime written)>& file,
                std::string& error) {
    // The listing carries each file's size and time: no look at the files.
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileExW(common::Utf8ToUtf16(dir + "\\*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND && FolderWriteTime(dir)) return true;  // empty
        error = ErrorText(code);
        return false;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const std::string name = common::Utf16ToUtf8(found.cFileName);
        if (!wanted(name)) continue;
        file(name, SizeOf(found.nFileSizeHigh, found.nFileSizeLow), TimeOf(found.ftLastWriteTime));
    } while (FindNextFileW(find, &found));
    const DWORD code = GetLastError();
    FindClose(find);
    if (code != ERROR_NO_MORE_FILES) {
        error = ErrorText(code);
        return false;
    }
    return true;
}

}  // namespace clipdeck::service
