// The built clipdeck-service, started as a script would start it and asked
// over real HTTP on loopback.

#include "service_process.h"

#include <atomic>

namespace {

using namespace clipdeck::test;
// One service with the shipped catalogue for the read-only requests.
class RunningService : public testing::Test {
protected:
    static void SetUpTestSuite() {
        service_ = new ServiceProcess;
        if (!service_->Start({"--port", "0"}))
            ADD_FAILURE() << "service did not start: " << service_->Stderr();
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(service_->Stop(), 0) << service_->Stderr();
        delete service_;
        service_ = nullptr;
    }
    void SetUp() override { ASSERT_GT(service_->Port(), 0); }

    httplib::Result Get(const std::string& target) { return MakeClient(service_->Port()).Get(target); }

    static ServiceProcess* service_;
};

ServiceProcess* RunningService::service_ = nullptr;

TEST_F(RunningService, AnnouncesItsAddressOnTheFirstLine) {
    std::vector<std::string> lines = Lines(service_->Stdout());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "clipdeck-service listening on 127.0.0.1:" + std::to_string(service_->Port()));
}

TEST_F(RunningService, ServesTheEntryOfAVideoWithAJapaneseTitle) {
    auto res = Get("/feeds/api/videos/cdJapan0001");
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "application/atom+xml; charset=UTF-8");
    EXPECT_NE(res->body.find(std::string("<title type='text'>") + kJapaneseTitle + "</title>"),
              std::string::npos)
        << res->body;
    EXPECT_NE(res->body.find("<yt:duration seconds='180'/>"), std::string::npos);
}

TEST_F(RunningService, DecodesAPercentEncodedIdInThePath) {
    auto res = Get("/feeds/api/videos/cd%4Aapan0001");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
}

TEST_F(RunningService, RefusesUnknownAndPrivateVideos) {
    auto missing = Get("/feeds/api/videos/cdNoSuchOne");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
    EXPECT_EQ(missing->body, "Video not found");
    auto hidden = Get("/feeds/api/videos/cdPrivate01");
    ASSERT_TRUE(hidden);
    EXPECT_EQ(hidden->status, 403);
    EXPECT_EQ(hidden->body, "Private video");
    auto elsewhere = Get("/favicon.ico");
    ASSERT_TRUE(elsewhere);
    EXPECT_EQ(elsewhere->status, 404);
}

TEST_F(RunningService, AnswersVideoInfoAsAForm) {
    auto ok = Get("/get_video_info?video_id=cdPlain0001");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(ok->get_header_value("Content-Type"),
              "application/x-www-form-urlencoded; charset=utf-8");
    EXPECT_EQ(ok->body.rfind("status=ok&video_id=cdPlain0001&"
                             "title=Morning%20Walk%20Through%20the%20Old%20Harbour&"
                             "length_seconds=213&fmt_list=large%2Cmedium%2Csmall&bytes_large=",
                             0),
              0u)
        << ok->body;

    auto noEmbed = Get("/get_video_info?video_id=cdNoEmbed01");
    ASSERT_TRUE(noEmbed);
    EXPECT_EQ(noEmbed->status, 200);
    EXPECT_EQ(noEmbed->body.rfind("status=fail&errorcode=150&reason=", 0), 0u) << noEmbed->body;

    for (const char* id : {"cdNoSuchOne", "cdPrivate01"}) {
        auto fail = Get(std::string("/get_video_info?video_id=") + id);
        ASSERT_TRUE(fail);
        EXPECT_EQ(fail->status, 200);
        EXPECT_EQ(fail->body.rfind("status=fail&errorcode=100&reason=", 0), 0u) << fail->body;
    }
}

TEST_F(RunningService, ServesThePlayerMovieAndTheWatchPage) {
    auto movie = Get("/apiplayer?enablejsapi=1&version=3");
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->status, 200);
    EXPECT_EQ(movie->get_header_value("Content-Type"), "application/x-clipdeck-player");
    EXPECT_EQ(movie->body.rfind("CLIPDECK-PLAYER 1\n", 0), 0u);

    auto page = Get("/watch?v=cdJapan0001");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find(kJapaneseTitle), std::string::npos);
}

TEST_F(RunningService, AnswersManyClientsAtOnce) {
    std::atomic<int> good{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 6; ++t) {
        clients.emplace_back([&] {
            auto client = MakeClient(service_->Port());
            client.set_keep_alive(true);
            for (int i = 0; i < 10; ++i) {
                auto res = client.Get("/get_video_info?video_id=cdHighres01");
                if (res && res->status == 200 && res->body.rfind("status=ok&", 0) == 0) ++good;
            }
        });
    }
    for (auto& c : clients) c.join();
    EXPECT_EQ(good.load(), 60);
}

TEST(ServiceProcess, LogsOneLinePerRequestAndStopsCleanlyOnInterrupt) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start({"--port", "0"})) << service.Stderr();
    auto client = MakeClient(service.Port());
    ASSERT_TRUE(client.Get("/feeds/api/videos/cdPlain0001"));
    // The line is written after the answer, and the next request comes on a
    // new connection served by another thread: without this wait the two
    // lines may come in either order.
    ASSERT_TRUE(service.WaitForLines(2)) << service.Stdout();
    ASSERT_TRUE(client.Get("/nothing?x=1"));
    EXPECT_EQ(service.Stop(SIGINT), 0) << service.Stderr();

    std::vector<std::string> lines = Lines(service.Stdout());
    ASSERT_EQ(lines.size(), 3u) << service.Stdout();
    EXPECT_EQ(lines[1].rfind("GET /feeds/api/videos/cdPlain0001 200 ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("GET /nothing?x=1 404 9 bytes ", 0), 0u) << lines[2];
    EXPECT_EQ(service.Stderr(), "");
}

TEST(ServiceProcess, AnswersOnlyRequestsAddressedToThisMachine) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start({"--port", "0"})) << service.Stderr();
    auto client = MakeClient(service.Port());
    // A page that has pointed its own name at 127.0.0.1.
    auto foreign = client.Get("/", {{"Host", "evil.example:8480"}});
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->status, 403);
    EXPECT_EQ(foreign->body.find("<html"), std::string::npos);
    auto entry = client.Get("/feeds/api/videos/cdPlain0001", {{"Host", "evil.example"}});
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->status, 403);
    // This machine's names, and the video service's through a browser's proxy.
    for (const char* host : {"localhost:1234", "127.0.0.1", "www.youtube.com"}) {
        auto res = client.Get("/", {{"Host", host}});
        ASSERT_TRUE(res) << host;
        EXPECT_EQ(res->status, 200) << host;
    }
    ASSERT_TRUE(service.WaitForLines(8)) << service.Stdout();
    EXPECT_EQ(service.Stop(), 0);
    const std::string log = service.Stdout();
    EXPECT_NE(log.find("\nrefused Host evil.example:8480: not this machine's\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\nGET / 403 "), std::string::npos) << log;
}

TEST(ServiceProcess, ForcedStatusAnswersEveryRequest) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start({"--port", "0", "--status", "503"})) << service.Stderr();
    auto client = MakeClient(service.Port());
    for (const char* target : {"/feeds/api/videos/cdPlain0001", "/get_video_info?video_id=cdPlain0001",
                               "/apiplayer?enablejsapi=1&version=3"}) {
        auto res = client.Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 503) << target;
        EXPECT_EQ(res->body, "Forced status 503");
    }
    EXPECT_EQ(service.Stop(), 0);
}

TEST(ServiceProcess, LatencyDelaysEveryAnswer) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start({"--port", "0", "--latency-ms", "300"})) << service.Stderr();
    auto client = MakeClient(service.Port());
    const auto start = Clock::now();
    auto res = client.Get("/feeds/api/videos/cdPlain0001");
    const auto elapsed = Clock::now() - start;
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_GE(elapsed, 300ms);
    EXPECT_EQ(service.Stop(), 0);

    std::vector<std::string> lines = Lines(service.Stdout());
    ASSERT_EQ(lines.size(), 2u);
    std::size_t bytes = lines[1].find(" bytes ");
    ASSERT_NE(bytes, std::string::npos);
    EXPECT_GE(std::atoi(lines[1].c_str() + bytes + 7), 300) << lines[1];
}

TEST(ServiceProcess, AStopIsNotHeldUpByALongLatency) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start({"--port", "0", "--latency-ms", "600000"})) << service.Stderr();
    std::thread waiting([port = service.Port()] { MakeClient(port).Get("/apiplayer"); });
    // Time for the request to reach its wait; nothing outside can see that it has.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(service.Stop(SIGTERM, 10s), 0);
    waiting.join();
    // The waiting request was still answered on the way out.
    std::vector<std::string> lines = Lines(service.Stdout());
    ASSERT_EQ(lines.size(), 2u) << service.Stdout();
    EXPECT_EQ(lines[1].rfind("GET /apiplayer 200 ", 0), 0u) << lines[1];
}

TEST(ServiceProcess, AMalformedCatalogueStopsItWithTheLineNumber) {
    ServiceProcess service;
    const fs::path path = service.Dir() / "bad.tsv";
    std::ofstream(path) << "# bad\ncdMine00001\t42\t-\t123456\tsmall,4k\t2020-01-01\tme\tMine\n";
    EXPECT_FALSE(service.Start({"--port", "0", "--catalogue", path.string()}));
    EXPECT_EQ(service.ExitCode(), 2);
    EXPECT_NE(service.Stderr().find(path.string() + ":2: "), std::string::npos) << service.Stderr();
    EXPECT_EQ(service.Stdout(), "");
}

TEST(ServiceProcess, ABadOptionStopsIt) {
    ServiceProcess service;
    EXPECT_EQ(service.Run({"--port", "70000"}), 2);
    EXPECT_NE(service.Stderr().find("--port"), std::string::npos) << service.Stderr();
    EXPECT_EQ(service.Run({"--frobnicate"}), 2);
}

TEST(ServiceProcess, ABusyPortIsRefused) {
    ServiceProcess first;
    ASSERT_TRUE(first.Start({"--port", "0"})) << first.Stderr();
    ServiceProcess second;
    EXPECT_FALSE(second.Start({"--port", std::to_string(first.Port())}));
    EXPECT_EQ(second.ExitCode(), 1);
    EXPECT_NE(second.Stderr().find("cannot listen on 127.0.0.1:" + std::to_string(first.Port())),
              std::string::npos)
        << second.Stderr();
    EXPECT_EQ(first.Stop(), 0);
}

// --- Media files -------------------------------------------------------------

const fs::path kMedia = CLIPDECK_TEST_MEDIA;

// The ID of the video titled `title`, from the service's "media" lines. A
// video whose files are read apart may be listed more than once, with the
// levels read so far; its last line counts.
std::string MediaId(const std::string& stdoutText, const std::string& title) {
    std::string id;
    for (const std::string& line : Lines(stdoutText)) {
        if (line.rfind("media ", 0) == 0 && line.size() > title.size() &&
            line.compare(line.size() - title.size() - 1, std::string::npos, " " + title) == 0)
            id = line.substr(6, 11);
    }
    return id;
}

// The last "media" line of the video `id`.
std::string MediaLine(const std::string& stdoutText, const std::string& id) {
    std::string found;
    for (const std::string& line : Lines(stdoutText)) {
        if (line.rfind("media " + id + " ", 0) == 0) found = line;
    }
    return found;
}

// One service with the test media folder, shared by the read-only requests.
class MediaService : public testing::Test {
protected:
    static void SetUpTestSuite() {
        service_ = new ServiceProcess;
        if (!service_->Start({"--port", "0", "--media-dir", kMedia.string()}))
            ADD_FAILURE() << "service did not start: " << service_->Stderr();
        if (!service_->WaitForLine("scanned ")) ADD_FAILURE() << "the folder was not read: " << service_->Stdout();
        tiny_ = MediaId(service_->Stdout(), TitleOf("Tiny Clip", "tiny"));
        small_ = ReadFile(kMedia / "tiny_240.mp4");
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(service_->Stop(), 0) << service_->Stderr();
        delete service_;
        service_ = nullptr;
    }
    void SetUp() override {
        ASSERT_GT(service_->Port(), 0);
        ASSERT_EQ(tiny_.size(), 11u) << service_->Stdout();
        ASSERT_GT(small_.size(), 1000u);
    }

    httplib::Result Get(const std::string& target, const std::string& range = {}) {
        httplib::Headers headers;
        if (!range.empty()) headers.emplace("Range", range);
        return MakeClient(service_->Port()).Get(target, headers);
    }
    std::string SmallPath() const { return "/media/" + tiny_ + "/small"; }

    static ServiceProcess* service_;
    static std::string tiny_;   // ID of tiny_240.mp4 + tiny_360p.mp4
    static std::string small_;  // the bytes of tiny_240.mp4
};

ServiceProcess* MediaService::service_ = nullptr;
std::string MediaService::tiny_;
std::string MediaService::small_;

TEST_F(MediaService, ListsTheVideosOfTheFolderAndWarnsOfUnreadableFiles) {
    const std::string log = service_->Stdout();
    std::vector<std::string> lines = Lines(log);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("clipdeck-service listening on ", 0), 0u);
    EXPECT_EQ(lines[1].rfind("media ", 0), 0u) << lines[1];
    EXPECT_EQ(MediaLine(log, MediaId(log, "other")).substr(17), " small 1 other") << log;
    EXPECT_EQ(MediaLine(log, tiny_), "media " + tiny_ + " medium,small 3 " + TitleOf("Tiny Clip", "tiny"));
    EXPECT_NE(log.find("\nscanned 1 folder: 2 videos, 1 file skipped\n"), std::string::npos) << log;
    EXPECT_NE(service_->Stderr().find("broken.mp4"), std::string::npos) << service_->Stderr();
}

TEST_F(MediaService, VideoInfoNamesEachLevelsAddressAndFileSize) {
    auto res = Get("/get_video_info?video_id=" + tiny_);
    ASSERT_TRUE(res);
    const std::string& body = res->body;
    EXPECT_NE(body.find("&length_seconds=3&fmt_list=medium%2Csmall&bytes_medium=" +
                        std::to_string(fs::file_size(kMedia / "tiny_360p.mp4")) +
                        "&bytes_small=" + std::to_string(small_.size()) + "&"),
              std::string::npos)
        << body;
    EXPECT_NE(body.find("&media_small=%2Fmedia%2F" + tiny_ + "%2Fsmall&type_small=video%2Fmp4"),
              std::string::npos)
        << body;
    // The simulated videos of the catalogue are still there, unchanged.
    auto plain = Get("/get_video_info?video_id=cdPlain0001");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->body.find("media_"), std::string::npos) << plain->body;
}

TEST_F(MediaService, SendsTheWholeFile) {
    auto res = Get(SmallPath());
    ASSERT_TRUE(res) << httplib::to_string(res.error());
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "video/mp4");
    EXPECT_EQ(res->get_header_value("Accept-Ranges"), "bytes");
    EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(small_.size()));
    EXPECT_FALSE(res->has_header("Content-Range"));
    EXPECT_TRUE(res->body == small_);

    auto webm = Get("/media/" + MediaId(service_->Stdout(), "other") + "/small");
    ASSERT_TRUE(webm);
    EXPECT_EQ(webm->status, 200);
    EXPECT_EQ(webm->get_header_value("Content-Type"), "video/webm");
    EXPECT_EQ(webm->body.size(), fs::file_size(kMedia / "other.webm"));
}

TEST_F(MediaService, SendsOneByteRangeOfEachForm) {
    const std::uint64_t size = small_.size();
    struct Case {
        std::string header;
        std::uint64_t first, last;
    };
    const Case cases[] = {
        {"bytes=0-0", 0, 0},
        {"bytes=100-1099", 100, 1099},
        {"bytes=500-", 500, size - 1},
        {"bytes=-300", size - 300, size - 1},
        {"bytes=" + std::to_string(size - 10) + "-" + std::to_string(size + 5000), size - 10,
         size - 1},
        {"bytes=-" + std::to_string(size * 2), 0, size - 1},
    };
    for (const Case& c : cases) {
        auto res = Get(SmallPath(), c.header);
        ASSERT_TRUE(res) << c.header;
        EXPECT_EQ(res->status, 206) << c.header;
        EXPECT_EQ(res->get_header_value("Content-Range"),
                  "bytes " + std::to_string(c.first) + "-" + std::to_string(c.last) + "/" +
                      std::to_string(size))
            << c.header;
        EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(c.last - c.first + 1))
            << c.header;
        EXPECT_TRUE(res->body == small_.substr(c.first, c.last - c.first + 1)) << c.header;
    }
}

TEST_F(MediaService, RefusesARangeBeyondTheFileWith416) {
    const std::string size = std::to_string(small_.size());
    for (const std::string& header : {"bytes=" + size + "-", "bytes=" + size + "-99999999",
                                      std::string("bytes=-0")}) {
        auto res = Get(SmallPath(), header);
        ASSERT_TRUE(res) << header;
        EXPECT_EQ(res->status, 416) << header;
        EXPECT_EQ(res->get_header_value("Content-Range"), "bytes */" + size) << header;
    }
}

TEST_F(MediaService, IgnoresRangesItDoesNotServe) {
    // Several ranges at once: the whole file, as HTTP allows.
    auto several = Get(SmallPath(), "bytes=0-9,20-29");
    ASSERT_TRUE(several);
    EXPECT_EQ(several->status, 200);
    EXPECT_EQ(several->body.size(), small_.size());
    // Answers other than media are never cut.
    auto info = Get("/get_video_info?video_id=cdPlain0001", "bytes=0-9");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->status, 200);
    EXPECT_EQ(info->body.rfind("status=ok&video_id=cdPlain0001&", 0), 0u) << info->body;
}

TEST_F(MediaService, AnswersHeadWithTheLengthAndNoBody) {
    auto res = MakeClient(service_->Port()).Head(SmallPath());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(small_.size()));
    EXPECT_TRUE(res->body.empty());
}

TEST_F(MediaService, RefusesMediaAddressesOfNoFile) {
    for (const std::string& target : {"/media/" + tiny_ + "/hd720",
                                      std::string("/media/cdPlain0001/small"), "/media/" + tiny_,
                                      std::string("/media/")}) {
        auto res = Get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 404) << target;
    }
}

TEST(MediaServiceProcess, LogsTheBytesOfARange) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start({"--port", "0", "--media-dir", kMedia.string()})) << service.Stderr();
    ASSERT_TRUE(service.WaitForLine("scanned ")) << service.Stdout();
    const std::string id = MediaId(service.Stdout(), TitleOf("Tiny Clip", "tiny"));
    const std::size_t before = Lines(service.Stdout()).size();
    auto res = MakeClient(service.Port()).Get("/media/" + id + "/small", {{"Range", "bytes=10-109"}});
    ASSERT_TRUE(res);
    ASSERT_TRUE(service.WaitForLines(before + 1)) << service.Stdout();
    EXPECT_EQ(service.Stop(), 0);
    std::vector<std::string> lines = Lines(service.Stdout());
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_EQ(lines.back().rfind("GET /media/" + id + "/small 206 100 bytes ", 0), 0u)
        << lines.back();
}

TEST(MediaServiceProcess, ServesFilesNamedInTheCatalogue) {
    ServiceProcess service;
    const fs::path catalogue = service.Dir() / "media.tsv";
    fs::copy_file(kMedia / "tiny_240.mp4", service.Dir() / "mine.mp4");
    std::ofstream(catalogue) << "cdMine00001\t99\t-\t123456\tsmall\t2020-01-01\tme\tMine\t"
                                "small=mine.mp4\n"
                                "cdPlain0001\t42\t-\t123456\tsmall\t2020-01-01\tme\tPlain\n";
    ASSERT_TRUE(service.Start({"--port", "0", "--catalogue", catalogue.string()}))
        << service.Stderr();
    auto client = MakeClient(service.Port());
    auto info = client.Get("/get_video_info?video_id=cdMine00001");
    ASSERT_TRUE(info);
    EXPECT_NE(info->body.find("&length_seconds=2&"), std::string::npos) << info->body;
    EXPECT_NE(info->body.find("&media_small=%2Fmedia%2FcdMine00001%2Fsmall"), std::string::npos)
        << info->body;
    auto file = client.Get("/media/cdMine00001/small");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->status, 200);
    EXPECT_TRUE(file->body == ReadFile(kMedia / "tiny_240.mp4"));
    EXPECT_EQ(service.Stop(), 0);
}

TEST(MediaServiceProcess, AMissingMediaFileOrFolderStopsIt) {
    ServiceProcess service;
    const fs::path catalogue = service.Dir() / "media.tsv";
    std::ofstream(catalogue) << "cdMine00001\t99\t-\t123456\tsmall\t2020-01-01\tme\tMine\t"
                                "small=gone.mp4\n";
    EXPECT_FALSE(service.Start({"--port", "0", "--catalogue", catalogue.string()}));
    EXPECT_EQ(service.ExitCode(), 2);
    EXPECT_NE(service.Stderr().find("gone.mp4"), std::string::npos) << service.Stderr();

    EXPECT_FALSE(service.Start({"--port", "0", "--media-dir", (service.Dir() / "none").string()}));
    EXPECT_EQ(service.ExitCode(), 2);
    EXPECT_NE(service.Stderr().find("--media-dir"), std::string::npos) << service.Stderr();
}

// Polls `target` until its status is `status`, at most `limit`.
httplib::Result GetUntil(int port, const std::string& target, int status, std::chrono::seconds limit = 15s) {
    const auto end = Clock::now() + limit;
    for (;;) {
        auto res = MakeClient(port).Get(target);
        if ((res && res->status == status) || Clock::now() >= end) return res;
        std::this_thread::sleep_for(50ms);
    }
}

TEST(MediaFolderProcess, FollowsFilesThatComeChangeAndGoInSeveralFoldersWithoutARestart) {
    ServiceProcess service;
    const fs::path one = service.Dir() / "one", two = service.Dir() / "two";
    fs::create_directories(one);
    fs::create_directories(two);
    fs::copy_file(kMedia / "tiny_240.mp4", one / "first.mp4");
    fs::last_write_time(one / "first.mp4", fs::file_time_type::clock::now() - 60s);
    ASSERT_TRUE(service.Start({"--port", "0", "--media-dir", one.string(), "--media-dir", two.string()}))
        << service.Stderr();
    const int port = service.Port();
    auto table = MakeClient(port).Get("/library.txt?wait=20");
    ASSERT_TRUE(table);
    EXPECT_NE(table->body.find("  first.mp4\n"), std::string::npos) << table->body;
    EXPECT_NE(table->body.find("  " + two.string() + ": 0 videos\n"), std::string::npos) << table->body;
    auto firstId = MakeClient(port).Get("/find?name=first");
    ASSERT_TRUE(firstId);
    ASSERT_EQ(firstId->status, 200);
    const std::string first = firstId->body.substr(0, 11);

    // A file copied into the second folder is served once it is still.
    const std::string japanese = std::string(kJapaneseTitle) + ".webm";
    fs::copy_file(kMedia / "other.webm", two / japanese);
    auto found = GetUntil(port, "/find?name=%E6%9D%B1%E4%BA%AC", 200);  // 東京, part of the name
    ASSERT_TRUE(found);
    ASSERT_EQ(found->status, 200) << found->body;
    const std::string added = found->body.substr(0, 11);
    auto file = MakeClient(port).Get("/media/" + added + "/small");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->status, 200);
    EXPECT_TRUE(file->body == ReadFile(kMedia / "other.webm"));
    auto page = MakeClient(port).Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=UTF-8");
    EXPECT_NE(page->body.find("<td class=\"file\"><span>" + japanese + "</span></td>"), std::string::npos);
    EXPECT_NE(page->body.find("<tr id=\"v-" + first + "\">"), std::string::npos);

    // Replaced by a clip of another height: served as the new one, same ID.
    fs::copy_file(kMedia / "tiny_360p.mp4", one / "first.mp4", fs::copy_options::overwrite_existing);
    auto replaced = GetUntil(port, "/media/" + first + "/medium", 200);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->status, 200);
    EXPECT_TRUE(replaced->body == ReadFile(kMedia / "tiny_360p.mp4"));

    // Removed: the log says so, and the video is not found any more.
    fs::remove(two / japanese);
    EXPECT_TRUE(service.WaitForLine("removed " + added)) << service.Stdout();
    auto gone = MakeClient(port).Get("/watch?v=" + added);
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->status, 404);
    EXPECT_EQ(service.Stop(), 0);
    EXPECT_EQ(service.Stderr(), "");
}

TEST(FaultServiceProcess, FaultsOnlyTheChosenTargetsAndLogsThem) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start({"--port", "0", "--media-dir", kMedia.string(), "--fault",
                               "/feeds/api/videos/cdPlain0001=refuse", "--fault", "/media/=partial:100@1"}))
        << service.Stderr();
    ASSERT_TRUE(service.WaitForLine("scanned ")) << service.Stdout();
    const std::string tiny = MediaId(service.Stdout(), TitleOf("Tiny Clip", "tiny"));
    const std::size_t before = Lines(service.Stdout()).size();
    auto client = MakeClient(service.Port());
    EXPECT_FALSE(client.Get("/feeds/api/videos/cdPlain0001"));
    auto other = client.Get("/feeds/api/videos/cdJapan0001");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->status, 200);
    // The first media read is whole; the second is cut short.
    auto first = client.Get("/media/" + tiny + "/small", {{"Range", "bytes=0-999"}});
    ASSERT_TRUE(first);
    EXPECT_EQ(first->body.size(), 1000u);
    EXPECT_FALSE(client.Get("/media/" + tiny + "/small", {{"Range", "bytes=1000-1999"}}));
    // The service itself is unharmed: it goes on answering.
    auto watch = client.Get("/watch?v=cdPlain0001");
    ASSERT_TRUE(watch);
    EXPECT_EQ(watch->status, 200);
    ASSERT_TRUE(service.WaitForLines(before + 5));
    const std::string log = service.Stdout();
    EXPECT_NE(log.find("GET /feeds/api/videos/cdPlain0001 200 0 bytes"), std::string::npos) << log;
    EXPECT_NE(log.find(" fault /feeds/api/videos/cdPlain0001=refuse"), std::string::npos) << log;
    EXPECT_NE(log.find("206 100 bytes"), std::string::npos) << log;
    EXPECT_EQ(service.Stop(), 0);
}

TEST(FaultServiceProcess, AControlRequestReplacesTheRulesOfARunningService) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start({"--port", "0", "--fault", "/apiplayer=refuse"})) << service.Stderr();
    auto client = MakeClient(service.Port());
    EXPECT_FALSE(client.Get("/apiplayer?enablejsapi=1&version=3"));

    auto set = client.Get("/_faults?set=%2Fget_video_info%3Dshort%3A5%401");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->status, 200);
    EXPECT_EQ(set->body, "faults: /get_video_info=short:5@1\n");
    auto movie = client.Get("/apiplayer?enablejsapi=1&version=3");
    ASSERT_TRUE(movie);
    EXPECT_EQ(movie->status, 200);
    auto whole = client.Get("/get_video_info?video_id=cdPlain0001");
    ASSERT_TRUE(whole);
    auto cut = client.Get("/get_video_info?video_id=cdPlain0001");
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->body, whole->body.substr(0, whole->body.size() - 5));

    auto bad = client.Get("/_faults?set=%2Fx%3Dexplode");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);
    EXPECT_NE(bad->body.find("explode"), std::string::npos) << bad->body;
    auto none = client.Get("/_faults");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->body, "faults:\n");
    auto again = client.Get("/get_video_info?video_id=cdPlain0001");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->body, whole->body);
    EXPECT_EQ(service.Stop(), 0);
}

TEST(FaultServiceProcess, AStopIsNotHeldUpByAStall) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start({"--port", "0", "--fault", "/watch=stall"})) << service.Stderr();
    std::thread stalled([&] {
        auto client = MakeClient(service.Port());
        client.set_read_timeout(60s);
        EXPECT_FALSE(client.Get("/watch?v=cdPlain0001"));
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(service.Stop(SIGTERM, 10s), 0);
    stalled.join();
}

}  // namespace
