// The player component's parser of <invoke> calls.
#include <cmath>

#include "playerctl/external_call.h"
#include "fuzz_input.h"

namespace {

// Same shape and texts; numbers by their printed form, so NaN matches NaN.
bool SameValue(const playerctl::Value& a, const playerctl::Value& b) {
    if (a.kind != b.kind || a.boolean != b.boolean || a.text != b.text || a.items.size() != b.items.size())
        return false;
    if (playerctl::FormatNumber(a.number) != playerctl::FormatNumber(b.number)) return false;
    for (std::size_t i = 0; i < a.items.size(); ++i)
        if (!SameValue(a.items[i], b.items[i])) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::Wide(fuzz::Bytes(data, size));

    const std::optional<playerctl::InvokeRequest> call = playerctl::ParseInvoke(text);
    if (!call) return 0;

    // What was read can be written and read back the same.
    const std::wstring written = playerctl::SerializeInvoke(call->name, call->arguments);
    const std::optional<playerctl::InvokeRequest> again = playerctl::ParseInvoke(written);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->name == call->name);
    FUZZ_CHECK(again->arguments.size() == call->arguments.size());
    for (std::size_t i = 0; i < call->arguments.size(); ++i)
        FUZZ_CHECK(SameValue(again->arguments[i], call->arguments[i]));
    return 0;
}
