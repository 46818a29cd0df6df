// The player component's reading of the video info answer, and of the URL
// it asks for it at.
#include "fuzz_input.h"
#include "playerctl/video_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body = fuzz::Bytes(data, size);

    const playerctl::VideoInfo info = playerctl::ParseVideoInfo(body);
    if (info.ok) {
        // Everything the playback arithmetic relies on.
        FUZZ_CHECK(info.lengthSeconds > 0 && info.lengthSeconds <= playerctl::kMaxLengthSeconds);
        FUZZ_CHECK(!info.levels.empty());
        for (std::size_t i = 0; i < info.levels.size(); ++i) {
            const std::int64_t bytes = info.BytesOf(info.levels[i]);
            FUZZ_CHECK(bytes > 0 && bytes <= playerctl::kMaxVideoBytes);
            if (i > 0) FUZZ_CHECK(info.levels[i - 1] > info.levels[i]);
        }
        FUZZ_CHECK(info.color <= 0xFFFFFF);
    } else {
        FUZZ_CHECK(info.errorCode > 0);
    }

    (void)playerctl::IsPlayerMovie(body);
    FUZZ_CHECK(playerctl::DecodeFormValue(body).size() <= body.size());
    if (auto url = playerctl::ParseHttpUrl(fuzz::Wide(body))) {
        FUZZ_CHECK(!url->host.empty());
        FUZZ_CHECK(!url->pathAndQuery.empty() && url->pathAndQuery[0] == L'/');
    }
    return 0;
}
