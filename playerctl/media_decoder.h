#pragma once
// Decodes one player's real media on a thread of its own with Media
// Foundation's source reader, reading through the Range stream, and keeps
// the newest frame as BGRA for the window. Commands come from the playback
// model; the window is told with a posted message when there is news.
// Internal to playerctl.

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "block_cache.h"
#include "playback.h"

namespace playerctl {

// How the sound of the media open now goes (for the test seam).
struct AudioStats {
    bool device = false;             // an endpoint plays this media's sound
    bool clockFromAudio = false;     // the last reading of the clock came from the device
    std::int64_t audioClockReads = 0;
    std::int64_t framesWritten = 0;  // since the media was opened
    std::int64_t framesPlayed = 0;   // since the last seek
    float gain = 1;                  // applied to the last frames written
    float peak = 0;                  // largest magnitude of the last frames written
    int rate = 0;
    int channels = 0;
};

struct DecodedFrame {
    std::vector<std::uint8_t> bgra;  // width * height pixels, top row first
    int width = 0;
    int height = 0;
    std::int64_t ms = 0;             // media time of the frame
    std::uint64_t number = 0;        // 1 for the first frame ever shown, then up
};

class MediaDecoder {
public:
    // `notify` gets `message` (posted, at most one outstanding) when the
    // report or the frame changed.
    MediaDecoder(std::wstring host, std::uint16_t port, HWND notify, UINT message);
    // Tells the thread to stop and lets it go without waiting: a media stack
    // stuck on bad input must not hold the window. It posts nothing more.
    ~MediaDecoder();
    // Tells every decode thread of the process to stop and waits up to
    // `wait` for all of them to end; false when some did not. Run as the
    // process exits.
    static bool StopAll(std::chrono::milliseconds wait);
    MediaDecoder(const MediaDecoder&) = delete;
    MediaDecoder& operator=(const MediaDecoder&) = delete;

    void Send(MediaCommand command);
    // Also re-arms the notification.
    MediaReport Report();
    // Swaps the newest frame into `frame` when it is newer than the one it holds.
    bool TakeFrame(DecodedFrame& frame);
    // Volume for the sound from now on, 0 (silent) to 1.
    void SetGain(float gain);
    AudioStats Audio();

    // What the decode thread holds of the open media (media_decoder.cpp).
    struct Session;

    // What the window and the thread share; the thread keeps it alive for
    // as long as it runs.
    struct Shared {
        std::wstring host;
        std::uint16_t port = 80;
        std::mutex mutex;
        std::condition_variable wake;
        HWND notify = nullptr;  // null once the window has let go
        UINT message = 0;
        std::deque<MediaCommand> commands;
        bool quit = false;
        bool notifyPending = false;
        MediaReport report;
        DecodedFrame front;
        std::shared_ptr<BlockCache> cache;  // of the media open now
        float gain = 1;
        AudioStats audio;

        void Publish();
        void Quit();
    };

private:
    static void Run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
};

}  // namespace playerctl
