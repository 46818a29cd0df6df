#pragma once
// Paints a decoded frame scaled to fit the control, its shape kept, with
// black bars around it.

#include <windows.h>

#include "media/frame.h"

namespace playerctl {

void PaintFrame(HDC dc, const RECT& client, const DecodedFrame& frame);

}  // namespace playerctl
