// Soak test of the favourites and history files: runs Clipdeck again and
// again on one data folder, changes the lists through window messages, then
// closes the program or kills it at a random moment, and checks that the
// files still load and hold every change that had completed.
//
//   clipdeck_soak Clipdeck.exe CYCLES [SEED]
//
// A change counts as completed when the message that makes it has returned:
// the program writes the file before its handler returns. A kill while a
// change is being handled may leave the lists as they were before or after
// that change, nothing else. The lists are read back with the program's own
// list-file code. Exit status: 0 nothing lost, 1 a loss or an unreadable
// file, 2 usage or a driver failure.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "driver.h"
#include "framework/profile.h"
#include "lists/list_file.h"

namespace {

using namespace clipdeck_driver;

// A change's message: a play waits for the metadata request (5 s limits).
constexpr UINT kActionMs = 20000;
constexpr DWORD kExitMs = 15000;

// Videos of the service's catalogue, long enough that nothing ends while a
// cycle runs, with titles in several scripts.
struct CatalogueVideo {
    const wchar_t* id;
    int seconds;
    const wchar_t* title;
};
const CatalogueVideo kVideos[] = {
    {L"cdPlain0001", 213, L"Morning Walk Through the Old Harbour"},
    {L"cdPlain0002", 487, L"Bicycle Repair Basics: Fixing a Flat Tyre"},
    {L"cdPlain0003", 95, L"Quick Piano Lesson: C Major Scale"},
    {L"cdHighres01", 241, L"Mountain Sunrise in Full Resolution"},
    {L"cdJapan0001", 180, L"東京の夜景タイムラプス"},
    {L"cdJapan0002", 264, L"ふるさと 〜 ピアノ演奏 (Furusato, piano)"},
    {L"cdAccent001", 330, L"Crème brûlée à la française – Café Señor Müller"},
    {L"cdEmoji0001", 198, L"Rainy Day Playlist 🌧️🎵☕"},
    {L"cdMusic0001", 142, L"𝄞 Violin Scales in G Major 𝄢"},
    {L"cdAmpers001", 256, L"Salt & Pepper & More: Kitchen Basics"},
    {L"cdQuotes001", 120, L"It's a \"Quoted\" Title with 'Apostrophes'"},
    {L"cdHangul001", 222, L"서울 야경 산책 (Seoul at Night)"},
    {L"cdCyrillic1", 278, L"Москва: прогулка по центру"},
};

// --- the lists as they must be --------------------------------------------

struct Lists {
    std::vector<VideoItem> favorites;
    std::vector<VideoItem> history;
    bool operator==(const Lists&) const = default;
};

// The history keeps only the ID, the title and the length.
VideoItem HistoryEntry(const VideoItem& item) {
    VideoItem entry;
    entry.videoId = item.videoId;
    entry.title = item.title;
    entry.duration = item.duration;
    return entry;
}

void AddHistory(Lists& lists, const VideoItem& item) {
    auto& h = lists.history;
    for (auto it = h.begin(); it != h.end(); ++it) {
        if (it->videoId == item.videoId) {
            h.erase(it);
            break;
        }
    }
    h.insert(h.begin(), HistoryEntry(item));
    if (h.size() > kMaxListItems) h.resize(kMaxListItems);
}

void AddFavorite(Lists& lists, const VideoItem& item) {
    auto& f = lists.favorites;
    for (const VideoItem& v : f) {
        if (v.videoId == item.videoId) return;
    }
    f.insert(f.begin(), item);
    if (f.size() > kMaxListItems) f.resize(kMaxListItems);
}

std::wstring Describe(const std::vector<VideoItem>& items, bool all) {
    std::wstring out;
    for (size_t i = 0; i < items.size(); ++i) {
        const VideoItem& v = items[i];
        out += L"          " + std::to_wstring(i) + L": " + v.videoId + L" \"" + v.title + L"\" " +
               std::to_wstring(v.duration);
        if (all) {
            out += L" vol " + std::to_wstring(v.volume) + L" start " + std::to_wstring(v.startPos) + L" end " +
                   std::to_wstring(v.endPos);
        }
        out += L"\n";
    }
    return out.empty() ? L"          (empty)\n" : out;
}

std::wstring Describe(const Lists& lists) {
    return L"        favourites:\n" + Describe(lists.favorites, true) + L"        history:\n" +
           Describe(lists.history, false);
}

// --- the files, through the program's own reading code --------------------

struct FileCheck {
    Lists lists;
    std::wstring problem;  // empty when both files are sound
};

bool HasUnicodeMark(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    unsigned char bom[2] = {};
    DWORD read = 0;
    ::ReadFile(file, bom, 2, &read, nullptr);
    ::CloseHandle(file);
    return read == 2 && bom[0] == 0xFF && bom[1] == 0xFE;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

FileCheck ReadFiles(const std::wstring& folder, const Lists& expected) {
    FileCheck check;
    auto readList = [&](const wchar_t* name, ItemKeys keys, bool shouldExist) {
        const std::wstring path = folder + L"\\" + name;
        if (!Exists(path)) {
            if (shouldExist) check.problem += std::wstring(name) + L" is missing; ";
            return std::vector<VideoItem>{};
        }
        if (!HasUnicodeMark(path)) check.problem += std::wstring(name) + L" has lost its UTF-16 mark; ";
        IniProfile profile(path);
        ListFile file(profile, keys);
        return file.Read();
    };
    check.lists.favorites = readList(L"Favorite.ini", ItemKeys::All, !expected.favorites.empty());
    check.lists.history = readList(L"History.ini", ItemKeys::IdTitleDuration, !expected.history.empty());
    return check;
}

// --- the program ------------------------------------------------------------

class Session {
public:
    explicit Session(const std::wstring& exe) : program_(exe) {}

    void WaitReady() {
        if (!PollUntil([&] { return (windows_ = clipdeck_ui::FindMain(program_.Pid())).has_value(); }, kStartMs)) {
            throw Failure("no main window within " + std::to_string(kStartMs) + " ms");
        }
        std::optional<std::wstring> title;
        if (!PollUntil(
                [&] {
                    title = remote_ui::ReadText(windows_->Item(IDT_CONTROL_TITLE));
                    return title && *title == clipdeck_ui::kLoadComplete;
                },
                kReadyMs)) {
            throw Failure(L"the player did not load; the title line reads " + title.value_or(L"nothing"));
        }
        favorites_ = clipdeck_ui::FindDialogWith(Pid(), IDL_FAVORITE_LIST, WC_LISTVIEWW);
        history_ = clipdeck_ui::FindDialogWith(Pid(), IDL_HISTORY_LIST, WC_LISTVIEWW);
        items_ = clipdeck_ui::FindDialogWith(Pid(), IDE_ITEM_VOLUME, L"Edit");
        if (!favorites_ || !history_ || !items_) {
            throw Failure(L"the list windows were not found:\n" + remote_ui::DescribeWindows(Pid()));
        }
    }

    DWORD Pid() const { return program_.Pid(); }
    remote_ui::Program& program() { return program_; }
    HWND Panel() const { return windows_->panel; }
    HWND Main() const { return windows_->main; }
    HWND Favorites() const { return favorites_; }
    HWND History() const { return history_; }
    HWND ItemSettings() const { return items_; }

    LRESULT Send(HWND to, UINT message, WPARAM w, LPARAM l, const std::wstring& what) const {
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(to, message, w, l, SMTO_NORMAL, kActionMs, &result)) {
            throw Failure(what + L" got no answer within " + std::to_wstring(kActionMs) + L" ms; the windows:\n" +
                          remote_ui::DescribeWindows(Pid()));
        }
        return static_cast<LRESULT>(result);
    }

    // The button's WM_COMMAND, as a click sends it; returns once handled.
    void Command(HWND dialog, int id, const std::wstring& what) const {
        Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)),
             what);
    }
    void PostCommand(HWND dialog, int id) const {
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
    }

    void SetText(HWND dialog, int id, const std::wstring& text) const {
        if (!remote_ui::WriteText(::GetDlgItem(dialog, id), text)) {
            throw Failure(L"cannot write " + text + L" into " + clipdeck_ui::ControlName(id));
        }
    }

    void Select(HWND dialog, int listId, int row) const {
        Send(::GetDlgItem(dialog, listId), LVM_SETSELECTIONMARK, 0, row, L"selecting a row");
    }

    int Rows(HWND dialog, int listId) const {
        return static_cast<int>(Send(::GetDlgItem(dialog, listId), LVM_GETITEMCOUNT, 0, 0, L"counting rows"));
    }

    std::wstring BoxText() const {
        return remote_ui::ReadText(windows_->Item(IDE_CONTROL_VIDEOREF)).value_or(L"<no answer>");
    }

private:
    remote_ui::Program program_;
    std::optional<clipdeck_ui::MainWindows> windows_;
    HWND favorites_ = nullptr;
    HWND history_ = nullptr;
    HWND items_ = nullptr;
};

// --- changes ----------------------------------------------------------------

// One change: `prepare` sends whatever must come first and waits for it;
// the final message is then sent (and awaited) or only posted, for a kill
// while it is handled. `apply` makes the same change to the expected lists.
struct Change {
    std::wstring name;
    std::function<void(Session&)> prepare;
    HWND target = nullptr;
    int command = 0;
    std::function<void(Lists&)> apply;
    // The list-play box, clicked rather than commanded (its ID is also
    // the favourites' Down button's).
    bool listPlayBox = false;
};

VideoItem CatalogueItem(const CatalogueVideo& v) {
    VideoItem item;
    item.videoId = v.id;
    item.title = v.title;
    item.duration = v.seconds;
    return item;
}

class Soak {
public:
    Soak(std::wstring exe, std::wstring folder, unsigned seed) : exe_(std::move(exe)), folder_(std::move(folder)),
                                                                     random_(seed) {}

    int Run(int cycles) {
        const double start = NowMs();
        for (int c = 1; c <= cycles; ++c) Cycle(c);
        wchar_t line[400];
        std::swprintf(line, 400,
                      L"soak: %d cycles, %d closed, %d killed (%d during a change, %d during start, %d during "
                      L"close), %d changes completed and verified, %d losses, %.1f s",
                      cycles, closes_, kills_, killsInChange_, killsInStart_, killsInClose_, verified_, losses_,
                      (NowMs() - start) / 1000.0);
        Print(line);
        return losses_ == 0 ? 0 : 1;
    }

private:
    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    const CatalogueVideo& RandomVideo() { return kVideos[Uniform(0, static_cast<int>(std::size(kVideos)) - 1)]; }

    // A change that can be made on the lists as they are.
    Change Pick(Session& s) {
        const int favs = static_cast<int>(expected_.favorites.size());
        const int hist = static_cast<int>(expected_.history.size());
        for (;;) {
            switch (Uniform(0, 10)) {
            case 0:
            case 1: {
                const CatalogueVideo& v = RandomVideo();
                VideoItem item = CatalogueItem(v);
                return {L"play " + item.videoId + L" typed in the panel",
                        [item](Session& s) { s.SetText(s.Panel(), IDE_CONTROL_VIDEOREF, item.videoId); },
                        s.Panel(), IDB_CONTROL_PLAY, [item](Lists& l) { AddHistory(l, item); }};
            }
            case 2:
            case 3: {
                if (hist == 0) continue;
                const int row = Uniform(0, hist - 1);
                VideoItem item = expected_.history[row];
                return {L"history row " + std::to_wstring(row) + L" to the favourites",
                        [row](Session& s) { s.Select(s.History(), IDL_HISTORY_LIST, row); }, s.History(),
                        IDB_HISTORY_TOFAVORITE, [item](Lists& l) { AddFavorite(l, item); }};
            }
            case 4: {
                if (favs == 0) continue;
                const int row = Uniform(0, favs - 1);
                VideoItem item = expected_.favorites[row];
                item.volume = Uniform(0, 100);
                item.startPos = Uniform(0, item.duration / 3);
                item.endPos = Uniform(0, 1) ? Uniform(0, item.duration / 3) : 0;
                return {L"favourite row " + std::to_wstring(row) + L" set to volume " + std::to_wstring(item.volume) +
                            L", start " + std::to_wstring(item.startPos) + L", end " + std::to_wstring(item.endPos),
                        [row, item](Session& s) {
                            s.Select(s.Favorites(), IDL_FAVORITE_LIST, row);
                            s.Command(s.Favorites(), IDB_FAVORITE_SETTING, L"Setting");
                            s.SetText(s.ItemSettings(), IDE_ITEM_VOLUME, std::to_wstring(item.volume));
                            s.SetText(s.ItemSettings(), IDE_ITEM_STARTPOS, std::to_wstring(item.startPos));
                            s.SetText(s.ItemSettings(), IDE_ITEM_ENDPOS, std::to_wstring(item.endPos));
                        },
                        s.ItemSettings(), IDOK, [row, item](Lists& l) { l.favorites[row] = item; }};
            }
            case 5: {
                if (favs < 2) continue;
                const int row = Uniform(1, favs - 1);
                return {L"favourite row " + std::to_wstring(row) + L" up",
                        [row](Session& s) { s.Select(s.Favorites(), IDL_FAVORITE_LIST, row); }, s.Favorites(),
                        IDB_FAVORITE_UP, [row](Lists& l) { std::swap(l.favorites[row], l.favorites[row - 1]); }};
            }
            case 6: {
                if (favs < 2) continue;
                const int row = Uniform(0, favs - 2);
                return {L"favourite row " + std::to_wstring(row) + L" down",
                        [row](Session& s) { s.Select(s.Favorites(), IDL_FAVORITE_LIST, row); }, s.Favorites(),
                        IDB_FAVORITE_DOWN, [row](Lists& l) { std::swap(l.favorites[row], l.favorites[row + 1]); }};
            }
            case 7: {
                // Deleting only now and then keeps the lists long.
                if (favs < 4 || Uniform(0, 2) != 0) continue;
                const int row = Uniform(0, favs - 1);
                return {L"favourite row " + std::to_wstring(row) + L" deleted",
                        [row](Session& s) { s.Select(s.Favorites(), IDL_FAVORITE_LIST, row); }, s.Favorites(),
                        IDB_FAVORITE_DELETE, [row](Lists& l) { l.favorites.erase(l.favorites.begin() + row); }};
            }
            case 8: {
                if (hist < 4 || Uniform(0, 2) != 0) continue;
                const int row = Uniform(0, hist - 1);
                return {L"history row " + std::to_wstring(row) + L" deleted",
                        [row](Session& s) { s.Select(s.History(), IDL_HISTORY_LIST, row); }, s.History(),
                        IDB_HISTORY_DELETE, [row](Lists& l) { l.history.erase(l.history.begin() + row); }};
            }
            case 9: {
                if (favs == 0) continue;
                const int row = Uniform(0, favs - 1);
                VideoItem item = expected_.favorites[row];
                return {L"favourite row " + std::to_wstring(row) + L" played back",
                        [row](Session& s) { s.Select(s.Favorites(), IDL_FAVORITE_LIST, row); }, s.Favorites(),
                        IDB_FAVORITE_PLAYBACK, [item](Lists& l) { AddHistory(l, item); }};
            }
            default: {
                // List play starts with the top favourite, which enters the
                // history; it is switched off again at once (below), before
                // anything can end.
                if (favs == 0) continue;
                VideoItem item = expected_.favorites[0];
                return {L"list play on (top favourite " + item.videoId + L")", [](Session&) {}, s.Panel(),
                        IDX_CONTROL_LISTPLAY, [item](Lists& l) { AddHistory(l, item); }, true};
            }
            }
        }
    }

    // Changes that touch no list file, between the list changes.
    void Fiddle(Session& s) {
        switch (Uniform(0, 3)) {
        case 0: Toggle(s, IDX_CONTROL_TOPMOST); break;
        case 1: Toggle(s, IDX_CONTROL_FRAME); break;
        case 2: Toggle(s, IDX_CONTROL_MUTE); break;
        default: break;
        }
    }

    void Toggle(Session& s, int id) {
        s.Send(::GetDlgItem(s.Panel(), id), BM_CLICK, 0, 0, clipdeck_ui::ControlName(id));
    }

    // The list-play box is an auto check box: a click ticks it, then tells
    // the panel.
    static void ClickNow(Session& s, const Change& c) {
        if (c.listPlayBox) {
            s.Send(::GetDlgItem(s.Panel(), c.command), BM_CLICK, 0, 0, c.name);
        } else {
            s.Command(c.target, c.command, c.name);
        }
    }
    static void ClickLater(Session& s, const Change& c) {
        if (c.listPlayBox) {
            ::PostMessageW(::GetDlgItem(s.Panel(), c.command), BM_CLICK, 0, 0);
        } else {
            s.PostCommand(c.target, c.command);
        }
    }

    void ListPlayOff(Session& s) {
        HWND box = ::GetDlgItem(s.Panel(), IDX_CONTROL_LISTPLAY);
        if (s.Send(box, BM_GETCHECK, 0, 0, L"List play") == BST_CHECKED) s.Send(box, BM_CLICK, 0, 0, L"List play");
    }

    void Cycle(int number) {
        const double start = NowMs();
        std::wstring outcome;
        int changes = 0;
        std::optional<Lists> alternative;  // the lists had the interrupted change completed
        std::wstring interrupted;
        bool closed = false;
        std::optional<std::wstring> closingBox;  // the box's text when WM_CLOSE went
        try {
            Session s(exe_);
            const int ending = Uniform(0, 9);  // 0-3 close, 4-7 kill between/during changes, 8 start, 9 close
            if (ending == 8) {
                const int after = Uniform(0, 1500);
                ::Sleep(after);
                s.program().Kill();
                ++kills_;
                ++killsInStart_;
                outcome = L"killed " + std::to_wstring(after) + L" ms into its start";
            } else {
                s.WaitReady();
                const int rowsF = s.Rows(s.Favorites(), IDL_FAVORITE_LIST);
                const int rowsH = s.Rows(s.History(), IDL_HISTORY_LIST);
                if (rowsF != static_cast<int>(expected_.favorites.size()) ||
                    rowsH != static_cast<int>(expected_.history.size())) {
                    Loss(number, L"the program shows " + std::to_wstring(rowsF) + L" favourites and " +
                                     std::to_wstring(rowsH) + L" history rows at start\n" + Describe(expected_));
                }
                const int planned = Uniform(3, 12);
                const bool killInChange = ending >= 6 && ending <= 7;
                const int killAt = (ending >= 4 && ending <= 7) ? Uniform(0, planned - 1) : -1;
                for (int i = 0; i < planned; ++i) {
                    if (Uniform(0, 2) == 0) Fiddle(s);
                    Change c = Pick(s);
                    c.prepare(s);
                    if (i == killAt && killInChange) {
                        Lists after = expected_;
                        c.apply(after);
                        ClickLater(s, c);
                        const int wait = Uniform(0, 80);
                        ::Sleep(wait);
                        s.program().Kill();
                        alternative = after;
                        interrupted = c.name;
                        ++kills_;
                        ++killsInChange_;
                        outcome = L"killed " + std::to_wstring(wait) + L" ms into change " + std::to_wstring(i + 1) +
                                  L" (" + c.name + L")";
                        break;
                    }
                    ClickNow(s, c);
                    if (verbose_) Print(L"    " + std::to_wstring(i + 1) + L". " + c.name);
                    c.apply(expected_);
                    ++changes;
                    // Written before the handler returned: on disk now.
                    if (FileCheck now = ReadFiles(folder_, expected_); now.lists != expected_) {
                        Loss(number, L"right after \"" + c.name + L"\" the files do not hold it\n      expected:\n" +
                                         Describe(expected_) + L"      read:\n" + Describe(now.lists));
                        expected_ = now.lists;
                    }
                    if (c.listPlayBox) ListPlayOff(s);
                    if (i == killAt) {
                        const int wait = Uniform(0, 30);
                        ::Sleep(wait);
                        s.program().Kill();
                        ++kills_;
                        outcome = L"killed " + std::to_wstring(wait) + L" ms after change " + std::to_wstring(i + 1);
                        break;
                    }
                }
                if (outcome.empty()) {
                    const std::wstring box = s.BoxText();
                    closingBox = box;
                    ::PostMessageW(s.Main(), WM_CLOSE, 0, 0);
                    if (ending == 9) {
                        const int wait = Uniform(0, 60);
                        ::Sleep(wait);
                        s.program().Kill();
                        ++kills_;
                        ++killsInClose_;
                        outcome = L"killed " + std::to_wstring(wait) + L" ms into its close after " +
                                  std::to_wstring(changes) + L" changes";
                    } else {
                        if (!s.program().WaitExit(kExitMs)) throw Failure("no exit within 15 s of WM_CLOSE");
                        ++closes_;
                        closed = true;
                        outcome = L"closed after " + std::to_wstring(changes) + L" changes";
                        lastBox_ = box;
                    }
                }
            }
        } catch (const Failure& e) {
            Print(L"cycle " + std::to_wstring(number) + L": driver failure: " + remote_ui::Widen(e.what()));
            throw;
        }
        // Every change above completed before the kill or the close.
        FileCheck files = ReadFiles(folder_, expected_);
        std::wstring verdict = L"ok";
        if (!files.problem.empty()) {
            Loss(number, files.problem);
            verdict = L"UNREADABLE";
        }
        if (files.lists == expected_) {
            if (alternative) verdict += L" (the interrupted change had not been made)";
        } else if (alternative && files.lists == *alternative) {
            expected_ = *alternative;
            ++changes;
            verdict += L" (the interrupted change had been made)";
        } else {
            Loss(number, L"the files do not hold the lists as changed" +
                             (alternative ? L" (nor with \"" + interrupted + L"\" made)" : std::wstring()) +
                             L"\n      expected:\n" + Describe(expected_) + L"      read:\n" + Describe(files.lists));
            verdict = L"LOSS";
            expected_ = files.lists;  // carry on from what is there
        }
        // The settings file is written at close only: after a close it holds
        // the box's text; a close cut short leaves the old text or the new.
        const std::wstring settingsPath = folder_ + L"\\Clipdeck.ini";
        const std::wstring saved =
            Exists(settingsPath) ? IniProfile(settingsPath).ReadString(L"SYSTEM", L"VIDEOID", L"<missing>", 2048) : L"";
        if (closed ? saved != lastBox_ : (saved != lastBox_ && (!closingBox || saved != *closingBox))) {
            Loss(number, L"Clipdeck.ini holds VIDEOID \"" + saved + L"\", not \"" + lastBox_ + L"\"" +
                             (closingBox && !closed ? L" nor \"" + *closingBox + L"\"" : std::wstring()));
            verdict = L"LOSS";
        } else if (closingBox && saved == *closingBox) {
            lastBox_ = saved;
        }
        verified_ += changes;
        wchar_t took[64];
        std::swprintf(took, 64, L" [%.1f s]", (NowMs() - start) / 1000.0);
        Print(L"cycle " + std::to_wstring(number) + L": " + outcome + L"; favourites " +
              std::to_wstring(expected_.favorites.size()) + L", history " + std::to_wstring(expected_.history.size()) +
              L": " + verdict + took);
    }

    void Loss(int cycle, const std::wstring& what) {
        ++losses_;
        Print(L"cycle " + std::to_wstring(cycle) + L": LOSS: " + what);
    }

    std::wstring exe_;
    std::wstring folder_;
    std::mt19937 random_;
    Lists expected_;
    std::wstring lastBox_;
    int closes_ = 0, kills_ = 0, killsInChange_ = 0, killsInStart_ = 0, killsInClose_ = 0;
    int verified_ = 0, losses_ = 0;

public:
    bool verbose_ = false;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 3) {
        std::fputs("usage: clipdeck_soak Clipdeck.exe CYCLES [SEED]\n", stderr);
        return 2;
    }
    const int cycles = _wtoi(argv[2]);
    const unsigned seed = argc > 3 ? static_cast<unsigned>(_wtoi64(argv[3])) : static_cast<unsigned>(::GetTickCount());
    wchar_t full[MAX_PATH];
    if (cycles <= 0 || !::GetFullPathNameW(argv[1], MAX_PATH, full, nullptr) || !Exists(full)) {
        std::fputs("clipdeck_soak: needs Clipdeck.exe and a cycle count above 0\n", stderr);
        return 2;
    }
    Print(L"soak: seed " + std::to_wstring(seed) + L", " + std::to_wstring(cycles) + L" cycles");
    std::wstring folder;
    try {
        folder = remote_ui::MakeScratchFolder(L"soak");
        const std::wstring copy = remote_ui::CopyInto(full, folder);
        Soak soak(copy, folder, seed);
        wchar_t verbose[8] = L"";
        soak.verbose_ = ::GetEnvironmentVariableW(L"CLIPDECK_SOAK_VERBOSE", verbose, 8) > 0;
        const int status = soak.Run(cycles);
        if (status == 0) {
            remote_ui::RemoveScratchFolder(folder);
        } else {
            Print(L"soak: data folder kept: " + folder);
        }
        return status;
    } catch (const std::exception& e) {
        Print(L"soak: FAIL: " + remote_ui::Widen(e.what()));
        if (!folder.empty()) Print(L"soak: data folder kept: " + folder);
        return 2;
    }
}
