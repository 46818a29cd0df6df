#pragma once
// Real video files: what the platform's media reader tells of them, and the
// rules that turn files into videos.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue.h"

namespace clipdeck::service {

struct MediaProbe {
    double seconds = 0;   // the container's duration
    int height = 0;       // of the best video stream, in pixels
    std::string title;    // the container's "title" tag, cleaned (CleanMediaText); may be empty
    std::string artist;   // the container's "artist" tag, cleaned; may be empty
    std::string problem;  // set when the player is known not to decode the video stream
};

// Opens the file (UTF-8 path) and reads its header, without decoding any
// picture: with libavformat on Linux, Media Foundation on Windows. Nothing
// (and a reason in `error`) when the file cannot be opened, is not a media
// container, has no video stream or no known length.
std::optional<MediaProbe> ProbeMedia(const std::string& path, std::string* error);

// The video stream's coding as far as it decides whether the player decodes
// it: the codec's short name ("h264", "hevc", "vp8", "vp9", "av1", "mpeg4"
// ...) and its profile number as the stream's own header writes it (-1:
// unknown).
struct VideoCoding {
    std::string codec;
    int profile = -1;
};

// Why the player cannot decode a stream of this coding, or empty when it can
// (or when nothing is known against it). The player decodes with the
// platform's media stack; these are the formats it was seen to fail on here:
// VP9 profiles 1 to 3, H.264 High 10 and High 4:4:4.
std::string PlaybackProblem(const VideoCoding& coding);

// Text from a file fit for titles: valid UTF-8, controls made blanks, trimmed;
// empty for text that is not valid UTF-8.
std::string CleanMediaText(std::string text);

// <=240 small, <=360 medium, <=480 large, <=720 hd720, <=1080 hd1080, above highres.
Quality QualityForHeight(int height);

// The whole seconds shown for a duration: rounded, at least 1, at most 359999.
int LengthSeconds(double seconds);

// Where a file of a media folder belongs. NAME_H.EXT and NAME_Hp.EXT (H
// digits) are the levels of the entry "NAME.EXT"; any other NAME.EXT is an
// entry of its own. The extension is part of the key, so clip_360.mp4 and
// clip_360.webm make two entries. `name` in the result is NAME.
struct MediaGroupKey {
    std::string key;   // NAME.ext, extension in lower case
    std::string name;  // NAME
};
MediaGroupKey GroupKeyForFile(std::string_view fileName);

// The 11-character ID of an entry: the 64-bit FNV-1a hash of its key, six
// bits a character, lowest first, in the URL-safe base64 alphabet
// (A-Z a-z 0-9 - _); the eleventh character carries the top four bits.
std::string MediaVideoId(std::string_view key);

// The card colour of a folder video, from the same hash.
std::uint32_t MediaColour(std::string_view key);

// Reads the files that catalogue entries name, relative to `baseDir`: fills
// in sizes and full paths, and takes each video's length from its files (the
// longest). Messages for files that cannot be read; the videos are returned
// even then, but the caller should not serve them.
std::vector<std::string> ResolveCatalogueMedia(std::vector<Video>& videos,
                                               const std::string& baseDir);

}  // namespace clipdeck::service
