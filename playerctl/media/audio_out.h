#pragma once
// One shared-mode stream on the default audio endpoint, fed by the decode
// thread that opened it and read back as the clock of playback. Internal
// to playerctl; only the thread that opened it uses it.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace playerctl {

class AudioOut {
public:
    // Nothing when there is no endpoint or it refuses a shared stream.
    static std::unique_ptr<AudioOut> Open();
    ~AudioOut();
    AudioOut(const AudioOut&) = delete;
    AudioOut& operator=(const AudioOut&) = delete;

    int Rate() const { return rate_; }
    int Channels() const { return channels_; }

    // Frames the device can take now.
    std::size_t Room();
    // Writes `frames` interleaved float frames (at most Room()) scaled by
    // `gain`; returns the largest magnitude written, or -1 when it failed.
    float Write(float* samples, std::size_t frames, float gain);
    bool Start();
    void Stop();
    // Drops what was written and not played; the played count starts over.
    void Reset();
    // Frames the device has played since it was opened or last Reset.
    std::int64_t Played();

private:
    struct Com;
    explicit AudioOut(std::unique_ptr<Com> com);

    std::unique_ptr<Com> com_;
    int rate_ = 0;
    int channels_ = 0;
    int bits_ = 0;
    bool float_ = false;
    std::size_t bufferFrames_ = 0;
};

}  // namespace playerctl
