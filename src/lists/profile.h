#pragma once
// One INI-style file of sections and keys, as the lists read and write it.
// The stores rely only on these rules: a missing key reads as the default,
// text is cut to `maxChars` when read and stored unchanged when written,
// integers are written and read as decimal text, a write creates or
// replaces one key, and nothing is ever removed.

#include <cstddef>
#include <string>

class Profile {
public:
    virtual ~Profile() = default;

    virtual std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& fallback, size_t maxChars) const = 0;
    virtual int ReadInt(const std::wstring& section, const std::wstring& key, int fallback) const = 0;
    virtual void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) = 0;
    virtual void WriteInt(const std::wstring& section, const std::wstring& key, int value) = 0;

    // The writes between these two reach the file together or not at all:
    // until EndWrites the file keeps what it held, also for a process that
    // is killed meanwhile. False from EndWrites: the file was left as it
    // was. Nothing to do for a profile without a file.
    virtual void BeginWrites() {}
    virtual bool EndWrites() { return true; }
};
