// Reduction of typed or captured text to a video ID.
#include "fuzz_input.h"
#include "videoinfo/video_ref.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::Wide(fuzz::Bytes(data, size));

    const std::wstring id = ParseVideoRef(text);
    FUZZ_CHECK(id.size() <= 11);
    FUZZ_CHECK(id.empty() || text.find(id) != std::wstring::npos);

    const std::wstring fromUrl = VideoIdFromUrl(text);
    FUZZ_CHECK(fromUrl.size() <= 11);
    FUZZ_CHECK(fromUrl.empty() || text.find(L"v=" + fromUrl) != std::wstring::npos);
    return 0;
}
