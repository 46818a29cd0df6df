// The window layer on a real dialog: the modal loop's ways out, the message
// boundary, the user-data pointer, command routing, radio exchange and the
// control wrappers.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework_test_res.h"
#include "ui_test.h"

namespace {

using clipdeck::test::Click;

class TestDialog : public fw::Dialog {
public:
    TestDialog() : fw::Dialog(IDD_FWTEST) {}

    int radio = -1;
    bool holdOk = false;  // OnButtonClicked takes IDOK
    std::vector<std::pair<int, int>> commands;
    std::vector<int> clicks;
    int destroyed = 0;
    // Runs once, from the dialog's own timer, inside whatever loop runs it.
    std::function<void(TestDialog&)> atTimer;

protected:
    static constexpr UINT_PTR kTimer = 1;

    bool OnInitDialog() override {
        fw::Dialog::OnInitDialog();
        if (atTimer) SetTimer(kTimer, 1);
        return true;
    }
    void DoDataExchange(fw::DataExchange& dx) override { dx.Radio(IDR_FWTEST_ONE, radio); }
    bool OnCommand(int id, int code, HWND) override {
        commands.emplace_back(id, code);
        return id == IDB_FWTEST_KEPT;
    }
    bool OnButtonClicked(int id) override {
        clicks.push_back(id);
        if (id == IDB_FWTEST_THROW) throw std::runtime_error("thrown by the handler");
        return id == IDB_FWTEST_ACTION || (id == IDOK && holdOk);
    }
    void OnTimer(UINT_PTR id) override {
        KillTimer(id);
        auto action = std::move(atTimer);
        action(*this);
    }
    void OnDestroyed() override { ++destroyed; }
};

// --- the modal loop ---------------------------------------------------------

TEST(ModalLoop, EndDialogEndsTheLoopWithItsValue) {
    TestDialog dialog;
    HWND window = nullptr;
    dialog.atTimer = [&](TestDialog& d) {
        window = d.hwnd();
        d.EndDialog(42);
    };
    EXPECT_EQ(dialog.DoModal(nullptr), 42);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(dialog.destroyed, 1);
}

TEST(ModalLoop, WindowDestroyedByAHandlerEndsTheLoopWithMinusOne) {
    TestDialog dialog;
    HWND window = nullptr;
    dialog.atTimer = [&](TestDialog& d) {
        window = d.hwnd();
        d.DestroyWindow();
    };
    EXPECT_EQ(dialog.DoModal(nullptr), -1);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_EQ(dialog.destroyed, 1);
}

TEST(ModalLoop, QuitEndsTheLoopAndReachesTheCallersLoop) {
    TestDialog owner;
    ASSERT_TRUE(owner.Create(nullptr));
    TestDialog dialog;
    bool ownerEnabledMeanwhile = true;
    dialog.atTimer = [&](TestDialog&) {
        ownerEnabledMeanwhile = ::IsWindowEnabled(owner.hwnd()) != FALSE;
        ::PostQuitMessage(7);
    };
    EXPECT_EQ(dialog.DoModal(owner.hwnd()), -1);
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_FALSE(ownerEnabledMeanwhile);
    EXPECT_TRUE(::IsWindowEnabled(owner.hwnd()));
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

// --- message boundary and lifetime -----------------------------------------

TEST(MessageBoundary, AThrowingHandlerIsReportedAndTheDialogCarriesOn) {
    clipdeck::test::MessageCatcher catcher;
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    Click(dialog.hwnd(), IDB_FWTEST_THROW);
    EXPECT_EQ(catcher.errors, std::vector<std::wstring>{L"thrown by the handler"});
    ASSERT_TRUE(dialog.IsWindow());
    Click(dialog.hwnd(), IDB_FWTEST_ACTION);
    EXPECT_EQ(dialog.clicks, (std::vector<int>{IDB_FWTEST_THROW, IDB_FWTEST_ACTION}));
}

// The dialog's user data as seen by each WM_DESTROY / WM_NCDESTROY sent to
// `watched`, before the dialog procedure runs.
HWND watched = nullptr;
std::vector<LONG_PTR> userDataAtTeardown;

LRESULT CALLBACK recordUserData(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == watched && (sent->message == WM_DESTROY || sent->message == WM_NCDESTROY)) {
        userDataAtTeardown.push_back(::GetWindowLongPtrW(sent->hwnd, DWLP_USER));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(DialogLifetime, AnObjectThatGoesFirstIsUnhookedBeforeItsWindowIsTornDown) {
    HHOOK hook = ::SetWindowsHookExW(WH_CALLWNDPROC, recordUserData, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);

    // Window first: its own teardown still reaches the object.
    TestDialog closed;
    ASSERT_TRUE(closed.Create(nullptr));
    watched = closed.hwnd();
    closed.DestroyWindow();
    EXPECT_EQ(userDataAtTeardown,
              (std::vector<LONG_PTR>{reinterpret_cast<LONG_PTR>(&closed), reinterpret_cast<LONG_PTR>(&closed)}));
    EXPECT_EQ(closed.destroyed, 1);

    // Object first: no teardown message finds the object any more.
    userDataAtTeardown.clear();
    auto dropped = std::make_unique<TestDialog>();
    ASSERT_TRUE(dropped->Create(nullptr));
    watched = dropped->hwnd();
    dropped.reset();
    EXPECT_FALSE(::IsWindow(watched));
    EXPECT_EQ(userDataAtTeardown, (std::vector<LONG_PTR>{0, 0}));

    ::UnhookWindowsHookEx(hook);
    watched = nullptr;
}

// --- commands and data exchange ------------------------------------------

TEST(CommandRouting, ClicksReachOnButtonClickedAfterOnCommandAndBeforeTheDefaults) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    Click(dialog.hwnd(), IDB_FWTEST_ACTION);
    Click(dialog.hwnd(), IDB_FWTEST_KEPT);  // OnCommand keeps it
    dialog.SetItemText(IDE_FWTEST_NUMBER, L"5");  // EN_CHANGE and others: OnCommand only
    EXPECT_EQ(dialog.clicks, std::vector<int>{IDB_FWTEST_ACTION});
    ASSERT_GE(dialog.commands.size(), 3u);
    EXPECT_EQ(dialog.commands[0], std::make_pair(IDB_FWTEST_ACTION, BN_CLICKED));
    EXPECT_EQ(dialog.commands[1], std::make_pair(IDB_FWTEST_KEPT, BN_CLICKED));
    EXPECT_NE(std::find(dialog.commands.begin(), dialog.commands.end(), std::make_pair(IDE_FWTEST_NUMBER, EN_CHANGE)),
              dialog.commands.end());

    // IDOK taken by OnButtonClicked never reaches OnOK, which would save.
    dialog.radio = -1;
    dialog.CheckButton(IDR_FWTEST_THREE, true);
    dialog.holdOk = true;
    Click(dialog.hwnd(), IDOK);
    EXPECT_EQ(dialog.radio, -1);
    dialog.holdOk = false;
    Click(dialog.hwnd(), IDOK);
    EXPECT_EQ(dialog.radio, 2);
}

TEST(RadioExchange, RadioIndexCoversItsGroupOnly) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    auto checked = [&] {
        return std::vector<bool>{dialog.IsButtonChecked(IDR_FWTEST_ONE), dialog.IsButtonChecked(IDR_FWTEST_TWO),
                                 dialog.IsButtonChecked(IDR_FWTEST_THREE), dialog.IsButtonChecked(IDX_FWTEST_AFTER)};
    };
    dialog.radio = 2;
    dialog.UpdateData(false);
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, true, false}));
    dialog.radio = 3;  // the check box after the group is not the fourth button
    dialog.UpdateData(false);
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, false, false}));

    Click(dialog.hwnd(), IDR_FWTEST_TWO);
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.radio, 1);

    dialog.radio = -1;
    dialog.UpdateData(false);
    dialog.CheckButton(IDX_FWTEST_AFTER, true);
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, false, true}));
    dialog.radio = 0;
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.radio, -1);
}

// --- control wrappers --------------------------------------------------------

class Controls : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dialog.Create(nullptr));
        log.Attach(dialog.Item(IDE_FWTEST_LOG));
        number.Attach(dialog.Item(IDU_FWTEST_NUMBER));
        list.Attach(dialog.Item(IDL_FWTEST_LIST));
    }
    std::pair<DWORD, DWORD> selection() {
        DWORD from = 0, to = 0;
        log.Send(EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        return {from, to};
    }
    // Lines `count` × `length` characters, "\r\n" included, lettered from `mark`.
    static std::wstring lines(int count, size_t length, wchar_t mark) {
        std::wstring text;
        for (int i = 0; i < count; ++i) text += std::wstring(length - 2, static_cast<wchar_t>(mark + i)) + L"\r\n";
        return text;
    }

    TestDialog dialog;
    fw::Edit log;
    fw::UpDown number;
    fw::ListView list;
};

TEST_F(Controls, AppendAndTrimDropsWholeLinesFromTheTopAndAppendsAtTheEnd) {
    log.Send(EM_SETLIMITTEXT, 300);
    // Lines long enough to wrap in the box: its wrapped lines are not ours.
    log.SetText(lines(3, 90, L'a'));
    log.Send(EM_SETSEL, 0, 0);
    log.AppendAndTrim(lines(1, 40, L'x'));  // 310: the first line goes
    EXPECT_EQ(log.GetText(), lines(2, 90, L'b') + lines(1, 40, L'x'));
    EXPECT_GT(log.Send(EM_GETLINECOUNT), 4);

    log.SetText(lines(10, 30, L'a'));  // 300, at the limit
    log.Send(EM_SETSEL, 0, 0);
    log.Send(EM_SCROLLCARET);
    log.AppendAndTrim(lines(1, 75, L'x'));  // 75 over: three lines go
    const std::wstring expected = lines(7, 30, L'd') + lines(1, 75, L'x');
    EXPECT_EQ(log.GetText(), expected);
    EXPECT_EQ(selection(), std::make_pair(static_cast<DWORD>(expected.size()), static_cast<DWORD>(expected.size())));
    EXPECT_GT(log.Send(EM_GETFIRSTVISIBLELINE), 0);

    log.AppendAndTrim(L"tail");  // room left: nothing goes
    EXPECT_EQ(log.GetText(), expected + L"tail");
}

TEST_F(Controls, UpDownFlagsTextThatIsNoNumberInItsRange) {
    number.SetRange(0, 100);
    number.SetPos(42);
    bool error = true;
    EXPECT_EQ(number.GetPos(&error), 42);
    EXPECT_FALSE(error);
    EXPECT_EQ(dialog.ItemText(IDE_FWTEST_NUMBER), L"42");
    for (const wchar_t* bad : {L"abc", L"250"}) {
        dialog.SetItemText(IDE_FWTEST_NUMBER, bad);
        error = false;
        number.GetPos(&error);
        EXPECT_TRUE(error) << bad;
    }
    dialog.SetItemText(IDE_FWTEST_NUMBER, L"");
    EXPECT_EQ(number.GetPos(&error), 0);
    EXPECT_FALSE(error);
}

TEST_F(Controls, ListViewCellsAndSelectionRoundTrip) {
    EXPECT_EQ(list.InsertColumn(0, L"Title", 100), 0);
    EXPECT_EQ(list.InsertColumn(1, L"Time", 40, LVCFMT_RIGHT), 1);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT;
    list.Send(LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);

    const std::wstring longTitle(300, L'長');
    EXPECT_EQ(list.InsertItem(0, L"first"), 0);
    EXPECT_EQ(list.InsertItem(1, longTitle), 1);
    EXPECT_EQ(list.InsertItem(1, L"between"), 1);
    list.SetItemText(2, 1, L"3:05");
    EXPECT_EQ(list.GetItemCount(), 3);
    EXPECT_EQ(list.GetItemText(1, 0), L"between");
    EXPECT_EQ(list.GetItemText(2, 0), longTitle);
    EXPECT_EQ(list.GetItemText(2, 1), L"3:05");
    EXPECT_EQ(list.GetItemText(0, 1), L"");

    list.SelectRow(2);
    EXPECT_EQ(list.GetSelectionMark(), 2);
    EXPECT_EQ(list.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED | LVNI_FOCUSED), 2);
    list.SelectRow(-1);
    EXPECT_EQ(list.GetSelectionMark(), -1);
    EXPECT_EQ(list.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), -1);
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(Controls, RowFontsChosenPerRowDuringCustomDraw) {
    const HFONT own = reinterpret_cast<HFONT>(list.Send(WM_GETFONT));
    fw::Font bold(fw::CreateBoldFont(own));
    LOGFONTW face{}, ownFace{};
    ASSERT_TRUE(::GetObjectW(bold.get(), sizeof face, &face));
    ASSERT_TRUE(::GetObjectW(own, sizeof ownFace, &ownFace));
    EXPECT_EQ(face.lfWeight, FW_BOLD);
    EXPECT_EQ(std::wstring(face.lfFaceName), std::wstring(ownFace.lfFaceName));
    EXPECT_EQ(face.lfHeight, ownFace.lfHeight);

    HDC dc = ::CreateCompatibleDC(nullptr);
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr = {list.hwnd(), IDL_FWTEST_LIST, static_cast<UINT>(NM_CUSTOMDRAW)};
    draw.nmcd.hdc = dc;
    auto fontOf = [&](int row) { return row == 1 ? bold.get() : nullptr; };
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(fw::ListView::DrawRowFonts(&draw.nmcd.hdr, fontOf), CDRF_NOTIFYITEMDRAW);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = 1;
    EXPECT_EQ(fw::ListView::DrawRowFonts(&draw.nmcd.hdr, fontOf), CDRF_NEWFONT);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), bold.get());
    draw.nmcd.dwItemSpec = 2;
    EXPECT_EQ(fw::ListView::DrawRowFonts(&draw.nmcd.hdr, fontOf), CDRF_NEWFONT);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_FONT), reinterpret_cast<HGDIOBJ>(list.Send(WM_GETFONT)));
    ::DeleteDC(dc);
}

}  // namespace
