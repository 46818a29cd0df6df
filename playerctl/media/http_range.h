#pragma once
// The HTTP side of reading media in pieces: the Range header we send and the
// checks on what comes back. No Windows header, so it can be tested natively
// and fed arbitrary server text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace playerctl {

// Bytes first..last, both included.
std::wstring RangeHeader(std::int64_t first, std::int64_t last);

struct ContentRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = -1;  // -1: the server wrote "*"
};

// "bytes 0-99/1234" (also "bytes 0-99/*"); nothing else, no white space
// inside the numbers, first <= last < total.
std::optional<ContentRange> ParseContentRange(std::string_view value);

// A decimal length such as a Content-Length value; nothing else.
std::optional<std::int64_t> ParseLength(std::string_view value);

// What an answer to a Range request for first..last means: the size of the
// whole resource when the answer holds exactly the bytes asked for (the last
// block may end early at the resource's end), nullopt when it cannot be used
// (another status, another range, a body of the wrong size).
std::optional<std::int64_t> CheckRangeAnswer(unsigned long status, std::string_view contentRange,
                                             std::int64_t first, std::int64_t last, std::size_t bodySize);

}  // namespace playerctl
