#pragma once
// A media buffer locked for reading for as long as this object lives, so an
// exception on the way cannot leave it locked. A 2D buffer is locked with
// its own pitch where it offers one (locked as one block it may first copy
// itself into one); any other buffer as one block.

#include <windows.h>
#include <mfobjects.h>
#include <wrl/client.h>

#include <cstdint>

namespace playerctl {

class LockedBuffer {
public:
    explicit LockedBuffer(IMFMediaBuffer* buffer) {
        Microsoft::WRL::ComPtr<IMF2DBuffer> twoD;
        DWORD length = 0;
        if (SUCCEEDED(buffer->QueryInterface(IID_PPV_ARGS(&twoD))) && SUCCEEDED(twoD->GetContiguousLength(&length)) &&
            SUCCEEDED(twoD->Lock2D(&data_, &pitch_))) {
            if (pitch_ > 0) {
                twoD_ = twoD;
                length_ = length;
                return;
            }
            twoD->Unlock2D();  // bottom-up rows: read as one block instead
        }
        pitch_ = 0;
        if (SUCCEEDED(buffer->Lock(&data_, nullptr, &length_))) buffer_ = buffer;
    }
    ~LockedBuffer() {
        if (twoD_) twoD_->Unlock2D();
        if (buffer_) buffer_->Unlock();
    }
    LockedBuffer(const LockedBuffer&) = delete;
    LockedBuffer& operator=(const LockedBuffer&) = delete;

    explicit operator bool() const { return twoD_ || buffer_; }
    const std::uint8_t* Data() const { return data_; }
    DWORD Length() const { return length_; }
    // The 2D buffer's bytes from one row to the next; 0 when locked as one block.
    LONG Pitch() const { return pitch_; }

private:
    Microsoft::WRL::ComPtr<IMF2DBuffer> twoD_;
    IMFMediaBuffer* buffer_ = nullptr;
    BYTE* data_ = nullptr;
    DWORD length_ = 0;
    LONG pitch_ = 0;
};

}  // namespace playerctl
