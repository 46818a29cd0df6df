#include "sound.h"

#include <mfapi.h>
#include <wrl/client.h>

#include <algorithm>

#include "locked_buffer.h"

namespace playerctl {

using Microsoft::WRL::ComPtr;

namespace {

constexpr std::int64_t kTicksPerMs = 10000;  // Media Foundation counts 100 ns
// Sound decoded ahead of the device.
constexpr std::int64_t kSoundAheadMs = 500;

const DWORD kAudioStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);

// Asks the decoder for `subtype` at `rate` and `channels` (0: the clip's own).
bool Offer(IMFSourceReader* reader, const GUID& subtype, int rate, int channels, int bits) {
    ComPtr<IMFMediaType> type;
    if (FAILED(MFCreateMediaType(&type))) return false;
    type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    type->SetGUID(MF_MT_SUBTYPE, subtype);
    if (rate > 0) {
        type->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, static_cast<UINT32>(rate));
        type->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, static_cast<UINT32>(channels));
        type->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, static_cast<UINT32>(bits));
        type->SetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, static_cast<UINT32>(channels * bits / 8));
        type->SetUINT32(MF_MT_AUDIO_AVG_BYTES_PER_SECOND, static_cast<UINT32>(rate * channels * bits / 8));
    } else {
        type->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, static_cast<UINT32>(bits));
    }
    return SUCCEEDED(reader->SetCurrentMediaType(kAudioStream, nullptr, type.Get()));
}

// The first selected video and sound streams' indices; false unless both exist.
bool FindStreams(IMFSourceReader* reader, DWORD& video, DWORD& audio) {
    bool haveVideo = false, haveAudio = false;
    for (DWORD i = 0; i < 64 && !(haveVideo && haveAudio); ++i) {
        BOOL selected = FALSE;
        if (FAILED(reader->GetStreamSelection(i, &selected))) break;
        ComPtr<IMFMediaType> t;
        if (!selected || FAILED(reader->GetCurrentMediaType(i, &t))) continue;
        GUID major{};
        t->GetGUID(MF_MT_MAJOR_TYPE, &major);
        if (major == MFMediaType_Video && !haveVideo) {
            video = i;
            haveVideo = true;
        } else if (major == MFMediaType_Audio && !haveAudio) {
            audio = i;
            haveAudio = true;
        }
    }
    return haveVideo && haveAudio;
}

}  // namespace

SoundPath::SoundPath(std::unique_ptr<AudioOut> out, std::unique_ptr<PcmConverter> convert)
    : out_(std::move(out)), convert_(std::move(convert)) {}

std::unique_ptr<SoundPath> SoundPath::Open(IMFSourceReader* reader, AudioStats& stats) {
    ComPtr<IMFMediaType> native;
    if (FAILED(reader->GetNativeMediaType(kAudioStream, 0, &native))) return nullptr;
    std::unique_ptr<AudioOut> out = AudioOut::Open();
    if (!out) return nullptr;
    if (FAILED(reader->SetStreamSelection(kAudioStream, TRUE))) return nullptr;
    // The device's own format when the decoder can give it, else float or
    // 16-bit at the clip's rate, converted here.
    bool set = Offer(reader, MFAudioFormat_Float, out->Rate(), out->Channels(), 32) ||
               Offer(reader, MFAudioFormat_Float, 0, 0, 32) || Offer(reader, MFAudioFormat_PCM, 0, 0, 16);
    ComPtr<IMFMediaType> type;
    std::unique_ptr<SoundPath> sound;
    if (set && SUCCEEDED(reader->GetCurrentMediaType(kAudioStream, &type))) {
        GUID subtype{};
        UINT32 rate = 0, channels = 0, bits = 0;
        type->GetGUID(MF_MT_SUBTYPE, &subtype);
        type->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
        type->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
        type->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
        bool isFloat = subtype == MFAudioFormat_Float;
        bool known = isFloat ? bits == 32 : subtype == MFAudioFormat_PCM && (bits == 16 || bits == 24 || bits == 32);
        auto convert = std::make_unique<PcmConverter>(static_cast<int>(rate), static_cast<int>(channels), out->Rate(),
                                                      out->Channels());
        if (known && convert->Valid()) {
            sound.reset(new SoundPath(std::move(out), std::move(convert)));
            sound->inFloat_ = isFloat;
            sound->inBits_ = static_cast<int>(bits);
            sound->inChannels_ = static_cast<int>(channels);
        }
    }
    if (!sound || !FindStreams(reader, sound->videoIndex_, sound->audioIndex_)) {
        reader->SetStreamSelection(kAudioStream, FALSE);
        return nullptr;
    }
    stats.device = true;
    stats.rate = sound->out_->Rate();
    stats.channels = sound->out_->Channels();
    return sound;
}

void SoundPath::Add(IMFSample* sample, LONGLONG time) {
    ComPtr<IMFMediaBuffer> buffer;
    if (FAILED(sample->ConvertToContiguousBuffer(&buffer))) return;
    std::vector<float> in;
    if (LockedBuffer locked(buffer.Get()); locked) PcmToFloat(locked.Data(), locked.Length(), inBits_, inFloat_, in);
    Chunk chunk;
    chunk.time = time;
    convert_->Convert(in.data(), in.size() / inChannels_, chunk.samples);
    std::int64_t frames = static_cast<std::int64_t>(chunk.samples.size()) / out_->Channels();
    if (frames == 0) return;
    queuedFrames_ += frames;
    queue_.push_back(std::move(chunk));
}

bool SoundPath::Hungry() const { return !ended_ && queuedFrames_ < kSoundAheadMs * out_->Rate() / 1000; }

bool SoundPath::Feed(LONGLONG offset, std::int64_t fromMs, float gain, bool playing, AudioStats& stats) {
    AudioOut& out = *out_;
    const std::size_t channels = static_cast<std::size_t>(out.Channels());
    std::size_t room = out.Room();
    while (room > 0 && !queue_.empty()) {
        Chunk& c = queue_.front();
        std::size_t left = c.samples.size() / channels - c.at;
        if (written_ == 0) {
            std::int64_t ms = (c.time - offset) / kTicksPerMs + static_cast<std::int64_t>(c.at) * 1000 / out.Rate();
            if (ms < fromMs) {
                auto drop = std::min<std::size_t>(left, static_cast<std::size_t>((fromMs - ms) * out.Rate() / 1000));
                if (drop == 0) drop = std::min<std::size_t>(left, 1);
                c.at += drop;
                left -= drop;
                queuedFrames_ -= static_cast<std::int64_t>(drop);
                if (left == 0) queue_.pop_front();
                continue;
            }
            anchorMs_ = ms;
            anchorFrames_ = 0;
            anchored_ = true;
        }
        std::size_t n = std::min(room, left);
        float peak = out.Write(c.samples.data() + c.at * channels, n, gain);
        if (peak < 0) {
            Stop();
            return false;
        }
        stats.peak = peak;
        stats.gain = gain;
        stats.framesWritten += static_cast<std::int64_t>(n);
        written_ += static_cast<std::int64_t>(n);
        queuedFrames_ -= static_cast<std::int64_t>(n);
        c.at += n;
        room -= n;
        if (c.at * channels >= c.samples.size()) queue_.pop_front();
    }
    if (playing && !running_ && anchored_ && written_ > out.Played()) running_ = out.Start();
    return true;
}

std::optional<std::int64_t> SoundPath::ClockMs(SteadyClock& clock, AudioStats& stats) {
    if (!running_ || !anchored_) return std::nullopt;
    std::int64_t played = out_->Played();
    stats.framesPlayed = played;
    if (played >= written_) {
        underran_ = true;
        return std::nullopt;
    }
    if (underran_) {
        // Back after running dry: the sound goes on from now.
        anchorMs_ = clock.Now();
        anchorFrames_ = played;
        underran_ = false;
    }
    std::int64_t ms = anchorMs_ + (played - anchorFrames_) * 1000 / out_->Rate();
    clock.Rebase(ms);
    stats.clockFromAudio = true;
    ++stats.audioClockReads;
    return ms;
}

void SoundPath::Stop() {
    if (running_) out_->Stop();
    running_ = false;
}

void SoundPath::Flush() {
    queue_.clear();
    queuedFrames_ = 0;
    out_->Reset();
    convert_->Reset();
    running_ = anchored_ = underran_ = false;
    written_ = 0;
    ended_ = false;
}

}  // namespace playerctl
