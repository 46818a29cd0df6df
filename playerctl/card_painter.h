#pragma once
// Draws a CardView: the video's colour, its title, the time code, the
// position stripe and bar, and an overlay for what the player is doing.

#include <windows.h>

#include "card.h"

namespace playerctl {

class CardPainter {
public:
    CardPainter() = default;
    ~CardPainter();
    CardPainter(const CardPainter&) = delete;
    CardPainter& operator=(const CardPainter&) = delete;

    // Draws into a memory bitmap first, then copies it to `target` in one go.
    void Paint(HDC target, const RECT& client, const CardView& view);
    // Lets go of that bitmap while pictures show instead of the card.
    void FreeBuffer();

private:
    void EnsureFonts(int height);
    void Draw(HDC dc, const RECT& client, const CardView& view);
    void DrawOverlay(HDC dc, const RECT& client, const CardView& view, COLORREF base);
    void FreeFonts();

    int fontsFor_ = -1;
    HFONT title_ = nullptr;
    HFONT small_ = nullptr;
    HFONT overlay_ = nullptr;
    HBITMAP buffer_ = nullptr;
    int bufferW_ = 0;
    int bufferH_ = 0;
};

}  // namespace playerctl
