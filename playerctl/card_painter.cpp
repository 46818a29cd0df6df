#include "card_painter.h"

#include <algorithm>
#include <cwchar>
#include <string>

namespace playerctl {

namespace {

constexpr wchar_t kJapaneseFace[] = L"MS UI Gothic";

COLORREF ToColorRef(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

COLORREF Mix(COLORREF a, COLORREF b, int percentOfB) {
    auto m = [&](int x, int y) { return static_cast<BYTE>((x * (100 - percentOfB) + y * percentOfB) / 100); };
    return RGB(m(GetRValue(a), GetRValue(b)), m(GetGValue(a), GetGValue(b)), m(GetBValue(a), GetBValue(b)));
}

COLORREF TextOn(COLORREF background) {
    int luma = (GetRValue(background) * 299 + GetGValue(background) * 587 + GetBValue(background) * 114) / 1000;
    return luma > 150 ? RGB(0x10, 0x10, 0x10) : RGB(0xF4, 0xF4, 0xF4);
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
    SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// Asked for by name even where it is not installed: Windows then maps the
// face through its substitutes and font links, and Wine maps it to a face
// linked to a Japanese fallback font.
LOGFONTW BaseFont() {
    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    wcscpy_s(lf.lfFaceName, kJapaneseFace);
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    return lf;
}

HFONT MakeFont(const LOGFONTW& base, int height, int weight) {
    LOGFONTW lf = base;
    lf.lfHeight = -height;
    lf.lfWidth = 0;
    lf.lfWeight = weight;
    return CreateFontIndirectW(&lf);
}

void Text(HDC dc, HFONT font, COLORREF color, const std::wstring& text, RECT r, UINT format) {
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_NOPREFIX);
    SelectObject(dc, old);
}

}  // namespace

CardPainter::~CardPainter() {
    FreeFonts();
    FreeBuffer();
}

void CardPainter::FreeFonts() {
    for (HFONT* f : {&title_, &small_, &overlay_}) {
        if (*f) DeleteObject(*f);
        *f = nullptr;
    }
}

void CardPainter::EnsureFonts(int height) {
    int unit = std::clamp(height / 14, 11, 48);
    if (unit == fontsFor_ && title_) return;
    FreeFonts();
    LOGFONTW base = BaseFont();
    // Regular weight: under Wine the Japanese font link holds for the
    // regular face only, and a bold title would show empty boxes.
    title_ = MakeFont(base, unit * 3 / 2, FW_NORMAL);
    small_ = MakeFont(base, unit, FW_NORMAL);
    overlay_ = MakeFont(base, unit * 3 / 2, FW_BOLD);
    fontsFor_ = unit;
}

void CardPainter::FreeBuffer() {
    if (buffer_) DeleteObject(buffer_);
    buffer_ = nullptr;
    bufferW_ = bufferH_ = 0;
}

void CardPainter::Paint(HDC target, const RECT& client, const CardView& view) {
    int w = client.right - client.left, h = client.bottom - client.top;
    if (w <= 0 || h <= 0) return;
    HDC memory = CreateCompatibleDC(target);
    if (memory && (w != bufferW_ || h != bufferH_ || !buffer_)) {
        // Kept between paints: a card repaints a few times a second.
        FreeBuffer();
        buffer_ = CreateCompatibleBitmap(target, w, h);
        if (buffer_) {
            bufferW_ = w;
            bufferH_ = h;
        }
    }
    if (!memory || !buffer_) {
        // Out of GDI resources: draw straight away rather than not at all.
        if (memory) DeleteDC(memory);
        Draw(target, client, view);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(memory, buffer_);
    RECT local{0, 0, w, h};
    Draw(memory, local, view);
    BitBlt(target, client.left, client.top, w, h, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteDC(memory);
}

void CardPainter::Draw(HDC dc, const RECT& rc, const CardView& view) {
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    EnsureFonts(h);
    COLORREF background = ToColorRef(view.color);
    COLORREF ink = TextOn(background);
    Fill(dc, rc, background);
    if (view.look == CardView::Look::Blank) return;
    if (view.look == CardView::Look::Idle) {
        Text(dc, small_, Mix(background, ink, 40), L"No video", rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }

    int margin = std::max(6, fontsFor_);
    int barHeight = std::max(4, h / 40);
    RECT bar{rc.left, rc.bottom - barHeight, rc.right, rc.bottom};

    if (view.stripeX >= 0) {
        // The moving stripe stands in for the picture's motion.
        int stripeWidth = std::max(3, w / 80);
        RECT stripe{rc.left + view.stripeX - stripeWidth / 2, rc.top, 0, bar.top};
        stripe.right = stripe.left + stripeWidth;
        Fill(dc, stripe, Mix(background, ink, 22));

        Fill(dc, bar, Mix(background, RGB(0, 0, 0), 45));
        RECT loaded{rc.left + view.loadedFromX, bar.top, rc.left + view.loadedToX + 1, bar.bottom};
        Fill(dc, loaded, Mix(background, ink, 35));
        RECT played{rc.left, bar.top, rc.left + view.stripeX + 1, bar.bottom};
        Fill(dc, played, ink);

        RECT time{rc.left + margin, bar.top - margin - fontsFor_ * 2, rc.right - margin, bar.top - margin / 2};
        Text(dc, small_, ink, view.timeCode, time, DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
    }

    RECT title{rc.left + margin, rc.top + margin, rc.right - margin, rc.top + h * 2 / 5};
    Text(dc, title_, ink, view.title, title, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_END_ELLIPSIS);

    DrawOverlay(dc, rc, view, background);
}

void CardPainter::DrawOverlay(HDC dc, const RECT& rc, const CardView& view, COLORREF base) {
    std::wstring line, second;
    switch (view.overlay) {
    case CardView::Overlay::None: return;
    case CardView::Overlay::Loading: line = L"Loading\x2026"; break;
    case CardView::Overlay::Buffering: line = L"Buffering\x2026"; break;
    case CardView::Overlay::Paused: line = L"Paused"; break;
    case CardView::Overlay::Cued: line = L"Stopped"; break;
    case CardView::Overlay::Ended: line = L"Ended"; break;
    case CardView::Overlay::Error:
        line = L"Error " + std::to_wstring(view.errorCode);
        second = ErrorText(view.errorCode);
        break;
    }
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    int boxW = std::min(w - 8, std::max(w / 2, fontsFor_ * 14));
    int boxH = std::min(h - 8, fontsFor_ * (second.empty() ? 4 : 6));
    RECT box{rc.left + (w - boxW) / 2, rc.top + (h - boxH) / 2, 0, 0};
    box.right = box.left + boxW;
    box.bottom = box.top + boxH;

    bool error = view.overlay == CardView::Overlay::Error;
    COLORREF fill = error ? RGB(0x8A, 0x1C, 0x1C) : Mix(base, RGB(0, 0, 0), 65);
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, Mix(fill, RGB(0xFF, 0xFF, 0xFF), 30));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    RoundRect(dc, box.left, box.top, box.right, box.bottom, fontsFor_, fontsFor_);

    COLORREF ink = RGB(0xFF, 0xFF, 0xFF);
    RECT text = box;
    if (view.overlay == CardView::Overlay::Paused || view.overlay == CardView::Overlay::Cued) {
        // A small pause or play sign left of the word.
        int s = fontsFor_;
        int x = box.left + s, y = box.top + (boxH - s) / 2;
        HBRUSH white = CreateSolidBrush(ink);
        SelectObject(dc, white);
        SelectObject(dc, GetStockObject(NULL_PEN));
        if (view.overlay == CardView::Overlay::Paused) {
            Rectangle(dc, x, y, x + s / 3 + 1, y + s + 1);
            Rectangle(dc, x + s * 2 / 3, y, x + s + 1, y + s + 1);
        } else {
            POINT triangle[3] = {{x, y}, {x + s, y + s / 2}, {x, y + s}};
            Polygon(dc, triangle, 3);
        }
        SelectObject(dc, brush);
        DeleteObject(white);
        text.left += s * 2;
    }
    if (second.empty()) {
        Text(dc, overlay_, ink, line, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    } else {
        RECT top = text, bottom = text;
        top.bottom = text.top + boxH / 2;
        bottom.top = top.bottom;
        Text(dc, overlay_, ink, line, top, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
        Text(dc, small_, ink, second, bottom, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS);
    }

    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

}  // namespace playerctl
