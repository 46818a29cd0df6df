#pragma once
// Decodes one player's real media on a thread of its own with Media
// Foundation's source reader, reading through the Range stream, and keeps
// the newest frame as BGRA for the window. Commands come from the playback
// model; the window is told with a posted message when there is news.
// Internal to playerctl.

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "playback.h"

namespace playerctl {

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
    // Stops and joins the thread.
    ~MediaDecoder();
    MediaDecoder(const MediaDecoder&) = delete;
    MediaDecoder& operator=(const MediaDecoder&) = delete;

    void Send(MediaCommand command);
    // Also re-arms the notification.
    MediaReport Report();
    // Swaps the newest frame into `frame` when it is newer than the one it holds.
    bool TakeFrame(DecodedFrame& frame);

    // What the decode thread holds of the open media (media_decoder.cpp).
    struct Session;

private:

    void Run();
    void Carry(Session& s, const MediaCommand& command);
    void Step(Session& s, std::unique_lock<std::mutex>& lock);
    void Publish();

    std::wstring host_;
    std::uint16_t port_;
    HWND notify_;
    UINT message_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<MediaCommand> commands_;
    bool quit_ = false;
    bool notifyPending_ = false;
    MediaReport report_;
    DecodedFrame front_;
    std::thread thread_;
};

}  // namespace playerctl
