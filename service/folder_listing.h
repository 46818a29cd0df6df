#pragma once
// Listing a folder's files with their sizes and modification times in one
// pass: opendir and one stat a file on Linux, FindFirstFile on Windows, where
// the listing itself carries both. A media folder of tens of thousands of
// files is listed every half second.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace clipdeck::service {

// Nanoseconds since 1970-01-01 UTC, the clock of file modification times.
using FileTime = std::int64_t;
FileTime FileTimeNow();

// Calls `file` for each regular file directly in `dir` (UTF-8; links
// followed) whose name `wanted` accepts, with the name (UTF-8), its size and
// modification time. False, with the reason in `error`, when the folder
// cannot be read.
bool ListFolder(const std::string& dir, const std::function<bool(std::string_view name)>& wanted,
                const std::function<void(std::string_view name, std::uint64_t size, FileTime written)>& file,
                std::string& error);

// The size and modification time of one file of `dir`; nothing when it is
// not there (or not a regular file).
struct FileFacts {
    std::uint64_t size = 0;
    FileTime written = 0;
};
std::optional<FileFacts> StatFile(const std::string& dir, std::string_view name);

// When the folder's list of names last changed (a file added, removed or
// renamed; not a file's content); nothing when it cannot be read.
std::optional<FileTime> FolderWriteTime(const std::string& dir);

}  // namespace clipdeck::service
