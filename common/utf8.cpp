#include "common/utf8.h"

#include <cstdint>
#include <type_traits>

namespace common {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kIllFormed = 0xFFFFFFFF;

// Decodes the character at bytes[i] and moves i past it. An ill-formed part
// gives kIllFormed and moves i past that maximal subpart only, so the byte
// that broke it starts the next character.
char32_t DecodeOne(std::string_view bytes, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    ++i;
    if (lead < 0x80) return lead;
    // The allowed range of the first continuation byte depends on the lead;
    // it is what excludes overlong forms, surrogates and values above
    // U+10FFFF (Unicode table 3-7).
    int continuations = 0;
    char32_t cp = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return kIllFormed;
    }
    for (int k = 0; k < continuations; ++k) {
        if (i >= bytes.size()) return kIllFormed;
        const auto next = static_cast<unsigned char>(bytes[i]);
        if (next < low || next > high) return kIllFormed;
        cp = (cp << 6) | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
        ++i;
    }
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// wchar_t is signed on Linux and 16 bits wide on Windows; go through the
// unsigned type of the same width before widening.
char32_t UnitValue(wchar_t unit) {
    using Unsigned = std::make_unsigned_t<wchar_t>;
    return static_cast<char32_t>(static_cast<Unsigned>(unit));
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::wstring Utf8ToUtf16(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char32_t cp = DecodeOne(bytes, i);
        AppendUtf16(out, cp == kIllFormed ? kReplacement : cp);
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (DecodeOne(bytes, i) == kIllFormed) return false;
    }
    return true;
}

std::string Utf16ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t u = UnitValue(text[i]);
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(UnitValue(text[i + 1]))) {
            u = 0x10000 + ((u - 0xD800) << 10) + (UnitValue(text[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u) || u > 0x10FFFF) {
            // A unit above 0xFFFF can only come from a 32-bit wchar_t; one
            // naming a code point is taken as that code point.
            u = kReplacement;
        }
        AppendUtf8(out, u);
    }
    return out;
}

void AppendUtf16(std::wstring& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<wchar_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
}

}  // namespace common
