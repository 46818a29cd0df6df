#pragma once
// The Range header of a media request, read against the file's size.

#include <cstdint>
#include <string_view>

namespace clipdeck::service {

struct ByteRange {
    enum class Kind {
        Whole,          // no usable Range header: 200 with the whole file
        Part,           // 206 with bytes first..last (inclusive)
        Unsatisfiable,  // 416 with "Content-Range: bytes */size"
    };
    Kind kind = Kind::Whole;
    std::uint64_t first = 0;
    std::uint64_t last = 0;

    std::uint64_t Length() const { return last - first + 1; }
};

// One range of "bytes=a-b", "bytes=a-" or "bytes=-n" against a file of
// `size` bytes; an end past the file is cut to its last byte. A header that
// is not of that form (another unit, several ranges, junk) is ignored, which
// HTTP allows, and the whole file is sent. A well-formed range that starts at
// or past the end, a suffix of 0 bytes, or any range of an empty file cannot
// be satisfied.
ByteRange ParseByteRange(std::string_view header, std::uint64_t size);

}  // namespace clipdeck::service
