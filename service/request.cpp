#include "request.h"

#include "common/percent.h"
#include "common/quality.h"
#include "render.h"

namespace clipdeck::service {

namespace {

constexpr std::string_view kTextType = "text/plain; charset=UTF-8";
constexpr std::string_view kFeedPrefix = "/feeds/api/videos/";
constexpr std::string_view kMediaPrefix = "/media/";

Reply Text(int status, std::string body) {
    return {status, std::string(kTextType), std::move(body)};
}

Reply NotFound() { return Text(404, "Video not found"); }

std::string QueryValue(std::string_view query, std::string_view key) {
    for (auto& [name, value] : ParseQuery(query)) {
        if (name == key) return value;
    }
    return {};
}

// A request sent through a proxy names the whole address
// ("http://www.youtube.com:80/watch?v=ID"); it is answered by its path and query.
std::string OriginForm(std::string_view target) {
    if (target.empty() || target.front() == '/') return std::string(target);
    const std::size_t scheme = target.find("://");
    if (scheme == std::string_view::npos) return std::string(target);
    const std::size_t rest = target.find_first_of("/?", scheme + 3);
    if (rest == std::string_view::npos) return "/";
    return (target[rest] == '?' ? "/" : "") + std::string(target.substr(rest));
}

// A status that must not carry a body.
bool IsBodyless(int status) { return status == 204 || status == 205 || status == 304; }

}  // namespace

Reply HandleRequest(const Catalogue& catalogue, std::string_view method, std::string_view target,
                    int forcedStatus) {
    if (forcedStatus != 0) {
        if (IsBodyless(forcedStatus)) return {forcedStatus, {}, {}};
        return Text(forcedStatus, "Forced status " + std::to_string(forcedStatus));
    }
    if (method != "GET" && method != "HEAD") return Text(404, "Not found");
    const std::string origin = OriginForm(target);
    target = origin;

    std::string_view path = target;
    std::string_view query;
    if (std::size_t mark = target.find('?'); mark != std::string_view::npos) {
        path = target.substr(0, mark);
        query = target.substr(mark + 1);
    }

    if (path.substr(0, kFeedPrefix.size()) == kFeedPrefix) {
        const Video* video = catalogue.Find(common::PercentDecode(path.substr(kFeedPrefix.size()), false));
        if (video == nullptr) return NotFound();
        if (video->isPrivate) return Text(403, "Private video");
        return {200, "application/atom+xml; charset=UTF-8", RenderEntry(*video)};
    }
    if (path.substr(0, kMediaPrefix.size()) == kMediaPrefix) {
        const std::string rest = common::PercentDecode(path.substr(kMediaPrefix.size()), false);
        const std::size_t slash = rest.find('/');
        if (slash == std::string::npos) return Text(404, "Not found");
        const Video* video = catalogue.Find(std::string_view(rest).substr(0, slash));
        if (video == nullptr) return NotFound();
        if (video->isPrivate) return Text(403, "Private video");
        auto quality = common::QualityFromName(std::string_view(rest).substr(slash + 1));
        for (const MediaFile& media : video->media) {
            if (quality && media.quality == *quality) {
                Reply reply{200, media.contentType, {}};
                reply.media = &media;
                return reply;
            }
        }
        return Text(404, "Not found");
    }
    if (path == "/apiplayer") {
        return {200, "application/x-clipdeck-player", PlayerMovie()};
    }
    if (path == "/get_video_info") {
        const Video* video = catalogue.Find(QueryValue(query, "video_id"));
        return {200, "application/x-www-form-urlencoded; charset=utf-8",
                FormEncode(VideoInfoFields(video))};
    }
    if (path == "/watch") {
        const Video* video = catalogue.Find(QueryValue(query, "v"));
        if (video == nullptr) return NotFound();
        if (video->isPrivate) return Text(403, "Private video");
        return {200, "text/html; charset=UTF-8", RenderWatchPage(*video)};
    }
    return Text(404, "Not found");
}

}  // namespace clipdeck::service
