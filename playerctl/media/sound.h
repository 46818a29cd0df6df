#pragma once
// The sound of the media open now, from the source reader to the audio
// device: the format asked of the decoder, decoded sound queued ahead, its
// start cut to the picture after an open or seek, written to the device as
// it has room, and the device's position read back as the clock. Run on the
// decode thread only. Internal to the media folder.

// Header order: mfidl.h before anything that pulls in audioclient.h.
#include <windows.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "audio_out.h"
#include "frame.h"
#include "pcm.h"
#include "steady_clock.h"

namespace playerctl {

class SoundPath {
public:
    // The sound of the media in `reader` when the clip has some and an
    // endpoint takes it, with its stream selected and the device part of
    // `stats` filled in; otherwise nothing, and the sound stream stays off.
    static std::unique_ptr<SoundPath> Open(IMFSourceReader* reader, AudioStats& stats);
    SoundPath(const SoundPath&) = delete;
    SoundPath& operator=(const SoundPath&) = delete;

    // Which of the reader's streams is which.
    DWORD VideoIndex() const { return videoIndex_; }
    DWORD AudioIndex() const { return audioIndex_; }

    // A decoded sample of the sound stream at `time` (media time, 100 ns).
    void Add(IMFSample* sample, LONGLONG time);
    void SetEnded() { ended_ = true; }
    // Wants more read: not at its end, and less than half a second queued.
    bool Hungry() const;

    // Writes what the device has room for, dropping sound before `fromMs`
    // (media time less `offset`, the first sample's time) until the first
    // write, and starts the device once `playing`. False when the device
    // went away: it is stopped and takes nothing more.
    bool Feed(LONGLONG offset, std::int64_t fromMs, float gain, bool playing, AudioStats& stats);

    // While the device has sound of ours to play, its position is the time
    // (and `clock` follows it); nullopt otherwise.
    std::optional<std::int64_t> ClockMs(SteadyClock& clock, AudioStats& stats);
    std::int64_t Played() { return out_->Played(); }
    void Stop();
    // Sound decoded or written and not yet played is dropped (a seek).
    void Flush();

private:
    // Decoded sound at the device's rate and channels.
    struct Chunk {
        LONGLONG time = 0;  // media time of its first frame
        std::vector<float> samples;
        std::size_t at = 0;  // frames already written
    };

    SoundPath(std::unique_ptr<AudioOut> out, std::unique_ptr<PcmConverter> convert);

    std::unique_ptr<AudioOut> out_;
    std::unique_ptr<PcmConverter> convert_;
    DWORD videoIndex_ = 0, audioIndex_ = 0;
    int inBits_ = 0;
    bool inFloat_ = false;
    int inChannels_ = 0;
    bool ended_ = false;
    std::deque<Chunk> queue_;
    std::int64_t queuedFrames_ = 0;  // not yet written
    std::int64_t written_ = 0;       // frames since the last seek
    bool running_ = false;
    bool anchored_ = false;
    bool underran_ = false;
    std::int64_t anchorMs_ = 0, anchorFrames_ = 0;  // the device's frame anchorFrames_ plays at anchorMs_
};

}  // namespace playerctl
