// Prints what keeping the favourites on change costs: each change writes the
// whole list at once, the file made in memory (what the file held, with
// every key of the list set) and put in place by one rename. What the file
// held is what this process last wrote while the file is still that one,
// and is read back through the profile functions when another program has
// written it meanwhile (the last row). Each figure is the median of many
// runs against a real INI file in the temporary folder. It prints figures
// and decides nothing.
//
//   list_write_bench [--runs N]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "favorites/favorite_store.h"
#include "framework/profile.h"

namespace {

VideoItem Favorite(int n) {
    return VideoItem{L"cdBench" + std::to_wstring(1000 + n), L"Benchmark video " + std::to_wstring(n) + L": 日本語 and Café",
                     180 + n, 80 - n, n, 0};
}

// Median milliseconds of `runs` calls of `step`, each after an untimed call
// of `prepare`.
double MedianMs(int runs, const std::function<void(int)>& step, const std::function<void(int)>& prepare = {}) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare) prepare(i);
        auto start = std::chrono::steady_clock::now();
        step(i);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 50;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], L"--runs") == 0) runs = std::max(1, _wtoi(argv[i + 1]));
    }
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"clipdeck-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(folder.c_str(), nullptr);
    IniProfile file(folder + L"\\Favorite.ini");

    FavoriteStore store(file);
    for (int i = MaxFavorites - 1; i >= 0; --i) store.AddItem(Favorite(i));
    const double saveNew = MedianMs(runs, [&](int) {
        ::DeleteFileW(file.path().c_str());
        store.SaveFavorites();
    });
    const double saveSame = MedianMs(runs, [&](int) { store.SaveFavorites(); });
    const double addTop = MedianMs(runs, [&](int i) { store.AddItem(Favorite(100 + i)); });
    const double moveUp = MedianMs(runs, [&](int i) { store.MoveItemUp(1 + i % (MaxFavorites - 1)); });
    const double update = MedianMs(runs, [&](int i) {
        VideoItem item = store.items()[7];
        item.volume = i % 100;
        store.UpdateItem(item);
    });
    // Another program's whole write of the file (another profile object).
    IniProfile other(file.path());
    const double afterOther = MedianMs(
        runs, [&](int i) { store.MoveItemUp(1 + i % (MaxFavorites - 1)); },
        [&](int i) { other.WriteInt(L"ELSEWHERE", L"RUN", i); });

    std::printf("favourites file, %d items, written whole, median of %d runs:\n", MaxFavorites, runs);
    std::printf("  save into a new file:                      %8.3f ms\n", saveNew);
    std::printf("  save over the same list:                   %8.3f ms\n", saveSame);
    std::printf("on each change:\n");
    std::printf("  add at the top of a full list (all move):  %8.3f ms\n", addTop);
    std::printf("  move one row up (two rows change):         %8.3f ms\n", moveUp);
    std::printf("  change one item's volume:                  %8.3f ms\n", update);
    std::printf("  move one row up, the file rewritten by another program since: %8.3f ms\n", afterOther);

    ::DeleteFileW(file.path().c_str());
    ::RemoveDirectoryW(folder.c_str());
    return 0;
}
