#include "common/percent.h"

#include "common/number_scan.h"
#include "common/utf8.h"

namespace common {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int Hex(char c) { return HexDigitValue(static_cast<unsigned char>(c)); }

bool IsUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

bool IsVisible(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > 0x20 && byte < 0x7F;
}

}  // namespace

std::string PercentEncode(std::string_view bytes, PercentKeep keep) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        if (keep == PercentKeep::Visible ? IsVisible(c) : IsUnreserved(c)) {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::wstring PercentEncode(std::wstring_view text) {
    const std::string encoded = PercentEncode(Utf16ToUtf8(text));
    return std::wstring(encoded.begin(), encoded.end());  // all ASCII
}

std::string PercentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size() && Hex(text[i + 1]) >= 0 && Hex(text[i + 2]) >= 0) {
            out += static_cast<char>(Hex(text[i + 1]) * 16 + Hex(text[i + 2]));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace common
