#pragma once
// Dialogs created from resource templates, modal or modeless.
//
// One static dialog procedure stores `this` at WM_INITDIALOG and turns the
// messages into the virtual calls below; every call runs inside the
// exception boundary, so no C++ exception unwinds through Windows. A derived
// dialog lists what it handles in OnCommand/OnNotify/OnMessage, one switch
// each, near the top of its file.
//
// WM_COMMAND goes, until one step returns true:
//   1. OnCommand(id, code, control): every notification code;
//   2. OnButtonClicked(id): BN_CLICKED only (code 0, which menus and the
//      Enter/Esc keys send as well);
//   3. the defaults: IDOK calls OnOK, IDCANCEL calls OnCancel (for BN_CLICKED
//      and for accelerators).
// So a dialog handles clicks in OnButtonClicked, keeps OnCommand for the
// other codes (EN_CHANGE, ...), and overrides IDOK/IDCANCEL in either.

#include "framework/window.h"

#include <string>

namespace fw {

class Dialog;

// Dialog data exchange: moves values between members and controls in the
// direction given by `saving` (true: controls -> members).
class DataExchange {
public:
    DataExchange(Dialog& dialog, bool saving) : dialog_(dialog), saving_(saving) {}
    bool saving() const { return saving_; }

    void Text(int id, std::wstring& value);
    void Check(int id, int& value);
    // Index of the checked button in the radio group that starts at `firstId`
    // (in tab order); -1 when none is checked. Loading -1 clears the group.
    void Radio(int firstId, int& value);
    void Control(int id, Window& control);

private:
    HWND item(int id) const;
    Dialog& dialog_;
    bool saving_;
};

class Dialog : public Window {
public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}
    ~Dialog() override;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    UINT templateId() const { return templateId_; }

    // Runs the dialog modally (its owner disabled meanwhile); returns the
    // value given to EndDialog, or -1 when the window went without it or a
    // WM_QUIT ended the loop (the quit is posted again for the caller's
    // loop). The window goes through DestroyWindow when the dialog ends.
    INT_PTR DoModal(HWND parent);
    // Creates the dialog modeless; returns false when the window failed.
    bool Create(HWND parent);
    // Destroys a modeless dialog's window. Derived dialogs extend it with
    // what must go first, and call the base last.
    virtual bool DestroyWindow();

    bool UpdateData(bool saving);
    void EndDialog(INT_PTR result);

    HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
    LRESULT SendItem(int id, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendDlgItemMessageW(hwnd_, id, msg, wParam, lParam);
    }
    void SetItemText(int id, const std::wstring& text) const { ::SetDlgItemTextW(hwnd_, id, text.c_str()); }
    std::wstring ItemText(int id) const { return Window(Item(id)).GetText(); }
    void CheckButton(int id, bool checked) const { ::CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED); }
    bool IsButtonChecked(int id) const { return ::IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void EnableItem(int id, bool enable) const { ::EnableWindow(Item(id), enable ? TRUE : FALSE); }
    void ShowItem(int id, bool show) const { ::ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }

protected:
    // Base initialisation: loads the members into the controls. True asks
    // for the focus on the first control: at once for a modal dialog, when
    // it is first activated for a modeless one.
    virtual bool OnInitDialog();
    // Defaults: OK saves the data and ends a modal dialog with IDOK;
    // cancel ends a modal dialog with IDCANCEL. Modeless dialogs override.
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(DataExchange& dx);

    // Return true when handled (see the order above). OnNotify may set `result`.
    virtual bool OnCommand(int id, int code, HWND control);
    virtual bool OnButtonClicked(int id);
    virtual bool OnNotify(int id, NMHDR* header, LRESULT& result);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnSize(UINT type, int width, int height);
    // Any other message. Return true when handled; `result` is the message's
    // result (for WM_CTLCOLOR* the brush).
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Called when the window is gone (WM_NCDESTROY).
    virtual void OnDestroyed() {}

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = -1;
};

// Gives a message to the dialog it belongs to, if any; true when consumed.
bool IsDialogMessageAny(MSG& msg);

// The process instance holding the resources.
HINSTANCE ResourceInstance();

}  // namespace fw
