#include "videoinfo/text_convert.h"

#include <cstdint>
#include <type_traits>

namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;

void AppendUtf16(std::wstring& out, std::uint32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<wchar_t>(cp));
        return;
    }
    cp -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
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
std::uint32_t UnitValue(wchar_t unit) {
    using Unsigned = std::make_unsigned_t<wchar_t>;
    return static_cast<std::uint32_t>(static_cast<Unsigned>(unit));
}

bool IsHighSurrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

std::wstring Utf8ToUtf16(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    const std::size_t size = bytes.size();
    std::size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        ++i;
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            continue;
        }
        // The allowed range of the first continuation byte depends on the
        // lead; it is what excludes overlong forms, surrogates and values
        // above U+10FFFF (Unicode table 3-7).
        int continuations = 0;
        std::uint32_t cp = 0;
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
            AppendUtf16(out, kReplacement);
            continue;
        }
        bool complete = true;
        for (int k = 0; k < continuations; ++k) {
            if (i >= size) {
                complete = false;
                break;
            }
            const auto next = static_cast<unsigned char>(bytes[i]);
            if (next < low || next > high) {
                complete = false;  // the offending byte starts the next round
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++i;
        }
        AppendUtf16(out, complete ? cp : kReplacement);
    }
    return out;
}

std::string Utf16ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t u = UnitValue(text[i]);
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(UnitValue(text[i + 1]))) {
            u = 0x10000 + ((u - 0xD800) << 10) + (UnitValue(text[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u) || u > 0x10FFFF) {
            u = kReplacement;
        }
        AppendUtf8(out, u);
    }
    return out;
}

std::wstring DecodeReplyBody(std::string_view body) {
    std::wstring text = Utf8ToUtf16(body);
    if (!text.empty() && (text.front() == 0xFEFF || text.front() == 0xFFFE)) {
        text.erase(0, 1);
    }
    return text;
}
