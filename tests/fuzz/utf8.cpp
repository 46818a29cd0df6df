// The UTF-8 codec.
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::Bytes(data, size);

    const std::wstring text = common::Utf8ToUtf16(bytes);
    // One unit or a pair per character, one U+FFFD per ill-formed part: never
    // more units than bytes.
    FUZZ_CHECK(text.size() <= bytes.size());
    for (wchar_t unit : text) FUZZ_CHECK(unit >= 0 && unit <= 0xFFFF);

    const std::string again = common::Utf16ToUtf8(text);
    FUZZ_CHECK(common::IsValidUtf8(again));
    if (common::IsValidUtf8(bytes)) FUZZ_CHECK(again == bytes);
    // Decoding what was encoded gives the same text.
    FUZZ_CHECK(common::Utf8ToUtf16(again) == text);

    // Any units, unpaired surrogates too, encode to valid UTF-8.
    std::wstring units;
    for (std::size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const std::string encoded = common::Utf16ToUtf8(units);
    FUZZ_CHECK(common::IsValidUtf8(encoded));
    FUZZ_CHECK(common::Utf8ToUtf16(encoded).size() == units.size());
    return 0;
}
