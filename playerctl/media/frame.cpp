#include "frame.h"

#include <mfapi.h>

#include "locked_buffer.h"

namespace playerctl {

using Microsoft::WRL::ComPtr;

namespace {

// A 2D buffer locked with its own pitch for as long as this lives.
class Locked2D {
public:
    explicit Locked2D(IMF2DBuffer* buffer) {
        if (SUCCEEDED(buffer->Lock2D(&scanline0_, &pitch_))) buffer_ = buffer;
    }
    ~Locked2D() {
        if (buffer_) buffer_->Unlock2D();
    }
    Locked2D(const Locked2D&) = delete;
    Locked2D& operator=(const Locked2D&) = delete;

    explicit operator bool() const { return buffer_ != nullptr; }
    const std::uint8_t* Data() const { return scanline0_; }
    LONG Pitch() const { return pitch_; }

private:
    IMF2DBuffer* buffer_ = nullptr;
    BYTE* scanline0_ = nullptr;
    LONG pitch_ = 0;
};

}  // namespace

bool ReadPicture(const DecodedFrame& frame, const std::function<void(const Yuv420Frame&)>& use) {
    if (!frame.sample) return false;
    ComPtr<IMFMediaBuffer> buffer;
    DWORD count = 0;
    // One buffer is used as it is; several are joined (a copy) first.
    if (SUCCEEDED(frame.sample->GetBufferCount(&count)) && count == 1) {
        if (FAILED(frame.sample->GetBufferByIndex(0, &buffer))) return false;
    } else if (FAILED(frame.sample->ConvertToContiguousBuffer(&buffer))) {
        return false;
    }
    std::optional<Yuv420Frame> picture;
    // A 2D buffer locked as 1D may copy itself into a contiguous block first.
    ComPtr<IMF2DBuffer> twoD;
    DWORD length = 0;
    if (SUCCEEDED(buffer.As(&twoD)) && SUCCEEDED(twoD->GetContiguousLength(&length))) {
        Locked2D locked(twoD.Get());
        if (locked && locked.Pitch() > 0) {
            picture = LayOut(frame.layout, locked.Data(), length, locked.Pitch(), frame.width, frame.height);
            if (picture) use(*picture);
            return picture.has_value();
        }
    }
    LockedBuffer locked(buffer.Get());
    if (!locked) return false;
    picture = LayOut(frame.layout, locked.Data(), locked.Length(), frame.stride, frame.width, frame.height);
    if (picture) use(*picture);
    return picture.has_value();
}

}  // namespace playerctl
