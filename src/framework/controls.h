#pragma once
// Thin, non-owning wrappers of the common controls the dialogs use: only
// the calls the program makes.

#include <windows.h>
#include <commctrl.h>

#include <cassert>

#include "framework/window.h"

namespace fw {

class Static : public Window {};
class Edit : public Window {};

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

}  // namespace fw
