#include "videoinfo/video_info_fetch.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "scripted_http_responder.h"
#include "videoinfo/feed_address.h"
#include "videoinfo/video_info_parse.h"

namespace {

using clipdeck::test::HttpResponse;
using clipdeck::test::ResponderScript;
using clipdeck::test::ScriptedResponder;
using clipdeck::test::UnusedLoopbackPort;
using namespace std::string_literals;

// The feed host is taken from the environment on every call; each test
// points it at its own responder.
class FetchVideoInfoTest : public testing::Test {
protected:
    void TearDown() override { SetEnvironmentVariableW(kFeedHostVariable, nullptr); }

    static void PointFeedAt(const std::wstring& setting) {
        ASSERT_TRUE(SetEnvironmentVariableW(kFeedHostVariable, setting.c_str()));
    }
    static void PointFeedAt(const ScriptedResponder& responder) { PointFeedAt(responder.HostSetting()); }
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string RequestLine(const std::string& head) { return head.substr(0, head.find("\r\n")); }

TEST_F(FetchVideoInfoTest, DecodesAUtf8BodyExactly) {
    // Japanese, accented Latin and a character outside the basic plane.
    const std::string body =
        "<?xml version='1.0' encoding='UTF-8'?><entry><title type='text'>"
        "\xE5\xA4\x9C\xE3\x81\xAE\xE6\x95\xA3\xE6\xAD\xA9 Caf\xC3\xA9 cr\xC3\xA8me \xF0\x9F\x8E\xB5 &amp; co"
        "</title><media:group><yt:duration seconds='213'/></media:group></entry>";
    ScriptedResponder responder({HttpResponse(200, "OK", body)});
    PointFeedAt(responder);

    std::wstring reply;
    ASSERT_EQ(FetchVideoInfo(L"aB3-_x9Zk0Q", &reply), kFetchOk);

    const std::wstring expected =
        L"<?xml version='1.0' encoding='UTF-8'?><entry><title type='text'>"
        L"\u591C\u306E\u6563\u6B69 Caf\u00E9 cr\u00E8me \xD83C\xDFB5 &amp; co"
        L"</title><media:group><yt:duration seconds='213'/></media:group></entry>";
    EXPECT_EQ(reply, expected);
    EXPECT_EQ(ParseTitle(reply), L"\u591C\u306E\u6563\u6B69 Caf\u00E9 cr\u00E8me \xD83C\xDFB5 & co");
    EXPECT_EQ(ParseDuration(reply), 213);
}

TEST_F(FetchVideoInfoTest, ReadsALongBodyWithZeroBytesCompletely) {
    // Many read chunks long, with zero bytes scattered through it.
    std::string body;
    std::wstring expected;
    for (int i = 0; body.size() < 40000; ++i) {
        if (i % 37 == 0) {
            body.push_back('\0');
            expected.push_back(L'\0');
        }
        const std::string n = std::to_string(i);
        body += "<line n='" + n + "'>\xC3\xA9</line>\n";
        expected += L"<line n='" + std::wstring(n.begin(), n.end()) + L"'>\u00E9</line>\n";
    }
    ScriptedResponder responder({HttpResponse(200, "OK", body)});
    PointFeedAt(responder);

    std::wstring reply;
    ASSERT_EQ(FetchVideoInfo(L"long", &reply), kFetchOk);
    EXPECT_EQ(reply.size(), expected.size());
    EXPECT_TRUE(reply == expected);
}

TEST_F(FetchVideoInfoTest, EmptyBodyIsAnEmptyReply) {
    ScriptedResponder responder({HttpResponse(200, "OK", "")});
    PointFeedAt(responder);
    std::wstring reply = L"stale";
    EXPECT_EQ(FetchVideoInfo(L"empty", &reply), kFetchOk);
    EXPECT_EQ(reply, L"");
}

TEST_F(FetchVideoInfoTest, OtherStatusGivesOneAndAnEmptyReply) {
    for (const auto& [status, reason] : {std::pair{404, "Not Found"}, std::pair{403, "Forbidden"},
                                        std::pair{500, "Internal Server Error"}}) {
        ScriptedResponder responder({HttpResponse(status, reason, "Video not found")});
        PointFeedAt(responder);
        std::wstring reply = L"stale";
        EXPECT_EQ(FetchVideoInfo(L"missing", &reply), kFetchHttpStatus) << status;
        EXPECT_EQ(reply, L"") << status;
        EXPECT_EQ(responder.Requests().size(), 1u) << status;
    }
}

TEST_F(FetchVideoInfoTest, NullTargetGivesTwoAndSendsNothing) {
    ScriptedResponder responder({HttpResponse(200, "OK", "<title>x</title>")});
    PointFeedAt(responder);
    EXPECT_EQ(FetchVideoInfo(L"aB3-_x9Zk0Q", nullptr), kFetchNoTarget);
    // A later real request is the first and only one the server sees.
    std::wstring reply;
    ASSERT_EQ(FetchVideoInfo(L"second", &reply), kFetchOk);
    const auto requests = responder.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(RequestLine(requests[0]), "GET /feeds/api/videos/second HTTP/1.1");
}

TEST_F(FetchVideoInfoTest, NothingListeningGivesThree) {
    PointFeedAt(L"127.0.0.1:" + std::to_wstring(UnusedLoopbackPort()));
    std::wstring reply = L"stale";
    EXPECT_EQ(FetchVideoInfo(L"aB3-_x9Zk0Q", &reply), kFetchClientError);
    EXPECT_EQ(reply, L"");
}

TEST_F(FetchVideoInfoTest, SilentServerIsGivenUpAfterTheTimeOut) {
    // Accepts the connection, reads the request and never answers.
    ScriptedResponder responder({"", 0, true});
    PointFeedAt(responder);
    std::wstring reply = L"stale";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FetchVideoInfo(L"aB3-_x9Zk0Q", &reply), kFetchClientError);
    const double elapsed = SecondsSince(start);
    EXPECT_EQ(reply, L"");
    EXPECT_EQ(responder.Requests().size(), 1u);
    // Functional bound: the call must come back, well before the minutes an
    // unbounded wait would take. The time-out itself is 5 s.
    EXPECT_GE(elapsed, 4.0);
    EXPECT_LT(elapsed, 15.0);
}

TEST_F(FetchVideoInfoTest, SlowButAnsweringServerIsWaitedFor) {
    ScriptedResponder responder({HttpResponse(200, "OK", "<title>late</title>"), 1500});
    PointFeedAt(responder);
    std::wstring reply;
    EXPECT_EQ(FetchVideoInfo(L"slow", &reply), kFetchOk);
    EXPECT_EQ(reply, L"<title>late</title>");
}

TEST_F(FetchVideoInfoTest, BodyStalledMidwayGivesThreeAndAnEmptyReply) {
    std::string response = HttpResponse(200, "OK", std::string(5000, 'x'));
    response.resize(response.size() - 2000);
    ScriptedResponder responder({response, 0, true});
    PointFeedAt(responder);
    std::wstring reply = L"stale";
    EXPECT_EQ(FetchVideoInfoWithTimeout(L"stall", &reply, 500), kFetchClientError);
    EXPECT_EQ(reply, L"");
}

TEST_F(FetchVideoInfoTest, OversizedBodyIsAbandoned) {
    ScriptedResponder over({HttpResponse(200, "OK", std::string(kMaxReplyBytes + 1, 'x'))});
    PointFeedAt(over);
    std::wstring reply = L"stale";
    EXPECT_EQ(FetchVideoInfo(L"big", &reply), kFetchClientError);
    EXPECT_EQ(reply, L"");

    ScriptedResponder atLimit({HttpResponse(200, "OK", std::string(kMaxReplyBytes, 'x'))});
    PointFeedAt(atLimit);
    ASSERT_EQ(FetchVideoInfo(L"big", &reply), kFetchOk);
    EXPECT_EQ(reply.size(), kMaxReplyBytes);
}

TEST_F(FetchVideoInfoTest, SendsTheRequestLineAndUserAgent) {
    ScriptedResponder responder({HttpResponse(200, "OK", "<title>x</title>")});
    PointFeedAt(responder);
    std::wstring reply;
    ASSERT_EQ(FetchVideoInfo(L"aB3-_x9Zk0Q", &reply), kFetchOk);
    ASSERT_EQ(FetchVideoInfo(L"a&b/c?d#e f", &reply), kFetchOk);
    ASSERT_EQ(FetchVideoInfo(L"", &reply), kFetchOk);
    ASSERT_EQ(FetchVideoInfo(L"\u65E5\u00E9", &reply), kFetchOk);

    const auto requests = responder.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(RequestLine(requests[0]), "GET /feeds/api/videos/aB3-_x9Zk0Q HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[1]), "GET /feeds/api/videos/a%26b%2Fc%3Fd%23e%20f HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[2]), "GET /feeds/api/videos/ HTTP/1.1");
    EXPECT_EQ(RequestLine(requests[3]), "GET /feeds/api/videos/%E6%97%A5%C3%A9 HTTP/1.1");
    for (const auto& head : requests) {
        EXPECT_NE(head.find("\r\nUser-Agent: HTTP Get Youtube Application ver-1.00\r\n"), std::string::npos) << head;
        EXPECT_NE(head.find("\r\nHost: 127.0.0.1:" + std::to_string(responder.Port()) + "\r\n"), std::string::npos)
            << head;
    }
}

TEST_F(FetchVideoInfoTest, ReadsTheFeedHostOnEveryCall) {
    ScriptedResponder first({HttpResponse(200, "OK", "<title>one</title>")});
    ScriptedResponder second({HttpResponse(200, "OK", "<title>two</title>")});
    std::wstring reply;

    PointFeedAt(first);
    ASSERT_EQ(FetchVideoInfo(L"x", &reply), kFetchOk);
    EXPECT_EQ(reply, L"<title>one</title>");
    PointFeedAt(second);
    ASSERT_EQ(FetchVideoInfo(L"x", &reply), kFetchOk);
    EXPECT_EQ(reply, L"<title>two</title>");
    EXPECT_EQ(first.Requests().size(), 1u);
    EXPECT_EQ(second.Requests().size(), 1u);
}

}  // namespace
