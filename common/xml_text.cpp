#include "common/xml_text.h"

#include <type_traits>

#include "common/number_scan.h"
#include "common/utf8.h"

namespace common {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kPastUnicode = 0x110000;

struct Named {
    std::wstring_view name;  // between '&' and ';'
    char32_t character;
};
constexpr Named kNamed[] = {{L"amp", '&'}, {L"lt", '<'}, {L"gt", '>'}, {L"quot", '"'}, {L"apos", '\''}};

template <typename Char>
std::basic_string<Char> Escape(std::basic_string_view<Char> text) {
    std::basic_string<Char> out;
    out.reserve(text.size());
    for (const Char c : text) {
        std::string_view replacement;
        switch (c) {
        case '&': replacement = "&amp;"; break;
        case '<': replacement = "&lt;"; break;
        case '>': replacement = "&gt;"; break;
        case '"': replacement = "&quot;"; break;
        case '\'': replacement = "&apos;"; break;
        default: out.push_back(c); continue;
        }
        out.append(replacement.begin(), replacement.end());
    }
    return out;
}

// wchar_t is signed on Linux; go through the unsigned type of the same width.
char32_t Unit(wchar_t c) { return static_cast<std::make_unsigned_t<wchar_t>>(c); }

std::optional<CharacterReference> ReadNumeric(std::wstring_view text) {
    // text starts with "&#"
    std::size_t i = 2;
    int base = 10;
    if (i < text.size() && text[i] == L'x') {
        base = 16;
        ++i;
    }
    const std::size_t firstDigit = i;
    char32_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigitValue(Unit(text[i]));
        if (digit < 0 || digit >= base) break;
        value = value * base + static_cast<char32_t>(digit);
        if (value > kPastUnicode) value = kPastUnicode;  // keeps long digit runs from overflowing
    }
    if (i == firstDigit || i >= text.size() || text[i] != L';') return std::nullopt;
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    return CharacterReference{i + 1, value, value != 0 && !surrogate && value < kPastUnicode};
}

}  // namespace

std::string EscapeXml(std::string_view text) { return Escape(text); }

std::wstring EscapeXml(std::wstring_view text) { return Escape(text); }

std::optional<CharacterReference> ReadCharacterReference(std::wstring_view text) {
    if (text.empty() || text[0] != L'&') return std::nullopt;
    if (text.size() > 1 && text[1] == L'#') return ReadNumeric(text);
    for (const Named& named : kNamed) {
        const std::size_t length = named.name.size() + 2;
        if (text.size() >= length && text.substr(1, named.name.size()) == named.name &&
            text[length - 1] == L';') {
            return CharacterReference{length, named.character, true};
        }
    }
    return std::nullopt;
}

std::wstring DecodeCharacterReferences(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = text.find(L'&', i);
        if (amp == std::wstring_view::npos) break;
        out.append(text.substr(i, amp - i));
        if (const auto reference = ReadCharacterReference(text.substr(amp))) {
            AppendUtf16(out, reference->valid ? reference->codePoint : kReplacement);
            i = amp + reference->length;
        } else {
            out.push_back(L'&');
            i = amp + 1;
        }
    }
    out.append(text.substr(i));
    return out;
}

}  // namespace common
