// Percent-encoding and decoding.
#include "common/percent.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::Bytes(data, size);

    for (bool plusIsSpace : {false, true}) {
        const std::string decoded = common::PercentDecode(bytes, plusIsSpace);
        FUZZ_CHECK(decoded.size() <= bytes.size());
    }

    const std::string encoded = common::PercentEncode(bytes);
    for (char c : encoded) FUZZ_CHECK(c > ' ' && c < 0x7F && c != '+');
    FUZZ_CHECK(common::PercentDecode(encoded, false) == bytes);
    FUZZ_CHECK(common::PercentDecode(encoded, true) == bytes);

    const std::wstring text = fuzz::Wide(bytes);
    const std::wstring wideEncoded = common::PercentEncode(text);
    for (wchar_t c : wideEncoded) FUZZ_CHECK(c > L' ' && c < 0x7F);
    const std::string utf8(wideEncoded.begin(), wideEncoded.end());
    FUZZ_CHECK(common::PercentDecode(utf8, false) == common::Utf16ToUtf8(text));
    return 0;
}
