#include <gtest/gtest.h>

#include "catalogue.h"
#include "render.h"
#include "request.h"

namespace clipdeck::service {
namespace {

constexpr char kCatalogue[] =
    "cdPlain0001\t213\t-\t3A7BD5\tsmall,medium,large\t2008-03-14\tme\tSalt & Pepper\n"
    "cdNoEmbed01\t254\tnoembed\tB22222\tsmall\t2010-06-21\tme\tLive\n"
    "cdPrivate01\t140\tprivate\t696969\tsmall\t2012-03-03\tme\tSecret\n"
    "-cdDashLead\t33\t-\tFF8C00\tmedium\t2012-06-07\tme\tDash\n";

class Requests : public testing::Test {
protected:
    void SetUp() override {
        CatalogueParse parse = ParseCatalogue(kCatalogue);
        ASSERT_TRUE(parse.errors.empty());
        library_.catalogue = std::move(parse.catalogue);
    }
    Reply Get(std::string_view target, int forced = 0) {
        return HandleRequest(library_, "GET", target, forced);
    }
    LibrarySnapshot library_;
    const Catalogue& catalogue_ = library_.catalogue;
};

TEST_F(Requests, FeedAnswersTheEntryOfAKnownVideo) {
    Reply r = Get("/feeds/api/videos/cdPlain0001");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "application/atom+xml; charset=UTF-8");
    EXPECT_EQ(r.body, RenderEntry(*catalogue_.Find("cdPlain0001")));
}

TEST_F(Requests, FeedDecodesAPercentEncodedId) {
    EXPECT_EQ(Get("/feeds/api/videos/cd%50lain0001").status, 200);
    EXPECT_EQ(Get("/feeds/api/videos/%2DcdDashLead").status, 200);
    // '+' is a plain character in a path, not a space.
    EXPECT_EQ(Get("/feeds/api/videos/cdPlain0001+").status, 404);
}

TEST_F(Requests, FeedIgnoresAQuery) {
    EXPECT_EQ(Get("/feeds/api/videos/cdPlain0001?v=2&alt=atom").status, 200);
}

TEST_F(Requests, FeedRefusesUnknownAndPrivateVideos) {
    for (std::string_view target :
         {"/feeds/api/videos/cdMissing01", "/feeds/api/videos/", "/feeds/api/videos/cdplain0001",
          "/feeds/api/videos/cdPlain0001/extra", "/feeds/api/videos/cdPlain0001%00"}) {
        Reply r = Get(target);
        EXPECT_EQ(r.status, 404) << target;
        EXPECT_EQ(r.body, "Video not found") << target;
    }
    Reply r = Get("/feeds/api/videos/cdPrivate01");
    EXPECT_EQ(r.status, 403);
    EXPECT_EQ(r.body, "Private video");
}

TEST_F(Requests, FeedServesAVideoThatForbidsEmbeddingWithItsMark) {
    Reply r = Get("/feeds/api/videos/cdNoEmbed01");
    EXPECT_EQ(r.status, 200);
    EXPECT_NE(r.body.find("<yt:noembed/>"), std::string::npos);
}

TEST_F(Requests, PlayerMovieAnswersWhateverTheQuery) {
    for (std::string_view target : {"/apiplayer?enablejsapi=1&version=3", "/apiplayer", "/apiplayer?x"}) {
        Reply r = Get(target);
        EXPECT_EQ(r.status, 200) << target;
        EXPECT_EQ(r.contentType, "application/x-clipdeck-player");
        EXPECT_EQ(r.body.rfind("CLIPDECK-PLAYER 1\n", 0), 0u);
    }
}

TEST_F(Requests, VideoInfoAlwaysAnswers200AsAForm) {
    struct Case {
        const char* target;
        const char* start;
    } cases[] = {
        {"/get_video_info?video_id=cdPlain0001", "status=ok&video_id=cdPlain0001&title=Salt%20%26%20Pepper&"},
        {"/get_video_info?el=embedded&video_id=cd%50lain0001&ps=default", "status=ok&video_id=cdPlain0001&"},
        {"/get_video_info?video_id=cdNoEmbed01", "status=fail&errorcode=150&reason="},
        {"/get_video_info?video_id=cdPrivate01", "status=fail&errorcode=100&reason="},
        {"/get_video_info?video_id=cdMissing01", "status=fail&errorcode=100&reason="},
        {"/get_video_info?video_id=", "status=fail&errorcode=100&reason="},
        {"/get_video_info", "status=fail&errorcode=100&reason="},
    };
    for (const Case& c : cases) {
        Reply r = Get(c.target);
        EXPECT_EQ(r.status, 200) << c.target;
        EXPECT_EQ(r.contentType, "application/x-www-form-urlencoded; charset=utf-8");
        EXPECT_EQ(r.body.rfind(c.start, 0), 0u) << c.target << " -> " << r.body;
    }
}

TEST_F(Requests, WatchPageForBrowsers) {
    Reply r = Get("/watch?v=cdPlain0001&feature=related");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "text/html; charset=UTF-8");
    EXPECT_NE(r.body.find("Salt &amp; Pepper"), std::string::npos);
    EXPECT_EQ(Get("/watch?v=cdMissing01").status, 404);
    EXPECT_EQ(Get("/watch").status, 404);
    EXPECT_EQ(Get("/watch?v=cdPrivate01").status, 403);
}

TEST_F(Requests, AProxyRequestIsAnsweredByItsPathAndQuery) {
    // A browser whose proxy is the service sends the whole address.
    Reply direct = Get("/watch?v=cdPlain0001");
    Reply proxied = Get("http://www.youtube.com:80/watch?v=cdPlain0001");
    EXPECT_EQ(proxied.status, 200);
    EXPECT_EQ(proxied.body, direct.body);
    EXPECT_EQ(Get("http://127.0.0.1:8480/feeds/api/videos/cdPlain0001").status, 200);
    EXPECT_EQ(Get("http://www.youtube.com/watch?v=cdPrivate01").status, 403);
    // The site's front page is the library page.
    for (std::string_view target : {"http://www.youtube.com", "http://www.youtube.com?v=cdPlain0001",
                                    "http://www.youtube.com:80/"}) {
        EXPECT_EQ(Get(target).contentType, "text/html; charset=UTF-8") << target;
    }
    EXPECT_EQ(Get("http://www.youtube.com/WATCH?v=cdPlain0001").status, 404);
    // Only a target that names a scheme is read as an address.
    EXPECT_EQ(Get("www.youtube.com/watch?v=cdPlain0001").status, 404);
}

TEST_F(Requests, AnythingElseIsNotFound) {
    for (std::string_view target : {"/feeds/api/videos", "/feeds/api/videos?id=cdPlain0001",
                                    "/apiplayer/x", "/get_video_info/", "/WATCH?v=cdPlain0001",
                                    "//feeds/api/videos/cdPlain0001", "*", ""}) {
        EXPECT_EQ(Get(target).status, 404) << target;
    }
}

TEST_F(Requests, OnlyGetAndHeadAreAnswered) {
    EXPECT_EQ(HandleRequest(library_, "HEAD", "/feeds/api/videos/cdPlain0001", 0).status, 200);
    for (std::string_view method : {"POST", "PUT", "DELETE", "get"}) {
        EXPECT_EQ(HandleRequest(library_, method, "/feeds/api/videos/cdPlain0001", 0).status, 404)
            << method;
    }
}

TEST_F(Requests, ForcedStatusAnswersEveryRequest) {
    for (std::string_view target : {"/feeds/api/videos/cdPlain0001", "/apiplayer",
                                    "/get_video_info?video_id=cdPlain0001", "/nowhere"}) {
        Reply r = Get(target, 503);
        EXPECT_EQ(r.status, 503) << target;
        EXPECT_EQ(r.body, "Forced status 503");
    }
    EXPECT_EQ(HandleRequest(library_, "POST", "/x", 200).body, "Forced status 200");
}

TEST_F(Requests, ForcedStatusWithoutBodyHasNoBody) {
    // No Content, Reset Content and Not Modified must not carry a body.
    for (int status : {204, 205, 304}) {
        Reply r = Get("/apiplayer", status);
        EXPECT_EQ(r.status, status);
        EXPECT_TRUE(r.body.empty()) << status;
        EXPECT_TRUE(r.contentType.empty()) << status;
    }
    for (int status : {200, 203, 206, 303}) {
        EXPECT_EQ(Get("/apiplayer", status).body, "Forced status " + std::to_string(status));
    }
}

TEST(AllowedHosts, AreThisMachinesNamesAndTheVideoServicesOnly) {
    for (const char* host : {"127.0.0.1:8480", "127.0.0.1", "127.1.2.3:1", "localhost", "LocalHost:80",
                             "localhost.", "[::1]:8480", "[::1]", "www.youtube.com", "WWW.YOUTUBE.COM:80",
                             "youtube.com", "gdata.youtube.com", "", "  127.0.0.1:8480 ", "192.168.1.5:8480"}) {
        EXPECT_TRUE(IsAllowedHost(host, "192.168.1.5")) << host;
    }
    // A page that points its own name at this machine sends its own name.
    for (const char* host : {"evil.example", "evil.example:8480", "localhost.evil.example", "127.0.0.1.evil.example",
                             "www.youtube.com.evil.example", "192.168.1.5", "[::1", "[::1]x",
                             "127.0.0", "127.0.0.1.2", "1270.0.0.1", "127..0.1", "0.0.0.0", "evil@127.0.0.1"}) {
        EXPECT_FALSE(IsAllowedHost(host, "127.0.0.1")) << host;
    }
}

}  // namespace
}  // namespace clipdeck::service
