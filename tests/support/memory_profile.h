#pragma once
// A Profile held in memory, for tests of the lists without a file. It keeps
// the rules the lists rely on as the private-profile functions do: section
// and key names match without regard to ASCII letter case, a missing key
// reads as the default, text is cut to `maxChars`, a write creates or
// replaces one key, nothing is removed. Integers are read as decimal only:
// an optional sign and the leading digits (no digit gives 0, an empty value
// the default); unlike the real functions, no "0x" hex.

#include <map>
#include <optional>
#include <string>

#include "framework/ini_text.h"

namespace clipdeck::test {

class MemoryProfile : public Profile {
public:
    std::wstring ReadString(const std::wstring& section, const std::wstring& key, const std::wstring& fallback,
                            size_t maxChars) const override;
    int ReadInt(const std::wstring& section, const std::wstring& key, int fallback) const override;
    void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) override;
    void WriteInt(const std::wstring& section, const std::wstring& key, int value) override;

    // The stored text of a key, or none when the key does not exist.
    std::optional<std::wstring> Value(const std::wstring& section, const std::wstring& key) const;
    bool HasSection(const std::wstring& section) const;

    // A series keeps its writes aside until EndWrites, as a file replaced
    // at the end of the series does; `failEnd` drops them instead.
    void BeginWrites() override;
    bool EndWrites() override;

    // Writes so far, to see when and how much the lists write.
    int writes = 0;
    int seriesEnded = 0;
    bool failEnd = false;

private:
    using Keys = std::map<std::wstring, std::wstring>;
    std::map<std::wstring, Keys> sections_;  // by lower-case name
    std::optional<std::map<std::wstring, Keys>> before_;  // during a series: what EndWrites may go back to
};

}  // namespace clipdeck::test
