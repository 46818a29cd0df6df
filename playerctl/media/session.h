#pragma once
// What the decode thread holds of the media open now, and the steps of
// decoding it, run on the decode thread only. Internal to the media folder.
//
//   session.cpp  the commands, the clock, and the pacing of frames and sound
//   reader.cpp   opening the media, reading samples, seeking, frames shown
//   sound.cpp    the sound path

// Header order: mfidl.h before anything that pulls in audioclient.h.
#include <windows.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <wrl/client.h>

#include <cstdint>
#include <deque>
#include <memory>

#include "block_cache.h"
#include "commands.h"
#include "frame.h"
#include "sound.h"
#include "steady_clock.h"

namespace playerctl {

class Session {
public:
    // Carries out one command of the model; `cache` holds the media of an Open.
    void Carry(std::shared_ptr<BlockCache> cache, const MediaCommand& c);
    // One piece of work; returns how long to wait before the next (ms), or
    // -1 to wait for a command.
    std::int64_t Work();
    // The media cannot be decoded, or something failed on the way.
    void Fail() noexcept { failed_ = true; }
    // The last command carried out (or failed).
    void SetSerial(std::uint64_t serial) { serial_ = serial; }
    void SetGain(float gain) { gain_ = gain; }

    // What the window is told. A frame newer than `front` is swapped in.
    MediaReport Report();
    bool PublishFrame(DecodedFrame& front);
    const AudioStats& Audio();

    // Lets go of the media; the frame count stays.
    void Close();

private:
    struct QueuedFrame {
        Microsoft::WRL::ComPtr<IMFSample> sample;
        std::int64_t ms;
    };

    // session.cpp
    std::int64_t ClockMs();
    std::int64_t WorkVideo();
    void FeedSound();
    void Flush();

    // reader.cpp
    bool Open(std::shared_ptr<BlockCache> cache, const MediaCommand& c);
    bool AskPictureLayout();
    void Seek(std::int64_t ms, bool ahead);
    bool WantsRead() const;
    void Read();
    void ReadVideo();
    void ReadAny();
    void Queue(Microsoft::WRL::ComPtr<IMFSample> sample, LONGLONG time);
    void ReadFormat();
    bool EndedByAFailedRead() const;
    void Show();

    std::shared_ptr<BlockCache> cache_;
    Microsoft::WRL::ComPtr<IMFSourceReader> reader_;
    Microsoft::WRL::ComPtr<IMFSample> pending_;  // the next frame to show
    std::int64_t pendingMs_ = 0;
    std::deque<QueuedFrame> later_;  // read after pending_ (with sound only)
    PixelLayout layout_ = PixelLayout::I420;
    int width_ = 0, height_ = 0, stride_ = 0;
    std::int64_t durationMs_ = 0;
    LONGLONG offset_ = 0;  // the first sample's time: our zero
    bool haveOffset_ = false;
    int emptyReads_ = 0;

    bool failed_ = false;
    bool eos_ = false;
    bool ended_ = false;
    bool needFirst_ = false;  // show the next frame at once, the clock starts from it
    bool showing_ = false;
    bool starved_ = false;
    bool playing_ = false;
    std::int64_t lastShownMs_ = 0;
    // When playing: the steady clock, or the device's position while it
    // plays our sound.
    SteadyClock clock_;

    // Sound, when there is an endpoint and the media has some.
    std::unique_ptr<SoundPath> sound_;
    std::int64_t soundFromMs_ = 0;  // sound before this (the open or seek position) is dropped
    float gain_ = 1;
    AudioStats stats_;

    DecodedFrame back_;
    bool frameReady_ = false;
    std::uint64_t frames_ = 0;
    std::uint64_t serial_ = 0;
};

}  // namespace playerctl
