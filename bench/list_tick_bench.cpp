// Prints what one tick of the panel's 500 ms timer costs with list play on,
// next to the same tick with list play off: the time of the tick and the
// player calls it makes. The panel runs in the real main window with the
// scripted player control standing in for the player, so the figures are
// the panel's own work plus the call round trips. It decides nothing.
//
//   list_tick_bench [--ticks N]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/clipdeck_dlg.h"
#include "core/environment.h"
#include "fake_player.h"
#include "res/resource.h"
#include "ui_test.h"

using clipdeck::test::FakePlayer;

namespace {

std::wstring number(double value) {
    wchar_t text[64];
    std::swprintf(text, 64, L"<number>%g</number>", value);
    return text;
}

struct Figures {
    double medianUs = 0;
    double p99Us = 0;
    double callsPerTick = 0;
};

Figures measure(CControlDlg& panel, int ticks) {
    FakePlayer& fake = FakePlayer::Instance();
    std::vector<double> times;
    size_t calls = 0;
    for (int i = 0; i < ticks; ++i) {
        const size_t before = fake.calls().size();
        auto start = std::chrono::steady_clock::now();
        panel.Poll();
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        calls += fake.calls().size() - before;
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 99 / 100], static_cast<double>(calls) / ticks};
}

}  // namespace

int main(int argc, char** argv) {
    int ticks = 2000;
    if (argc == 3 && std::string(argv[1]) == "--ticks") ticks = std::max(10, std::atoi(argv[2]));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_LINK_CLASS};
    ::InitCommonControlsEx(&icc);
    FakePlayer::Register();
    AppEnvironment().directory = clipdeck::test::ScratchFolder();
    clipdeck::test::MessageCatcher catcher;

    CClipdeckDlg main;
    if (!main.Create(nullptr)) return 1;
    FakePlayer& fake = FakePlayer::Instance();
    fake.FireReadyState(4);
    fake.FireFlashCall(
        L"<invoke name=\"onYouTubePlayerReady\" returntype=\"xml\"><arguments><string></string></arguments></invoke>");
    // A video two thirds through, far from any end offset.
    fake.Reply(L"getDuration", number(180));
    fake.Reply(L"getCurrentTime", number(120));
    fake.Reply(L"getVideoBytesLoaded", number(5000000));
    fake.Reply(L"getVideoBytesTotal", number(9000000));
    fake.Reply(L"getVolume", number(80));
    CControlDlg& panel = main.controlPanel();

    Figures off = measure(panel, ticks);
    FavoriteStore& favorites = panel.favorites().favorites();
    for (int i = 0; i < 15; ++i) {
        VideoItem item;
        item.videoId = L"cdTick" + std::to_wstring(10000 + i);
        item.title = L"Tick " + std::to_wstring(i);
        item.duration = 180;
        item.endPos = 20;
        favorites.AddItem(item);
    }
    clipdeck::test::Click(panel.hwnd(), IDX_CONTROL_LISTPLAY);
    fake.FireFlashCall(L"<invoke name=\"onStateChangeHandler\" returntype=\"xml\"><arguments><number>1</number>"
                       L"</arguments></invoke>");
    Figures on = measure(panel, ticks);

    std::printf("one tick of the panel's timer, %d ticks each (median / 99th percentile, player calls per tick)\n",
                ticks);
    std::printf("  list play off: %7.1f us / %7.1f us, %.1f calls\n", off.medianUs, off.p99Us, off.callsPerTick);
    std::printf("  list play on:  %7.1f us / %7.1f us, %.1f calls (end offset in force)\n", on.medianUs, on.p99Us,
                on.callsPerTick);
    main.DestroyWindow();
    return 0;
}
