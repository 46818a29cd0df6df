#pragma once
// The videos the service knows, read from a tab-separated text file.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/quality.h"

namespace clipdeck::service {

using common::Quality;

// A file that holds a video at one quality level.
struct MediaFile {
    Quality quality = Quality::Small;
    // UTF-8. A catalogue's file: relative to the catalogue's folder until
    // resolved, then absolute. A media folder's file: its name in the folder.
    std::string path;
    std::uint64_t bytes = 0;  // the file's size, once read
    std::string contentType;  // "video/mp4" or "video/webm"
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

// The name a media folder video's file is shown by; empty for a catalogue's file.
std::string ShownFileName(const Video& video, const MediaFile& file);

// Videos in the order added, each found by its ID. The videos themselves are
// shared, never changed: a copy of a catalogue costs a pointer a video, so a
// large library can be handed out anew each time one of its folders changes.
class Catalogue {
public:
    using Shared = std::shared_ptr<const Video>;

    // The videos as `const Video&`, in order.
    class List {
    public:
        class Iterator {
        public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = Video;
            using difference_type = std::ptrdiff_t;
            using pointer = const Video*;
            using reference = const Video&;
            explicit Iterator(std::vector<Shared>::const_iterator at) : at_(at) {}
            const Video& operator*() const { return **at_; }
            const Video* operator->() const { return at_->get(); }
            Iterator& operator++() {
                ++at_;
                return *this;
            }
            Iterator operator++(int) { return Iterator(at_++); }
            bool operator==(const Iterator&) const = default;

        private:
            std::vector<Shared>::const_iterator at_;
        };
        explicit List(const std::vector<Shared>& videos) : videos_(&videos) {}
        Iterator begin() const { return Iterator(videos_->begin()); }
        Iterator end() const { return Iterator(videos_->end()); }
        std::size_t size() const { return videos_->size(); }
        bool empty() const { return videos_->empty(); }
        const Video& operator[](std::size_t i) const { return *(*videos_)[i]; }

    private:
        const std::vector<Shared>* videos_;
    };

    // False when a video with the same ID is already present.
    bool Add(Video video);
    bool Add(Shared video);
    void Reserve(std::size_t count);
    const Video* Find(std::string_view id) const;
    List Videos() const { return List(videos_); }

private:
    std::vector<Shared> videos_;
    // Keyed by each video's own ID: the videos never move or change.
    std::unordered_map<std::string_view, std::size_t> index_;
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
