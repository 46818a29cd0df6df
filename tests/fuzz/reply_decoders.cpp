// The decoders of the player's replies.
#include <climits>

#include "fuzz_input.h"
#include "player/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring reply = fuzz::Wide(fuzz::Bytes(data, size));

    const long number = protocol::GetReplyLong(reply);
    FUZZ_CHECK(number >= INT_MIN && number <= INT_MAX);
    (void)protocol::GetReplyDouble(reply);
    (void)protocol::GetReplyBool(reply);

    // Every decoded string is a piece of the reply.
    const std::wstring text = protocol::GetReplyString(reply);
    FUZZ_CHECK(text.size() <= reply.size());
    FUZZ_CHECK(text.empty() || reply.find(text) != std::wstring::npos);
    std::size_t total = 0;
    for (const std::wstring& item : protocol::GetReplyStringList(reply)) {
        FUZZ_CHECK(reply.find(item) != std::wstring::npos);
        total += item.size();
    }
    FUZZ_CHECK(total <= reply.size());
    return 0;
}
