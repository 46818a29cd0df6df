// Fault rules as written on the command line, which request each one takes,
// and what a client sees on a real loopback connection for every kind.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "fault.h"
#include "fault_socket.h"
#include "options.h"

namespace svc = clipdeck::service;

namespace {

svc::FaultRule Rule(const std::string& text) {
    svc::FaultParse parse = svc::ParseFaultRule(text);
    EXPECT_TRUE(parse.rule) << text << ": " << parse.error;
    return parse.rule.value_or(svc::FaultRule{});
}

TEST(FaultRule, ReadsEveryPartAndWritesItBack) {
    const svc::FaultRule info = Rule("/get_video_info?video_id=abc=partial:10@3");
    EXPECT_EQ(info.prefix, "/get_video_info?video_id=abc");
    EXPECT_EQ(info.kind, svc::FaultKind::Partial);
    EXPECT_EQ(info.arg, 10u);
    EXPECT_EQ(info.after, 3u);
    EXPECT_FALSE(info.afterBytes);

    const svc::FaultRule media = Rule("/media/=reset@500000b");
    EXPECT_EQ(media.kind, svc::FaultKind::Reset);
    EXPECT_FALSE(media.arg);
    EXPECT_EQ(media.after, 500000u);
    EXPECT_TRUE(media.afterBytes);

    for (const char* text : {"/feeds/=refuse", "/a=reset:7", "/b=stall@1", "/c=drip:20", "/d=long:5@2b",
                             "/e=short:1", "/f=delay:250@1500000b",
                             "/get_video_info?video_id=x=partial:0"})
        EXPECT_EQ(svc::FormatFaultRule(Rule(text)), text);
}

TEST(FaultRule, RefusesMalformedRulesWithAReason) {
    for (const char* text : {"", "/feeds/", "feeds=refuse", "=refuse", "/x=explode", "/x=refuse:3", "/x=stall:1",
                             "/x=partial", "/x=drip", "/x=drip:0", "/x=drip:60001", "/x=delay", "/x=delay:0",
                             "/x=delay:60001", "/x=partial:-1",
                             "/x=partial:1x", "/x=reset@", "/x=reset@b", "/x=reset@3k", "/x=long:99999999999999"}) {
        svc::FaultParse parse = svc::ParseFaultRule(text);
        EXPECT_FALSE(parse.rule) << text;
        EXPECT_FALSE(parse.error.empty()) << text;
    }
    const svc::OptionsParse options = svc::ParseOptions({"--fault", "/media/=wobble"}, "c.tsv");
    EXPECT_NE(options.error.find("--fault"), std::string::npos) << options.error;
    const svc::OptionsParse two = svc::ParseOptions({"--fault=/feeds/=refuse", "--fault", "/media/=stall"}, "c.tsv");
    ASSERT_TRUE(two.error.empty()) << two.error;
    ASSERT_EQ(two.options.faults.size(), 2u);
    EXPECT_EQ(two.options.faults[1].kind, svc::FaultKind::Stall);
    EXPECT_NE(svc::UsageText("c.tsv").find("--fault RULE"), std::string::npos);
}

TEST(FaultPlan, TheFirstMatchingRuleDecidesAfterItsCountOfRequests) {
    svc::FaultPlan plan;
    plan.Replace({Rule("/get_video_info?video_id=one=refuse@2"), Rule("/get_video_info=stall")});
    EXPECT_FALSE(plan.Decide("/feeds/api/videos/one").fault);
    EXPECT_FALSE(plan.Decide("/get_video_info?video_id=one").fault);
    EXPECT_FALSE(plan.Decide("/get_video_info?video_id=one").fault);
    auto third = plan.Decide("/get_video_info?video_id=one").fault;
    ASSERT_TRUE(third);
    EXPECT_EQ(third->kind, svc::FaultKind::Refuse);
    auto other = plan.Decide("/get_video_info?video_id=two").fault;
    ASSERT_TRUE(other);
    EXPECT_EQ(other->kind, svc::FaultKind::Stall);
    // A proxy's absolute form counts from its path.
    EXPECT_TRUE(plan.Decide("http://www.example.com:80/get_video_info?video_id=two").fault);

    plan.Replace({Rule("/get_video_info=refuse@1")});  // counts start afresh
    EXPECT_FALSE(plan.Decide("/get_video_info?video_id=one").fault);
    EXPECT_TRUE(plan.Decide("/get_video_info?video_id=one").fault);
    plan.Replace({});
    EXPECT_FALSE(plan.Decide("/get_video_info?video_id=one").fault);
}

TEST(FaultPlan, AByteCountLetsRequestsThroughUntilThatManyBytesWereSent) {
    svc::FaultPlan plan;
    plan.Replace({Rule("/media/=reset@1000b")});
    auto first = plan.Decide("/media/v/360");
    ASSERT_FALSE(first.fault);
    plan.AddBytes(first, 600);
    auto second = plan.Decide("/media/v/360");
    ASSERT_FALSE(second.fault);
    // A count handed back after the rules changed belongs to no rule.
    svc::FaultPlan::Decision stale = second;
    stale.generation += 1;
    plan.AddBytes(stale, 5000);
    EXPECT_FALSE(plan.Decide("/media/v/360").fault);
    plan.AddBytes(second, 400);
    EXPECT_TRUE(plan.Decide("/media/v/360").fault);
}

// One accepted loopback connection: the test reads as the client while the
// service side plays a fault.
class Connection {
public:
    Connection() {
        const int listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener, 1);
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        client_ = socket(AF_INET, SOCK_STREAM, 0);
        connect(client_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        server_ = accept(listener, nullptr, nullptr);
        close(listener);
        port_ = ntohs(address.sin_port);
        const timeval limit{10, 0};
        setsockopt(client_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    ~Connection() {
        if (worker_.joinable()) worker_.join();
        if (client_ >= 0) close(client_);
        close(server_);
    }

    void Play(const std::string& rule, const svc::RawAnswer& answer) {
        worker_ = std::thread([this, rule, answer] { sent_ = svc::PlayFault(server_, Rule(rule), answer, [] { return false; }); });
    }
    // Everything the client receives until the connection ends; `end` is 0
    // for a normal close, else the errno of the failed read.
    std::string ReadToEnd(int& end) {
        std::string text;
        char buffer[4096];
        for (;;) {
            const ssize_t n = recv(client_, buffer, sizeof buffer, 0);
            if (n > 0) {
                text.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            end = n == 0 ? 0 : errno;
            return text;
        }
    }
    std::uint64_t Finish() {
        worker_.join();
        return sent_;
    }
    void CloseClient() {
        close(client_);
        client_ = -1;
    }
    int Client() const { return client_; }
    int Server() const { return server_; }
    int Port() const { return port_; }

private:
    int client_ = -1;
    int server_ = -1;
    int port_ = 0;
    std::thread worker_;
    std::uint64_t sent_ = 0;
};

svc::RawAnswer TextAnswer() {
    svc::RawAnswer answer;
    answer.headers.emplace_back("Content-Type", "text/plain");
    answer.body = "0123456789";
    return answer;
}

std::string Head(std::uint64_t length) { return svc::AnswerHead(TextAnswer(), length); }

TEST(PlayFault, EachKindSendsWhatItPromisesAndEndsTheConnection) {
    struct Case {
        const char* rule;
        std::string expected;
        int end;
        std::uint64_t sent;
    };
    const Case cases[] = {
        {"/=refuse", "", 0, 0},
        {"/=reset", "", ECONNRESET, 0},
        {"/=reset:4", Head(10) + "0123", ECONNRESET, 4},
        {"/=partial:4", Head(10) + "0123", 0, 4},
        {"/=partial:99", Head(10) + "012345678", 0, 9},
        {"/=drip:1", Head(10) + "0123456789", 0, 10},
        {"/=long:5", Head(15) + "0123456789", 0, 10},
        {"/=short:3", Head(7) + "0123456789", 0, 10},
        {"/=delay:1", Head(10) + "0123456789", 0, 10},
    };
    for (const Case& c : cases) {
        Connection connection;
        connection.Play(c.rule, TextAnswer());
        int end = -1;
        EXPECT_EQ(connection.ReadToEnd(end), c.expected) << c.rule;
        EXPECT_EQ(end, c.end) << c.rule;
        EXPECT_EQ(connection.Finish(), c.sent) << c.rule;
        // The number stays open for its owner, on no connection.
        EXPECT_NE(fcntl(connection.Server(), F_GETFD), -1) << c.rule;
        EXPECT_EQ(send(connection.Server(), "x", 1, MSG_NOSIGNAL), -1) << c.rule;
    }
}

TEST(PlayFault, AStallSendsTheHeadAndWaitsUntilTheClientLeaves) {
    Connection connection;
    connection.Play("/=stall", TextAnswer());
    const std::string head = Head(10);
    std::string got(head.size(), '\0');
    ASSERT_EQ(recv(connection.Client(), got.data(), got.size(), MSG_WAITALL), static_cast<ssize_t>(head.size()));
    EXPECT_EQ(got, head);
    const timeval brief{0, 300'000};
    setsockopt(connection.Client(), SOL_SOCKET, SO_RCVTIMEO, &brief, sizeof brief);
    char more;
    EXPECT_EQ(recv(connection.Client(), &more, 1, 0), -1);  // nothing follows
    connection.CloseClient();
    EXPECT_EQ(connection.Finish(), 0u);  // returns once the client has gone
}

TEST(PlayFault, ADelaySendsNothingUntilItsTimeThenTheWholeAnswer) {
    Connection connection;
    connection.Play("/=delay:600", TextAnswer());
    const timeval brief{0, 200'000};
    setsockopt(connection.Client(), SOL_SOCKET, SO_RCVTIMEO, &brief, sizeof brief);
    char first;
    EXPECT_EQ(recv(connection.Client(), &first, 1, 0), -1);  // nothing yet
    const timeval patient{10, 0};
    setsockopt(connection.Client(), SOL_SOCKET, SO_RCVTIMEO, &patient, sizeof patient);
    int end = -1;
    EXPECT_EQ(connection.ReadToEnd(end), Head(10) + "0123456789");
    EXPECT_EQ(end, 0);
    EXPECT_EQ(connection.Finish(), 10u);
}

TEST(PlayFault, FindsTheConnectionOfARequestByItsPorts) {
    Connection connection;
    sockaddr_in client{};
    socklen_t size = sizeof client;
    getsockname(connection.Client(), reinterpret_cast<sockaddr*>(&client), &size);
    EXPECT_EQ(svc::FindConnection(connection.Port(), "127.0.0.1", ntohs(client.sin_port)), connection.Server());
    EXPECT_EQ(svc::FindConnection(connection.Port(), "127.0.0.1", ntohs(client.sin_port) ^ 1), -1);
}

}  // namespace
