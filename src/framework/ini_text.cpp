#include "framework/ini_text.h"

#include <algorithm>

namespace {

// What the profile functions take for white space around a value (they drop
// it when reading), and then some: quoting one more value costs nothing.
bool IsBlank(wchar_t c) {
    return c <= L' ' || c == 0x7F || c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

wchar_t Folded(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return Folded(x) == Folded(y); });
}

}  // namespace

std::wstring StoredProfileValue(std::wstring value) {
    for (wchar_t& c : value) {
        if (c == L'\r' || c == L'\n') c = L' ';
    }
    if (value.empty()) return value;
    const wchar_t first = value.front();
    const wchar_t last = value.back();
    const bool quoted = value.size() > 1 && (first == L'"' || first == L'\'') && last == first;
    if (quoted || IsBlank(first) || IsBlank(last)) return L'"' + value + L'"';
    return value;
}

IniText::Section* IniText::find(const std::wstring& name) {
    for (Section& s : sections_) {
        if (SameName(s.name, name)) return &s;
    }
    return nullptr;
}

void IniText::AddSection(const std::wstring& name, const std::vector<std::wstring>& lines) {
    if (find(name)) return;
    Section section{name, {}};
    for (const std::wstring& line : lines) {
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) {
            section.lines.push_back({line, L"", false});
        } else {
            section.lines.push_back({line.substr(0, equals), line.substr(equals + 1), true});
        }
    }
    sections_.push_back(std::move(section));
}

void IniText::Set(const std::wstring& section, const std::wstring& key, const std::wstring& stored) {
    Section* s = find(section);
    if (!s) {
        sections_.push_back({section, {}});
        s = &sections_.back();
    }
    for (Line& line : s->lines) {
        if (SameName(line.key, key)) {
            line.value = stored;
            line.hasValue = true;
            return;
        }
    }
    s->lines.push_back({key, stored, true});
}

std::wstring IniText::Text() const {
    std::wstring text;
    for (const Section& s : sections_) {
        text += L'[' + s.name + L"]\r\n";
        for (const Line& line : s.lines) {
            text += line.key;
            if (line.hasValue) text += L'=' + line.value;
            text += L"\r\n";
        }
    }
    return text;
}

std::string IniText::Utf16LeBytes() const {
    const std::wstring text = Text();
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + 2 * text.size());
    // Code units as they are: UTF-16 on Windows; elsewhere the strings hold
    // UTF-16 code units in wider characters.
    for (wchar_t c : text) {
        const unsigned unit = static_cast<unsigned>(c) & 0xFFFF;
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}
