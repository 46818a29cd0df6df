#include "library_page.h"

#include <algorithm>
#include <iterator>

#include "common/quality.h"
#include "common/utf8.h"
#include "common/xml_text.h"
#include "media.h"
#include "render.h"

namespace clipdeck::service {

namespace {

constexpr std::size_t kTitleColumns = 44;

struct Range {
    char32_t first, last;
};

// East Asian Wide and Fullwidth, and the emoji shown two columns wide.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
    {0x23F0, 0x23F0},   {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},
    {0x2648, 0x2653},   {0x267F, 0x267F},   {0x2693, 0x2693},   {0x26A1, 0x26A1},
    {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},   {0x26CE, 0x26CE},
    {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},
    {0x2728, 0x2728},   {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},
    {0x2757, 0x2757},   {0x2795, 0x2797},   {0x27B0, 0x27B0},   {0x27BF, 0x27BF},
    {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4},
    {0x17000, 0x18AFF}, {0x1B000, 0x1B2FF}, {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF},
    {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F251}, {0x1F300, 0x1F64F},
    {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

// Combining marks, variation selectors, zero-width characters, and the
// controls (none of which reach a title, but a file name may hold them).
constexpr Range kZero[] = {
    {0x0000, 0x001F},   {0x007F, 0x009F},   {0x0300, 0x036F},   {0x0483, 0x0489},
    {0x0591, 0x05BD},   {0x05BF, 0x05BF},   {0x05C1, 0x05C2},   {0x05C4, 0x05C5},
    {0x05C7, 0x05C7},   {0x0610, 0x061A},   {0x064B, 0x065F},   {0x0670, 0x0670},
    {0x06D6, 0x06DC},   {0x06DF, 0x06E4},   {0x06E7, 0x06E8},   {0x06EA, 0x06ED},
    {0x0E31, 0x0E31},   {0x0E34, 0x0E3A},   {0x0E47, 0x0E4E},   {0x1AB0, 0x1AFF},
    {0x1DC0, 0x1DFF},   {0x200B, 0x200F},   {0x202A, 0x202E},   {0x2060, 0x2064},
    {0x20D0, 0x20FF},   {0x302A, 0x302D},   {0x3099, 0x309A},   {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F},   {0xFEFF, 0xFEFF},   {0x1F3FB, 0x1F3FF}, {0xE0000, 0xE01EF},
};

template <std::size_t N>
bool In(const Range (&ranges)[N], char32_t c) {
    auto it = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                               [](char32_t value, const Range& r) { return value < r.first; });
    return it != std::begin(ranges) && c <= std::prev(it)->last;
}

std::size_t Width(char32_t c) {
    if (In(kZero, c)) return 0;
    return In(kWide, c) ? 2 : 1;
}

// The code points of UTF-8 text (through UTF-16, which the helpers speak),
// each with the bytes it came from.
template <typename Visit>
void ForEachCharacter(std::string_view utf8, Visit visit) {
    const std::wstring text = common::Utf8ToUtf16(utf8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]) & 0xFFFF;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (!visit(c)) return;
    }
}

std::string Utf8Of(char32_t c) {
    std::wstring unit;
    common::AppendUtf16(unit, c);
    return common::Utf16ToUtf8(unit);
}

std::string Pad(const std::string& text, std::size_t columns) {
    const std::size_t width = DisplayWidth(text);
    return width >= columns ? text : text + std::string(columns - width, ' ');
}

std::string LevelsText(const Video& video, const char* separator) {
    std::string text;
    for (Quality quality : video.levels) {
        if (!text.empty()) text += separator;
        text += common::QualityName(quality);
    }
    return text;
}

std::string FilesText(const Video& video) {
    std::string text;
    for (const MediaFile& file : video.media) {
        const std::string name = ShownFileName(video, file);
        if (name.empty()) continue;
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

// Why a listed video may not play in the player, if it may not.
std::string NoteOf(const Video& video) {
    if (video.noEmbed) return "Its owner does not allow it to be played outside the site (error 150).";
    return video.note;
}

std::vector<const Video*> Listed(const LibrarySnapshot& library) {
    std::vector<const Video*> videos;
    for (const Video& video : library.catalogue.Videos()) {
        if (!video.isPrivate) videos.push_back(&video);
    }
    return videos;
}

std::size_t FolderVideos(const LibrarySnapshot& library) {
    std::size_t count = 0;
    for (const FolderState& folder : library.folders) count += folder.videos;
    return count;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::size_t Waiting(const LibrarySnapshot& library) {
    std::size_t waiting = 0;
    for (const FolderState& folder : library.folders) waiting += folder.waiting;
    return waiting;
}

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace

std::size_t DisplayWidth(std::string_view utf8) {
    std::size_t width = 0;
    ForEachCharacter(utf8, [&](char32_t c) {
        width += Width(c);
        return true;
    });
    return width;
}

std::string CutToWidth(std::string_view utf8, std::size_t columns) {
    if (DisplayWidth(utf8) <= columns) return std::string(utf8);
    std::string out;
    std::size_t width = 0;
    ForEachCharacter(utf8, [&](char32_t c) {
        const std::size_t w = Width(c);
        if (width + w + 1 > columns) return false;  // room for the ellipsis
        width += w;
        out += Utf8Of(c);
        return true;
    });
    return out + "\xE2\x80\xA6";
}

std::string RenderLibraryPage(const LibrarySnapshot& library) {
    using common::EscapeXml;
    const std::vector<const Video*> videos = Listed(library);
    const std::size_t fromFolders = FolderVideos(library);

    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>Clipdeck library</title>\n<style>\n"
        "body{font-family:sans-serif;margin:1.5em;color:#222;background:#fff}\n"
        "table{border-collapse:collapse}\n"
        "th,td{padding:.3em .8em;border-bottom:1px solid #ddd;text-align:left;vertical-align:top}\n"
        "th{background:#eef1f5}\n"
        "td.length{text-align:right;font-variant-numeric:tabular-nums}\n"
        "td.title{min-width:16em}\n"
        "td.id,td.file span,td.play{white-space:nowrap}\n"
        "tr.group th{background:#fff;border-bottom:2px solid #bbb;padding-top:1em;font-weight:normal}\n"
        ".note{color:#a33;font-size:.9em}\n"
        "</style>\n</head>\n<body>\n<h1>Clipdeck library</h1>\n";
    page += "<p id=\"summary\">" + Plural(videos.size(), "video", "videos") + ": " +
            std::to_string(videos.size() - fromFolders) + " from the catalogue, " +
            std::to_string(fromFolders) + " from your folders. To play one, click its \xE2\x80\x9CPlay in Clipdeck\xE2\x80\x9D, "
            "or type its ID (or copy its watch address) into Clipdeck's \xE2\x80\x9CVideoID / Url\xE2\x80\x9D box "
            "and press Play.</p>\n";
    if (!library.scanned) {
        page += "<p id=\"scanning\">Still reading the folders (" + Plural(Waiting(library), "file", "files") +
                " to go): reload this page to see more.</p>\n";
    }
    page += "<table id=\"videos\">\n<thead><tr><th>Title</th><th>Length</th><th>Levels</th><th>ID</th>"
            "<th>File</th><th></th></tr></thead>\n<tbody>\n";
    // Each folder's videos under its name, in the order given, then the catalogue's.
    for (int group = 0; group <= static_cast<int>(library.folders.size()); ++group) {
        const int folder = group < static_cast<int>(library.folders.size()) ? group : -1;
        const auto first = std::find_if(videos.begin(), videos.end(), [&](const Video* v) { return v->folder == folder; });
        if (first == videos.end()) continue;
        page += "<tr class=\"group\"><th colspan=\"6\">" +
                (folder >= 0 ? "<code>" + EscapeXml(library.folders[folder].dir) + "</code>" : std::string("Catalogue")) +
                "</th></tr>\n";
        for (auto it = first; it != videos.end(); ++it) {
            const Video* video = *it;
            if (video->folder != folder) continue;
            const std::string id = EscapeXml(video->id);
            page += "<tr id=\"v-" + id + "\"><td class=\"title\"><a href=\"/watch?v=" + id + "\">" +
                    EscapeXml(video->title) + "</a>";
            if (const std::string note = NoteOf(*video); !note.empty())
                page += "<br><span class=\"note\">" + EscapeXml(note) + "</span>";
            page += "</td><td class=\"length\">" + FormatLength(video->seconds) + "</td><td class=\"levels\">" +
                    LevelsText(*video, ", ") + "</td><td class=\"id\"><code>" + id + "</code></td><td class=\"file\">";
            const char* separator = "";
            for (const MediaFile& file : video->media) {
                const std::string name = ShownFileName(*video, file);
                if (name.empty()) continue;
                page += separator + ("<span>" + EscapeXml(name) + "</span>");
                separator = ", ";
            }
            // The link Clipdeck registers on Windows: the running program plays it.
            page += "</td><td class=\"play\"><a href=\"clipdeck:" + id + "\">Play in Clipdeck</a></td></tr>\n";
        }
    }
    page += "</tbody>\n</table>\n";
    if (!library.folders.empty()) {
        page += "<h2>Folders</h2>\n<ul id=\"folders\">\n";
        for (const FolderState& folder : library.folders) {
            page += "<li><code>" + EscapeXml(folder.dir) + "</code>: " + Plural(folder.videos, "video", "videos");
            if (folder.waiting > 0) page += ", " + Plural(folder.waiting, "file", "files") + " still to read";
            if (!folder.error.empty()) page += " <span class=\"note\">(" + EscapeXml(folder.error) + ")</span>";
            page += "</li>\n";
        }
        page += "</ul>\n";
    }
    if (!library.skipped.empty()) {
        page += "<h2>Files not served</h2>\n<ul id=\"skipped\">\n";
        for (const SkippedFile& file : library.skipped)
            page += "<li><code>" + EscapeXml(file.file) + "</code>: " + EscapeXml(file.reason) + "</li>\n";
        page += "</ul>\n";
    }
    page += "</body>\n</html>\n";
    return page;
}

std::string RenderLibraryTable(const LibrarySnapshot& library) {
    const std::vector<const Video*> videos = Listed(library);
    struct Row {
        std::string id, length, levels, title, files;
    };
    std::vector<Row> rows = {{"ID", "LENGTH", "LEVELS", "TITLE", "FILE"}};
    for (const Video* video : videos) {
        rows.push_back({video->id, FormatLength(video->seconds), LevelsText(*video, ","),
                        CutToWidth(video->title, kTitleColumns), FilesText(*video)});
    }
    std::size_t lengthWidth = 0, levelsWidth = 0, titleWidth = 0;
    for (const Row& row : rows) {
        lengthWidth = std::max(lengthWidth, row.length.size());
        levelsWidth = std::max(levelsWidth, row.levels.size());
        titleWidth = std::max(titleWidth, DisplayWidth(row.title));
    }
    std::string text;
    for (const Row& row : rows) {
        std::string line = Pad(row.id, 11) + "  " + std::string(lengthWidth - row.length.size(), ' ') + row.length + "  " +
                           Pad(row.levels, levelsWidth) + "  ";
        line += row.files.empty() ? row.title : Pad(row.title, titleWidth) + "  " + row.files;
        while (!line.empty() && line.back() == ' ') line.pop_back();
        text += line + "\n";
    }
    const std::size_t fromFolders = FolderVideos(library);
    text += "\n" + Plural(videos.size(), "video", "videos") + ": " + std::to_string(videos.size() - fromFolders) +
            " from the catalogue, " + std::to_string(fromFolders) + " from folders";
    for (const FolderState& folder : library.folders) {
        text += "\n  " + folder.dir + ": " + Plural(folder.videos, "video", "videos");
        if (folder.waiting > 0) text += ", " + Plural(folder.waiting, "file", "files") + " still to read";
        if (!folder.error.empty()) text += " (" + folder.error + ")";
    }
    text += "\n";
    if (!library.scanned) text += "Still reading the folders; the library page shows what comes next.\n";
    bool notes = false;
    for (const Video* video : videos) {
        if (video->note.empty()) continue;
        if (!notes) text += "May not play:\n";
        notes = true;
        text += "  " + video->id + " " + FilesText(*video) + ": " + video->note + "\n";
    }
    if (!library.skipped.empty()) {
        text += "Not served:\n";
        for (const SkippedFile& file : library.skipped) text += "  " + file.file + ": " + file.reason + "\n";
    }
    return text;
}

NameMatch FindVideoByName(const Catalogue& catalogue, std::string_view text) {
    NameMatch match;
    if (text.empty()) return match;
    if (const Video* video = catalogue.Find(text); video != nullptr && !video->isPrivate) {
        match.video = video;
        return match;
    }
    const std::string wanted = AsciiLower(text);
    // 0: the whole name in one of its forms; 1: part of a file name.
    std::vector<const Video*> found[2];
    for (const Video& video : catalogue.Videos()) {
        bool whole = false, part = false;
        for (const MediaFile& file : video.media) {
            if (video.folder < 0) continue;
            const std::string name = AsciiLower(ShownFileName(video, file));
            const std::size_t dot = name.rfind('.');
            const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
            const MediaGroupKey group = GroupKeyForFile(name);
            whole = whole || name == wanted || stem == wanted || group.key == wanted || group.name == wanted;
            part = part || name.find(wanted) != std::string::npos;
        }
        if (whole) found[0].push_back(&video);
        if (part) found[1].push_back(&video);
    }
    for (const std::vector<const Video*>& videos : found) {
        if (videos.size() == 1) match.video = videos.front();
        if (videos.size() > 1) match.several = videos;
        if (!videos.empty()) break;
    }
    return match;
}

}  // namespace clipdeck::service
