#pragma once
// The documents the service answers with.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue.h"

namespace clipdeck::service {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// key=value pairs joined by '&', keys and values percent-encoded.
std::string FormEncode(const FormFields& fields);
// A query string split into decoded pairs ('+' is a space); a part without
// '=' gives an empty value; empty parts are skipped.
FormFields ParseQuery(std::string_view query);

// Whole-video size at one quality level: the file's size for a video with
// media, else a fixed header plus a byte rate that grows with the level,
// times the length.
std::uint64_t VideoBytes(const Video& video, Quality quality);

// "/media/ID/LEVEL": where a video's file at one level is served.
std::string MediaPath(const Video& video, Quality quality);

// "M:SS", or "H:MM:SS" from an hour on.
std::string FormatLength(int seconds);

// The feed's entry document of one video.
std::string RenderEntry(const Video& video);

// The fields of the video-info answer: status=ok with what the player needs
// to play the video, or status=fail with errorcode and reason. `video` is
// null for an unknown ID.
FormFields VideoInfoFields(const Video* video);

// The watch page for browsers.
std::string RenderWatchPage(const Video& video);

// The player movie: a short text whose first line the player component checks.
std::string PlayerMovie();

}  // namespace clipdeck::service
