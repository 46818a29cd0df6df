#include <gtest/gtest.h>

#include "range.h"

namespace clipdeck::service {
namespace {

using Kind = ByteRange::Kind;

struct RangeCase {
    const char* header;
    std::uint64_t size;
    Kind kind;
    std::uint64_t first;
    std::uint64_t last;
};

template <std::size_t N>
void ExpectRanges(const RangeCase (&cases)[N]) {
    for (const RangeCase& c : cases) {
        ByteRange range = ParseByteRange(c.header, c.size);
        EXPECT_EQ(range.kind, c.kind) << c.header;
        EXPECT_EQ(range.first, c.first) << c.header;
        EXPECT_EQ(range.last, c.last) << c.header;
        EXPECT_EQ(range.Length(), c.last - c.first + 1) << c.header;
    }
}

TEST(ByteRange, ReadsTheThreeFormsOfOneRangeAgainstTheFileSize) {
    const RangeCase cases[] = {
        {"bytes=0-99", 1000, Kind::Part, 0, 99},
        {"bytes=100-199", 1000, Kind::Part, 100, 199},
        {"bytes=999-999", 1000, Kind::Part, 999, 999},
        {"bytes=500-", 1000, Kind::Part, 500, 999},
        {"bytes=0-", 1000, Kind::Part, 0, 999},
        {"bytes=-10", 1000, Kind::Part, 990, 999},
        // An end or a suffix past the file is cut to the file.
        {"bytes=900-5000", 1000, Kind::Part, 900, 999},
        {"bytes=-5000", 1000, Kind::Part, 0, 999},
        // Blanks around the parts and the unit in capitals are accepted.
        {" Bytes= 10 - 20 ", 1000, Kind::Part, 10, 20},
        // 64-bit sizes.
        {"bytes=5000000000-", 6000000000ull, Kind::Part, 5000000000ull, 5999999999ull},
    };
    ExpectRanges(cases);
}

TEST(ByteRange, AnEndAtOrJustPastTheLastByteEndsAtTheLastByte) {
    // bytes=0-1000 of a 1000-byte file names one byte too many: 206 with
    // "bytes 0-999/1000", never a 1001-byte answer or a 416.
    const RangeCase cases[] = {
        {"bytes=0-1000", 1000, Kind::Part, 0, 999},
        {"bytes=0-999", 1000, Kind::Part, 0, 999},
        {"bytes=0-998", 1000, Kind::Part, 0, 998},
        {"bytes=999-1000", 1000, Kind::Part, 999, 999},
        {"bytes=0-1", 1, Kind::Part, 0, 0},
    };
    ExpectRanges(cases);
}

TEST(ByteRange, RangesBeyondTheFileCannotBeSatisfied) {
    for (const char* header : {"bytes=1000-", "bytes=1000-2000", "bytes=-0", "bytes=5000-"}) {
        EXPECT_EQ(ParseByteRange(header, 1000).kind, Kind::Unsatisfiable) << header;
    }
    EXPECT_EQ(ParseByteRange("bytes=0-", 0).kind, Kind::Unsatisfiable);
    EXPECT_EQ(ParseByteRange("bytes=-5", 0).kind, Kind::Unsatisfiable);
}

TEST(ByteRange, AnythingElseSendsTheWholeFile) {
    for (const char* header : {"", "bytes", "bytes=", "bytes=-", "bytes=a-b", "bytes=5-2",
                               "bytes=0-1,5-6", "items=0-10", "bytes=1-2-3", "bytes=+1-2",
                               "bytes=99999999999999999999-"}) {
        EXPECT_EQ(ParseByteRange(header, 1000).kind, Kind::Whole) << header;
    }
}

}  // namespace
}  // namespace clipdeck::service
