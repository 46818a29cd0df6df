#pragma once
// What the library says of itself: the page a browser shows at "/", the
// table a terminal shows, and the video a part of a file name means.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "library.h"

namespace clipdeck::service {

// One UTF-8 HTML5 page, readable without script: every video served (each
// folder's under its name, then the catalogue's but private ones), each with its title
// linking to its watch page, length, levels, ID and, for a folder's video,
// its files; then the folders and the files not served, with the reason.
// Every text from a file or the catalogue is escaped.
std::string RenderLibraryPage(const LibrarySnapshot& library);

// The same list as a table for a terminal: ID, length, levels, title (cut
// to a width), files; columns aligned by display width, so titles in any
// script line up. Then the folders, what cannot play and what is not served.
std::string RenderLibraryTable(const LibrarySnapshot& library);

// The columns a terminal gives UTF-8 text: two for East Asian wide and full-
// width characters and most emoji, none for combining marks, variation
// selectors and zero-width characters, one for the rest.
std::size_t DisplayWidth(std::string_view utf8);

// The text cut to at most `columns` display columns, with "…" at the cut.
std::string CutToWidth(std::string_view utf8, std::size_t columns);

struct NameMatch {
    const Video* video = nullptr;        // the one video meant
    std::vector<const Video*> several;   // set when the text names more than one
};

// The video that `text` names, for a user who types part of a file name:
// the video whose ID it is; else the one whose file name, file name without
// its extension, or name without its level suffix (clip_720.mp4:
// "clip_720.mp4", "clip_720", "clip.mp4", "clip") it is; else the one
// whose file name holds it. Letters A-Z compare without case. Several videos
// for the first rule that matches any: `several` lists them.
NameMatch FindVideoByName(const Catalogue& catalogue, std::string_view text);

}  // namespace clipdeck::service
