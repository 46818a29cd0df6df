// Title and length from the metadata feed's reply, the body decoded first as
// the fetch does.
#include "fuzz_input.h"
#include "videoinfo/video_info_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body = fuzz::Bytes(data, size);

    const std::wstring reply = DecodeReplyBody(body);
    FUZZ_CHECK(reply.size() <= body.size());
    const std::wstring title = ParseTitle(reply);
    // References only ever shorten the text they stand in.
    FUZZ_CHECK(title.size() <= reply.size());
    (void)ParseDuration(reply);

    // Replies with any 16-bit unit, unpaired surrogates included.
    const std::wstring raw = fuzz::Wide(body);
    FUZZ_CHECK(ParseTitle(raw).size() <= raw.size());
    (void)ParseDuration(raw);
    return 0;
}
