#pragma once
// Sound samples on their way from the decoder to the audio device: decoded
// PCM to float, channel mapping and rate conversion, volume. No Windows
// header.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace playerctl {

// Appends `bytes` of interleaved PCM (`bits` 16, 24 or 32 integer, or 32
// float) as float samples; a trailing partial sample is ignored.
void PcmToFloat(const std::uint8_t* data, std::size_t bytes, int bits, bool isFloat, std::vector<float>& out);

// Maps channels and converts the rate of interleaved float frames, carrying
// its place across calls so consecutive blocks join without a seam.
// One channel goes to every output channel; several go to one as their
// mean; otherwise channels keep their place and extra outputs are silent.
// Rates differ: linear interpolation.
class PcmConverter {
public:
    PcmConverter(int inRate, int inChannels, int outRate, int outChannels);
    // Appends the output frames of `frames` input frames.
    void Convert(const float* in, std::size_t frames, std::vector<float>& out);
    // Forgets the place (after a seek).
    void Reset();
    bool Valid() const { return valid_; }

private:
    void Map(const float* in, float* out) const;

    int inRate_, inChannels_, outRate_, outChannels_;
    bool valid_;
    double step_;        // input frames per output frame
    double at_ = 0;      // place of the next output frame after prev_
    bool havePrev_ = false;
    std::vector<float> prev_, cur_;
};

// Scales float samples by `gain` (0..1) in place, clamped to -1..1, and
// returns the largest magnitude that came out.
float ApplyGain(float* samples, std::size_t count, float gain);

}  // namespace playerctl
