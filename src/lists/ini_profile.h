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
    void SetPath(std::wstring path) { path_ = std::move(path); }
    const std::wstring& path() const { return path_; }

    std::wstring ReadString(const std::wstring& section, const std::wstring& key, const std::wstring& fallback,
                            size_t maxChars) const override;
    int ReadInt(const std::wstring& section, const std::wstring& key, int fallback) const override;
    void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) override;
    void WriteInt(const std::wstring& section, const std::wstring& key, int value) override;

private:
    std::wstring path_;
};
