// Byte ranges on both ends of a media transfer: the service reading a
// request's Range header against a file size, and the player component
// reading a server's Content-Range and length and judging its answer.
#include <cstring>

#include "fuzz_input.h"
#include "playerctl/media/http_range.h"
#include "range.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first eight bytes give a file size (and a first/last pair); the
    // rest is header text.
    std::uint64_t number = 0;
    const std::size_t head = size < 8 ? size : 8;
    std::memcpy(&number, data, head);
    const std::string_view text = fuzz::Bytes(data + head, size - head);

    const std::uint64_t fileSize = number % (1ull << 40);
    const auto range = clipdeck::service::ParseByteRange(text, fileSize);
    if (range.kind == clipdeck::service::ByteRange::Kind::Part) {
        FUZZ_CHECK(range.first <= range.last);
        FUZZ_CHECK(range.last < fileSize);
    }

    if (const auto content = playerctl::ParseContentRange(text)) {
        FUZZ_CHECK(content->first <= content->last);
        FUZZ_CHECK(content->total == -1 || content->last < content->total);
    }
    if (const auto length = playerctl::ParseLength(text)) FUZZ_CHECK(*length >= 0);

    const std::int64_t first = static_cast<std::int64_t>(number % (1ull << 30));
    const std::int64_t last = first + static_cast<std::int64_t>((number >> 30) % (1u << 20));
    const std::size_t body = static_cast<std::size_t>((number >> 50) % (1u << 21));
    if (const auto total = playerctl::CheckRangeAnswer(206, text, first, last, body)) {
        FUZZ_CHECK(*total > first);
        FUZZ_CHECK(static_cast<std::int64_t>(body) <= last - first + 1);
    }
    return 0;
}
