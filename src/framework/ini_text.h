#pragma once
// INI files as the program keeps them: the Profile the lists and the
// settings are read and written through, and the text of a whole file made
// in memory, written as the private-profile functions would write it.
// Windows-free: the file itself is framework/profile.h's.

#include <cstddef>
#include <string>
#include <vector>

// One INI-style file of sections and keys. Its users rely only on these
// rules: a missing key reads as the default, text is cut to `maxChars` when
// read and stored unchanged when written, integers are written and read as
// decimal text, a write creates or replaces one key, and nothing is ever
// removed.
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

// What the profile functions read back from a value is the value without
// its surrounding blanks and without one pair of matching quotes around it,
// and a line break in a value would end its line. The form a value is
// stored in so that it reads back as it was: inside quotes when it starts or
// ends with a blank or a quote, line breaks as spaces.
std::wstring StoredProfileValue(std::wstring value);

// A whole INI file in memory: sections in file order, each with its lines
// ("KEY=VALUE", or a line without '=') in order.
class IniText {
public:
    // Appends a section as a file holds it; `lines` as the profile functions
    // list a section's lines. A second section of the same name is dropped:
    // the profile functions read only the first.
    void AddSection(const std::wstring& name, const std::vector<std::wstring>& lines);
    // Creates or replaces KEY in SECTION with `stored`, written as given.
    // Names match without regard to ASCII letter case and keep the spelling
    // they first had; a new section goes at the end of the file, a new key
    // at the end of its section.
    void Set(const std::wstring& section, const std::wstring& key, const std::wstring& stored);

    // The file as the profile functions write a Unicode file: "[SECTION]",
    // then each "KEY=VALUE" line, every line ended by CR LF, in UTF-16LE
    // after a byte-order mark.
    std::wstring Text() const;
    std::string Utf16LeBytes() const;

private:
    struct Line {
        std::wstring key;
        std::wstring value;
        bool hasValue = true;
    };
    struct Section {
        std::wstring name;
        std::vector<Line> lines;
    };
    Section* find(const std::wstring& name);

    std::vector<Section> sections_;
};
