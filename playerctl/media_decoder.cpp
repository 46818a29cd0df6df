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

#include "nv12.h"
#include "range_stream.h"

// Exported by mfplat but missing from MinGW-w64's headers.
extern "C" HRESULT WINAPI MFCreateMFByteStreamOnStream(IStream* stream, IMFByteStream** byteStream);

namespace playerctl {

namespace {

// A frame this much behind its time means the bytes or the decoder did not
// keep up: the clock waits for the picture instead of running away from it.
constexpr std::int64_t kLateMs = 300;
constexpr std::int64_t kTicksPerMs = 10000;  // Media Foundation counts 100 ns

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

struct MediaDecoder::Session {
    std::shared_ptr<BlockCache> cache;
    IMFSourceReader* reader = nullptr;
    IMFSample* pending = nullptr;
    std::int64_t pendingMs = 0;
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

    DecodedFrame back;
    bool frameReady = false;
    std::uint64_t frames = 0;
    std::uint64_t serial = 0;

    std::int64_t ClockMs() const {
        if (!playing) return baseMs;
        return baseMs + (QpcNow() - baseQpc) * 1000 / frequency;
    }
    void Rebase(std::int64_t ms) {
        baseMs = ms;
        baseQpc = QpcNow();
    }
    void Close() {
        Release(pending);
        Release(reader);
        cache.reset();
        *this = Session{std::move(back), frames, serial};
    }
    Session() = default;
    Session(DecodedFrame keep, std::uint64_t frameCount, std::uint64_t lastSerial)
        : back(std::move(keep)), frames(frameCount), serial(lastSerial) {}
};

MediaDecoder::MediaDecoder(std::wstring host, std::uint16_t port, HWND notify, UINT message)
    : shared_(std::make_shared<Shared>()) {
    shared_->host = std::move(host);
    shared_->port = port;
    shared_->notify = notify;
    shared_->message = message;
    std::thread(Run, shared_).detach();
}

MediaDecoder::~MediaDecoder() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->quit = true;
        shared_->notify = nullptr;
        // Media Foundation may be waiting on reads of this media: failing
        // them lets it give up.
        if (shared_->cache) shared_->cache->Cancel();
    }
    shared_->wake.notify_all();
}

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
        // Wine's media stack ends the stream when a read of ours fails.
        if (s.cache && s.cache->LastReadFailed()) s.failed = true;
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

    // Sound is not played yet: only the picture is decoded.
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

    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (SUCCEEDED(s.reader->GetPresentationAttribute(static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE), MF_PD_DURATION,
                                                     &duration)) &&
        duration.vt == VT_UI8) {
        s.durationMs = static_cast<std::int64_t>(duration.uhVal.QuadPart / kTicksPerMs);
    }
    PropVariantClear(&duration);

    // The first sample sets our zero (sample times are not zero-based).
    for (int gaps = 0; gaps < 1000 && !s.pending && !s.eos && !s.failed; ++gaps) ReadNext(s);
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
    Release(s.pending);
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
static std::int64_t Work(MediaDecoder::Session& s) {
    if (!s.reader || s.failed || s.ended) return -1;
    if (!s.pending && !s.eos) {
        SessionOps::ReadNext(s);
        if (s.failed) return -1;
        if (!s.pending && !s.eos) return 0;
    }
    if (s.pending) {
        if (s.needFirst) {
            s.needFirst = false;
            s.Rebase(s.pendingMs);
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
