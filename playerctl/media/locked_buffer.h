#pragma once
// A media buffer locked for reading for as long as this object lives, so an
// exception on the way cannot leave it locked.

#include <windows.h>
#include <mfobjects.h>

#include <cstdint>

namespace playerctl {

class LockedBuffer {
public:
    explicit LockedBuffer(IMFMediaBuffer* buffer) {
        if (SUCCEEDED(buffer->Lock(&data_, nullptr, &length_))) buffer_ = buffer;
    }
    ~LockedBuffer() {
        if (buffer_) buffer_->Unlock();
    }
    LockedBuffer(const LockedBuffer&) = delete;
    LockedBuffer& operator=(const LockedBuffer&) = delete;

    explicit operator bool() const { return buffer_ != nullptr; }
    const std::uint8_t* Data() const { return data_; }
    DWORD Length() const { return length_; }

private:
    IMFMediaBuffer* buffer_ = nullptr;
    BYTE* data_ = nullptr;
    DWORD length_ = 0;
};

}  // namespace playerctl
