#include "framework/dialog.h"

#include <exception>

#include "framework/errors.h"

namespace fw {

HINSTANCE ResourceInstance() { return ::GetModuleHandleW(nullptr); }

// --- data exchange -------------------------------------------------------

HWND DataExchange::item(int id) const { return ::GetDlgItem(dialog_.hwnd(), id); }

void DataExchange::Text(int id, std::wstring& value) {
    HWND control = item(id);
    if (!control) return;
    if (saving_) {
        value = Window(control).GetText();
    } else {
        ::SetWindowTextW(control, value.c_str());
    }
}

void DataExchange::Check(int id, int& value) {
    HWND control = item(id);
    if (!control) return;
    if (saving_) {
        value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
    } else {
        ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void DataExchange::Radio(int firstId, int& value) {
    HWND control = item(firstId);
    if (!control) return;
    if (saving_) value = -1;
    int index = 0;
    // The group runs from the first button to the next control with WS_GROUP.
    for (HWND button = control; button; ++index) {
        if (saving_) {
            if (::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED && value < 0) value = index;
        } else {
            ::SendMessageW(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        HWND next = ::GetWindow(button, GW_HWNDNEXT);
        if (!next || (::GetWindowLongPtrW(next, GWL_STYLE) & WS_GROUP)) break;
        button = next;
    }
}

void DataExchange::Control(int id, Window& control) {
    if (!saving_) control.Attach(item(id));
}

// --- dialog --------------------------------------------------------------

Dialog::~Dialog() {
    // A late message must never reach a half-destroyed object.
    if (hwnd_ && ::IsWindow(hwnd_) && ::GetWindowLongPtrW(hwnd_, DWLP_USER) == reinterpret_cast<LONG_PTR>(this)) {
        ::SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        ::DestroyWindow(hwnd_);
    }
}

INT_PTR Dialog::DoModal(HWND parent) {
    // Our own modal loop, so that the dialog ends through DestroyWindow like
    // a modeless one and every dialog of the process gets its keyboard
    // handling (Tab, Enter, Esc) from IsDialogMessage.
    HWND owner = parent ? ::GetAncestor(parent, GA_ROOT) : nullptr;
    bool reenable = owner && ::IsWindowEnabled(owner);
    modal_ = true;
    ended_ = false;
    result_ = -1;
    HWND created = ::CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId_), owner, Proc,
                                        reinterpret_cast<LPARAM>(this));
    if (!created) {
        modal_ = false;
        return -1;
    }
    if (reenable) ::EnableWindow(owner, FALSE);
    if (!ended_) ::ShowWindow(created, SW_SHOW);
    MSG msg;
    while (!ended_ && ::IsWindow(created)) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (!IsDialogMessageAny(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (reenable) {
        ::EnableWindow(owner, TRUE);
        ::SetActiveWindow(owner);
    }
    if (hwnd_) DestroyWindow();
    modal_ = false;
    return result_;
}

bool IsDialogMessageAny(MSG& msg) {
    if (!msg.hwnd) return false;
    HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    if (!root) return false;
    wchar_t name[16];
    if (::GetClassNameW(root, name, 16) == 0 || lstrcmpW(name, L"#32770") != 0) return false;
    return ::IsDialogMessageW(root, &msg) != FALSE;
}

bool Dialog::Create(HWND parent) {
    modal_ = false;
    HWND created = ::CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId_), parent, Proc,
                                        reinterpret_cast<LPARAM>(this));
    return created != nullptr;
}

bool Dialog::DestroyWindow() {
    if (!hwnd_) return false;
    HWND h = hwnd_;
    return ::DestroyWindow(h) != FALSE;
}

void Dialog::EndDialog(INT_PTR result) {
    if (!modal_) return;
    result_ = result;
    ended_ = true;
    // Wake the modal loop.
    if (hwnd_) ::PostMessageW(hwnd_, WM_NULL, 0, 0);
}

bool Dialog::UpdateData(bool saving) {
    DataExchange dx(*this, saving);
    DoDataExchange(dx);
    return true;
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void Dialog::OnCancel() { EndDialog(IDCANCEL); }

void Dialog::DoDataExchange(DataExchange&) {}
bool Dialog::OnCommand(int, int, HWND) { return false; }
bool Dialog::OnButtonClicked(int) { return false; }
bool Dialog::OnNotify(int, NMHDR*, LRESULT&) { return false; }
void Dialog::OnTimer(UINT_PTR) {}
void Dialog::OnSize(UINT, int, int) {}
bool Dialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

INT_PTR CALLBACK Dialog::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;
    try {
        return self->Dispatch(msg, wParam, lParam);
    } catch (const std::exception& e) {
        ReportError(hwnd, Widen(e.what()));
    } catch (...) {
        ReportError(hwnd, L"unexpected error");
    }
    return FALSE;
}

INT_PTR Dialog::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        const bool defaultFocus = OnInitDialog();
        // A modeless dialog gets the focus on its first control when it is
        // first activated (the dialog manager does that), not while it is
        // made: the focus set into a window made hidden makes that window
        // the active and foreground one, and the user's keys go nowhere.
        return defaultFocus && modal_ ? TRUE : FALSE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (OnCommand(id, code, reinterpret_cast<HWND>(lParam))) return TRUE;
        if (code == BN_CLICKED && OnButtonClicked(id)) return TRUE;
        if (code == BN_CLICKED || lParam == 0) {
            if (id == IDOK) {
                OnOK();
                return TRUE;
            }
            if (id == IDCANCEL) {
                OnCancel();
                return TRUE;
            }
        }
        return FALSE;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (!OnNotify(static_cast<int>(header->idFrom), header, result)) return FALSE;
        ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_TIMER:
        OnTimer(wParam);
        return FALSE;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return FALSE;
    case WM_NCDESTROY: {
        ::SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        hwnd_ = nullptr;
        OnDestroyed();
        return FALSE;
    }
    default: {
        LRESULT result = 0;
        if (!OnMessage(msg, wParam, lParam, result)) return FALSE;
        // These messages take their result as the procedure's return value.
        if (IsCtlColorMessage(msg)) return static_cast<INT_PTR>(result);
        switch (msg) {
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
    }
}

}  // namespace fw
