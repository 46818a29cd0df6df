// The service's catalogue file.
#include "catalogue.h"
#include "fuzz_input.h"

using namespace clipdeck::service;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CatalogueParse parse = ParseCatalogue(fuzz::Bytes(data, size));

    for (const Video& video : parse.catalogue.Videos()) {
        FUZZ_CHECK(IsValidVideoId(video.id));
        FUZZ_CHECK(parse.catalogue.Find(video.id) == &video);
        FUZZ_CHECK(!video.levels.empty());
        for (std::size_t i = 1; i < video.levels.size(); ++i) FUZZ_CHECK(video.levels[i - 1] > video.levels[i]);
        FUZZ_CHECK(video.seconds >= 0);
        FUZZ_CHECK(video.colour <= 0xFFFFFF);
        FUZZ_CHECK(common::IsValidUtf8(video.title) && common::IsValidUtf8(video.author));
    }
    for (const CatalogueError& error : parse.errors) {
        FUZZ_CHECK(error.line >= 0);
        FUZZ_CHECK(!error.message.empty());
    }
    return 0;
}
