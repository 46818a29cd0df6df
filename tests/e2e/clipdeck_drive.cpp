// Drives the built Clipdeck.exe from outside, as a user would, through
// window messages only, and checks what the control panel shows.
//
//   clipdeck_drive Clipdeck.exe [scenario...]
//
// Scenarios: play settings errors listplay startfocus listwindows realmedia
// (the last needs a clip served by the service, named by CLIPDECK_E2E_CLIP).
//
// The program runs from a copy in a scratch folder of its own, so its
// Clipdeck.ini lands there. The feed and player hosts come from the
// environment (CLIPDECK_FEED_HOST, CLIPDECK_PLAYER_HOST), which the program
// inherits. Exit status: 0 all scenarios passed, 1 one failed, 2 usage.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clipdeck_session.h"

namespace {

using namespace clipdeck_session;
using remote_ui::Utf8;

const std::wstring kPlainTitle = L" Morning Walk Through the Old Harbour";
const std::wstring kJapanTitle = L" 東京の夜景タイムラプス";
const std::wstring kShortTitle = L" Eight Second Countdown";
const std::wstring kMarkupTitle = L" Entities: &amp; vs & and x<y>z";

std::wstring RectText(const RECT& r) {
    return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" - " + std::to_wstring(r.right) + L"," +
           std::to_wstring(r.bottom);
}

std::wstring IniPath(const std::wstring& folder) { return folder + L"\\Clipdeck.ini"; }

std::wstring IniString(const std::wstring& folder, const wchar_t* section, const wchar_t* key) {
    wchar_t value[2048] = {};
    ::GetPrivateProfileStringW(section, key, L"<missing>", value, 2048, IniPath(folder).c_str());
    return value;
}

RECT IniPlayerRect(const std::wstring& folder) {
    const std::wstring path = IniPath(folder);
    RECT r;
    r.left = static_cast<LONG>(::GetPrivateProfileIntW(L"PLAYER", L"POS_LEFT", -99999, path.c_str()));
    r.top = static_cast<LONG>(::GetPrivateProfileIntW(L"PLAYER", L"POS_TOP", -99999, path.c_str()));
    r.right = static_cast<LONG>(::GetPrivateProfileIntW(L"PLAYER", L"POS_RIGHT", -99999, path.c_str()));
    r.bottom = static_cast<LONG>(::GetPrivateProfileIntW(L"PLAYER", L"POS_BOTTOM", -99999, path.c_str()));
    return r;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// --- scenarios ----------------------------------------------------------------

// A pasted watch URL plays; the read-outs follow; pause, mute and the jump to
// the end work; a Japanese title comes through; closing saves the last video.
void PlayScenario(const std::wstring& exe, const std::wstring& folder, Steps& step) {
    std::optional<Session> s;
    step(L"Clipdeck starts and shows its main window with the control panel", [&] { s.emplace(exe); });
    step(L"the title line reads \" player Load Complete!\", the status \"Unload\"", [&] {
        s->WaitReady();
        if (std::wstring status = s->Text(IDT_CONTROL_STATUS); status != L"Unload") {
            throw Failure(L"the status reads " + Quoted(status));
        }
    });
    std::vector<std::wstring> seen;
    step(L"a pasted watch URL and Play: the status goes \"Buffering\", then \"Play\"", [&] {
        seen = s->PlayTyped(L"http://www.youtube.com/watch?v=cdPlain0001&feature=related");
        ExpectBufferingThenPlay(*s, seen);
    });
    step(L"the title line reads " + Quoted(kPlainTitle),
         [&] { s->WaitTextIs(IDT_CONTROL_TITLE, kPlainTitle, kTickMs); });
    step(L"the URL in the box is replaced by the bare ID", [&] {
        if (std::wstring box = s->Text(IDE_CONTROL_VIDEOREF); box != L"cdPlain0001") {
            throw Failure(L"the box reads " + Quoted(box));
        }
    });
    step(L"the time text reads \"0:0x / 3:33\" and moves on", [&] {
        std::optional<TimeReading> first;
        std::wstring early = s->WaitText(
            IDT_CONTROL_TIME,
            [&](const std::wstring& t) { return (first = ParseTimeText(t)) && first->duration == 213; }, kTickMs,
            L"read m:ss / 3:33");
        if (first->current > 9) throw Failure(L"just after the start the time text reads " + Quoted(early));
        ExpectTimeMoves(*s, 213);
    });
    step(L"the position and loaded bars grow", [&] {
        s->WaitPos(IDP_CONTROL_POSITION, [](int p) { return p > 0; }, 8000, L"leave 0");
        int loaded = s->WaitPos(IDP_CONTROL_LOADED, [](int p) { return p > 0; }, kTickMs, L"leave 0");
        s->WaitPos(IDP_CONTROL_LOADED, [&](int p) { return p > loaded; }, 6000,
                   L"grow past " + std::to_wstring(loaded));
        int position = s->Pos(IDP_CONTROL_POSITION);
        int now = s->Pos(IDP_CONTROL_LOADED);
        if (now < position) {
            throw Failure("the loaded bar (" + std::to_string(now) + ") lags the position bar (" +
                          std::to_string(position) + ")");
        }
    });
    step(L"Mute ticked: the volume label reads \"0\"; unticked: \"80\" again", [&] {
        s->WaitTextIs(IDT_CONTROL_VOLUME, L"80", kTickMs);
        s->Click(IDX_CONTROL_MUTE);
        if (!PollUntil([&] { return s->Checked(IDX_CONTROL_MUTE); }, kTickMs)) throw Failure("Mute did not tick");
        s->WaitTextIs(IDT_CONTROL_VOLUME, L"0", kTickMs);
        s->Click(IDX_CONTROL_MUTE);
        if (!PollUntil([&] { return !s->Checked(IDX_CONTROL_MUTE); }, kTickMs)) throw Failure("Mute did not untick");
        s->WaitTextIs(IDT_CONTROL_VOLUME, L"80", kTickMs);
    });
    std::wstring pausedAt;
    step(L"\"||\" pauses: the status reads \"Pause\" and the time stands", [&] {
        s->Click(IDB_CONTROL_PAUSE);
        s->WaitTextIs(IDT_CONTROL_STATUS, L"Pause", kTickMs);
        ::Sleep(600);  // one poll of the panel after the pause
        pausedAt = s->Text(IDT_CONTROL_TIME);
        ::Sleep(1500);
        if (std::wstring later = s->Text(IDT_CONTROL_TIME); later != pausedAt) {
            throw Failure(L"paused, the time text went from " + Quoted(pausedAt) + L" to " + Quoted(later));
        }
    });
    step(L"Play again resumes the same video", [&] {
        s->Click(IDB_CONTROL_PLAY);
        s->WaitTextIs(IDT_CONTROL_STATUS, L"Play", kTickMs);
        s->WaitText(IDT_CONTROL_TIME, [&](const std::wstring& t) { return t != pausedAt; }, kTickMs + 1000,
                    L"move on from " + Quoted(pausedAt));
        if (std::wstring title = s->Text(IDT_CONTROL_TITLE); title != kPlainTitle) {
            throw Failure(L"the title line reads " + Quoted(title));
        }
    });
    step(L"\">|\" runs the video to its end: \"End\", then \"Go Start\" at 0:00", [&] {
        // End and the stop that follows it reach the panel in one go, so the
        // label shows "End" only in between; the trace holds both.
        std::vector<long> before = s->TracedStates();
        if (std::find(before.begin(), before.end(), 0L) != before.end()) {
            throw Failure(L"the trace shows an end before \">|\": " + Join(before));
        }
        s->Click(IDB_CONTROL_NEXT);
        s->WaitTextIs(IDT_CONTROL_STATUS, L"Go Start", 5000);
        std::vector<long> after = s->TracedStates();
        if (after.size() < 2 || after[after.size() - 2] != 0 || after.back() != 5) {
            throw Failure(L"the traced player states should end with 0 5: " + Join(after));
        }
        s->WaitTextIs(IDT_CONTROL_TIME, L"0:00 / 3:33", kTickMs);
    });
    step(L"a Japanese title: cdJapan0001 plays, the title line reads " + Quoted(kJapanTitle), [&] {
        s->PlayTyped(L"cdJapan0001");
        s->WaitTextIs(IDT_CONTROL_TITLE, kJapanTitle, kTickMs);
        ExpectTimeMoves(*s, 180);
    });
    step(L"a title with markup reads decoded: " + Quoted(kMarkupTitle), [&] {
        s->PlayTyped(L"cdMarkup001");
        s->WaitTextIs(IDT_CONTROL_TITLE, kMarkupTitle, kTickMs);
    });
    RECT player{};
    step(L"WM_CLOSE to the main window ends the process", [&] {
        player = s->PlayerRect();
        s->Close();
    });
    step(L"Clipdeck.ini holds VIDEOID=cdMarkup001 and the player window's rectangle", [&] {
        if (std::wstring id = IniString(folder, L"SYSTEM", L"VIDEOID"); id != L"cdMarkup001") {
            throw Failure(L"VIDEOID is " + Quoted(id));
        }
        RECT saved = IniPlayerRect(folder);
        if (!SameRect(saved, player)) {
            throw Failure(L"the saved rectangle " + RectText(saved) + L" is not the player window's " +
                               RectText(player));
        }
    });
    s.reset();
    step(L"a second start shows cdMarkup001 in the box", [&] {
        s.emplace(exe);
        s->WaitTextIs(IDE_CONTROL_VIDEOREF, L"cdMarkup001", kTickMs);
        s->WaitReady();
        s->Close();
    });
}

// Whatever is in the box when the program closes comes back at the next
// start, Japanese included, and so does the player window's place.
void SettingsScenario(const std::wstring& exe, const std::wstring& folder, Steps& step) {
    const std::wstring typed = L"夜景 http://www.youtube.com/watch?v=cdJapan0001";
    const RECT placed{37, 41, 37 + 320, 41 + 200};
    std::optional<Session> s;
    step(L"Clipdeck starts with no settings file and loads the player", [&] {
        s.emplace(exe);
        s->WaitReady();
        if (std::wstring box = s->Text(IDE_CONTROL_VIDEOREF); !box.empty()) {
            throw Failure(L"with no settings the box reads " + Quoted(box));
        }
    });
    step(L"the player window is moved to " + RectText(placed) + L", a text is typed and not loaded", [&] {
        ::SetWindowPos(s->Player(), nullptr, placed.left, placed.top, placed.right - placed.left,
                       placed.bottom - placed.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (!PollUntil([&] { return SameRect(s->PlayerRect(), placed); }, kTickMs)) {
            throw Failure(L"the player window is at " + RectText(s->PlayerRect()));
        }
        s->Type(typed);
    });
    step(L"WM_CLOSE ends the process", [&] { s->Close(); });
    step(L"Clipdeck.ini is UTF-16 and holds the typed text and the rectangle", [&] {
        HANDLE file = ::CreateFileW(IniPath(folder).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        unsigned char bom[2] = {};
        DWORD read = 0;
        if (file != INVALID_HANDLE_VALUE) {
            ::ReadFile(file, bom, 2, &read, nullptr);
            ::CloseHandle(file);
        }
        if (read != 2 || bom[0] != 0xFF || bom[1] != 0xFE) throw Failure("Clipdeck.ini has no UTF-16LE byte-order mark");
        if (std::wstring saved = IniString(folder, L"SYSTEM", L"VIDEOID"); saved != typed) {
            throw Failure(L"VIDEOID is " + Quoted(saved));
        }
        if (RECT saved = IniPlayerRect(folder); !SameRect(saved, placed)) {
            throw Failure(L"the saved rectangle is " + RectText(saved));
        }
    });
    s.reset();
    step(L"a second start shows the typed text and puts the player window back in place", [&] {
        s.emplace(exe);
        s->WaitTextIs(IDE_CONTROL_VIDEOREF, typed, kTickMs);
        s->WaitReady();
        if (RECT r = s->PlayerRect(); !SameRect(r, placed)) {
            throw Failure(L"the player window is at " + RectText(r));
        }
    });
    step(L"Play loads the video of the saved URL", [&] {
        s->Click(IDB_CONTROL_PLAY);
        s->WatchStatusUntil(L"Play", kEventMs);
        s->WaitTextIs(IDT_CONTROL_TITLE, kJapanTitle, kTickMs);
        s->WaitTextIs(IDE_CONTROL_VIDEOREF, L"cdJapan0001", kTickMs);
        s->Close();
    });
    s.reset();
    step(L"a third start shows the bare ID", [&] {
        s.emplace(exe);
        s->WaitTextIs(IDE_CONTROL_VIDEOREF, L"cdJapan0001", kTickMs);
        s->WaitReady();
        s->Close();
    });
}

// What the user is told when a video cannot be played, and that the panel
// still plays one afterwards, to its natural end.
void ErrorsScenario(const std::wstring& exe, const std::wstring&, Steps& step) {
    std::optional<Session> s;
    step(L"Clipdeck starts and loads the player", [&] {
        s.emplace(exe);
        s->WaitReady();
    });
    auto expectMessage = [&](const std::wstring& typed, const std::wstring& message) {
        s->Type(typed);
        s->Click(IDB_CONTROL_PLAY);
        HWND box = s->WaitMessageBox(message, kEventMs);
        if (std::wstring title = s->Text(IDT_CONTROL_TITLE); title != kLoadComplete) {
            throw Failure(L"with the message up the title line reads " + Quoted(title));
        }
        s->PressOk(box);
        if (std::wstring kept = s->Text(IDE_CONTROL_VIDEOREF); kept != typed) {
            throw Failure(L"after the message the box reads " + Quoted(kept));
        }
        if (std::wstring status = s->Text(IDT_CONTROL_STATUS); status != L"Unload") {
            throw Failure(L"after the message the status reads " + Quoted(status));
        }
    };
    step(L"Play with an empty box: \"VideoID / URLが設定されていません\"",
         [&] { expectMessage(L"", L"VideoID / URLが設定されていません"); });
    step(L"a malformed reference: \"VideoID / URLの形式に誤りがあります。\"",
         [&] { expectMessage(L"cdPlain", L"VideoID / URLの形式に誤りがあります。"); });
    step(L"an unknown ID: \"Vidoeデータが取得できません。\", OK, nothing else changes",
         [&] { expectMessage(L"cdUnknown99", L"Vidoeデータが取得できません。"); });
    step(L"a video that forbids embedding: the title line reads \"150:埋め込みプレーヤーでは再生できません.\"", [&] {
        s->Type(L"cdNoEmbed01");
        s->Click(IDB_CONTROL_PLAY);
        s->WaitTextIs(IDT_CONTROL_TITLE, L"150:埋め込みプレーヤーでは再生できません.", kEventMs);
        ::Sleep(600);  // a poll of the panel
        if (std::wstring status = s->Text(IDT_CONTROL_STATUS); status == L"Play" || status == L"Buffering") {
            throw Failure(L"the refused video shows the status " + Quoted(status));
        }
        if (s->Trace().find(L"ContolDlg::OnError(150)") == std::wstring::npos) {
            throw Failure("the monitor did not trace the error");
        }
    });
    step(L"then an 8-second video plays: \"Buffering\", \"Play\", title " + Quoted(kShortTitle), [&] {
        ExpectBufferingThenPlay(*s, s->PlayTyped(L"cdShort0008"));
        s->WaitTextIs(IDT_CONTROL_TITLE, kShortTitle, kTickMs);
        ExpectTimeMoves(*s, 8);
    });
    step(L"it ends by itself: \"End\", then \"Go Start\"", [&] {
        s->WaitTextIs(IDT_CONTROL_STATUS, L"Go Start", 15000);
        std::vector<long> states = s->TracedStates();
        if (states.size() < 2 || states[states.size() - 2] != 0 || states.back() != 5) {
            throw Failure(L"the traced player states should end with 0 5: " + Join(states));
        }
    });
    step(L"WM_CLOSE ends the process", [&] { s->Close(); });
}

// Three favourites played one after another, each from its own start offset;
// the middle one ends early by its end offset; after the last, list play
// switches itself off without stopping the player, and the history holds all
// three, newest first.
using clipdeck_ui::Favorite;

void PutFavorites(const std::wstring& folder, const std::vector<Favorite>& favorites) {
    if (!clipdeck_ui::WriteFavorites(folder, favorites)) throw Failure("cannot create Favorite.ini");
}

void ListPlayScenario(const std::wstring& exe, const std::wstring& folder, Steps& step) {
    const std::vector<Favorite> favorites = {
        {L"cdShort0008", L"Eight Second Countdown", 8, 70, 0, 0},
        {L"cdJapan0003", L"ﾃｽﾄ動画 ＃３「春」", 75, 50, 60, 10},
        {L"cdOneSecond", L"One Second of Black", 1, 90, 0, 0},
    };
    step(L"Favorite.ini holds three favourites, the middle one starting at 1:00 and ending 10 s early",
         [&] { PutFavorites(folder, favorites); });
    std::optional<Session> s;
    step(L"Clipdeck starts and loads the player", [&] {
        s.emplace(exe);
        s->WaitReady();
    });
    step(L"\"List play\" ticked: the first favourite plays at its own volume", [&] {
        s->Click(IDX_CONTROL_LISTPLAY);
        s->WaitTextIs(IDT_CONTROL_TITLE, L" " + favorites[0].title, kEventMs);
        s->WaitTextIs(IDT_CONTROL_VOLUME, L"70", kTickMs);
        if (!s->Checked(IDX_CONTROL_LISTPLAY)) throw Failure("\"List play\" is not ticked");
    });
    long latest = -1;
    step(L"the second follows from 1:00 at volume 50 and ends at its end offset, before 1:05", [&] {
        const std::wstring second = L" " + favorites[1].title;
        s->WaitTextIs(IDT_CONTROL_TITLE, second, 20000);
        s->WaitTextIs(IDT_CONTROL_VOLUME, L"50", kTickMs);
        if (s->Text(IDE_CONTROL_VIDEOREF) != favorites[1].id) throw Failure("the box does not show the second ID");
        bool left = PollUntil(
            [&] {
                if (s->Text(IDT_CONTROL_TITLE) != second) return true;
                if (auto t = ParseTimeText(s->Text(IDT_CONTROL_TIME)); t && t->duration == 75) {
                    latest = std::max(latest, t->current);
                }
                return false;
            },
            20000, kStatusPollMs);
        if (!left) throw Failure("the second favourite did not end");
        if (latest < 60 || latest >= 66) {
            throw Failure("the second favourite played up to " + std::to_string(latest) + " s, not from 60 to 65 s");
        }
    });
    step(L"the last one plays and list play switches itself off; the player is not stopped", [&] {
        s->WaitTextIs(IDT_CONTROL_TITLE, L" " + favorites[2].title, kTickMs);
        if (!PollUntil([&] { return !s->Checked(IDX_CONTROL_LISTPLAY); }, kEventMs)) {
            throw Failure("\"List play\" is still ticked after the last favourite");
        }
        s->WaitTextIs(IDT_CONTROL_STATUS, L"End", kTickMs);
        ::Sleep(1200);  // two polls: nothing stops the player afterwards
        std::vector<long> states = s->TracedStates();
        if (states.empty() || states.back() != 0) {
            throw Failure(L"after the last favourite the traced states end with " + Join(states));
        }
    });
    step(L"WM_CLOSE ends the process; History.ini holds the three, newest first", [&] {
        s->Close();
        const std::wstring path = folder + L"\\History.ini";
        for (int i = 0; i < 3; ++i) {
            wchar_t id[32] = L"";
            ::GetPrivateProfileStringW((L"ITEM" + std::to_wstring(i)).c_str(), L"VIDEOID", L"", id, 32, path.c_str());
            if (id != favorites[2 - i].id) {
                throw Failure(L"History ITEM" + std::to_wstring(i) + L" is " + Quoted(id));
            }
        }
    });
}

// --- everyday use -------------------------------------------------------------

// Who has the keyboard, as another program sees it.
struct Activation {
    HWND foreground = nullptr;
    HWND active = nullptr;
    HWND focus = nullptr;
};

Activation ReadActivation(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
    return {::GetForegroundWindow(), info.hwndActive, info.hwndFocus};
}

std::wstring WindowName(HWND window) {
    if (!window) return L"no window";
    return remote_ui::ClassOf(window) + L" " + std::to_wstring(::GetDlgCtrlID(window)) + L" " +
           Quoted(remote_ui::ReadText(window).value_or(L"")) + (::IsWindowVisible(window) ? L"" : L" (hidden)");
}

// An environment variable of the driver, which the program inherits, for
// the life of the object.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t old[512];
        const DWORD n = ::GetEnvironmentVariableW(name, old, 512);
        if (n > 0 && n < 512) old_ = old;
        ::SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { ::SetEnvironmentVariableW(name_, old_ ? old_->c_str() : nullptr); }

private:
    const wchar_t* name_;
    std::optional<std::wstring> old_;
};

void PressKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, input, sizeof(INPUT));
}

// With the player's host not answering, nothing else of the program ever
// shows: once every window of its start has been made, the main window has
// the keyboard, with the focus on its first control, and Escape closes it.
void StartFocusScenario(const std::wstring& exe, const std::wstring&, Steps& step) {
    const ScopedVariable noPlayer(L"CLIPDECK_PLAYER_HOST", L"127.0.0.1:9");
    std::optional<Session> s;
    HWND main = nullptr;
    step(L"Clipdeck starts without a player; its monitor and list windows are made, hidden", [&] {
        s.emplace(exe);
        main = ::GetAncestor(s->Item(IDT_CONTROL_TITLE), GA_ROOT);
        const DWORD pid = s->Pid();
        if (!PollUntil(
                [&] {
                    return clipdeck_ui::FindMonitorLog(pid) &&
                           clipdeck_ui::FindDialogWith(pid, IDL_FAVORITE_LIST, L"SysListView32") &&
                           clipdeck_ui::FindDialogWith(pid, IDL_HISTORY_LIST, L"SysListView32");
                },
                kTickMs)) {
            throw Failure(L"the monitor and list windows were not made:\n" + remote_ui::DescribeWindows(pid));
        }
        ::Sleep(500);  // whatever the start has left queued
        if (std::wstring title = s->Text(IDT_CONTROL_TITLE); title != L" Now player Loading ..") {
            throw Failure(L"the title line reads " + Quoted(title));
        }
    });
    step(L"the main window is the active foreground window, the focus on its first control", [&] {
        const Activation a = ReadActivation(main);
        const HWND first = ::GetNextDlgTabItem(main, nullptr, FALSE);
        if (a.foreground != main || a.active != main || a.focus != first) {
            throw Failure(L"foreground: " + WindowName(a.foreground) + L"; active: " + WindowName(a.active) +
                          L"; focus: " + WindowName(a.focus) + L"; the first control: " + WindowName(first));
        }
    });
    step(L"Escape closes the program", [&] {
        PressKey(VK_ESCAPE);
        s->WaitExitAfterKey();
    });
}

// A place in the bottom right corner of the work area, where a returning
// user left the player window: on the test desktop (1024 x 768) the list
// windows then have room beside the main window.
RECT CornerOfWorkArea(int width, int height) {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return {work.right - width, work.bottom - height, work.right, work.bottom};
}

bool Apart(const RECT& a, const RECT& b) {
    RECT both{};
    return !::IntersectRect(&both, &a, &b);
}

std::wstring FavoriteKey(const std::wstring& folder, int item, const wchar_t* key) {
    wchar_t value[512] = {};
    const std::wstring section = item < 0 ? L"SYSTEM" : L"ITEM" + std::to_wstring(item);
    ::GetPrivateProfileStringW(section.c_str(), key, L"<missing>", value, 512, (folder + L"\\Favorite.ini").c_str());
    return value;
}

// The favourites as Favorite.ini holds them: "id/volume" per item, COUNT first.
std::wstring FavoritesInFile(const std::wstring& folder) {
    std::wstring out = FavoriteKey(folder, -1, L"COUNT") + L":";
    for (int i = 0; i < 5; ++i) out += L" " + FavoriteKey(folder, i, L"VIDEOID") + L"/" + FavoriteKey(folder, i, L"VOLUME");
    return out;
}

// The list windows appear in sight the first time and where they were left
// after that, across runs; and a change made while the list file had been
// deleted, or replaced by another list, leaves the whole list in the file.
void ListWindowsScenario(const std::wstring& exe, const std::wstring& folder, Steps& step) {
    step(L"Favorite.ini holds three favourites; Clipdeck.ini has the player window in a corner", [&] {
        PutFavorites(folder, {{L"cdPlain0001", L"One", 213, 31, 0, 0},
                              {L"cdPlain0002", L"Two", 487, 32, 0, 0},
                              {L"cdPlain0003", L"Three", 95, 33, 0, 0}});
        const RECT corner = CornerOfWorkArea(330, 185);
        for (auto [key, value] : {std::pair{L"POS_LEFT", corner.left}, {L"POS_TOP", corner.top},
                                  {L"POS_RIGHT", corner.right}, {L"POS_BOTTOM", corner.bottom}}) {
            ::WritePrivateProfileStringW(L"PLAYER", key, std::to_wstring(value).c_str(), IniPath(folder).c_str());
        }
    });
    std::optional<Session> s;
    HWND favorites = nullptr, history = nullptr;
    auto showLists = [&] {
        s->Click(IDB_CONTROL_FAVORITE);
        s->Click(IDB_CONTROL_HISTORY);
        const DWORD pid = s->Pid();
        if (!PollUntil(
                [&] {
                    favorites = clipdeck_ui::FindDialogWith(pid, IDL_FAVORITE_LIST, L"SysListView32");
                    history = clipdeck_ui::FindDialogWith(pid, IDL_HISTORY_LIST, L"SysListView32");
                    return ::IsWindowVisible(favorites) && ::IsWindowVisible(history);
                },
                kTickMs)) {
            throw Failure(L"the list windows did not show:\n" + remote_ui::DescribeWindows(pid));
        }
    };
    auto rectOf = [](HWND w) {
        RECT r{};
        ::GetWindowRect(w, &r);
        return r;
    };
    step(L"\"Favorite list\" and \"History list\" show their windows beside the main window, off it and the "
         L"player window, inside the work area",
         [&] {
             s.emplace(exe);
             s->WaitReady();
             showLists();
             const HWND main = ::GetAncestor(s->Item(IDT_CONTROL_TITLE), GA_ROOT);
             MONITORINFO monitor{};
             monitor.cbSize = sizeof monitor;
             ::GetMonitorInfoW(::MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor);
             for (HWND list : {favorites, history}) {
                 const RECT r = rectOf(list);
                 RECT inside{};
                 ::IntersectRect(&inside, &r, &monitor.rcWork);
                 if (!Apart(r, rectOf(main)) || !Apart(r, s->PlayerRect()) || !::EqualRect(&inside, &r)) {
                     throw Failure(L"a list window at " + RectText(r) + L"; the main window at " +
                                   RectText(rectOf(main)) + L", the player window at " + RectText(s->PlayerRect()) +
                                   L", the work area " + RectText(monitor.rcWork));
                 }
             }
         });
    const RECT placed{40, 40, 0, 0};
    RECT historyAt{};
    step(L"the favourites window is moved; WM_CLOSE writes both places into Clipdeck.ini", [&] {
        ::SetWindowPos(favorites, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        historyAt = rectOf(history);
        s->Close();
        auto saved = [&](const wchar_t* section, const wchar_t* key) {
            return static_cast<LONG>(::GetPrivateProfileIntW(section, key, -1, IniPath(folder).c_str()));
        };
        if (saved(L"FAVORITE", L"POS_LEFT") != placed.left || saved(L"FAVORITE", L"POS_TOP") != placed.top ||
            saved(L"HISTORY", L"POS_LEFT") != historyAt.left) {
            throw Failure(L"Clipdeck.ini holds the favourites at " + std::to_wstring(saved(L"FAVORITE", L"POS_LEFT")) +
                          L"," + std::to_wstring(saved(L"FAVORITE", L"POS_TOP")));
        }
    });
    s.reset();
    step(L"a second start shows each list window where it was left", [&] {
        s.emplace(exe);
        s->WaitReady();
        showLists();
        const RECT f = rectOf(favorites), h = rectOf(history);
        if (f.left != placed.left || f.top != placed.top || h.left != historyAt.left || h.top != historyAt.top) {
            throw Failure(L"the favourites are at " + RectText(f) + L", the history at " + RectText(h));
        }
    });
    auto command = [&](int row, int button) {
        DWORD_PTR result = 0;
        HWND list = ::GetDlgItem(favorites, IDL_FAVORITE_LIST);
        if (!::SendMessageTimeoutW(list, LVM_SETSELECTIONMARK, 0, row, SMTO_NORMAL, remote_ui::kAnswerMs, &result) ||
            !::SendMessageTimeoutW(favorites, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(::GetDlgItem(favorites, button)), SMTO_NORMAL,
                                   remote_ui::kAnswerMs, &result)) {
            throw Failure("the favourites window does not answer");
        }
    };
    step(L"Favorite.ini deleted, the top favourite moved down: the file holds all three in the new order", [&] {
        if (!::DeleteFileW((folder + L"\\Favorite.ini").c_str())) throw Failure("cannot delete Favorite.ini");
        command(0, IDB_FAVORITE_DOWN);
        const std::wstring expected = L"3: cdPlain0002/32 cdPlain0001/31 cdPlain0003/33 <missing>/<missing> <missing>/<missing>";
        if (std::wstring held = FavoritesInFile(folder); held != expected) throw Failure(L"Favorite.ini holds " + held);
    });
    step(L"Favorite.ini replaced by another list of two, the last favourite moved up: the file holds the three", [&] {
        PutFavorites(folder, {{L"cdOther0001", L"Other", 10, 91, 0, 0}, {L"cdOther0002", L"Other 2", 10, 92, 0, 0}});
        command(2, IDB_FAVORITE_UP);
        const std::wstring expected = L"3: cdPlain0002/32 cdPlain0003/33 cdPlain0001/31 <missing>/<missing> <missing>/<missing>";
        if (std::wstring held = FavoritesInFile(folder); held != expected) throw Failure(L"Favorite.ini holds " + held);
        s->Close();
    });
}

// A real clip from the service's media folder (its ID comes in
// CLIPDECK_E2E_CLIP): the read-outs follow the decoded video through pause,
// ">>", "<<", Stop and ">|"; then, as a favourite with its own volume and
// offsets, list play runs it from its start offset to its end offset.
void RealMediaScenario(const std::wstring& exe, const std::wstring& folder, Steps& step) {
    const wchar_t* env = _wgetenv(L"CLIPDECK_E2E_CLIP");
    if (env == nullptr || *env == L'\0') throw Failure("CLIPDECK_E2E_CLIP names no clip (run through run-e2e.sh)");
    const std::wstring clip = env;
    const std::wstring title = L" Harbour Lights (real media)";
    step(L"Favorite.ini holds the clip at volume 40, from 0:25 to 5 s before its end",
         [&] { PutFavorites(folder, {{clip, L"Harbour Lights (real media)", 40, 40, 25, 5}}); });
    std::optional<Session> s;
    step(L"Clipdeck starts and loads the player", [&] {
        s.emplace(exe);
        s->WaitReady();
    });
    long duration = 0;
    step(L"Play: \"Buffering\", then \"Play\"; the title and length come from the file", [&] {
        // The first real clip in a process brings up the media stack, which
        // takes seconds on a loaded machine.
        s->Type(clip);
        s->Click(IDB_CONTROL_PLAY);
        ExpectBufferingThenPlay(*s, s->WatchStatusUntil(L"Play", kFirstMediaMs));
        s->WaitTextIs(IDT_CONTROL_TITLE, title, kTickMs);
        std::optional<TimeReading> t;
        s->WaitText(IDT_CONTROL_TIME, [&](const std::wstring& text) { return (t = ParseTimeText(text)) && t->duration > 0; },
                    kTickMs, L"show a length");
        if (t->duration < 39 || t->duration > 40) throw Failure("the clip is 40 s long, the panel says " + std::to_string(t->duration));
        duration = t->duration;
        ExpectTimeMoves(*s, duration);
    });
    auto current = [&] {
        std::optional<TimeReading> t = ParseTimeText(s->Text(IDT_CONTROL_TIME));
        return t ? t->current : -1;
    };
    auto waitCurrent = [&](const std::function<bool(long)>& ok, const std::wstring& expectation) {
        s->WaitText(IDT_CONTROL_TIME, [&](const std::wstring& text) {
            std::optional<TimeReading> t = ParseTimeText(text);
            return t && t->duration == duration && ok(t->current);
        }, kEventMs, expectation);
    };
    step(L"\"||\" pauses the decoded video; Play resumes it", [&] {
        s->Click(IDB_CONTROL_PAUSE);
        s->WaitTextIs(IDT_CONTROL_STATUS, L"Pause", kTickMs);
        ::Sleep(600);  // one poll of the panel after the pause
        const std::wstring pausedAt = s->Text(IDT_CONTROL_TIME);
        ::Sleep(1500);
        if (std::wstring later = s->Text(IDT_CONTROL_TIME); later != pausedAt) {
            throw Failure(L"paused, the time text went from " + Quoted(pausedAt) + L" to " + Quoted(later));
        }
        s->Click(IDB_CONTROL_PLAY);
        s->WaitTextIs(IDT_CONTROL_STATUS, L"Play", kTickMs);
        s->WaitText(IDT_CONTROL_TIME, [&](const std::wstring& t) { return t != pausedAt; }, kTickMs + 1000,
                    L"move on from " + Quoted(pausedAt));
    });
    step(L"\">>\" jumps 30 s ahead and \"<<\" 10 s back in the real video", [&] {
        const long before = current();
        if (before < 0 || before > 8) throw Failure("before \">>\" the time is " + std::to_string(before) + " s");
        s->Click(IDB_CONTROL_FORWARD);
        waitCurrent([&](long c) { return c >= before + 29 && c < duration; }, L"reach " + std::to_wstring(before + 30) + L" s");
        const long ahead = current();
        s->Click(IDB_CONTROL_BACK);
        waitCurrent([&](long c) { return c >= ahead - 11 && c <= ahead - 8; }, L"go back to about " + std::to_wstring(ahead - 10) + L" s");
        s->WaitTextIs(IDT_CONTROL_STATUS, L"Play", kTickMs);
    });
    step(L"Stop: \"Go Start\" at 0:00; Play starts it again from the beginning", [&] {
        s->Click(IDB_CONTROL_STOP);
        s->WaitTextIs(IDT_CONTROL_STATUS, L"Go Start", kTickMs);
        waitCurrent([](long c) { return c == 0; }, L"read 0:00");
        s->Click(IDB_CONTROL_PLAY);
        s->WatchStatusUntil(L"Play", kEventMs);
        waitCurrent([](long c) { return c >= 1 && c <= 6; }, L"move on from the start");
    });
    step(L"\">|\" runs the real video to its end: the traced states end 0 5, the time reads 0:00", [&] {
        s->Click(IDB_CONTROL_NEXT);
        s->WaitTextIs(IDT_CONTROL_STATUS, L"Go Start", kEventMs);
        std::vector<long> states = s->TracedStates();
        if (states.size() < 2 || states[states.size() - 2] != 0 || states.back() != 5) {
            throw Failure(L"the traced player states should end with 0 5: " + Join(states));
        }
        waitCurrent([](long c) { return c == 0; }, L"read 0:00");
        if (std::wstring t = s->Text(IDT_CONTROL_TITLE); t != title) throw Failure(L"the title line reads " + Quoted(t));
    });
    step(L"list play: the favourite plays at volume 40 from 0:25 and stops at its end offset", [&] {
        s->Click(IDX_CONTROL_LISTPLAY);
        s->WaitTextIs(IDT_CONTROL_VOLUME, L"40", kEventMs);
        long first = -1, latest = -1;
        bool ended = PollUntil(
            [&] {
                if (auto t = ParseTimeText(s->Text(IDT_CONTROL_TIME)); t && t->duration == duration && t->current > 0) {
                    if (first < 0) first = t->current;
                    latest = std::max(latest, t->current);
                }
                return !s->Checked(IDX_CONTROL_LISTPLAY);
            },
            25000, kStatusPollMs);
        if (!ended) throw Failure("list play did not end after the only favourite");
        if (first < 25 || first > 28 || latest > duration - 5 + 1) {
            throw Failure("the favourite played from " + std::to_string(first) + " s to " + std::to_string(latest) +
                          " s, not from 25 s to " + std::to_string(duration - 5) + " s");
        }
        if (std::wstring t = s->Text(IDT_CONTROL_TITLE); t != title) throw Failure(L"the title line reads " + Quoted(t));
    });
    step(L"WM_CLOSE ends the process", [&] { s->Close(); });
}

struct Scenario {
    const wchar_t* name;
    void (*run)(const std::wstring& exe, const std::wstring& folder, Steps& step);
};

constexpr Scenario kScenarios[] = {
    {L"play", PlayScenario},
    {L"settings", SettingsScenario},
    {L"errors", ErrorsScenario},
    {L"listplay", ListPlayScenario},
    {L"startfocus", StartFocusScenario},
    {L"listwindows", ListWindowsScenario},
    {L"realmedia", RealMediaScenario},
};

// Runs one scenario against a fresh copy of the program; the scratch folder
// is kept when it fails, for a look at its files.
bool Run(const Scenario& scenario, const std::wstring& program) {
    Print(std::wstring(L"[") + scenario.name + L"]");
    const double start = NowMs();
    Steps step;
    std::wstring folder;
    try {
        folder = remote_ui::MakeScratchFolder(scenario.name);
        std::wstring copy = remote_ui::CopyInto(program, folder);
        scenario.run(copy, folder, step);
    } catch (const std::exception& e) {
        Print(L"  FAIL  " + (step.Current().empty() ? std::wstring(L"setting up") : step.Current()));
        Print(L"        " + remote_ui::Widen(e.what()));
        if (!folder.empty()) Print(L"        scratch folder kept: " + folder);
        return false;
    }
    remote_ui::RemoveScratchFolder(folder);
    wchar_t took[64];
    std::swprintf(took, 64, L"  passed in %.1f s", (NowMs() - start) / 1000.0);
    Print(took);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Line ends as written: the output goes to a Unix pipe under CTest.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) {
        std::fputs("usage: clipdeck_drive Clipdeck.exe [play|settings|errors|listplay|startfocus|listwindows|realmedia]...\n",
                   stderr);
        return 2;
    }
    wchar_t full[MAX_PATH];
    if (!::GetFullPathNameW(argv[1], MAX_PATH, full, nullptr) ||
        ::GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "clipdeck_drive: no program at %s\n", Utf8(argv[1]).c_str());
        return 2;
    }
    std::vector<const Scenario*> chosen;
    for (int i = 2; i < argc; ++i) {
        auto found = std::find_if(std::begin(kScenarios), std::end(kScenarios),
                                  [&](const Scenario& s) { return std::wstring(s.name) == argv[i]; });
        if (found == std::end(kScenarios)) {
            std::fprintf(stderr, "clipdeck_drive: no scenario %s\n", Utf8(argv[i]).c_str());
            return 2;
        }
        chosen.push_back(&*found);
    }
    if (chosen.empty()) {
        for (const Scenario& s : kScenarios) chosen.push_back(&s);
    }
    int failed = 0;
    for (const Scenario* s : chosen) {
        if (!Run(*s, full)) ++failed;
    }
    return failed == 0 ? 0 : 1;
}
