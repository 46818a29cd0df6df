// Header order matters with MinGW-w64's headers: mfidl.h before anything
// that pulls in audioclient.h.
#include "media_decoder.h"

#include <mfapi.h>
#include <mfidl.h>
#include <mferror.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "audio_out.h"
#include "nv12.h"
#include "pcm.h"
#include "range_stream.h"

// Exported by mfplat but missing from MinGW-w64's headers.
extern "C" HRESULT WINAPI MFCreateMFByteStreamOnStream(IStream* stream, IMFByteStream** byteStream);

namespace playerctl {

namespace {

// A frame this much behind its time means the bytes or the decoder did not
// keep up: the clock waits for the picture instead of running away from it.
constexpr std::int64_t kLateMs = 300;
constexpr std::int64_t kTicksPerMs = 10000;  // Media Foundation counts 100 ns
// With sound, frames read ahead of the one on show while the sound is
// topped up, and the sound decoded ahead of the device.
constexpr std::size_t kMaxQueuedFrames = 8;
constexpr std::int64_t kSoundAheadMs = 500;
// The decode thread tops up the device at least this often while it plays.
constexpr std::int64_t kAudioNapMs = 10;

template <typename T>
void Release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

std::int64_t QpcNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::int64_t QpcFrequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart > 0 ? f.QuadPart : 1;
}

}  // namespace

struct QueuedFrame {
    IMFSample* sample;
    std::int64_t ms;
};

// Decoded sound at the device's rate and channels.
struct SoundChunk {
    LONGLONG time = 0;  // media time of its first frame
    std::vector<float> samples;
    std::size_t at = 0;  // frames already written
};

struct MediaDecoder::Session {
    std::shared_ptr<BlockCache> cache;
    IMFSourceReader* reader = nullptr;
    IMFSample* pending = nullptr;
    std::int64_t pendingMs = 0;
    std::deque<QueuedFrame> later;  // read after pending (with sound only)
    int width = 0, height = 0, stride = 0;
    std::int64_t durationMs = 0;
    LONGLONG offset = 0;  // the first sample's time: our zero
    bool haveOffset = false;

    bool failed = false;
    bool eos = false;
    bool ended = false;
    bool needFirst = false;  // show the next frame at once, the clock starts from it
    bool showing = false;
    bool starved = false;
    bool playing = false;
    std::int64_t lastShownMs = 0;

    std::int64_t frequency = QpcFrequency();
    std::int64_t baseQpc = 0;
    std::int64_t baseMs = 0;  // clock when playing: baseMs + time since baseQpc

    // Sound, when there is an endpoint and the media has some.
    std::unique_ptr<AudioOut> audio;
    std::unique_ptr<PcmConverter> convert;
    DWORD videoIndex = 0, audioIndex = 0;
    int inBits = 0;
    bool inFloat = false;
    int inChannels = 0;
    bool audioEos = false;
    int emptyReads = 0;
    std::deque<SoundChunk> sound;
    std::int64_t soundFrames = 0;  // not yet written
    std::int64_t trimMs = 0;       // sound before this (the open or seek position) is dropped
    std::int64_t written = 0;      // frames since the last seek
    bool audioRunning = false;
    bool anchored = false;
    bool underran = false;
    std::int64_t anchorMs = 0, anchorFrames = 0;  // the device's frame anchorFrames plays at anchorMs
    float gain = 1;
    AudioStats stats;

    DecodedFrame back;
    bool frameReady = false;
    std::uint64_t frames = 0;
    std::uint64_t serial = 0;

    // While the device has sound of ours to play, its position is the
    // time; otherwise (no device, sound ended or ran dry) the steady clock
    // goes on from the last reading.
    std::int64_t ClockMs() {
        if (!playing) {
            stats.clockFromAudio = false;
            return baseMs;
        }
        if (audio && audioRunning && anchored) {
            std::int64_t played = audio->Played();
            stats.framesPlayed = played;
            if (played < written) {
                if (underran) {
                    // Back after running dry: the sound goes on from now.
                    anchorMs = QpcClockMs();
                    anchorFrames = played;
                    underran = false;
                }
                std::int64_t ms = anchorMs + (played - anchorFrames) * 1000 / audio->Rate();
                Rebase(ms);
                stats.clockFromAudio = true;
                ++stats.audioClockReads;
                return ms;
            }
            underran = true;
        }
        stats.clockFromAudio = false;
        return QpcClockMs();
    }
    std::int64_t QpcClockMs() const { return baseMs + (QpcNow() - baseQpc) * 1000 / frequency; }
    void Rebase(std::int64_t ms) {
        baseMs = ms;
        baseQpc = QpcNow();
    }
    void StopAudio() {
        if (audio && audioRunning) audio->Stop();
        audioRunning = false;
    }
    // Sound and frames read ahead are dropped (a seek).
    void Flush() {
        Release(pending);
        for (QueuedFrame& f : later) f.sample->Release();
        later.clear();
        sound.clear();
        soundFrames = 0;
        if (audio) audio->Reset();
        if (convert) convert->Reset();
        audioRunning = anchored = underran = false;
        written = 0;
        audioEos = false;
        emptyReads = 0;
    }
    void Close() {
        Flush();
        Release(reader);
        cache.reset();
        *this = Session{std::move(back), frames, serial};
    }
    Session() = default;
    Session(DecodedFrame keep, std::uint64_t frameCount, std::uint64_t lastSerial)
        : back(std::move(keep)), frames(frameCount), serial(lastSerial) {}
};

namespace {

// Every decode thread of the process. A thread still tearing its media down
// when the process exits races Wine's media stack, whose own threads then
// crash the process on the way out: the exit stops them all and waits for
// them first. Never destroyed, so a thread that comes back later still
// finds it.
struct DecoderThreads {
    std::mutex mutex;
    std::condition_variable done;
    int running = 0;
    std::vector<std::weak_ptr<MediaDecoder::Shared>> live;

    static DecoderThreads& Get() {
        static auto* threads = new DecoderThreads;
        return *threads;
    }
};

// Media that never returns from the media stack cannot be waited for
// forever: after this the process goes on exiting.
constexpr auto kExitWait = std::chrono::seconds(5);

struct StopDecodersAtExit {
    ~StopDecodersAtExit() { MediaDecoder::StopAll(kExitWait); }
} stopDecodersAtExit;

}  // namespace

bool MediaDecoder::StopAll(std::chrono::milliseconds wait) {
    DecoderThreads& threads = DecoderThreads::Get();
    std::unique_lock<std::mutex> lock(threads.mutex);
    for (const std::weak_ptr<Shared>& weak : threads.live) {
        std::shared_ptr<Shared> shared = weak.lock();
        if (shared) shared->Quit();
    }
    threads.live.clear();
    return threads.done.wait_for(lock, wait, [&threads] { return threads.running == 0; });
}

void MediaDecoder::Shared::Quit() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
        notify = nullptr;
        // Media Foundation may be waiting on reads of this media: failing
        // them lets it give up.
        if (cache) cache->Cancel();
    }
    wake.notify_all();
}

MediaDecoder::MediaDecoder(std::wstring host, std::uint16_t port, HWND notify, UINT message)
    : shared_(std::make_shared<Shared>()) {
    shared_->host = std::move(host);
    shared_->port = port;
    shared_->notify = notify;
    shared_->message = message;
    DecoderThreads& threads = DecoderThreads::Get();
    std::lock_guard<std::mutex> lock(threads.mutex);
    std::erase_if(threads.live, [](const std::weak_ptr<Shared>& weak) { return weak.expired(); });
    threads.live.push_back(shared_);
    ++threads.running;
    std::thread([shared = shared_]() mutable {
        Run(std::move(shared));
        // Last: the media and everything shared are gone by now.
        DecoderThreads& threads = DecoderThreads::Get();
        std::lock_guard<std::mutex> lock(threads.mutex);
        --threads.running;
        threads.done.notify_all();
    }).detach();
}

MediaDecoder::~MediaDecoder() { shared_->Quit(); }

void MediaDecoder::Send(MediaCommand command) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->commands.push_back(std::move(command));
    }
    shared_->wake.notify_all();
}

MediaReport MediaDecoder::Report() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->notifyPending = false;
    return shared_->report;
}

void MediaDecoder::SetGain(float gain) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->gain = std::clamp(gain, 0.0f, 1.0f);
}

AudioStats MediaDecoder::Audio() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    return shared_->audio;
}

bool MediaDecoder::TakeFrame(DecodedFrame& frame) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    if (shared_->front.number <= frame.number) return false;
    std::swap(shared_->front, frame);
    return true;
}

namespace {

void ReadFormat(IMFSourceReader* reader, int& width, int& height, int& stride) {
    IMFMediaType* type = nullptr;
    if (FAILED(reader->GetCurrentMediaType(MF_SOURCE_READER_FIRST_VIDEO_STREAM, &type))) return;
    UINT32 w = 0, h = 0;
    if (SUCCEEDED(MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &w, &h))) {
        width = static_cast<int>(w);
        height = static_cast<int>(h);
    }
    UINT32 s = 0;
    // Usually absent here: NV12 comes tightly packed.
    stride = SUCCEEDED(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &s)) ? std::abs(static_cast<INT32>(s)) : width;
    type->Release();
}

}  // namespace

// The steps of decoding, run on the decode thread only.
struct SessionOps {
    static bool Open(MediaDecoder::Session& s, std::shared_ptr<BlockCache> cache, const MediaCommand& c);
    static void Seek(MediaDecoder::Session& s, std::int64_t ms, bool ahead);
    static void Show(MediaDecoder::Session& s);
    static void ReadNext(MediaDecoder::Session& s);
};

// Wine's media stack reports the end of the stream when a read of ours
// fails: that end is an error, not the end of the video.
static bool EndedByAFailedRead(const MediaDecoder::Session& s) { return s.cache && s.cache->LastReadFailed(); }

void SessionOps::ReadNext(MediaDecoder::Session& s) {
    DWORD stream = 0, flags = 0;
    LONGLONG time = 0;
    IMFSample* sample = nullptr;
    HRESULT hr = s.reader->ReadSample(MF_SOURCE_READER_FIRST_VIDEO_STREAM, 0, &stream, &flags, &time, &sample);
    if (FAILED(hr) || (flags & MF_SOURCE_READERF_ERROR)) {
        Release(sample);
        s.failed = true;
        return;
    }
    if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) ReadFormat(s.reader, s.width, s.height, s.stride);
    if (flags & MF_SOURCE_READERF_ENDOFSTREAM) {
        Release(sample);
        if (EndedByAFailedRead(s)) s.failed = true;
        else s.eos = true;
        return;
    }
    if (!sample) return;  // a gap: the next read brings more
    if (!s.haveOffset) {
        s.offset = time;
        s.haveOffset = true;
    }
    s.pending = sample;
    s.pendingMs = std::max<LONGLONG>(0, (time - s.offset) / kTicksPerMs);
}

namespace {

void AddSound(MediaDecoder::Session& s, IMFSample* sample, LONGLONG time) {
    IMFMediaBuffer* buffer = nullptr;
    if (FAILED(sample->ConvertToContiguousBuffer(&buffer))) return;
    BYTE* data = nullptr;
    DWORD length = 0;
    std::vector<float> in;
    if (SUCCEEDED(buffer->Lock(&data, nullptr, &length))) {
        PcmToFloat(data, length, s.inBits, s.inFloat, in);
        buffer->Unlock();
    }
    buffer->Release();
    SoundChunk chunk;
    chunk.time = time;
    s.convert->Convert(in.data(), in.size() / s.inChannels, chunk.samples);
    std::int64_t frames = static_cast<std::int64_t>(chunk.samples.size()) / s.audio->Channels();
    if (frames == 0) return;
    s.soundFrames += frames;
    s.sound.push_back(std::move(chunk));
}

}  // namespace

// With sound: the next sample of either stream, in the order the reader
// picks, so neither stream holds the other up inside the media stack.
static void ReadAny(MediaDecoder::Session& s) {
    DWORD stream = 0, flags = 0;
    LONGLONG time = 0;
    IMFSample* sample = nullptr;
    HRESULT hr = s.reader->ReadSample(static_cast<DWORD>(MF_SOURCE_READER_ANY_STREAM), 0, &stream, &flags, &time,
                                      &sample);
    if (FAILED(hr) || (flags & MF_SOURCE_READERF_ERROR)) {
        Release(sample);
        s.failed = true;
        return;
    }
    // A reader that keeps answering with nothing at the end of both
    // streams must not keep this thread spinning.
    if (!sample && ++s.emptyReads > 1000) s.eos = s.audioEos = true;
    if (sample) s.emptyReads = 0;
    if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) && EndedByAFailedRead(s)) {
        Release(sample);
        s.failed = true;
        return;
    }
    if (stream == s.audioIndex) {
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM) s.audioEos = true;
        if (sample) AddSound(s, sample, time);
        Release(sample);
        return;
    }
    if (stream != s.videoIndex) {
        Release(sample);
        return;
    }
    if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) ReadFormat(s.reader, s.width, s.height, s.stride);
    if (flags & MF_SOURCE_READERF_ENDOFSTREAM) s.eos = true;
    if (!sample) return;
    if (!s.haveOffset) {
        s.offset = time;
        s.haveOffset = true;
    }
    std::int64_t ms = std::max<LONGLONG>(0, (time - s.offset) / kTicksPerMs);
    if (!s.pending) {
        s.pending = sample;
        s.pendingMs = ms;
    } else {
        s.later.push_back({sample, ms});
    }
}

static bool WantsRead(const MediaDecoder::Session& s) {
    if (!s.pending && !s.eos) return true;
    return s.audio && !s.audioEos && s.later.size() < kMaxQueuedFrames &&
           s.soundFrames < kSoundAheadMs * s.audio->Rate() / 1000;
}

static void Read(MediaDecoder::Session& s) {
    if (s.audio)
        ReadAny(s);
    else
        SessionOps::ReadNext(s);
}

// Writes what the device has room for and starts it once playing.
static void FeedAudio(MediaDecoder::Session& s) {
    // The first frame after an open or seek decides where the sound starts.
    if (s.needFirst) return;
    AudioOut& out = *s.audio;
    const std::size_t channels = static_cast<std::size_t>(out.Channels());
    std::size_t room = out.Room();
    while (room > 0 && !s.sound.empty()) {
        SoundChunk& c = s.sound.front();
        std::size_t left = c.samples.size() / channels - c.at;
        if (s.written == 0) {
            std::int64_t ms = (c.time - s.offset) / kTicksPerMs + static_cast<std::int64_t>(c.at) * 1000 / out.Rate();
            if (ms < s.trimMs) {
                auto drop = std::min<std::size_t>(left, static_cast<std::size_t>((s.trimMs - ms) * out.Rate() / 1000));
                if (drop == 0) drop = std::min<std::size_t>(left, 1);
                c.at += drop;
                left -= drop;
                s.soundFrames -= static_cast<std::int64_t>(drop);
                if (left == 0) s.sound.pop_front();
                continue;
            }
            s.anchorMs = ms;
            s.anchorFrames = 0;
            s.anchored = true;
        }
        std::size_t n = std::min(room, left);
        float peak = out.Write(c.samples.data() + c.at * channels, n, s.gain);
        if (peak < 0) {
            // The device went away: the steady clock takes over, silently,
            // and the sound stream is read no more.
            s.StopAudio();
            s.Rebase(s.ClockMs());
            s.audio.reset();
            s.convert.reset();
            s.sound.clear();
            s.soundFrames = 0;
            s.reader->SetStreamSelection(s.audioIndex, FALSE);
            s.stats.device = false;
            return;
        }
        s.stats.peak = peak;
        s.stats.gain = s.gain;
        s.stats.framesWritten += static_cast<std::int64_t>(n);
        s.written += static_cast<std::int64_t>(n);
        s.soundFrames -= static_cast<std::int64_t>(n);
        c.at += n;
        room -= n;
        if (c.at * channels >= c.samples.size()) s.sound.pop_front();
    }
    if (s.playing && !s.needFirst && !s.audioRunning && s.anchored && s.written > s.audio->Played()) {
        s.audioRunning = s.audio->Start();
    }
}

// Sound for the media just opened, when the clip has some and an endpoint
// takes it; otherwise the sound stream stays off.
static void OpenAudio(MediaDecoder::Session& s) {
    IMFMediaType* native = nullptr;
    if (FAILED(s.reader->GetNativeMediaType(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), 0, &native)))
        return;
    native->Release();
    std::unique_ptr<AudioOut> out = AudioOut::Open();
    if (!out) return;
    auto select = [&s](BOOL on) {
        return SUCCEEDED(s.reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), on));
    };
    if (!select(TRUE)) return;
    // The device's own format when the decoder can give it, else float or
    // 16-bit at the clip's rate, converted here.
    auto offer = [&s](const GUID& subtype, int rate, int channels, int bits) {
        IMFMediaType* type = nullptr;
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
        HRESULT hr = s.reader->SetCurrentMediaType(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), nullptr, type);
        type->Release();
        return SUCCEEDED(hr);
    };
    bool set = offer(MFAudioFormat_Float, out->Rate(), out->Channels(), 32) || offer(MFAudioFormat_Float, 0, 0, 32) ||
               offer(MFAudioFormat_PCM, 0, 0, 16);
    IMFMediaType* type = nullptr;
    if (set && SUCCEEDED(s.reader->GetCurrentMediaType(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), &type))) {
        GUID subtype{};
        UINT32 rate = 0, channels = 0, bits = 0;
        type->GetGUID(MF_MT_SUBTYPE, &subtype);
        type->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
        type->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
        type->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
        type->Release();
        s.inFloat = subtype == MFAudioFormat_Float;
        s.inBits = static_cast<int>(bits);
        s.inChannels = static_cast<int>(channels);
        bool known = s.inFloat ? bits == 32 : subtype == MFAudioFormat_PCM && (bits == 16 || bits == 24 || bits == 32);
        auto convert = std::make_unique<PcmConverter>(static_cast<int>(rate), s.inChannels, out->Rate(), out->Channels());
        if (known && convert->Valid()) s.convert = std::move(convert);
    }
    // Which stream index is which, for reads of either.
    bool haveVideo = false, haveAudio = false;
    for (DWORD i = 0; s.convert && i < 64 && !(haveVideo && haveAudio); ++i) {
        BOOL selected = FALSE;
        if (FAILED(s.reader->GetStreamSelection(i, &selected))) break;
        IMFMediaType* t = nullptr;
        if (!selected || FAILED(s.reader->GetCurrentMediaType(i, &t))) continue;
        GUID major{};
        t->GetGUID(MF_MT_MAJOR_TYPE, &major);
        t->Release();
        if (major == MFMediaType_Video && !haveVideo) {
            s.videoIndex = i;
            haveVideo = true;
        } else if (major == MFMediaType_Audio && !haveAudio) {
            s.audioIndex = i;
            haveAudio = true;
        }
    }
    bool indexed = haveVideo && haveAudio;
    if (!indexed) {
        s.convert.reset();
        select(FALSE);
        return;
    }
    s.audio = std::move(out);
    s.stats.device = true;
    s.stats.rate = s.audio->Rate();
    s.stats.channels = s.audio->Channels();
}

bool SessionOps::Open(MediaDecoder::Session& s, std::shared_ptr<BlockCache> cache, const MediaCommand& c) {
    s.cache = std::move(cache);
    IStream* stream = MakeCacheStream(s.cache);
    if (!stream) return false;
    IMFByteStream* bytes = nullptr;
    HRESULT hr = MFCreateMFByteStreamOnStream(stream, &bytes);
    stream->Release();
    if (FAILED(hr)) return false;
    IMFAttributes* attributes = nullptr;
    if (SUCCEEDED(bytes->QueryInterface(IID_PPV_ARGS(&attributes)))) {
        attributes->SetString(MF_BYTESTREAM_CONTENT_TYPE, c.contentType.c_str());
        attributes->Release();
    }
    hr = MFCreateSourceReaderFromByteStream(bytes, nullptr, &s.reader);
    bytes->Release();
    if (FAILED(hr)) return false;

    // The picture first; OpenAudio adds the sound stream when a device plays it.
    s.reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (FAILED(s.reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM), TRUE)))
        return false;
    IMFMediaType* nv12 = nullptr;
    if (FAILED(MFCreateMediaType(&nv12))) return false;
    nv12->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
    nv12->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_NV12);
    hr = s.reader->SetCurrentMediaType(static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM), nullptr, nv12);
    nv12->Release();
    if (FAILED(hr)) return false;
    ReadFormat(s.reader, s.width, s.height, s.stride);
    if (s.width <= 0 || s.height <= 0 || s.width > 8192 || s.height > 8192) return false;
    OpenAudio(s);

    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (SUCCEEDED(s.reader->GetPresentationAttribute(static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE), MF_PD_DURATION,
                                                     &duration)) &&
        duration.vt == VT_UI8) {
        s.durationMs = static_cast<std::int64_t>(duration.uhVal.QuadPart / kTicksPerMs);
    }
    PropVariantClear(&duration);

    // The first sample sets our zero (sample times are not zero-based).
    for (int gaps = 0; gaps < 1000 && !s.pending && !s.eos && !s.failed; ++gaps) Read(s);
    if (!s.pending) return false;
    s.needFirst = true;
    s.Rebase(0);
    if (c.ms > 0) Seek(s, c.ms, false);
    s.playing = c.play;
    s.Rebase(c.ms);
    return true;
}

void SessionOps::Seek(MediaDecoder::Session& s, std::int64_t ms, bool ahead) {
    if (!s.reader) return;
    s.Flush();
    s.trimMs = ms;
    s.eos = s.ended = s.starved = s.showing = false;
    if (ahead && s.cache) s.cache->RestartCount();
    PROPVARIANT position;
    PropVariantInit(&position);
    position.vt = VT_I8;
    position.hVal.QuadPart = s.offset + ms * kTicksPerMs;
    if (FAILED(s.reader->SetCurrentPosition(GUID_NULL, position))) s.failed = true;
    s.needFirst = true;
    s.Rebase(ms);
}

void SessionOps::Show(MediaDecoder::Session& s) {
    IMFSample* sample = s.pending;
    s.pending = nullptr;
    IMFMediaBuffer* buffer = nullptr;
    if (FAILED(sample->ConvertToContiguousBuffer(&buffer))) {
        sample->Release();
        s.failed = true;
        return;
    }
    BYTE* data = nullptr;
    DWORD length = 0;
    if (SUCCEEDED(buffer->Lock(&data, nullptr, &length))) {
        int stride = std::max(s.stride, s.width);
        // Decoders may pad the luma plane to whole macroblocks.
        std::int64_t planeHeight = static_cast<std::int64_t>(length) * 2 / (3 * static_cast<std::int64_t>(stride));
        if (planeHeight < s.height) planeHeight = s.height;
        std::int64_t needed = stride * planeHeight + static_cast<std::int64_t>(stride) * ((s.height + 1) / 2);
        if (length >= needed) {
            s.back.width = s.width;
            s.back.height = s.height;
            s.back.bgra.resize(static_cast<std::size_t>(s.width) * s.height * 4);
            Nv12Frame frame{data, data + stride * planeHeight, stride, s.width, s.height};
            Nv12ToBgra(frame, s.back.bgra.data());
            s.back.ms = s.pendingMs;
            s.frameReady = true;
        } else {
            s.failed = true;
        }
        buffer->Unlock();
    } else {
        s.failed = true;
    }
    buffer->Release();
    sample->Release();
    s.lastShownMs = s.pendingMs;
    s.showing = true;
    if (!s.later.empty()) {
        s.pending = s.later.front().sample;
        s.pendingMs = s.later.front().ms;
        s.later.pop_front();
    }
}

// `cache` holds the media of an Open.
static void Carry(MediaDecoder::Session& s, std::shared_ptr<BlockCache> cache, const MediaCommand& c) {
    switch (c.kind) {
    case MediaCommand::Kind::Open:
        s.Close();
        if (!SessionOps::Open(s, std::move(cache), c)) s.failed = true;
        break;
    case MediaCommand::Kind::Close:
        s.Close();
        break;
    case MediaCommand::Kind::Play:
        if (!s.playing) {
            s.playing = true;
            s.Rebase(s.baseMs);
        }
        break;
    case MediaCommand::Kind::Pause:
        if (s.playing) {
            std::int64_t at = s.ClockMs();
            s.StopAudio();
            s.playing = false;
            s.Rebase(s.durationMs > 0 ? std::min(at, s.durationMs) : at);
        }
        break;
    case MediaCommand::Kind::Seek:
        SessionOps::Seek(s, c.ms, c.seekAhead);
        break;
    }
}

// One piece of work; returns how long to wait before the next (ms), or -1
// to wait for a command.
static std::int64_t WorkVideo(MediaDecoder::Session& s);

static std::int64_t Work(MediaDecoder::Session& s) {
    if (!s.reader || s.failed || s.ended) return -1;
    bool read = WantsRead(s);
    if (read) {
        Read(s);
        if (s.failed) return -1;
    }
    if (s.audio) FeedAudio(s);
    if (read && !s.pending && !s.eos) return 0;
    std::int64_t wait = WorkVideo(s);
    if (!s.audio || s.ended || s.failed) return wait;
    if (WantsRead(s)) return 0;
    if (!s.playing) return wait;
    return wait < 0 ? kAudioNapMs : std::min(wait, kAudioNapMs);
}

static std::int64_t WorkVideo(MediaDecoder::Session& s) {
    if (s.pending) {
        if (s.needFirst) {
            s.needFirst = false;
            s.Rebase(s.pendingMs);
            // A seek may land on the key frame after its target: the sound
            // starts with the picture.
            s.trimMs = std::max(s.trimMs, s.pendingMs);
            SessionOps::Show(s);
            return 0;
        }
        if (!s.playing) return -1;
        std::int64_t now = s.ClockMs();
        if (now + 1 < s.pendingMs) return s.pendingMs - now;
        s.starved = now - s.pendingMs > kLateMs;
        if (s.starved) s.Rebase(s.pendingMs);
        SessionOps::Show(s);
        return 0;
    }
    // The stream is at its end: the last picture stays for its time.
    if (s.needFirst) {
        s.needFirst = false;
        s.showing = true;
    }
    if (!s.playing) return -1;
    std::int64_t end = s.durationMs > 0 ? std::clamp(s.durationMs, s.lastShownMs, s.lastShownMs + 1000) : s.lastShownMs;
    std::int64_t now = s.ClockMs();
    if (now < end) return end - now;
    s.StopAudio();
    s.playing = false;
    s.Rebase(end);
    s.ended = true;
    return -1;
}

void MediaDecoder::Shared::Publish() {
    if (notifyPending || !notify) return;
    notifyPending = PostMessageW(notify, message, 0, 0) != 0;
}

void MediaDecoder::Run(std::shared_ptr<Shared> shared) {
    Shared& sh = *shared;
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // Once for the process and never shut down: decoders come and go on
    // threads of their own, and a shutdown by one that ends stops the work
    // queues another is still reading through.
    static const bool started = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_FULL));
    Session s;
    std::unique_lock<std::mutex> lock(sh.mutex);
    while (!sh.quit) {
        std::int64_t waitMs = 0;
        s.gain = sh.gain;
        if (!sh.commands.empty()) {
            MediaCommand command = std::move(sh.commands.front());
            sh.commands.pop_front();
            std::shared_ptr<BlockCache> cache;
            if (command.kind == MediaCommand::Kind::Open) {
                cache = MakeRangeCache({sh.host, sh.port, command.path});
                sh.cache = cache;
            }
            lock.unlock();
            if (started)
                Carry(s, std::move(cache), command);
            else if (command.kind == MediaCommand::Kind::Open)
                s.failed = true;
            s.serial = command.serial;
            lock.lock();
        } else {
            lock.unlock();
            waitMs = Work(s);
            lock.lock();
        }
        bool newFrame = s.frameReady;
        if (s.frameReady) {
            s.frameReady = false;
            s.back.number = ++s.frames;
            std::swap(s.back, sh.front);
        }
        MediaReport r;
        r.serial = s.serial;
        r.failed = s.failed;
        r.durationMs = s.durationMs;
        r.showing = s.showing;
        r.starved = s.starved;
        r.ended = s.ended;
        r.positionMs = s.ClockMs();
        if (s.durationMs > 0) r.positionMs = std::min(r.positionMs, s.durationMs);
        if (s.cache) {
            r.bytesFetched = s.cache->BytesFetched();
            r.startBytes = s.cache->StartBytes();
            r.sizeBytes = std::max<std::int64_t>(0, s.cache->KnownSize());
        }
        const MediaReport& old = sh.report;
        bool changed = r.serial != old.serial || r.failed != old.failed || r.showing != old.showing ||
                       r.starved != old.starved || r.ended != old.ended || r.durationMs != old.durationMs ||
                       r.bytesFetched != old.bytesFetched || newFrame;
        sh.report = r;
        if (s.audio) s.stats.framesPlayed = s.audio->Played();
        sh.audio = s.stats;
        if (changed) sh.Publish();
        if (!sh.commands.empty() || sh.quit) continue;
        auto due = [&sh] { return sh.quit || !sh.commands.empty(); };
        if (waitMs < 0)
            sh.wake.wait(lock, due);
        else if (waitMs > 0)
            sh.wake.wait_for(lock, std::chrono::milliseconds(waitMs), due);
    }
    lock.unlock();
    s.Close();
    if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace playerctl
