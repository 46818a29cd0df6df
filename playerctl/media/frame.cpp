#include "frame.h"

#include <mfapi.h>

#include "locked_buffer.h"

namespace playerctl {

bool ReadPicture(const DecodedFrame& frame, const std::function<void(const Yuv420Frame&)>& use) {
    if (!frame.sample) return false;
    Microsoft::WRL::ComPtr<IMFMediaBuffer> buffer;
    DWORD count = 0;
    // One buffer is used as it is; several are joined (a copy) first.
    if (SUCCEEDED(frame.sample->GetBufferCount(&count)) && count == 1) {
        if (FAILED(frame.sample->GetBufferByIndex(0, &buffer))) return false;
    } else if (FAILED(frame.sample->ConvertToContiguousBuffer(&buffer))) {
        return false;
    }
    LockedBuffer locked(buffer.Get());
    if (!locked) return false;
    const int stride = locked.Pitch() > 0 ? static_cast<int>(locked.Pitch()) : frame.stride;
    std::optional<Yuv420Frame> picture =
        LayOut(frame.layout, locked.Data(), locked.Length(), stride, frame.width, frame.height);
    if (picture) use(*picture);
    return picture.has_value();
}

}  // namespace playerctl
