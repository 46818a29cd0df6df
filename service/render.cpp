#include "render.h"

#include <array>
#include <cstdio>

#include "common/percent.h"
#include "common/quality.h"
#include "common/xml_text.h"

namespace clipdeck::service {

namespace {

// Bytes per second of video at each level, smallest first (roughly 320 kbit/s
// at small up to 12 Mbit/s at highres).
constexpr std::array<std::uint64_t, 6> kByteRates = {40'000, 80'000, 140'000,
                                                     320'000, 560'000, 1'500'000};
constexpr std::uint64_t kHeaderBytes = 16'384;

std::string ColourHex(std::uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(colour & 0xFFFFFFu));
    return text;
}

}  // namespace

std::string FormEncode(const FormFields& fields) {
    std::string out;
    for (const auto& [key, value] : fields) {
        if (!out.empty()) out += '&';
        out += common::PercentEncode(key);
        out += '=';
        out += common::PercentEncode(value);
    }
    return out;
}

FormFields ParseQuery(std::string_view query) {
    FormFields fields;
    std::size_t start = 0;
    while (start <= query.size()) {
        std::size_t end = query.find('&', start);
        if (end == std::string_view::npos) end = query.size();
        std::string_view part = query.substr(start, end - start);
        if (!part.empty()) {
            std::size_t eq = part.find('=');
            if (eq == std::string_view::npos) {
                fields.emplace_back(common::PercentDecode(part, true), std::string());
            } else {
                fields.emplace_back(common::PercentDecode(part.substr(0, eq), true),
                                    common::PercentDecode(part.substr(eq + 1), true));
            }
        }
        start = end + 1;
    }
    return fields;
}

std::uint64_t VideoBytes(const Video& video, Quality quality) {
    for (const MediaFile& media : video.media) {
        if (media.quality == quality) return media.bytes;
    }
    return kHeaderBytes +
           kByteRates[static_cast<std::size_t>(quality)] * static_cast<std::uint64_t>(video.seconds);
}

std::string MediaPath(const Video& video, Quality quality) {
    return "/media/" + video.id + "/" + std::string(common::QualityName(quality));
}

std::string FormatLength(int seconds) {
    char text[32];
    int h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0) std::snprintf(text, sizeof text, "%d:%02d:%02d", h, m, s);
    else std::snprintf(text, sizeof text, "%d:%02d", m, s);
    return text;
}

std::string RenderEntry(const Video& video) {
    const std::string title = common::EscapeXml(video.title);
    const std::string author = common::EscapeXml(video.author);
    const std::string watch = "http://www.youtube.com/watch?v=" + video.id;
    const std::string feed = "http://gdata.youtube.com/feeds/api/videos/" + video.id;
    const std::string stamp = video.published + "T00:00:00.000Z";

    // One line with no white space between elements, as the old feed sent it.
    std::string doc = "<?xml version='1.0' encoding='UTF-8'?>";
    doc += "<entry xmlns='http://www.w3.org/2005/Atom'"
           " xmlns:media='http://search.yahoo.com/mrss/'"
           " xmlns:gd='http://schemas.google.com/g/2005'"
           " xmlns:yt='http://gdata.youtube.com/schemas/2007'>";
    doc += "<id>" + feed + "</id>";
    doc += "<published>" + stamp + "</published>";
    doc += "<updated>" + stamp + "</updated>";
    doc += "<category scheme='http://schemas.google.com/g/2005#kind'"
           " term='http://gdata.youtube.com/schemas/2007#video'/>";
    doc += "<title type='text'>" + title + "</title>";
    doc += "<content type='text'>Length " + FormatLength(video.seconds) + ", uploaded by " +
           author + ".</content>";
    doc += "<link rel='alternate' type='text/html' href='" + watch + "'/>";
    doc += "<link rel='self' type='application/atom+xml' href='" + feed + "'/>";
    doc += "<author><name>" + author + "</name></author>";
    doc += "<media:group>";
    doc += "<media:title type='plain'>" + title + "</media:title>";
    doc += "<media:player url='" + watch + "'/>";
    doc += "<yt:duration seconds='" + std::to_string(video.seconds) + "'/>";
    doc += "<yt:videoid>" + video.id + "</yt:videoid>";
    doc += "</media:group>";
    if (video.noEmbed) doc += "<yt:noembed/>";
    doc += "</entry>\n";
    return doc;
}

FormFields VideoInfoFields(const Video* video) {
    if (video == nullptr) {
        return {{"status", "fail"}, {"errorcode", "100"}, {"reason", "This video does not exist."}};
    }
    if (video->isPrivate) {
        return {{"status", "fail"}, {"errorcode", "100"}, {"reason", "This video is private."}};
    }
    if (video->noEmbed) {
        return {{"status", "fail"},
                {"errorcode", "150"},
                {"reason", "The owner of this video does not allow it to be played elsewhere."}};
    }
    std::string levels;
    for (Quality quality : video->levels) {
        if (!levels.empty()) levels += ',';
        levels += common::QualityName(quality);
    }
    FormFields fields = {{"status", "ok"},
                         {"video_id", video->id},
                         {"title", video->title},
                         {"length_seconds", std::to_string(video->seconds)},
                         {"fmt_list", levels}};
    for (Quality quality : video->levels) {
        fields.emplace_back("bytes_" + std::string(common::QualityName(quality)),
                            std::to_string(VideoBytes(*video, quality)));
    }
    fields.emplace_back("color", ColourHex(video->colour));
    for (const MediaFile& media : video->media) {
        const std::string level(common::QualityName(media.quality));
        fields.emplace_back("media_" + level, MediaPath(*video, media.quality));
        fields.emplace_back("type_" + level, media.contentType);
    }
    return fields;
}

std::string RenderWatchPage(const Video& video) {
    const std::string title = common::EscapeXml(video.title);
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset='utf-8'><title>";
    page += title + " - Clipdeck</title></head>\n<body>\n<p><a href='/'>All videos</a></p>\n<h1>" + title + "</h1>\n";
    page += "<p>Length " + FormatLength(video.seconds) + ", uploaded by " +
            common::EscapeXml(video.author) + " on " + video.published + " (video ID " + video.id + ").</p>\n";
    std::string files;
    for (const MediaFile& media : video.media) {
        const std::string name = ShownFileName(video, media);
        if (name.empty()) continue;
        files += "<li>" + std::string(common::QualityName(media.quality)) + ": <code>" +
                 common::EscapeXml(name) + "</code></li>";
    }
    if (!files.empty()) page += "<ul>" + files + "</ul>\n";
    page += "</body></html>\n";
    return page;
}

std::string PlayerMovie() {
    return "CLIPDECK-PLAYER 1\n"
           "# Simulated player movie served by clipdeck-service.\n";
}

}  // namespace clipdeck::service
