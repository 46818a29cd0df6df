#include "framework/controls.h"

namespace fw {

void Edit::AppendAndTrim(const std::wstring& text) const {
    assert(hwnd_);
    const LRESULT limit = Send(EM_GETLIMITTEXT);
    LRESULT length = ::GetWindowTextLengthW(hwnd_);
    const LRESULT excess = length + static_cast<LRESULT>(text.size()) - limit;
    if (excess > 0) {
        // Cut at the first line start at or after the excess. The line breaks
        // are looked up in the text: EM_LINEINDEX counts wrapped lines, and
        // would cut a long line in the middle.
        const std::wstring current = GetText();
        size_t cut = current.size();
        if (excess <= length) {
            size_t lineEnd = current.find(L'\n', static_cast<size_t>(excess - 1));
            if (lineEnd != std::wstring::npos) cut = lineEnd + 1;
        }
        SetRedraw(false);
        Send(EM_SETSEL, 0, static_cast<LPARAM>(cut));
        Send(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
        SetRedraw(true);
        length = ::GetWindowTextLengthW(hwnd_);
    }
    // EM_SETSEL(-1, -1) leaves the caret where it is; select the end instead.
    Send(EM_SETSEL, static_cast<WPARAM>(length), length);
    Send(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    Send(EM_SCROLLCARET);
}

int UpDown::GetPos(bool* error) const {
    assert(hwnd_);
    BOOL failed = FALSE;
    int pos = static_cast<int>(Send(UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)));
    if (error) *error = failed != FALSE;
    return pos;
}

int ListView::InsertColumn(int column, const std::wstring& text, int width, int format) const {
    assert(hwnd_);
    LVCOLUMNW info{};
    info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    info.fmt = format;
    info.cx = width;
    info.pszText = const_cast<wchar_t*>(text.c_str());
    info.iSubItem = column;
    return static_cast<int>(Send(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)));
}

int ListView::InsertItem(int row, const std::wstring& text) const {
    assert(hwnd_);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListView::SetItemText(int row, int column, const std::wstring& text) const {
    assert(hwnd_);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    Send(LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::wstring ListView::GetItemText(int row, int column) const {
    assert(hwnd_);
    std::wstring text(128, L'\0');
    for (;;) {
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        auto copied = static_cast<size_t>(Send(LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        // A full buffer may have cut the text: try again with more room.
        if (copied + 1 < text.size()) {
            text.resize(copied);
            return text;
        }
        text.resize(text.size() * 2);
    }
}

void ListView::SelectRow(int row) const {
    assert(hwnd_);
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = row >= 0 ? item.stateMask : 0;
    // Row -1 stands for every row.
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    Send(LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(row));
}

bool ListView::SelectRowWithText(int column, const std::wstring& text) const {
    const int rows = GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (GetItemText(row, column) != text) continue;
        SelectRow(row);
        EnsureVisible(row);
        return true;
    }
    return false;
}

LRESULT ListView::DrawRowFonts(NMHDR* header, const std::function<HFONT(int row)>& fontOf) {
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        HFONT font = fontOf(static_cast<int>(draw->nmcd.dwItemSpec));
        // Every row selects its font, so no row keeps the one drawn before it.
        if (!font) font = reinterpret_cast<HFONT>(::SendMessageW(header->hwndFrom, WM_GETFONT, 0, 0));
        if (!font) return CDRF_DODEFAULT;
        ::SelectObject(draw->nmcd.hdc, font);
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

DWORD ListStyleForThisSystem() {
    DWORD major = 0;
    if (PlatformMajor(major) && major >= 6) return LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
    return LVS_EX_FULLROWSELECT;
}

HFONT CreateBoldFont(HFONT base) {
    LOGFONTW face{};
    ::GetObjectW(base ? base : ::GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
    face.lfWeight = FW_BOLD;
    return ::CreateFontIndirectW(&face);
}

}  // namespace fw
