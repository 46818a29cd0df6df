// mfidl.h first: MinGW-w64's audioclient.h needs what it declares.
#include <windows.h>
#include <mfidl.h>
#include <mmdeviceapi.h>
#include <audioclient.h>
#include <mmreg.h>
#include <wrl/client.h>

#include "audio_out.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "pcm.h"

namespace playerctl {

using Microsoft::WRL::ComPtr;

namespace {

// Enough to ride over the decode thread's naps (it tops up every 10 ms)
// while a volume change still reaches the ear soon.
constexpr REFERENCE_TIME kBufferTicks = 100 * 10000;

}  // namespace

struct AudioOut::Com {
    ComPtr<IAudioClient> client;
    ComPtr<IAudioRenderClient> render;
    ComPtr<IAudioClock> clock;
    UINT64 frequency = 0;
    std::int64_t playedAtReset = 0;
    ~Com() {
        if (client) client->Stop();
    }
};

AudioOut::AudioOut(std::unique_ptr<Com> com) : com_(std::move(com)) {}
AudioOut::~AudioOut() = default;

std::unique_ptr<AudioOut> AudioOut::Open() {
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&enumerator))))
        return nullptr;
    ComPtr<IMMDevice> device;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device))) return nullptr;
    auto com = std::make_unique<Com>();
    HRESULT hr = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, &com->client);
    if (FAILED(hr)) return nullptr;
    WAVEFORMATEX* mix = nullptr;
    if (FAILED(com->client->GetMixFormat(&mix)) || !mix) return nullptr;
    bool isFloat = mix->wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    if (mix->wFormatTag == WAVE_FORMAT_EXTENSIBLE && mix->cbSize >= 22) {
        const auto* ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(mix);
        isFloat = ext->SubFormat.Data1 == WAVE_FORMAT_IEEE_FLOAT;
    }
    int rate = static_cast<int>(mix->nSamplesPerSec);
    int channels = mix->nChannels;
    int bits = mix->wBitsPerSample;
    bool usable = rate > 0 && channels > 0 && channels <= 32 && (isFloat ? bits == 32 : bits == 16 || bits == 32);
    hr = usable ? com->client->Initialize(AUDCLNT_SHAREMODE_SHARED, 0, kBufferTicks, 0, mix, nullptr) : E_FAIL;
    CoTaskMemFree(mix);
    if (FAILED(hr)) return nullptr;
    UINT32 bufferFrames = 0;
    if (FAILED(com->client->GetBufferSize(&bufferFrames)) || bufferFrames == 0) return nullptr;
    if (FAILED(com->client->GetService(IID_PPV_ARGS(&com->render)))) return nullptr;
    if (FAILED(com->client->GetService(IID_PPV_ARGS(&com->clock)))) return nullptr;
    if (FAILED(com->clock->GetFrequency(&com->frequency)) || com->frequency == 0) return nullptr;
    std::unique_ptr<AudioOut> out(new AudioOut(std::move(com)));
    out->rate_ = rate;
    out->channels_ = channels;
    out->bits_ = bits;
    out->float_ = isFloat;
    out->bufferFrames_ = bufferFrames;
    return out;
}

std::size_t AudioOut::Room() {
    UINT32 padding = 0;
    if (FAILED(com_->client->GetCurrentPadding(&padding)) || padding > bufferFrames_) return 0;
    return bufferFrames_ - padding;
}

float AudioOut::Write(float* samples, std::size_t frames, float gain) {
    if (frames == 0) return 0;
    BYTE* data = nullptr;
    if (FAILED(com_->render->GetBuffer(static_cast<UINT32>(frames), &data))) return -1;
    std::size_t count = frames * channels_;
    float peak = ApplyGain(samples, count, gain);
    if (float_) {
        std::memcpy(data, samples, count * sizeof(float));
    } else if (bits_ == 16) {
        auto* out = reinterpret_cast<std::int16_t*>(data);
        for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::int16_t>(samples[i] * 32767.0f);
    } else {
        auto* out = reinterpret_cast<std::int32_t*>(data);
        for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::int32_t>(samples[i] * 2147483520.0);
    }
    if (FAILED(com_->render->ReleaseBuffer(static_cast<UINT32>(frames), 0))) return -1;
    return peak;
}

bool AudioOut::Start() { return SUCCEEDED(com_->client->Start()); }

void AudioOut::Stop() { com_->client->Stop(); }

void AudioOut::Reset() {
    com_->client->Stop();
    com_->client->Reset();
    com_->playedAtReset = 0;
    // Not every implementation starts the position over on Reset.
    com_->playedAtReset = Played();
}

std::int64_t AudioOut::Played() {
    UINT64 position = 0;
    if (FAILED(com_->clock->GetPosition(&position, nullptr))) return 0;
    auto frames = static_cast<std::int64_t>(position * static_cast<UINT64>(rate_) / com_->frequency);
    return std::max<std::int64_t>(0, frames - com_->playedAtReset);
}

}  // namespace playerctl
