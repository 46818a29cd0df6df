// Browser capture's decisions on a captured address bar text: which child is
// the address bar, whether a read is new, and whether it becomes a history
// entry. The fetch answers from the rest of the input.
#include "fuzz_input.h"
#include "history/capture_rules.h"

namespace {

struct Child {
    std::wstring className;
    std::wstring text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(fuzz::Bytes(data, size));
    // First line: the address bar text; the rest: the metadata reply.
    const std::size_t cut = bytes.find('\n');
    const std::wstring address = fuzz::Wide(bytes.substr(0, cut));
    const std::string reply = cut == std::string::npos ? std::string() : bytes.substr(cut + 1);

    for (CaptureBrowser browser : {CaptureBrowser::InternetExplorer, CaptureBrowser::Chrome}) {
        const std::vector<Child> children = {{L"Edit", address}, {L"Chrome_AutocompleteEditView", address}};
        const auto found = FindAddressBar(browser, children);
        FUZZ_CHECK(!found || *found < children.size());

        std::wstring last;
        const bool first = TakeNewAddress(browser, address, last);
        FUZZ_CHECK(first == !address.empty());
        FUZZ_CHECK(!TakeNewAddress(browser, address, last));  // the same read again is no news
    }

    const std::wstring id = CapturedVideoId(address);
    FUZZ_CHECK(id.size() <= 11);
    int fetches = 0;
    const auto item = HistoryItemFromAddress(address, [&](std::wstring videoId, std::wstring* out) {
        ++fetches;
        FUZZ_CHECK(videoId == id);
        *out = fuzz::Wide(reply);
        return reply.empty() ? 1 : 0;
    });
    FUZZ_CHECK(fetches <= 1);
    FUZZ_CHECK(!item || (item->videoId == id && !id.empty() && item->volume == 80));
    return 0;
}
