// XML escaping and character references.
#include "common/xml_text.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::Wide(fuzz::Bytes(data, size));

    const std::wstring decoded = common::DecodeCharacterReferences(text);
    FUZZ_CHECK(decoded.size() <= text.size());

    for (std::size_t at = text.find(L'&'); at != std::wstring::npos; at = text.find(L'&', at + 1)) {
        const std::wstring_view rest = std::wstring_view(text).substr(at);
        if (auto ref = common::ReadCharacterReference(rest)) {
            FUZZ_CHECK(ref->length >= 3 && ref->length <= rest.size());
            FUZZ_CHECK(rest[ref->length - 1] == L';');
            FUZZ_CHECK(ref->codePoint <= 0x110000);
            if (ref->valid) FUZZ_CHECK(ref->codePoint != 0 && ref->codePoint < 0x110000 &&
                                       (ref->codePoint < 0xD800 || ref->codePoint > 0xDFFF));
        }
    }

    // Escaped text reads back as it was written.
    FUZZ_CHECK(common::DecodeCharacterReferences(common::EscapeXml(text)) == text);
    const std::string bytes(fuzz::Bytes(data, size));
    const std::string escaped = common::EscapeXml(bytes);
    FUZZ_CHECK(escaped.find_first_of("<>\"'") == std::string::npos);
    return 0;
}
