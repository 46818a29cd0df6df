#include "common/host_port.h"

#include <gtest/gtest.h>

#include <string>

#include "utf16_text.h"

using clipdeck::test::U16;

namespace common {
namespace {

TEST(ParseHostPort, AcceptsNamesAddressesAndPorts) {
    EXPECT_EQ(ParseHostPort(L"127.0.0.1:8480"), (HostPort{L"127.0.0.1", 8480}));
    EXPECT_EQ(ParseHostPort(L"localhost"), (HostPort{L"localhost", 80}));
    EXPECT_EQ(ParseHostPort(L"feed-host_1.example.org:1"), (HostPort{L"feed-host_1.example.org", 1}));
    EXPECT_EQ(ParseHostPort(L"h:65535"), (HostPort{L"h", 65535}));
    EXPECT_EQ(ParseHostPort(L"h:00080"), (HostPort{L"h", 80}));
    EXPECT_TRUE(ParseHostPort(std::wstring(253, L'a')));
}

TEST(ParseHostPort, RejectsAnythingElse) {
    for (const wchar_t* text : {L"", L"   ", L" h", L"h ", L":8480", L"host:", L"host:0", L"host:65536",
                                L"host:123456", L"host:80x", L"host:-1", L"host:+80", L"host:80:81", L"ho st",
                                L"http://host", L"host/path", L"a..b", L".a", L"a.", L"[::1]:8480",
                                L"user@host", L"a\\b"}) {
        EXPECT_FALSE(ParseHostPort(text)) << "accepted: " << std::wstring(text);
    }
    EXPECT_FALSE(ParseHostPort(U16(u"h\u00F4st")));
    EXPECT_FALSE(ParseHostPort(std::wstring(L"a\0b", 3)));
    EXPECT_FALSE(ParseHostPort(std::wstring(254, L'a')));
}

}  // namespace
}  // namespace common
