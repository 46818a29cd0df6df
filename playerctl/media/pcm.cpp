#include "pcm.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace playerctl {

void PcmToFloat(const std::uint8_t* data, std::size_t bytes, int bits, bool isFloat, std::vector<float>& out) {
    if (!data) return;
    if (isFloat && bits == 32) {
        std::size_t n = bytes / 4;
        std::size_t at = out.size();
        out.resize(at + n);
        std::memcpy(out.data() + at, data, n * 4);
        for (std::size_t i = at; i < out.size(); ++i)
            if (!std::isfinite(out[i])) out[i] = 0;  // bad input must not reach the speaker as noise
        return;
    }
    if (isFloat) return;
    switch (bits) {
    case 16:
        for (std::size_t i = 0; i + 2 <= bytes; i += 2)
            out.push_back(static_cast<std::int16_t>(data[i] | (data[i + 1] << 8)) / 32768.0f);
        break;
    case 24:
        for (std::size_t i = 0; i + 3 <= bytes; i += 3) {
            std::int32_t v = static_cast<std::int32_t>((std::uint32_t{data[i]} << 8) | (std::uint32_t{data[i + 1]} << 16) |
                                                       (std::uint32_t{data[i + 2]} << 24));
            out.push_back(static_cast<float>(v / 2147483648.0));
        }
        break;
    case 32:
        for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
            std::int32_t v;
            std::memcpy(&v, data + i, 4);
            out.push_back(static_cast<float>(v / 2147483648.0));
        }
        break;
    default:
        break;
    }
}

PcmConverter::PcmConverter(int inRate, int inChannels, int outRate, int outChannels)
    : inRate_(inRate), inChannels_(inChannels), outRate_(outRate), outChannels_(outChannels),
      valid_(inRate > 0 && outRate > 0 && inChannels > 0 && outChannels > 0 && inChannels <= 32 && outChannels <= 32),
      step_(valid_ ? static_cast<double>(inRate) / outRate : 1.0),
      prev_(valid_ ? outChannels : 0), cur_(valid_ ? outChannels : 0) {}

void PcmConverter::Reset() {
    at_ = 0;
    havePrev_ = false;
}

void PcmConverter::Map(const float* in, float* out) const {
    if (inChannels_ == 1) {
        std::fill(out, out + outChannels_, in[0]);
    } else if (outChannels_ == 1) {
        float sum = 0;
        for (int c = 0; c < inChannels_; ++c) sum += in[c];
        out[0] = sum / inChannels_;
    } else {
        for (int c = 0; c < outChannels_; ++c) out[c] = c < inChannels_ ? in[c] : 0.0f;
    }
}

void PcmConverter::Convert(const float* in, std::size_t frames, std::vector<float>& out) {
    if (!valid_ || !in) return;
    for (std::size_t f = 0; f < frames; ++f) {
        Map(in + f * inChannels_, cur_.data());
        if (inRate_ == outRate_) {
            out.insert(out.end(), cur_.begin(), cur_.end());
            continue;
        }
        if (!havePrev_) {
            prev_ = cur_;
            havePrev_ = true;
            at_ = 0;
            continue;
        }
        // Output frames between prev_ (place 0) and cur_ (place 1).
        while (at_ < 1.0) {
            float t = static_cast<float>(at_);
            for (int c = 0; c < outChannels_; ++c) out.push_back(prev_[c] + (cur_[c] - prev_[c]) * t);
            at_ += step_;
        }
        at_ -= 1.0;
        std::swap(prev_, cur_);
    }
}

float ApplyGain(float* samples, std::size_t count, float gain) {
    float peak = 0;
    for (std::size_t i = 0; i < count; ++i) {
        float v = std::clamp(samples[i] * gain, -1.0f, 1.0f);
        samples[i] = v;
        peak = std::max(peak, std::fabs(v));
    }
    return peak;
}

}  // namespace playerctl
