#include "frame_painter.h"

#include <cstdint>

namespace playerctl {

void PaintFrame(HDC dc, const RECT& client, const DecodedFrame& frame) {
    int cw = client.right - client.left, ch = client.bottom - client.top;
    if (cw <= 0 || ch <= 0) return;
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
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = frame.width;
    bi.bmiHeader.biHeight = -frame.height;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x, y, w, h, 0, 0, frame.width, frame.height, frame.bgra.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace playerctl
