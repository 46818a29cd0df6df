#pragma once
// A Profile over a real INI file through the private-profile functions. A
// file that does not exist yet is created as UTF-16LE, so titles in every
// script survive.

#include <string>

#include "lists/profile.h"

class IniProfile : public Profile {
public:
    explicit IniProfile(std::wstring path = {}) : path_(std::move(path)) {}

    // Until a path is set, reads give their defaults and writes do nothing:
    // an empty file name would send them to the Windows folder's WIN.INI.
    void SetPath(std::wstring path) {
        path_ = std::move(path);
        staging_.clear();
    }
    const std::wstring& path() const { return path_; }

    std::wstring ReadString(const std::wstring& section, const std::wstring& key, const std::wstring& fallback,
                            size_t maxChars) const override;
    int ReadInt(const std::wstring& section, const std::wstring& key, int fallback) const override;
    void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) override;
    void WriteInt(const std::wstring& section, const std::wstring& key, int value) override;

    // The profile functions rewrite the whole file for each key, truncating
    // it first, so a process killed in the middle of a series of keys (or of
    // one key) could leave a file empty or half-changed. The series goes to
    // a copy beside the file instead, which then replaces the file in one
    // rename.
    void BeginWrites() override;
    bool EndWrites() override;

    // The copy the writes go to meanwhile.
    std::wstring StagingPath() const { return path_ + L".new"; }

private:
    // The file reads and writes go to: the copy during a series.
    const std::wstring& Target() const { return staging_.empty() ? path_ : staging_; }

    std::wstring path_;
    std::wstring staging_;
};
