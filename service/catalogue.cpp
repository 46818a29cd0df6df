#include "catalogue.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "common/number_scan.h"
#include "common/utf8.h"
#include "paths.h"

namespace clipdeck::service {

namespace {

constexpr std::size_t kFieldCount = 8;
constexpr std::size_t kFieldCountWithMedia = 9;
constexpr int kMaxSeconds = 359999;  // 99:59:59

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// A value shown in a message: quoted, and cut short so one absurd field does
// not flood the terminal.
std::string Quoted(std::string_view value) {
    constexpr std::size_t kMax = 40;
    if (value.size() <= kMax) return "'" + std::string(value) + "'";
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
    return "'" + std::string(value.substr(0, cut)) + "...'";
}

std::optional<int> ParseWholeNumber(std::string_view text, int max) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > max) return std::nullopt;
    return value;
}

bool IsValidDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    auto year = ParseWholeNumber(text.substr(0, 4), 9999);
    auto month = ParseWholeNumber(text.substr(5, 2), 12);
    auto day = ParseWholeNumber(text.substr(8, 2), 31);
    if (!year || !month || !day || *year < 1970 || *month < 1 || *day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
    int days = kDays[*month - 1] + ((*month == 2 && leap) ? 1 : 0);
    return *day <= days;
}

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// The media field: "level=path,level=path...", one file for each listed level.
std::optional<std::string> ParseMedia(std::string_view field, Video& video) {
    for (std::string_view item : Split(field, ',')) {
        const std::size_t eq = item.find('=');
        const std::string_view name = item.substr(0, eq);
        auto quality = common::QualityFromName(name);
        if (eq == std::string_view::npos || !quality)
            return "media item " + Quoted(item) + " is not level=path with a known level";
        const std::string_view path = item.substr(eq + 1);
        if (path.empty()) return "media item " + Quoted(item) + " names no file";
        if (HasControlCharacter(path)) return "media path contains a control character";
        std::string type = MediaContentType(path);
        if (type.empty())
            return "media file " + Quoted(path) + " does not end in .mp4, .m4v or .webm";
        if (std::find(video.levels.begin(), video.levels.end(), *quality) == video.levels.end())
            return "media level " + Quoted(name) + " is not among the video's levels";
        for (const MediaFile& file : video.media) {
            if (file.quality == *quality) return "media level " + Quoted(name) + " is given twice";
        }
        video.media.push_back({*quality, std::string(path), 0, std::move(type)});
    }
    if (video.media.size() != video.levels.size())
        return "media names " + std::to_string(video.media.size()) + " files for " +
               std::to_string(video.levels.size()) + " levels; give one file per level";
    std::sort(video.media.begin(), video.media.end(),
              [](const MediaFile& a, const MediaFile& b) { return a.quality > b.quality; });
    return std::nullopt;
}

// Parses one data line; on failure returns the message and leaves `video` unspecified.
std::optional<std::string> ParseLine(std::string_view line, Video& video) {
    if (!common::IsValidUtf8(line)) return "line is not valid UTF-8";
    auto fields = Split(line, '\t');
    // A ninth field that is not a list of level=path items is taken for a
    // stray field, not for broken media.
    const bool media = fields.size() == kFieldCountWithMedia &&
                       fields[8].find('=') != std::string_view::npos;
    if (fields.size() != kFieldCount && !media) {
        return "expected " + std::to_string(kFieldCount) +
               " tab-separated fields (id, seconds, flags, colour, levels, published, author, "
               "title) and optionally a ninth (media: level=path,...), found " + std::to_string(fields.size());
    }
    const std::string_view id = fields[0], seconds = fields[1], flags = fields[2],
                           colour = fields[3], levels = fields[4], published = fields[5],
                           author = fields[6], title = fields[7];

    if (!IsValidVideoId(id))
        return "video ID " + Quoted(id) + " is not 11 characters from A-Z a-z 0-9 - _";
    video.id = std::string(id);

    auto length = ParseWholeNumber(seconds, kMaxSeconds);
    if (!length || *length < 1)
        return "length " + Quoted(seconds) + " is not a whole number of seconds from 1 to " +
               std::to_string(kMaxSeconds);
    video.seconds = *length;

    if (flags != "-") {
        for (std::string_view flag : Split(flags, ',')) {
            if (flag == "noembed") video.noEmbed = true;
            else if (flag == "private") video.isPrivate = true;
            else return "unknown flag " + Quoted(flag) + " (known: noembed, private; '-' for none)";
        }
    }

    auto rgb = common::ParseRgbHex(colour);
    if (!rgb) return "colour " + Quoted(colour) + " is not six hex digits RRGGBB";
    video.colour = *rgb;

    for (std::string_view name : Split(levels, ',')) {
        auto quality = common::QualityFromName(name);
        if (!quality)
            return "unknown quality level " + Quoted(name) +
                   " (known: small, medium, large, hd720, hd1080, highres)";
        if (std::find(video.levels.begin(), video.levels.end(), *quality) != video.levels.end())
            return "quality level " + Quoted(name) + " is listed twice";
        video.levels.push_back(*quality);
    }
    std::sort(video.levels.begin(), video.levels.end(), std::greater<>());

    if (!IsValidDate(published))
        return "published date " + Quoted(published) + " is not a date YYYY-MM-DD";
    video.published = std::string(published);

    if (author.empty()) return "author is empty";
    if (HasControlCharacter(author)) return "author contains a control character";
    video.author = std::string(author);

    if (title.empty()) return "title is empty";
    if (HasControlCharacter(title)) return "title contains a control character";
    video.title = std::string(title);

    if (media) return ParseMedia(fields[8], video);
    return std::nullopt;
}

}  // namespace

bool Catalogue::Add(Video video) {
    if (index_.count(video.id) != 0) return false;
    return Add(std::make_shared<const Video>(std::move(video)));
}

bool Catalogue::Add(Shared video) {
    if (!index_.emplace(std::string_view(video->id), videos_.size()).second) return false;
    videos_.push_back(std::move(video));
    return true;
}

void Catalogue::Reserve(std::size_t count) {
    videos_.reserve(count);
    index_.reserve(count);
}

const Video* Catalogue::Find(std::string_view id) const {
    auto it = index_.find(id);
    return it == index_.end() ? nullptr : videos_[it->second].get();
}

std::string ShownFileName(const Video& video, const MediaFile& file) {
    return video.folder >= 0 ? ShownName(file.path) : std::string();
}

CatalogueParse ParseCatalogue(std::string_view text) {
    CatalogueParse result;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    std::map<std::string, int, std::less<>> firstLine;
    int lineNumber = 0;
    for (std::string_view line : Split(text, '\n')) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (IsBlank(line) || line.front() == '#') continue;

        Video video;
        if (auto error = ParseLine(line, video)) {
            result.errors.push_back({lineNumber, *error});
            continue;
        }
        auto [it, fresh] = firstLine.emplace(video.id, lineNumber);
        if (!fresh) {
            result.errors.push_back({lineNumber, "video ID " + Quoted(video.id) +
                                                     " already appears on line " +
                                                     std::to_string(it->second)});
            continue;
        }
        result.catalogue.Add(std::move(video));
    }
    if (result.errors.empty() && result.catalogue.Videos().empty())
        result.errors.push_back({0, "the catalogue holds no videos"});
    return result;
}

CatalogueLoad LoadCatalogueFile(const std::string& path) {
    CatalogueLoad load;
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        load.messages.push_back(path + ": is a folder, not a catalogue file");
        return load;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        load.messages.push_back(path + ": cannot open the catalogue");
        return load;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        load.messages.push_back(path + ": cannot read the catalogue");
        return load;
    }
    CatalogueParse parse = ParseCatalogue(text.str());
    if (parse.errors.empty()) {
        load.catalogue = std::move(parse.catalogue);
        return load;
    }
    for (const CatalogueError& error : parse.errors) {
        load.messages.push_back(error.line > 0
                                    ? path + ":" + std::to_string(error.line) + ": " + error.message
                                    : path + ": " + error.message);
    }
    return load;
}

std::string MediaContentType(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(fileName.substr(dot + 1));
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (ext == "mp4" || ext == "m4v") return "video/mp4";
    if (ext == "webm") return "video/webm";
    return {};
}

bool IsValidVideoId(std::string_view id) {
    if (id.size() != 11) return false;
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}

}  // namespace clipdeck::service
