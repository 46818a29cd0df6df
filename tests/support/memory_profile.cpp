#include "memory_profile.h"

namespace clipdeck::test {

namespace {

std::wstring Folded(std::wstring name) {
    for (wchar_t& c : name) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return name;
}

}  // namespace

std::optional<std::wstring> MemoryProfile::Value(const std::wstring& section, const std::wstring& key) const {
    auto found = sections_.find(Folded(section));
    if (found == sections_.end()) return std::nullopt;
    auto value = found->second.find(Folded(key));
    if (value == found->second.end()) return std::nullopt;
    return value->second;
}

bool MemoryProfile::HasSection(const std::wstring& section) const {
    return sections_.count(Folded(section)) != 0;
}

std::wstring MemoryProfile::ReadString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& fallback, size_t maxChars) const {
    return Value(section, key).value_or(fallback).substr(0, maxChars);
}

int MemoryProfile::ReadInt(const std::wstring& section, const std::wstring& key, int fallback) const {
    const std::wstring text = Value(section, key).value_or(L"");
    if (text.empty()) return fallback;
    size_t i = 0;
    const bool negative = text[0] == L'-';
    if (text[0] == L'-' || text[0] == L'+') ++i;
    unsigned value = 0;  // wraps past 32 bits, as the real functions do
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) value = value * 10 + (text[i] - L'0');
    return static_cast<int>(negative ? 0u - value : value);
}

void MemoryProfile::WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
    sections_[Folded(section)][Folded(key)] = value;
    ++writes;
}

void MemoryProfile::BeginWrites() { before_ = sections_; }

bool MemoryProfile::EndWrites() {
    ++seriesEnded;
    if (failEnd && before_) sections_ = *before_;
    before_.reset();
    return !failEnd;
}

void MemoryProfile::WriteInt(const std::wstring& section, const std::wstring& key, int value) {
    WriteString(section, key, std::to_wstring(value));
}

}  // namespace clipdeck::test
