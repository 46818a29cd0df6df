#pragma once
// The videos the service knows, read from a tab-separated text file.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/quality.h"

namespace clipdeck::service {

using common::Quality;

// A file that holds a video at one quality level.
struct MediaFile {
    Quality quality = Quality::Small;
    std::string path;         // UTF-8; relative to the catalogue's folder until resolved
    std::uint64_t bytes = 0;  // the file's size, once read
    std::string contentType;  // "video/mp4" or "video/webm"
    std::string name;         // a media folder's file: its name as shown (UTF-8); else empty
};

struct Video {
    std::string id;
    int seconds = 0;
    bool noEmbed = false;
    bool isPrivate = false;
    std::uint32_t colour = 0;     // 0xRRGGBB
    std::vector<Quality> levels;  // highest first, no repeats, never empty
    std::string published;        // YYYY-MM-DD
    std::string author;           // UTF-8
    std::string title;            // UTF-8
    // One file per level, in the order of `levels`; empty for a video whose
    // playback is only simulated.
    std::vector<MediaFile> media;
    int folder = -1;   // index of the media folder it comes from; -1: the catalogue
    std::string note;  // why the player may not play it (a format it cannot decode); may be empty
};

class Catalogue {
public:
    // False when a video with the same ID is already present.
    bool Add(Video video);
    const Video* Find(std::string_view id) const;
    const std::vector<Video>& Videos() const { return videos_; }

private:
    std::vector<Video> videos_;
    std::map<std::string, std::size_t, std::less<>> index_;
};

struct CatalogueError {
    int line = 0;  // 1-based; 0 for the file as a whole
    std::string message;
};

struct CatalogueParse {
    Catalogue catalogue;
    std::vector<CatalogueError> errors;  // empty when the text is well-formed
};

// Parses the whole text and reports every malformed line, not just the first.
CatalogueParse ParseCatalogue(std::string_view text);

struct CatalogueLoad {
    std::optional<Catalogue> catalogue;  // set only when the file is sound
    std::vector<std::string> messages;   // "path:line: message", ready to print
};

CatalogueLoad LoadCatalogueFile(const std::string& path);

// "video/mp4" for .mp4 and .m4v, "video/webm" for .webm (any case); empty
// for any other name.
std::string MediaContentType(std::string_view fileName);

// 11 characters from A-Z a-z 0-9 - _.
bool IsValidVideoId(std::string_view id);

}  // namespace clipdeck::service
