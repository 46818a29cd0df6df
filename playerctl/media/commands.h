#pragma once
// What the playback model asks of the decoder of real media, and what the
// decoder says of itself. No Windows header.

#include <cstdint>
#include <string>

namespace playerctl {

// Each command has a serial one above the one before.
struct MediaCommand {
    enum class Kind { Open, Play, Pause, Seek, Close };
    Kind kind = Kind::Close;
    std::uint64_t serial = 0;
    std::wstring path;         // Open
    std::wstring contentType;  // Open
    std::int64_t ms = 0;       // Open, Seek: the position
    bool play = false;         // Open: start playing once open
    bool seekAhead = false;    // Seek: count bytes afresh from there
};

// What the decoder says of itself at one moment.
struct MediaReport {
    std::uint64_t serial = 0;      // the last command it has carried out
    bool failed = false;           // cannot open or decode the media
    std::int64_t durationMs = 0;   // 0 until known
    bool showing = false;          // a frame at the position asked for is on show
    bool starved = false;          // playing, but frames came later than their time
    bool ended = false;            // played to the end
    std::int64_t positionMs = 0;
    std::int64_t bytesFetched = 0; // since startBytes
    std::int64_t startBytes = 0;
    std::int64_t sizeBytes = 0;    // 0 until known
};

}  // namespace playerctl
