// Threads started and let go in quick succession, as the player starts its
// fetch and decode threads, a third of them making a WinINet request that is
// refused. Started as plain detached std::threads, some of them end before
// they are detached and, under Wine, about one run in two at this count a
// thread then runs another one's work or none.

#include <windows.h>
#include <tlhelp32.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "common/detached_thread.h"

namespace {

// Nothing listens on port 1 here: the connection is refused at once.
void RefusedRequest() {
    HINTERNET session = InternetOpenW(L"Clipdeck tests", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    HINTERNET connection =
        InternetConnectW(session, L"127.0.0.1", 1, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET request = HttpOpenRequestW(connection, L"GET", L"/", nullptr, nullptr, nullptr, INTERNET_FLAG_RELOAD, 0);
    HttpSendRequestW(request, nullptr, 0, nullptr, 0);
    for (HINTERNET handle : {request, connection, session})
        if (handle) InternetCloseHandle(handle);
}

int ThreadsOfThisProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

TEST(DetachedThreads, EachRunsItsOwnWorkOnce) {
    constexpr int kThreads = 3000;
    const int before = ThreadsOfThisProcess();
    std::vector<std::atomic<int>> runs(kThreads);
    std::atomic<int> finished{0};
    for (int i = 0; i < kThreads; ++i) {
        common::StartDetached([mine = std::make_unique<int>(i), &runs, &finished] {
            ++runs[*mine];
            if (*mine % 3 == 0) RefusedRequest();
            ++finished;
        });
        if (i % 16 == 15) Sleep(5);
    }
    for (int waited = 0; finished < kThreads && waited < 30000; waited += 10) Sleep(10);
    int twice = 0, never = 0;
    for (const std::atomic<int>& n : runs) {
        twice += n > 1;
        never += n == 0;
    }
    EXPECT_EQ(twice, 0);
    EXPECT_EQ(never, 0);
    // Let the last threads leave before the process ends: a thread that is
    // cut off on its way out of WinINet can leave the exit waiting for ever.
    int now = ThreadsOfThisProcess();
    for (int waited = 0; now > before && waited < 30000; waited += 10) {
        Sleep(10);
        now = ThreadsOfThisProcess();
    }
    EXPECT_LE(now, before) << "threads still running";
}

}  // namespace
