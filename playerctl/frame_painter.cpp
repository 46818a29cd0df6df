#include "frame_painter.h"

namespace playerctl {

FramePainter::~FramePainter() { Free(); }

void FramePainter::Free() {
    if (memory_) {
        SelectObject(memory_, oldBitmap_);
        DeleteDC(memory_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    memory_ = nullptr;
    bitmap_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
    converted_ = 0;
}

bool FramePainter::Convert(const DecodedFrame& frame) {
    if (frame.number == converted_ && frame.width == width_ && frame.height == height_) return true;
    if (frame.width != width_ || frame.height != height_ || !bitmap_) {
        Free();
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = frame.width;
        bi.bmiHeader.biHeight = -frame.height;  // top row first
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        memory_ = bitmap_ ? CreateCompatibleDC(nullptr) : nullptr;
        if (!memory_) {
            Free();
            return false;
        }
        oldBitmap_ = SelectObject(memory_, bitmap_);
        bits_ = static_cast<std::uint8_t*>(bits);
        width_ = frame.width;
        height_ = frame.height;
    }
    // GDI may still be reading the bitmap from the last paint.
    GdiFlush();
    std::uint8_t* bits = bits_;
    const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(width_) * 4;
    if (!ReadPicture(frame, [bits, rowBytes](const Yuv420Frame& picture) { ToBgra(picture, bits, rowBytes); }))
        return false;
    converted_ = frame.number;
    return true;
}

bool FramePainter::Paint(HDC dc, const RECT& client, const DecodedFrame& frame) {
    int cw = client.right - client.left, ch = client.bottom - client.top;
    if (cw <= 0 || ch <= 0 || frame.width <= 0 || frame.height <= 0) return false;
    if (!Convert(frame)) return false;
    int w = cw, h = static_cast<int>(static_cast<std::int64_t>(cw) * frame.height / frame.width);
    if (h > ch) {
        h = ch;
        w = static_cast<int>(static_cast<std::int64_t>(ch) * frame.width / frame.height);
    }
    int x = client.left + (cw - w) / 2, y = client.top + (ch - h) / 2;
    SetBkColor(dc, RGB(0, 0, 0));
    const RECT bars[] = {{client.left, client.top, client.right, y},
                         {client.left, y + h, client.right, client.bottom},
                         {client.left, y, x, y + h},
                         {x + w, y, client.right, y + h}};
    for (const RECT& bar : bars) {
        if (bar.right > bar.left && bar.bottom > bar.top) ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &bar, nullptr, 0, nullptr);
    }
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, x, y, w, h, memory_, 0, 0, width_, height_, SRCCOPY);
    return true;
}

}  // namespace playerctl
