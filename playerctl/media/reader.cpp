// The media side of a session: opening the source reader over the block
// cache, reading samples of the picture (and of the sound, when it plays),
// seeking, and handing on the frame to show as the decoder gave it.
#include "session.h"

#include <mfapi.h>
#include <mferror.h>

#include <algorithm>

#include "range_stream.h"

// Exported by mfplat but missing from MinGW-w64's headers.
extern "C" HRESULT WINAPI MFCreateMFByteStreamOnStream(IStream* stream, IMFByteStream** byteStream);

namespace playerctl {

using Microsoft::WRL::ComPtr;

namespace {

constexpr std::int64_t kTicksPerMs = 10000;  // Media Foundation counts 100 ns
// With sound, frames read ahead of the one on show while the sound is
// topped up.
constexpr std::size_t kMaxQueuedFrames = 8;
// A reader that keeps answering with nothing at the end of both streams
// must not keep the thread spinning.
constexpr int kMaxEmptyReads = 1000;

const DWORD kVideoStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM);

}  // namespace

bool Session::Open(std::shared_ptr<BlockCache> cache, const MediaCommand& c) {
    cache_ = std::move(cache);
    if (!cache_) return false;
    ComPtr<IStream> stream = MakeCacheStream(cache_);
    if (!stream) return false;
    ComPtr<IMFByteStream> bytes;
    if (FAILED(MFCreateMFByteStreamOnStream(stream.Get(), &bytes))) return false;
    ComPtr<IMFAttributes> attributes;
    if (SUCCEEDED(bytes.As(&attributes))) attributes->SetString(MF_BYTESTREAM_CONTENT_TYPE, c.contentType.c_str());
    if (FAILED(MFCreateSourceReaderFromByteStream(bytes.Get(), nullptr, &reader_))) return false;

    // The picture first; the sound path adds its stream when a device plays it.
    reader_->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (FAILED(reader_->SetStreamSelection(kVideoStream, TRUE))) return false;
    if (!AskPictureLayout()) return false;
    ReadFormat();
    if (width_ <= 0 || height_ <= 0 || width_ > 8192 || height_ > 8192) return false;
    sound_ = SoundPath::Open(reader_.Get(), stats_);

    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (SUCCEEDED(reader_->GetPresentationAttribute(static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE), MF_PD_DURATION,
                                                    &duration)) &&
        duration.vt == VT_UI8) {
        durationMs_ = static_cast<std::int64_t>(duration.uhVal.QuadPart / kTicksPerMs);
    }
    PropVariantClear(&duration);

    // The first sample sets our zero (sample times are not zero-based).
    for (int gaps = 0; gaps < 1000 && !pending_ && !eos_ && !failed_; ++gaps) Read();
    if (!pending_) return false;
    needFirst_ = true;
    clock_.Rebase(0);
    if (c.ms > 0) Seek(c.ms, false);
    playing_ = c.play;
    clock_.Rebase(c.ms);
    return true;
}

// The decoder's own 4:2:0 layout when it offers one (no conversion inside
// the media stack), else I420 or NV12 as it can give them.
bool Session::AskPictureLayout() {
    auto layoutOf = [](const GUID& subtype) -> std::optional<PixelLayout> {
        if (subtype == MFVideoFormat_I420 || subtype == MFVideoFormat_IYUV) return PixelLayout::I420;
        if (subtype == MFVideoFormat_NV12) return PixelLayout::NV12;
        return std::nullopt;
    };
    std::optional<PixelLayout> own;
    for (DWORD i = 0; !own && i < 32; ++i) {
        ComPtr<IMFMediaType> native;
        GUID subtype{};
        if (FAILED(reader_->GetNativeMediaType(kVideoStream, i, &native))) break;
        if (SUCCEEDED(native->GetGUID(MF_MT_SUBTYPE, &subtype))) own = layoutOf(subtype);
    }
    const PixelLayout order[] = {own.value_or(PixelLayout::NV12), PixelLayout::NV12, PixelLayout::I420};
    for (PixelLayout layout : order) {
        ComPtr<IMFMediaType> type;
        if (FAILED(MFCreateMediaType(&type))) return false;
        type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        type->SetGUID(MF_MT_SUBTYPE, layout == PixelLayout::I420 ? MFVideoFormat_I420 : MFVideoFormat_NV12);
        if (SUCCEEDED(reader_->SetCurrentMediaType(kVideoStream, nullptr, type.Get()))) {
            layout_ = layout;
            return true;
        }
    }
    return false;
}

void Session::Seek(std::int64_t ms, bool ahead) {
    if (!reader_) return;
    Flush();
    soundFromMs_ = ms;
    eos_ = ended_ = starved_ = showing_ = false;
    if (ahead && cache_) cache_->RestartCount();
    PROPVARIANT position;
    PropVariantInit(&position);
    position.vt = VT_I8;
    position.hVal.QuadPart = offset_ + ms * kTicksPerMs;
    if (FAILED(reader_->SetCurrentPosition(GUID_NULL, position))) failed_ = true;
    needFirst_ = true;
    clock_.Rebase(ms);
}

bool Session::WantsRead() const {
    if (!pending_ && !eos_) return true;
    return sound_ && sound_->Hungry() && later_.size() < kMaxQueuedFrames;
}

void Session::Read() {
    if (sound_)
        ReadAny();
    else
        ReadVideo();
}

void Session::ReadFormat() {
    ComPtr<IMFMediaType> type;
    if (FAILED(reader_->GetCurrentMediaType(kVideoStream, &type))) return;
    UINT32 w = 0, h = 0;
    if (SUCCEEDED(MFGetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, &w, &h))) {
        width_ = static_cast<int>(w);
        height_ = static_cast<int>(h);
    }
    UINT32 s = 0;
    // Usually absent here: the picture comes tightly packed.
    stride_ = SUCCEEDED(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &s)) ? std::abs(static_cast<INT32>(s)) : width_;
}

// Wine's media stack reports the end of the stream when a read of ours
// fails: that end is an error, not the end of the video.
bool Session::EndedByAFailedRead() const { return cache_ && cache_->LastReadFailed(); }

void Session::Queue(ComPtr<IMFSample> sample, LONGLONG time) {
    if (!haveOffset_) {
        offset_ = time;
        haveOffset_ = true;
    }
    std::int64_t ms = std::max<LONGLONG>(0, (time - offset_) / kTicksPerMs);
    if (!pending_) {
        pending_ = std::move(sample);
        pendingMs_ = ms;
    } else {
        later_.push_back({std::move(sample), ms});
    }
}

void Session::ReadVideo() {
    DWORD stream = 0, flags = 0;
    LONGLONG time = 0;
    ComPtr<IMFSample> sample;
    HRESULT hr = reader_->ReadSample(kVideoStream, 0, &stream, &flags, &time, &sample);
    if (FAILED(hr) || (flags & MF_SOURCE_READERF_ERROR)) {
        failed_ = true;
        return;
    }
    if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) ReadFormat();
    if (flags & MF_SOURCE_READERF_ENDOFSTREAM) {
        if (EndedByAFailedRead())
            failed_ = true;
        else
            eos_ = true;
        return;
    }
    if (!sample) return;  // a gap: the next read brings more
    Queue(std::move(sample), time);
}

// With sound: the next sample of either stream, in the order the reader
// picks, so neither stream holds the other up inside the media stack.
void Session::ReadAny() {
    DWORD stream = 0, flags = 0;
    LONGLONG time = 0;
    ComPtr<IMFSample> sample;
    HRESULT hr =
        reader_->ReadSample(static_cast<DWORD>(MF_SOURCE_READER_ANY_STREAM), 0, &stream, &flags, &time, &sample);
    if (FAILED(hr) || (flags & MF_SOURCE_READERF_ERROR)) {
        failed_ = true;
        return;
    }
    if (!sample && ++emptyReads_ > kMaxEmptyReads) {
        eos_ = true;
        sound_->SetEnded();
    }
    if (sample) emptyReads_ = 0;
    if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) && EndedByAFailedRead()) {
        failed_ = true;
        return;
    }
    if (stream == sound_->AudioIndex()) {
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM) sound_->SetEnded();
        if (sample) sound_->Add(sample.Get(), time);
        return;
    }
    if (stream != sound_->VideoIndex()) return;
    if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) ReadFormat();
    if (flags & MF_SOURCE_READERF_ENDOFSTREAM) eos_ = true;
    if (!sample) return;
    Queue(std::move(sample), time);
}

void Session::Show() {
    // The picture is converted only if the window paints it; here it is
    // only checked against the size the decoder announced.
    DecodedFrame next;
    // A swap leaves pending_ empty; MinGW's ComPtr copies on a move assignment.
    next.sample.Swap(pending_);
    next.layout = layout_;
    next.width = width_;
    next.height = height_;
    next.stride = std::max(stride_, width_);
    next.ms = pendingMs_;
    if (ReadPicture(next, [](const Yuv420Frame&) {})) {
        back_ = std::move(next);
        frameReady_ = true;
    } else {
        failed_ = true;
    }
    lastShownMs_ = pendingMs_;
    showing_ = true;
    if (!later_.empty()) {
        pending_ = std::move(later_.front().sample);
        pendingMs_ = later_.front().ms;
        later_.pop_front();
    }
}

}  // namespace playerctl
