#include "folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace clipdeck::service {

FileTime FileTimeNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

namespace {

FileTime WrittenOf(const struct stat& info) {
    return static_cast<FileTime>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

}  // namespace

std::optional<FileFacts> StatFile(const std::string& dir, std::string_view name) {
    struct stat info {};
    const std::string path = dir + "/" + std::string(name);
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return FileFacts{static_cast<std::uint64_t>(info.st_size), WrittenOf(info)};
}

std::optional<FileTime> FolderWriteTime(const std::string& dir) {
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return WrittenOf(info);
}

bool ListFolder(const std::string& dir, const std::function<bool(std::string_view name)>& wanted,
                const std::function<void(std::string_view name, std::uint64_t size, FileTime written)>& file,
                std::string& error) {
    DIR* folder = opendir(dir.c_str());
    if (folder == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    const int fd = dirfd(folder);
    errno = 0;
    while (dirent* entry = readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !wanted(name)) continue;
        struct stat info {};
        if (fstatat(fd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
        file(name, static_cast<std::uint64_t>(info.st_size), WrittenOf(info));
        errno = 0;
    }
    const int failed = errno;
    closedir(folder);
    if (failed != 0) {
        error = std::strerror(failed);
        return false;
    }
    return true;
}

}  // namespace clipdeck::service
