#pragma once
// What the fuzz targets share: turning the fuzzer's bytes into the text a
// parser takes, and a check that stops the run when a property fails.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/utf8.h"

namespace fuzz {

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Wide text as the parsers get it from a control or a decoded body. Input
// that starts with a UTF-16LE byte-order mark is taken as raw 16-bit units,
// so unpaired surrogates and any other unit reach the parser too; anything
// else is decoded as UTF-8, which keeps the seeds readable.
inline std::wstring Wide(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::wstring text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                                (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        return text;
    }
    return common::Utf8ToUtf16(bytes);
}

// A property every input must keep; a failure shows the condition and
// aborts, which libFuzzer reports as a crash with the input saved.
#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

}  // namespace fuzz
