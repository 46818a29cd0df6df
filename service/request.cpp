#include "request.h"

#include "common/percent.h"
#include "common/quality.h"
#include "library_page.h"
#include "render.h"

namespace clipdeck::service {

namespace {

constexpr std::string_view kTextType = "text/plain; charset=UTF-8";
constexpr std::string_view kHtmlType = "text/html; charset=UTF-8";
constexpr std::string_view kFeedPrefix = "/feeds/api/videos/";
constexpr std::string_view kMediaPrefix = "/media/";
constexpr int kMaxWaitSeconds = 30;

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

int WaitSeconds(const std::string& text) {
    if (text.empty() || text.size() > 3) return 0;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return std::min(value, kMaxWaitSeconds);
}

// The answer to /find: the ID alone, or why there is none.
Reply FindReply(const Catalogue& catalogue, const std::string& name) {
    if (name.empty()) return Text(400, "Give a part of a file name: /find?name=TEXT\n");
    const NameMatch match = FindVideoByName(catalogue, name);
    if (match.video != nullptr) return Text(200, match.video->id + "\n");
    if (match.several.empty())
        return Text(404, "No video has the ID '" + name + "' and no served file's name holds it.\n");
    std::string body = "'" + name + "' is in the file names of " + std::to_string(match.several.size()) +
                       " videos; give more of one:\n";
    for (const Video* video : match.several) {
        body += "  " + video->id;
        for (const MediaFile& file : video->media) body += "  " + ShownFileName(*video, file);
        body += "\n";
    }
    return Text(409, std::move(body));
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

bool IsLoopbackV4(std::string_view host) {
    // Four numbers of at most three digits, the first 127.
    if (host.substr(0, 4) != "127.") return false;
    int parts = 2, digits = 0;  // "127" and the one being read
    for (char c : host.substr(4)) {
        if (c == '.') {
            if (digits == 0) return false;
            ++parts;
            digits = 0;
        } else if (c >= '0' && c <= '9' && ++digits <= 3) {
            continue;
        } else {
            return false;
        }
    }
    return parts == 4 && digits > 0;
}

}  // namespace

bool IsAllowedHost(std::string_view host, std::string_view localAddress) {
    while (!host.empty() && (host.back() == ' ' || host.back() == '\t')) host.remove_suffix(1);
    while (!host.empty() && (host.front() == ' ' || host.front() == '\t')) host.remove_prefix(1);
    if (host.empty()) return true;
    // The name without its port: "[::1]:8480", "127.0.0.1:8480", "localhost".
    std::string_view name = host;
    if (name.front() == '[') {
        const std::size_t close = name.find(']');
        if (close == std::string_view::npos) return false;
        const std::string_view rest = name.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') return false;
        name = name.substr(1, close - 1);
    } else if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) {
        name = name.substr(0, colon);
    }
    const std::string lower = Lower(name);
    if (lower.size() > 1 && lower.back() == '.') return IsAllowedHost(lower.substr(0, lower.size() - 1), localAddress);
    return lower == "localhost" || lower == "::1" || IsLoopbackV4(lower) ||
           (!localAddress.empty() && lower == Lower(localAddress)) || lower == "www.youtube.com" ||
           lower == "youtube.com" || lower == "gdata.youtube.com";
}

Route ParseRoute(std::string_view rawTarget) {
    const std::string origin = OriginForm(rawTarget);
    std::string_view target = origin;
    std::string_view path = target;
    std::string_view query;
    if (std::size_t mark = target.find('?'); mark != std::string_view::npos) {
        path = target.substr(0, mark);
        query = target.substr(mark + 1);
    }
    Route route;
    if (path.substr(0, kFeedPrefix.size()) == kFeedPrefix) {
        route.kind = Route::Kind::Feed;
        route.id = common::PercentDecode(path.substr(kFeedPrefix.size()), false);
    } else if (path.substr(0, kMediaPrefix.size()) == kMediaPrefix) {
        const std::string rest = common::PercentDecode(path.substr(kMediaPrefix.size()), false);
        const std::size_t slash = rest.find('/');
        if (slash != std::string::npos) {
            route.kind = Route::Kind::Media;
            route.id = rest.substr(0, slash);
            route.level = rest.substr(slash + 1);
        }
    } else if (path == "/apiplayer") {
        route.kind = Route::Kind::PlayerMovie;
    } else if (path == "/get_video_info") {
        route.kind = Route::Kind::VideoInfo;
        route.id = QueryValue(query, "video_id");
    } else if (path == "/watch") {
        route.kind = Route::Kind::Watch;
        route.id = QueryValue(query, "v");
    } else if (path == "/") {
        route.kind = Route::Kind::LibraryPage;
    } else if (path == "/library.txt") {
        route.kind = Route::Kind::LibraryTable;
        route.waitSeconds = WaitSeconds(QueryValue(query, "wait"));
    } else if (path == "/find") {
        route.kind = Route::Kind::FindByName;
        route.name = QueryValue(query, "name");
    }
    return route;
}

Reply HandleRequest(const LibrarySnapshot& library, std::string_view method, std::string_view target,
                    int forcedStatus) {
    if (forcedStatus != 0) {
        if (IsBodyless(forcedStatus)) return {forcedStatus, {}, {}};
        return Text(forcedStatus, "Forced status " + std::to_string(forcedStatus));
    }
    if (method != "GET" && method != "HEAD") return Text(404, "Not found");
    const Catalogue& catalogue = library.catalogue;
    const Route route = ParseRoute(target);
    const Video* video = route.id.empty() ? nullptr : catalogue.Find(route.id);

    switch (route.kind) {
    case Route::Kind::Feed:
        if (video == nullptr) return NotFound();
        if (video->isPrivate) return Text(403, "Private video");
        return {200, "application/atom+xml; charset=UTF-8", RenderEntry(*video)};
    case Route::Kind::Media: {
        if (video == nullptr) return NotFound();
        if (video->isPrivate) return Text(403, "Private video");
        auto quality = common::QualityFromName(route.level);
        for (const MediaFile& media : video->media) {
            if (quality && media.quality == *quality) {
                Reply reply{200, media.contentType, {}};
                reply.media = &media;
                reply.mediaPath = library.FileOf(*video, media);
                return reply;
            }
        }
        return Text(404, "Not found");
    }
    case Route::Kind::PlayerMovie:
        return {200, "application/x-clipdeck-player", PlayerMovie()};
    case Route::Kind::VideoInfo:
        return {200, "application/x-www-form-urlencoded; charset=utf-8", FormEncode(VideoInfoFields(video))};
    case Route::Kind::Watch:
        if (video == nullptr) return NotFound();
        if (video->isPrivate) return Text(403, "Private video");
        return {200, std::string(kHtmlType), RenderWatchPage(*video)};
    case Route::Kind::LibraryPage:
        return {200, std::string(kHtmlType), RenderLibraryPage(library)};
    case Route::Kind::LibraryTable:
        return Text(200, RenderLibraryTable(library));
    case Route::Kind::FindByName:
        return FindReply(catalogue, route.name);
    case Route::Kind::Other:
        break;
    }
    return Text(404, "Not found");
}

}  // namespace clipdeck::service
