// The library page in a real browser: headless Chromium (Debian's chromium,
// which scripts/setup.sh installs for the tests) loads it from a running
// service, and the rows are read back from the DOM the browser built.

#include "service_process.h"

#include <cstdio>
#include <map>

#include "common/utf8.h"
#include "common/xml_text.h"

namespace {

using namespace clipdeck::test;

constexpr char kFestival[] = "\xE5\xA4\x8F\xE7\xA5\xAD\xE3\x82\x8A";  // 夏祭り
constexpr char kHostile[] = "<b>&\"'x.mp4";
const fs::path kMedia = CLIPDECK_TEST_MEDIA;

// Runs headless Chromium on `url` with `what` (--dump-dom, or --screenshot=FILE
// --window-size=W,H); its standard output.
std::string Chromium(const fs::path& profile, const std::string& what, const std::string& url) {
    const std::string command =
        "timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --user-data-dir='" + profile.string() + "' " + what + " '" + url + "' 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[65536];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// The text of an element's content: tags dropped, character references decoded.
std::string TextOf(std::string_view html) {
    std::string text;
    bool inTag = false;
    for (char c : html) {
        if (c == '<') inTag = true;
        else if (c == '>') inTag = false;
        else if (!inTag) text += c;
    }
    return common::Utf16ToUtf8(common::DecodeCharacterReferences(common::Utf8ToUtf16(text)));
}

struct Row {
    std::vector<std::string> cells;  // title, length, levels, ID, files, the play link's text
    std::string link;                // the title's href
    std::string play;                // the play link's href
};

// The rows of the videos table, by the ID in each row's id.
std::map<std::string, Row> Rows(const std::string& dom) {
    std::map<std::string, Row> rows;
    for (std::size_t at = dom.find("<tr id=\"v-"); at != std::string::npos; at = dom.find("<tr id=\"v-", at + 1)) {
        const std::size_t idEnd = dom.find('"', at + 10);
        const std::size_t end = dom.find("</tr>", at);
        if (idEnd == std::string::npos || end == std::string::npos) break;
        Row row;
        const std::string_view tr(dom.data() + at, end - at);
        for (std::size_t td = tr.find("<td"); td != std::string_view::npos; td = tr.find("<td", td + 1)) {
            const std::size_t open = tr.find('>', td);
            const std::size_t close = tr.find("</td>", open);
            if (open == std::string_view::npos || close == std::string_view::npos) break;
            row.cells.push_back(TextOf(tr.substr(open + 1, close - open - 1)));
        }
        if (const std::size_t href = tr.find("<a href=\""); href != std::string_view::npos)
            row.link = std::string(tr.substr(href + 9, tr.find('"', href + 9) - href - 9));
        if (const std::size_t href = tr.rfind("<a href=\""); href != std::string_view::npos)
            row.play = std::string(tr.substr(href + 9, tr.find('"', href + 9) - href - 9));
        rows.emplace(dom.substr(at + 10, idEnd - at - 10), std::move(row));
    }
    return rows;
}

TEST(LibraryPageInABrowser, ListsEveryVideoAsTextWithLinksBothWays) {
    ServiceProcess service;
    const fs::path folder = service.Dir() / "videos";
    fs::create_directories(folder);
    const std::pair<const char*, std::string> files[] = {{"tiny_240.mp4", kHostile},
                                                         {"tiny_240.mp4", std::string(kFestival) + "_240.mp4"},
                                                         {"tiny_360p.mp4", std::string(kFestival) + "_360.mp4"},
                                                         {"other.webm", "other.webm"}};
    for (const auto& [from, to] : files) {
        fs::copy_file(kMedia / from, folder / to);
        fs::last_write_time(folder / to, fs::file_time_type::clock::now() - 60s);
    }
    ASSERT_TRUE(service.Start({"--port", "0", "--media-dir", folder.string()})) << service.Stderr();
    ASSERT_TRUE(service.WaitForLine("scanned ")) << service.Stdout();
    const std::string base = "http://127.0.0.1:" + std::to_string(service.Port());
    const auto idOf = [&](const std::string& name) {
        auto res = MakeClient(service.Port()).Get("/find?name=" + name);
        return res && res->status == 200 ? res->body.substr(0, 11) : std::string("(none)");
    };
    const std::string hostile = idOf("%3Cb%3E");
    const std::string festival = idOf("%E5%A4%8F");

    const std::string dom = Chromium(service.Dir() / "profile", "--dump-dom", base + "/");
    ASSERT_NE(dom.find("<h1>Clipdeck library</h1>"), std::string::npos)
        << "no page from chromium (is Debian's chromium installed? scripts/setup.sh --browser): " << dom;
    const std::map<std::string, Row> rows = Rows(dom);
    // The shipped catalogue's 26 videos that are not private, and the folder's three.
    EXPECT_EQ(rows.size(), 29u) << dom;
    EXPECT_EQ(rows.count("cdPrivate01"), 0u);
    ASSERT_EQ(rows.count(hostile), 1u) << dom;
    ASSERT_EQ(rows.count(festival), 1u) << dom;
    EXPECT_EQ(rows.at(hostile).cells, (std::vector<std::string>{"Tiny Clip", "0:02", "small", hostile, kHostile, "Play in Clipdeck"}));
    EXPECT_EQ(rows.at(festival).cells,
              (std::vector<std::string>{"Tiny Clip", "0:03", "medium, small", festival,
                                        std::string(kFestival) + "_360.mp4, " + kFestival + "_240.mp4",
                                        "Play in Clipdeck"}));
    EXPECT_EQ(rows.at("cdJapan0001").cells[0], kJapaneseTitle);
    EXPECT_EQ(rows.at("cdMarkup001").cells[0], "Entities: &amp; vs & and x<y>z");
    // The file name stayed text: the browser made no element of it.
    EXPECT_EQ(dom.find("<b>"), std::string::npos);
    for (const auto& [id, row] : rows) {
        EXPECT_EQ(row.link, "/watch?v=" + id);
        EXPECT_EQ(row.play, "clipdeck:" + id);
    }

    // The watch page it links to links back.
    const std::string watch = Chromium(service.Dir() / "profile", "--dump-dom", base + rows.at(festival).link);
    EXPECT_NE(watch.find("<a href=\"/\">All videos</a>"), std::string::npos) << watch;
    EXPECT_NE(watch.find(std::string("<code>") + kFestival + "_360.mp4</code>"), std::string::npos) << watch;

    // And it draws: a picture of the page (kept in the build tree).
    const fs::path shot = fs::path(CLIPDECK_TEST_OUTPUT) / "library-page.png";
    fs::remove(shot);
    Chromium(service.Dir() / "profile", "--window-size=1200,900 --screenshot='" + shot.string() + "'", base + "/");
    ASSERT_TRUE(fs::exists(shot));
    EXPECT_GT(fs::file_size(shot), 20000u);
    EXPECT_EQ(ReadFile(shot).substr(1, 3), "PNG");
    EXPECT_EQ(service.Stop(), 0);
}

}  // namespace
