#pragma once
// INI files on disk: read through the private-profile functions, written
// whole, in one go.

#include <windows.h>

#include <optional>
#include <string>

#include "framework/ini_text.h"

namespace fw {

std::wstring ReadProfileString(const std::wstring& path, const wchar_t* section, const wchar_t* key,
                               const std::wstring& fallback, size_t maxChars);
int ReadProfileInt(const std::wstring& path, const wchar_t* section, const wchar_t* key, int fallback);

// Every section of the file at `path` with its lines, as the profile
// functions read them (comment lines and blank lines are not among them).
// Empty for a file that does not exist.
IniText ReadIniText(const std::wstring& path);

// The copy beside `path` that ReplaceFileWith makes the new file in.
std::wstring StagingPath(const std::wstring& path);

// Puts `bytes` in place of the file at `path` in one rename, from a copy
// beside it: a process killed meanwhile leaves the file as it was. The new
// file's last-write time goes to `written`. False when the file was left as
// it was.
bool ReplaceFileWith(const std::wstring& path, const std::string& bytes, FILETIME* written = nullptr);

}  // namespace fw

// A Profile over a real INI file. Reads go through the private-profile
// functions. Writes make the whole file in memory (what the file holds,
// read when the writes begin, with the written keys set) and put it in
// place in one go, as UTF-16LE, so titles in every script survive: the file
// is never half-written, and a file changed or deleted underneath is
// replaced by a whole one.
class IniProfile : public Profile {
public:
    explicit IniProfile(std::wstring path = {}) : path_(std::move(path)) {}

    // Until a path is set, reads give their defaults and writes do nothing:
    // an empty file name would send them to the Windows folder's WIN.INI.
    void SetPath(std::wstring path) {
        path_ = std::move(path);
        pending_.reset();
        written_.reset();
    }
    const std::wstring& path() const { return path_; }

    std::wstring ReadString(const std::wstring& section, const std::wstring& key, const std::wstring& fallback,
                            size_t maxChars) const override;
    int ReadInt(const std::wstring& section, const std::wstring& key, int fallback) const override;
    // Outside a series, each write is a series of its own.
    void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) override;
    void WriteInt(const std::wstring& section, const std::wstring& key, int value) override;

    // Reads see the file as it is until EndWrites puts the series in place.
    void BeginWrites() override;
    bool EndWrites() override;

    // The copy the file is made in before it takes the file's place.
    std::wstring StagingPath() const { return fw::StagingPath(path_); }

private:
    // What this object last wrote, and the file it made: while the file is
    // still that one (its last-write time and size), a new series starts
    // from this text instead of reading the file again, which under Wine
    // costs a round trip to its server per section.
    struct Written {
        IniText text;
        FILETIME time;
        unsigned long long size;
    };

    std::wstring path_;
    std::optional<IniText> pending_;
    std::optional<Written> written_;
};
