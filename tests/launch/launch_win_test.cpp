// The Windows side of start-up: one program per folder, the command line
// handed over, the link registration, and the service's process with a
// stand-in for it: this program, copied as clipdeck-service.exe, answers
// like the service (its own main below).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/environment.h"
#include "core/host_wait.h"
#include "launch/hand_over.h"
#include "launch/launcher.h"
#include "launch/link_scheme.h"
#include "launch/service_plan.h"
#include "launch/single_instance.h"
#include "ui_test.h"

namespace {

// The stand-in's behaviour, from the test that starts it.
constexpr wchar_t kTakenPortVariable[] = L"CLIPDECK_TEST_TAKEN_PORTS";  // "8480,0": ports it cannot listen on
constexpr wchar_t kPidFileVariable[] = L"CLIPDECK_TEST_PID_FILE";      // writes its process ID there
constexpr int kStandInPort = 50321;
// This program in the mode that runs a launcher on a folder until killed.
constexpr wchar_t kRunLauncherFlag[] = L"--run-launcher";

std::wstring Variable(const wchar_t* name) {
    wchar_t value[1024] = L"";
    const DWORD n = ::GetEnvironmentVariableW(name, value, 1024);
    return n < 1024 ? value : L"";
}

void WriteText(const std::wstring& path, const std::string& text) {
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
}

std::wstring SelfPath() {
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Acts as the service: "--port N --port-file PATH ...".
int RunStandInService(int argc, wchar_t** argv) {
    int port = -1;
    std::wstring portFile;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wstring(argv[i]) == L"--port") port = _wtoi(argv[i + 1]);
        if (std::wstring(argv[i]) == L"--port-file") portFile = argv[i + 1];
    }
    if (const std::wstring pidFile = Variable(kPidFileVariable); !pidFile.empty()) {
        WriteText(pidFile, std::to_string(::GetCurrentProcessId()));
    }
    if ((L"," + Variable(kTakenPortVariable) + L",").find(L"," + std::to_wstring(port) + L",") != std::wstring::npos) {
        std::printf("clipdeck-service: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    if (port < 0 || portFile.empty()) {
        std::printf("clipdeck-service: bad options:");
        for (int i = 1; i < argc; ++i) std::printf(" [%ls]", argv[i]);
        std::printf("\n");
        return 2;
    }
    std::printf("clipdeck-service listening\n");
    std::fflush(stdout);
    WriteText(portFile, std::to_string(port == 0 ? kStandInPort : port) + "\n");
    ::Sleep(INFINITE);
    return 0;
}

// A scratch folder with the stand-in as clipdeck-service.exe.
std::wstring FolderWithStandIn(const std::wstring& name) {
    const std::wstring folder = clipdeck::test::ScratchFolder() + L"\\" + name;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::CopyFileW(SelfPath().c_str(), (folder + L"\\clipdeck-service.exe").c_str(), FALSE);
    return folder;
}

launch::Launcher::Plan PlanFor(const std::wstring& folder) {
    launch::Launcher::Plan plan;
    plan.programPath = folder + L"\\Clipdeck.exe";
    plan.dataFolder = folder;
    plan.startService = true;
    plan.videosFolder = folder;
    return plan;
}

bool WaitSettled(launch::Launcher& launcher) {
    return clipdeck::test::PumpUntil(
        [&] {
            auto state = launcher.state();
            return state == launch::Launcher::State::Listening || state == launch::Launcher::State::Failed;
        },
        10000);
}

DWORD ReadPid(const std::wstring& path) { return std::strtoul(clipdeck::test::ReadFileBytes(path).c_str(), nullptr, 10); }

// Whether the process `pid` ends within `ms`.
bool Ends(DWORD pid, DWORD ms) {
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process) return true;  // gone already
    const bool ended = ::WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
    ::CloseHandle(process);
    return ended;
}

class LaunchTest : public testing::Test {
protected:
    void SetUp() override {
        ::SetEnvironmentVariableW(kFeedHostVariable, nullptr);
        ::SetEnvironmentVariableW(kPlayerHostVariable, nullptr);
        ::SetEnvironmentVariableW(kTakenPortVariable, nullptr);
        ::SetEnvironmentVariableW(kPidFileVariable, nullptr);
    }
    void TearDown() override {
        SetUp();
        launch::UnregisterLinkScheme();
    }
};

}  // namespace

TEST_F(LaunchTest, OneProgramPerFolderInAnySpelling) {
    const std::wstring folder = clipdeck::test::ScratchFolder() + L"\\Instance";
    {
        launch::SingleInstance first;
        EXPECT_TRUE(first.Claim(folder));
        launch::SingleInstance second;
        EXPECT_FALSE(second.Claim(folder));
        EXPECT_FALSE(second.Claim(folder + L"\\"));
        launch::SingleInstance other;
        EXPECT_TRUE(other.Claim(folder + L"2"));
        // Held, but no window published yet: nothing to hand over to.
        EXPECT_EQ(launch::HandOverArguments(folder, {L"x"}, 100), launch::HandOverResult::NoWindow);
    }
    launch::SingleInstance again;
    EXPECT_TRUE(again.Claim(folder));
}

TEST_F(LaunchTest, ALaterStartHandsItsArgumentsToThePublishedWindow) {
    const std::wstring folder = clipdeck::test::ScratchFolder() + L"\\HandOver";
    launch::SingleInstance running;
    ASSERT_TRUE(running.Claim(folder));
    static std::vector<std::wstring> received;
    received.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (msg != WM_COPYDATA) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data->dwData != launch::kHandOverTag) return FALSE;
        received = launch::DecodeArguments(
            std::wstring_view(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t)));
        return TRUE;
    };
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HandOverTarget";
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowW(L"HandOverTarget", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    // The later start may come before the window exists: it waits for it.
    launch::HandOverResult result = launch::HandOverResult::NoAnswer;
    std::thread later([&] { result = launch::HandOverArguments(folder, {L"Clipdeck.exe", L"clipdeck:cdPlain0001"}, 5000); });
    clipdeck::test::PumpUntil([] { return false; }, 200);
    running.Publish(window);
    clipdeck::test::PumpUntil([&] { return !received.empty(); }, 5000);
    later.join();
    EXPECT_EQ(result, launch::HandOverResult::Delivered);
    EXPECT_EQ(received, (std::vector<std::wstring>{L"Clipdeck.exe", L"clipdeck:cdPlain0001"}));

    running.Publish(nullptr);
    EXPECT_EQ(launch::HandOverArguments(folder, {L"x"}, 100), launch::HandOverResult::NoWindow);
    ::DestroyWindow(window);
}

TEST_F(LaunchTest, LinksAreRegisteredForTheUserWhenMissingOrStale) {
    launch::UnregisterLinkScheme();
    const std::wstring program = SelfPath();
    EXPECT_TRUE(launch::RegisterLinkSchemeIfMissing(program));
    wchar_t value[1024];
    LONG size = sizeof value;
    ASSERT_EQ(::RegQueryValueW(HKEY_CURRENT_USER, L"Software\\Classes\\clipdeck\\shell\\open\\command", value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"\"" + program + L"\" \"%1\"");
    DWORD type = 0;
    EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Classes\\clipdeck", L"URL Protocol", RRF_RT_REG_SZ, &type,
                             nullptr, nullptr),
              ERROR_SUCCESS);
    // Registered and the program there: left alone, also for another copy.
    EXPECT_FALSE(launch::RegisterLinkSchemeIfMissing(L"C:\\elsewhere\\Clipdeck.exe"));
    // The program it names has gone: the next start takes the links over.
    ::RegSetValueW(HKEY_CURRENT_USER, L"Software\\Classes\\clipdeck\\shell\\open\\command", REG_SZ,
                   L"\"C:\\gone\\Clipdeck.exe\" \"%1\"", 0);
    EXPECT_TRUE(launch::RegisterLinkSchemeIfMissing(program));

    EXPECT_EQ(launch::UnregisterLinkScheme(), launch::Unregistered::Removed);
    HKEY key = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\clipdeck", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(launch::UnregisterLinkScheme(), launch::Unregistered::NotRegistered);
}

TEST_F(LaunchTest, AMissingServiceSettlesTheHostsAndSaysWhy) {
    const std::wstring folder = clipdeck::test::ScratchFolder() + L"\\NoService";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    launch::Launcher launcher;
    launcher.Start(PlanFor(folder));
    ASSERT_TRUE(WaitSettled(launcher));
    EXPECT_EQ(launcher.state(), launch::Launcher::State::Failed);
    EXPECT_EQ(launcher.failure(), L"clipdeck-service.exe is missing from " + folder + L".");
    EXPECT_FALSE(HostsPending());
    EXPECT_EQ(Variable(kFeedHostVariable), L"");
}

TEST_F(LaunchTest, TheServiceTakesTheUsualPortOrAnyFreeOneAndEndsWithTheProgram) {
    const std::wstring folder = FolderWithStandIn(L"Service");
    const std::wstring pidFile = folder + L"\\pid";
    ::SetEnvironmentVariableW(kPidFileVariable, pidFile.c_str());
    {
        launch::Launcher launcher;
        launcher.Start(PlanFor(folder));
        ASSERT_TRUE(WaitSettled(launcher));
        ASSERT_EQ(launcher.state(), launch::Launcher::State::Listening) << launcher.failure();
        EXPECT_EQ(launcher.port(), 8480);
        EXPECT_EQ(Variable(kFeedHostVariable), L"127.0.0.1:8480");
        EXPECT_EQ(Variable(kPlayerHostVariable), L"127.0.0.1:8480");
        EXPECT_NE(clipdeck::test::ReadFileBytes(folder + L"\\clipdeck-service.log").find("listening"),
                  std::string::npos);
    }
    // The launcher gone (the program closing): so is its service.
    EXPECT_TRUE(Ends(ReadPid(pidFile), 5000));

    ::SetEnvironmentVariableW(kTakenPortVariable, L"8480");
    launch::Launcher second;
    second.Start(PlanFor(folder));
    ASSERT_TRUE(WaitSettled(second));
    ASSERT_EQ(second.state(), launch::Launcher::State::Listening) << second.failure();
    EXPECT_EQ(second.port(), kStandInPort);
    EXPECT_EQ(Variable(kFeedHostVariable), L"127.0.0.1:" + std::to_wstring(kStandInPort));
}

TEST_F(LaunchTest, AServiceThatCannotListenIsReportedWithItsLastWords) {
    const std::wstring folder = FolderWithStandIn(L"Stops");
    ::SetEnvironmentVariableW(kTakenPortVariable, L"8480,0");
    launch::Launcher launcher;
    launcher.Start(PlanFor(folder));
    ASSERT_TRUE(WaitSettled(launcher));
    EXPECT_EQ(launcher.state(), launch::Launcher::State::Failed);
    EXPECT_EQ(launcher.failure(), L"It stopped at once (exit status 1): clipdeck-service: cannot listen on 127.0.0.1:0");
    EXPECT_FALSE(HostsPending());
    EXPECT_EQ(Variable(kFeedHostVariable), L"");
}

TEST_F(LaunchTest, AKilledProgramTakesItsServiceAlong) {
    const std::wstring folder = FolderWithStandIn(L"Killed");
    const std::wstring pidFile = folder + L"\\pid";
    ::SetEnvironmentVariableW(kPidFileVariable, pidFile.c_str());
    std::wstring line = L"\"" + SelfPath() + L"\" " + kRunLauncherFlag + L" \"" + folder + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ::CloseHandle(pi.hThread);
    ASSERT_TRUE(clipdeck::test::PumpUntil([&] { return ReadPid(pidFile) != 0; }, 10000));
    const DWORD service = ReadPid(pidFile);
    EXPECT_FALSE(Ends(service, 300));
    ::TerminateProcess(pi.hProcess, 9);
    ::WaitForSingleObject(pi.hProcess, 5000);
    ::CloseHandle(pi.hProcess);
    EXPECT_TRUE(Ends(service, 5000));
}

int wmain(int argc, wchar_t** argv) {
    const std::wstring self = SelfPath();
    if (self.size() >= 20 && _wcsicmp(self.c_str() + self.size() - 20, L"clipdeck-service.exe") == 0) {
        return RunStandInService(argc, argv);
    }
    if (argc == 3 && std::wstring(argv[1]) == kRunLauncherFlag) {
        launch::Launcher launcher;
        launcher.Start(PlanFor(argv[2]));
        ::Sleep(INFINITE);
        return 0;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
