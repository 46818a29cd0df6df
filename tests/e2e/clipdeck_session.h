#pragma once
// A run of Clipdeck driven from outside, for the end-to-end drivers: waits
// for its windows, reads and types into the control panel, follows the
// status, and prints each step as it passes. Every wait is bounded and
// throws remote_ui::Failure, saying what it saw, when a step does not come
// true.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"

namespace clipdeck_session {

using namespace clipdeck_driver;
using clipdeck_ui::ControlName;
using clipdeck_ui::kLoadComplete;
using clipdeck_ui::ParseTimeText;
using clipdeck_ui::TimeReading;

// Something the panel's 500 ms poll picks up.
inline constexpr DWORD kTickMs = 3000;
inline constexpr DWORD kExitMs = 10000;
// Play to the first decoded frame of the first real clip in a process.
inline constexpr DWORD kFirstMediaMs = 30000;

inline constexpr DWORD kStatusPollMs = 20;

inline std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

inline bool ContainsInOrder(const std::vector<long>& seen, const std::vector<long>& wanted) {
    auto at = seen.begin();
    for (long w : wanted) {
        at = std::find(at, seen.end(), w);
        if (at == seen.end()) return false;
        ++at;
    }
    return true;
}

inline std::wstring Join(const std::vector<long>& values) {
    std::wstring out;
    for (long v : values) out += (out.empty() ? L"" : L" ") + std::to_wstring(v);
    return out;
}

inline std::wstring Join(const std::vector<std::wstring>& values) {
    std::wstring out;
    for (const std::wstring& v : values) out += (out.empty() ? L"" : L", ") + Quoted(v);
    return out;
}

// Prints each step as it passes; a failing step's name goes with the failure.
class Steps {
public:
    void operator()(const std::wstring& what, const std::function<void()>& body) {
        current_ = what;
        const double start = NowMs();
        body();
        wchar_t took[32];
        std::swprintf(took, 32, L" (%.0f ms)", NowMs() - start);
        Print(L"  ok    " + what + took);
        current_.clear();
    }
    const std::wstring& Current() const { return current_; }

private:
    std::wstring current_;
};

// One run of the program and its windows.
class Session {
public:
    explicit Session(const std::wstring& exe, const std::wstring& arguments = L"") : program_(exe, arguments) {
        if (!PollUntil([&] { return (windows_ = clipdeck_ui::FindMain(program_.Pid())).has_value(); }, kStartMs)) {
            throw Failure("no main window with the control panel within " + std::to_string(kStartMs) + " ms");
        }
    }

    DWORD Pid() const { return program_.Pid(); }
    HWND Main() const { return windows_->main; }
    remote_ui::Program& Process() { return program_; }
    HWND Item(int id) const { return windows_->Item(id); }

    std::wstring Text(int id) const {
        std::optional<std::wstring> text = remote_ui::ReadText(Item(id));
        if (!text) throw Failure(ControlName(id) + L" does not answer");
        return *text;
    }

    // Waits until the control's text passes `ok`; returns that text.
    std::wstring WaitText(int id, const std::function<bool(const std::wstring&)>& ok, DWORD timeoutMs,
                          const std::wstring& expectation) const {
        std::optional<std::wstring> last;
        if (PollUntil([&] { return (last = remote_ui::ReadText(Item(id))) && ok(*last); }, timeoutMs)) return *last;
        throw Failure(ControlName(id) + L" did not " + expectation + L" within " + std::to_wstring(timeoutMs) +
                           L" ms; it reads " + (last ? Quoted(*last) : L"nothing (no answer)"));
    }

    void WaitTextIs(int id, const std::wstring& expected, DWORD timeoutMs) const {
        WaitText(id, [&](const std::wstring& t) { return t == expected; }, timeoutMs, L"read " + Quoted(expected));
    }

    int Pos(int id) const {
        std::optional<int> pos = remote_ui::ProgressPos(Item(id));
        if (!pos) throw Failure(ControlName(id) + L" does not answer");
        return *pos;
    }

    int WaitPos(int id, const std::function<bool(int)>& ok, DWORD timeoutMs, const std::wstring& expectation) const {
        std::optional<int> last;
        if (PollUntil([&] { return (last = remote_ui::ProgressPos(Item(id))) && ok(*last); }, timeoutMs)) return *last;
        throw Failure(ControlName(id) + L" did not " + expectation + L" within " + std::to_wstring(timeoutMs) +
                           L" ms; it is at " + (last ? std::to_wstring(*last) : L"nothing (no answer)"));
    }

    bool Checked(int id) const {
        std::optional<bool> checked = remote_ui::IsChecked(Item(id));
        if (!checked) throw Failure(ControlName(id) + L" does not answer");
        return *checked;
    }

    void Type(const std::wstring& text) const {
        if (!remote_ui::WriteText(Item(IDE_CONTROL_VIDEOREF), text) || Text(IDE_CONTROL_VIDEOREF) != text) {
            throw Failure(L"could not put " + Quoted(text) + L" into the VideoID / Url box");
        }
    }

    void Click(int id) const { remote_ui::PostClick(Item(id)); }

    // Records every distinct status reading until the status reads `last`.
    std::vector<std::wstring> WatchStatusUntil(const std::wstring& last, DWORD timeoutMs) const {
        std::vector<std::wstring> seen;
        bool reached = PollUntil(
            [&] {
                std::optional<std::wstring> text = remote_ui::ReadText(Item(IDT_CONTROL_STATUS));
                if (!text) return false;
                if (seen.empty() || seen.back() != *text) seen.push_back(*text);
                return *text == last;
            },
            timeoutMs, kStatusPollMs);
        if (!reached) {
            throw Failure(L"the status did not reach " + Quoted(last) + L" within " + std::to_wstring(timeoutMs) +
                               L" ms; it read " + Join(seen));
        }
        return seen;
    }

    HWND WaitMessageBox(const std::wstring& text, DWORD timeoutMs) const {
        HWND box = nullptr;
        if (PollUntil([&] { return (box = remote_ui::FindMessageBox(Pid(), text, windows_->main)) != nullptr; },
                      timeoutMs)) {
            return box;
        }
        throw Failure(L"no message box " + Quoted(text) + L" within " + std::to_wstring(timeoutMs) +
                           L" ms; the program's windows:\n" + remote_ui::DescribeWindows(Pid()));
    }

    // Presses OK and waits until the box is gone.
    void PressOk(HWND box) const {
        remote_ui::PostClick(::GetDlgItem(box, IDOK));
        if (!PollUntil([&] { return !::IsWindow(box) || !::IsWindowVisible(box); }, kTickMs)) {
            throw Failure("the message box did not close after OK");
        }
    }

    std::wstring Trace() const {
        HWND log = clipdeck_ui::FindMonitorLog(Pid());
        std::optional<std::wstring> text = log ? remote_ui::ReadText(log) : std::nullopt;
        if (!text) throw Failure("the monitor window's log cannot be read");
        return *text;
    }

    std::vector<long> TracedStates() const { return clipdeck_ui::TracedStates(Trace()); }

    HWND Player() const {
        HWND player = clipdeck_ui::FindPlayer(Pid());
        if (!player) throw Failure("no player window");
        return player;
    }

    RECT PlayerRect() const {
        RECT r{};
        ::GetWindowRect(Player(), &r);
        return r;
    }

    void WaitReady() const {
        WaitTextIs(IDT_CONTROL_TITLE, kLoadComplete, kReadyMs);
        if (!PollUntil([&] { return ::IsWindowVisible(Player()) != FALSE; }, kTickMs)) {
            throw Failure("the player window was not shown");
        }
    }

    // Types `ref`, presses Play and waits through Buffering to Play.
    std::vector<std::wstring> PlayTyped(const std::wstring& ref) const {
        Type(ref);
        Click(IDB_CONTROL_PLAY);
        return WatchStatusUntil(L"Play", kEventMs);
    }

    void Close() {
        ::PostMessageW(windows_->main, WM_CLOSE, 0, 0);
        if (!program_.WaitExit(kExitMs)) {
            throw Failure("the process did not end within " + std::to_string(kExitMs) + " ms of WM_CLOSE");
        }
    }

    void WaitExitAfterKey() {
        if (!program_.WaitExit(kExitMs)) {
            throw Failure("the process did not end within " + std::to_string(kExitMs) + " ms of the key");
        }
    }

private:
    remote_ui::Program program_;
    std::optional<clipdeck_ui::MainWindows> windows_;
};

// The status went Buffering, then Play: as read from the label, and as the
// panel traced the player's reports.
inline void ExpectBufferingThenPlay(const Session& s, const std::vector<std::wstring>& seen) {
    auto buffering = std::find(seen.begin(), seen.end(), L"Buffering");
    if (buffering == seen.end() || buffering + 1 == seen.end()) {
        throw Failure(L"the status should read \"Buffering\" before \"Play\"; it read " + Join(seen));
    }
    std::vector<long> states = s.TracedStates();
    if (!ContainsInOrder(states, {3, 1})) {
        throw Failure(L"the traced player states should hold 3 then 1: " + Join(states));
    }
}

// The time text reads "m:ss / <duration>" and moves on.
inline void ExpectTimeMoves(const Session& s, long durationSeconds) {
    std::optional<TimeReading> first;
    s.WaitText(
        IDT_CONTROL_TIME,
        [&](const std::wstring& t) { return (first = ParseTimeText(t)) && first->duration == durationSeconds; },
        kTickMs, L"read m:ss / " + std::to_wstring(durationSeconds / 60) + L":" +
                     (durationSeconds % 60 < 10 ? L"0" : L"") + std::to_wstring(durationSeconds % 60));
    s.WaitText(
        IDT_CONTROL_TIME,
        [&](const std::wstring& t) {
            std::optional<TimeReading> now = ParseTimeText(t);
            return now && now->duration == durationSeconds && now->current > first->current;
        },
        kTickMs + 1000, L"move on from " + std::to_wstring(first->current) + L" s");
}

}  // namespace clipdeck_session
