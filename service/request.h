#pragma once
// What the service answers to one request, decided without any socket.

#include <string>
#include <string_view>

#include "library.h"

namespace clipdeck::service {

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
    // Set for a media request: the file to send, with Range support, in
    // place of `body` (the status and type are then the caller's to set),
    // and where it is (UTF-8).
    const MediaFile* media = nullptr;
    std::string mediaPath = {};
};

// What a request target asks for, read before it is answered.
struct Route {
    enum class Kind {
        Feed,          // /feeds/api/videos/ID
        Media,         // /media/ID/LEVEL
        PlayerMovie,   // /apiplayer
        VideoInfo,     // /get_video_info?video_id=ID
        Watch,         // /watch?v=ID
        LibraryPage,   // /
        LibraryTable,  // /library.txt[?wait=SECONDS]
        FindByName,    // /find?name=TEXT
        Other,
    };
    Kind kind = Kind::Other;
    std::string id;      // the video named, if any (decoded)
    std::string level;   // Media
    std::string name;    // FindByName
    int waitSeconds = 0; // LibraryTable: how long to wait for the folders to be read (at most 30)
};

// `target` as received: path, then optionally '?' and the query; a proxy's
// absolute form ("http://host:port/path?q") is read from its path.
Route ParseRoute(std::string_view target);

// Whether a request whose Host header is `host` may be answered. A web page
// the user opens can send requests to 127.0.0.1, and by pointing its own
// name at 127.0.0.1 read the answers; its requests carry its own name. So
// only these are answered, with any port or none: a loopback address
// (127.x.x.x, ::1) or "localhost"; `localAddress`, the address the request
// came in on (so a service bound elsewhere with --bind answers there); the
// video service's names the program and a browser using the service as its
// proxy send (www.youtube.com, youtube.com, gdata.youtube.com); or no Host
// at all, which no browser sends. Names compare without case.
bool IsAllowedHost(std::string_view host, std::string_view localAddress);

// A nonzero `forcedStatus` answers every request with that status.
Reply HandleRequest(const LibrarySnapshot& library, std::string_view method, std::string_view target,
                    int forcedStatus);

}  // namespace clipdeck::service
