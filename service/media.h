#pragma once
// Real video files: what libavformat reads from them, and the videos made
// from a folder of them.

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
    std::string title;    // the container's "title" tag; may be empty
    std::string artist;   // the container's "artist" tag; may be empty
};

// Opens `path` and reads its header and first packets. Nothing (and a reason
// in `error`) when the file cannot be opened, is not a media container, has
// no video stream or no known length.
std::optional<MediaProbe> ProbeMedia(const std::string& path, std::string* error);

// <=240 small, <=360 medium, <=480 large, <=720 hd720, <=1080 hd1080, above highres.
Quality QualityForHeight(int height);

// The whole seconds shown for a duration: rounded, at least 1.
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

struct MediaLoad {
    std::vector<Video> videos;
    std::vector<std::string> warnings;  // files skipped, and why
    std::string error;                  // set when the folder cannot be read
};

// Every .mp4, .m4v and .webm file directly inside `dir`, grouped into videos
// by GroupKeyForFile, levels from the picture heights. Files that cannot be
// read are skipped with a warning, as is a second file for a level already
// taken (file names in byte order decide).
MediaLoad LoadMediaDir(const std::string& dir);

// Reads the files that catalogue entries name, relative to `baseDir`: fills
// in sizes and full paths, and takes each video's length from its files (the
// longest). Messages for files that cannot be read; the videos are returned
// even then, but the caller should not serve them.
std::vector<std::string> ResolveCatalogueMedia(std::vector<Video>& videos,
                                               const std::string& baseDir);

}  // namespace clipdeck::service
