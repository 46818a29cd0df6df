// The favourites and the history loaded from an edited list file, then
// changed. The input is INI-like text: "[section]" lines, "key=value" lines,
// and "!ops" lines whose characters are operations run after the load (see
// Run). After every step the lists must keep their bounds, and the file must
// read back as what the list shows, its texts cut to what a read keeps (a
// title made longer in memory is written whole and read back cut).
#include <algorithm>
#include <vector>

#include "favorites/favorite_store.h"
#include "fuzz_input.h"
#include "history/history_store.h"
#include "memory_profile.h"

namespace {

using clipdeck::test::MemoryProfile;

std::vector<VideoItem> AsReadBack(std::vector<VideoItem> items) {
    for (VideoItem& item : items) {
        item.videoId.resize(std::min(item.videoId.size(), kMaxListTextChars));
        item.title.resize(std::min(item.title.size(), kMaxListTextChars));
    }
    return items;
}

void CheckFavorites(const FavoriteStore& store, MemoryProfile& file, bool readBack) {
    FUZZ_CHECK(store.count() >= 0 && store.count() <= MaxFavorites);
    FUZZ_CHECK(store.currentIndex() >= -1 && store.currentIndex() < store.count());
    if (!readBack) return;
    FavoriteStore reread(file);
    reread.LoadFavorites();
    FUZZ_CHECK(reread.items() == AsReadBack(store.items()));
}

void CheckHistory(const HistoryStore& store, MemoryProfile& file, bool readBack) {
    FUZZ_CHECK(store.count() >= 0 && store.count() <= MaxHistory);
    if (!readBack) return;
    HistoryStore reread(file);
    reread.LoadHistory();
    FUZZ_CHECK(reread.items() == AsReadBack(store.items()));
}

VideoItem NewItem(int serial, wchar_t seed) {
    VideoItem item;
    item.videoId = L"fuzzvid" + std::to_wstring(serial % 4) + std::wstring(3, seed);
    item.title = L"title " + std::to_wstring(serial);
    item.duration = serial * 7;
    item.volume = serial % 101;
    item.startPos = serial % 5;
    item.endPos = serial % 3;
    return item;
}

// One character per operation; those that take a row read it from the next
// character (its value modulo 17, less one: -1 to 15). At most kMaxOps:
// longer runs find nothing new, slowly. The files are read back (which is
// what makes a step slow) before a save or a load and at the end: a file
// that fell behind the list stays behind until one of those.
constexpr std::size_t kMaxOps = 32;

void Run(const std::wstring& ops, FavoriteStore& favorites, MemoryProfile& favoriteFile, HistoryStore& history,
         MemoryProfile& historyFile) {
    int serial = 0;
    for (std::size_t i = 0; i < ops.size() && i < kMaxOps; ++i) {
        const wchar_t op = ops[i];
        auto row = [&] { return i + 1 < ops.size() ? static_cast<int>(ops[++i] % 17) - 1 : 0; };
        VideoItem out;
        ++serial;
        switch (op) {
        case L'a': favorites.AddItem(NewItem(serial, i + 1 < ops.size() ? ops[i + 1] : L'x')); break;
        case L'u': {
            auto item = favorites.ItemAt(row());
            if (item) {
                item->title += L"+";
                item->volume = serial % 101;
                FUZZ_CHECK(favorites.UpdateItem(*item));
            }
            break;
        }
        case L'n': favorites.NextItem(out); break;
        case L'p': favorites.PrevItem(out); break;
        case L'r': favorites.RemoveItem(row()); break;
        case L'k': favorites.MoveItemUp(row()); break;
        case L'j': favorites.MoveItemDown(row()); break;
        case L'c': {
            const int index = row();
            FUZZ_CHECK(favorites.SetCurrentIndex(index) == (index == -1 || favorites.IsRow(index)));
            break;
        }
        case L'h': history.AddHistory(NewItem(serial, i + 1 < ops.size() ? ops[i + 1] : L'y')); break;
        case L'x': history.RemoveHistory(row()); break;
        case L't': history.ReplaceTitle(row(), L"new title " + std::to_wstring(serial)); break;
        case L's':
            CheckFavorites(favorites, favoriteFile, true);
            CheckHistory(history, historyFile, true);
            favorites.SaveFavorites();
            history.SaveHistory();
            break;
        case L'l':
            CheckFavorites(favorites, favoriteFile, true);
            CheckHistory(history, historyFile, true);
            favorites.LoadFavorites();
            history.LoadHistory();
            FUZZ_CHECK(favorites.currentIndex() == -1);
            break;
        default: continue;
        }
        CheckFavorites(favorites, favoriteFile, false);
        CheckHistory(history, historyFile, false);
    }
    CheckFavorites(favorites, favoriteFile, true);
    CheckHistory(history, historyFile, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::Wide(fuzz::Bytes(data, size));

    MemoryProfile favoriteFile, historyFile;
    std::wstring section, ops;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty() && line[0] == L'!') {
            ops += line.substr(1);
        } else if (!line.empty() && line[0] == L'[') {
            section = line.substr(1, line.find(L']') - 1);
        } else if (std::size_t eq = line.find(L'='); eq != std::wstring::npos) {
            favoriteFile.WriteString(section, line.substr(0, eq), line.substr(eq + 1));
            historyFile.WriteString(section, line.substr(0, eq), line.substr(eq + 1));
        }
    }

    FavoriteStore favorites(favoriteFile);
    favorites.LoadFavorites();
    HistoryStore history(historyFile);
    history.LoadHistory();
    CheckFavorites(favorites, favoriteFile, true);
    CheckHistory(history, historyFile, true);
    Run(ops, favorites, favoriteFile, history, historyFile);
    return 0;
}
