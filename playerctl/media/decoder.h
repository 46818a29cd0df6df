#pragma once
// Decodes one player's real media on a thread of its own with Media
// Foundation's source reader, reading through a block cache, and keeps the
// newest frame as BGRA for the window. Commands come from the playback
// model; the window is told with a posted message when there is news.
// Internal to playerctl.

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "block_cache.h"
#include "commands.h"
#include "frame.h"

namespace playerctl {

class MediaDecoder {
public:
    // Makes the cache an Open reads its media through (Range requests on
    // the player host in the product).
    using CacheFactory = std::function<std::shared_ptr<BlockCache>(const std::wstring& path)>;

    // `notify` gets `message` (posted, at most one outstanding) when the
    // report or the frame changed.
    MediaDecoder(CacheFactory makeCache, HWND notify, UINT message);
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

    // What the window and the thread share; the thread keeps it alive for
    // as long as it runs.
    struct Shared {
        CacheFactory makeCache;
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
    static void Run(std::shared_ptr<Shared> shared) noexcept;

    std::shared_ptr<Shared> shared_;
};

}  // namespace playerctl
