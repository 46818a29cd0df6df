#pragma once
// Thin, non-owning wrappers of the common controls the dialogs use: only
// the calls the program makes.

#include <windows.h>
#include <commctrl.h>

#include <cassert>
#include <functional>
#include <string>

#include "framework/window.h"

namespace fw {

class Static : public Window {};

class Edit : public Window {
public:
    // Appends `text` at the end whatever the selection, first dropping whole
    // lines from the top when the text would pass the control's limit; the
    // caret ends after the new text, scrolled into view. Text longer than the
    // limit by itself empties the box and is cut at the limit.
    void AppendAndTrim(const std::wstring& text) const;
};

class Button : public Window {
public:
    bool IsChecked() const { return state() == BST_CHECKED; }
    void SetCheck(bool checked) const {
        assert(hwnd_);
        Send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED);
    }

private:
    LRESULT state() const {
        assert(hwnd_);
        return Send(BM_GETCHECK);
    }
};

class ProgressBar : public Window {
public:
    void SetRange(int low, int high) const {
        assert(hwnd_);
        Send(PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    }
    int GetPos() const {
        assert(hwnd_);
        return static_cast<int>(Send(PBM_GETPOS));
    }
    void SetPos(int pos) const {
        assert(hwnd_);
        Send(PBM_SETPOS, static_cast<WPARAM>(pos));
    }
};

class TrackBar : public Window {
public:
    void SetRange(int low, int high, bool redraw) const {
        assert(hwnd_);
        Send(TBM_SETRANGEMIN, FALSE, low);
        Send(TBM_SETRANGEMAX, redraw ? TRUE : FALSE, high);
    }
    int GetPos() const {
        assert(hwnd_);
        return static_cast<int>(Send(TBM_GETPOS));
    }
    void SetPos(int pos, bool redraw) const {
        assert(hwnd_);
        Send(TBM_SETPOS, redraw ? TRUE : FALSE, pos);
    }
};

class UpDown : public Window {
public:
    void SetRange(int low, int high) const {
        assert(hwnd_);
        Send(UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
    }
    void SetPos(int pos) const {
        assert(hwnd_);
        Send(UDM_SETPOS32, 0, static_cast<LPARAM>(pos));
    }
    // The position read from the buddy. `error` is set when the buddy's text
    // is not a number within the range; the position is then the last good
    // one. Empty text reads 0 without error.
    int GetPos(bool* error = nullptr) const;
};

// A report-view list. Rows and columns count from 0.
class ListView : public Window {
public:
    // `format`: LVCFMT_LEFT, LVCFMT_RIGHT or LVCFMT_CENTER (the first column
    // is always drawn left-aligned). Returns the column's index, or -1.
    int InsertColumn(int column, const std::wstring& text, int width, int format = LVCFMT_LEFT) const;
    struct Column {
        const wchar_t* heading;
        int format;
        int width;  // pixels at 96 DPI
    };
    // Inserts the columns in order, from the first, their widths scaled to
    // the list's DPI (at 96 DPI exactly as given).
    void InsertColumns(const Column* columns, size_t count) const {
        const int dpi = Dpi();
        for (size_t c = 0; c < count; ++c) {
            InsertColumn(static_cast<int>(c), columns[c].heading, ::MulDiv(columns[c].width, dpi, 96),
                         columns[c].format);
        }
    }
    template <size_t N>
    void InsertColumns(const Column (&columns)[N]) const {
        InsertColumns(columns, N);
    }
    // Adds extended styles such as LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES.
    void AddExtendedStyle(DWORD styles) const {
        assert(hwnd_);
        Send(LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
    }

    int GetItemCount() const {
        assert(hwnd_);
        return static_cast<int>(Send(LVM_GETITEMCOUNT));
    }
    void DeleteAllItems() const {
        assert(hwnd_);
        Send(LVM_DELETEALLITEMS);
    }
    // Inserts a row holding `text` in its first cell; returns its index, or -1.
    int InsertItem(int row, const std::wstring& text) const;
    void SetItemText(int row, int column, const std::wstring& text) const;
    std::wstring GetItemText(int row, int column) const;

    int GetSelectionMark() const {
        assert(hwnd_);
        return static_cast<int>(Send(LVM_GETSELECTIONMARK));
    }
    // Selects and focuses `row` and makes it the selection mark; -1 clears
    // the selection of every row.
    void SelectRow(int row) const;
    void EnsureVisible(int row) const {
        assert(hwnd_);
        Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    }
    // Selects the first row whose cell in `column` reads `text` and scrolls
    // it into view; false when no row does.
    bool SelectRowWithText(int column, const std::wstring& text) const;

    // The answer to a list's NM_CUSTOMDRAW that draws each row in the font
    // `fontOf(row)` returns (nullptr: the list's own font). A dialog's
    // OnNotify sets its result to it.
    static LRESULT DrawRowFonts(NMHDR* header, const std::function<HFONT(int row)>& fontOf);
};

// The extended style of the program's lists: full-row selection, and grid
// lines from Windows Vista on.
DWORD ListStyleForThisSystem();

// A GDI font owned by the object.
class Font {
public:
    explicit Font(HFONT font = nullptr) : font_(font) {}
    ~Font() { Reset(nullptr); }
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    HFONT get() const { return font_; }
    // Takes `font`, deleting the one held before.
    void Reset(HFONT font) {
        if (font_) ::DeleteObject(font_);
        font_ = font;
    }

private:
    HFONT font_;
};

// `base` in bold; the system's default GUI font when `base` is null. Made
// from a control's own font, the bold text keeps the font links that give
// that font its fallback glyphs (Japanese, for one).
HFONT CreateBoldFont(HFONT base);

}  // namespace fw
