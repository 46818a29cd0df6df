#pragma once
// What the service answers to one request, decided without any socket.

#include <string>
#include <string_view>

#include "catalogue.h"

namespace clipdeck::service {

struct Reply {
    int status = 200;
    std::string contentType;
    std::string body;
    // Set for a media request: the file to send, with Range support, in
    // place of `body` (the status and type are then the caller's to set).
    const MediaFile* media = nullptr;
};

// `target` is the request target as received: path, then optionally '?' and
// the query. A nonzero `forcedStatus` answers every request with that status.
Reply HandleRequest(const Catalogue& catalogue, std::string_view method, std::string_view target,
                    int forcedStatus);

}  // namespace clipdeck::service
