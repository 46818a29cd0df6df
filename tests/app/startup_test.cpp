// Start-up's command line reading, run in a child process of this test
// program so that the command line and the standard streams are its own.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "app/app.h"
#include "core/environment.h"
#include "ui_test.h"

namespace {

constexpr wchar_t kChildFlag[] = L"--parse-command-line-into";

// Child mode: parse, then write what was found to the file named after the flag.
int runChild(const std::wstring& outPath) {
    CAppEnvironment environment;
    ParseCommandLine(environment, nullptr);
    wchar_t cwd[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, cwd);
    FILE* out = _wfopen(outPath.c_str(), L"w, ccs=UTF-8");
    if (!out) return 3;
    std::fwprintf(out, L"%d\n%ls\n%ls\n", environment.debugMode, environment.directory.c_str(), cwd);
    std::fclose(out);
    return 0;
}

struct ChildResult {
    int debugMode = -1;
    std::wstring directory;
    std::wstring workingDirectory;
};

std::wstring selfPath() {
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Starts this program with `commandLine` (whose first word is what the
// child sees as its program path) from another working directory.
ChildResult runParse(const std::wstring& commandLine) {
    std::wstring out = clipdeck::test::ScratchFolder() + L"\\parse-" + std::to_wstring(::GetTickCount()) + L".txt";
    std::wstring line = commandLine + L" " + kChildFlag + L" \"" + out + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring self = selfPath();
    std::wstring cwd = clipdeck::test::ScratchFolder();
    if (!::CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          cwd.c_str(), &si, &pi)) {
        return {};
    }
    ::WaitForSingleObject(pi.hProcess, 30000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ChildResult result;
    FILE* in = _wfopen(out.c_str(), L"r, ccs=UTF-8");
    if (!in) return result;
    wchar_t buffer[1024];
    if (std::fgetws(buffer, 1024, in)) result.debugMode = _wtoi(buffer);
    auto readLine = [&](std::wstring& target) {
        if (!std::fgetws(buffer, 1024, in)) return;
        target = buffer;
        while (!target.empty() && (target.back() == L'\n' || target.back() == L'\r')) target.pop_back();
    };
    readLine(result.directory);
    readLine(result.workingDirectory);
    std::fclose(in);
    return result;
}

}  // namespace

TEST(CommandLine, TheDebugSwitchMustMatchExactly) {
    EXPECT_EQ(runParse(L"Clipdeck.exe -D482").debugMode, 1);
    EXPECT_EQ(runParse(L"Clipdeck.exe first -D482 last").debugMode, 1);
    EXPECT_EQ(runParse(L"Clipdeck.exe -d482").debugMode, 0);
    EXPECT_EQ(runParse(L"Clipdeck.exe /D482").debugMode, 0);
    EXPECT_EQ(runParse(L"Clipdeck.exe -D4821").debugMode, 0);
}

TEST(CommandLine, DataFilesStayBesideTheProgramWhateverTheFirstArgumentSays) {
    std::wstring expected = FolderOf(selfPath());
    ChildResult bare = runParse(L"Clipdeck");
    EXPECT_EQ(bare.directory, expected);
    EXPECT_EQ(bare.workingDirectory, expected);
    ChildResult elsewhere = runParse(L"\"C:\\somewhere\\else\\Clipdeck.exe\"");
    EXPECT_EQ(elsewhere.directory, expected);
}

int main(int argc, char** argv) {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    for (int i = 0; i + 1 < count; ++i) {
        if (std::wcscmp(args[i], kChildFlag) == 0) return runChild(args[i + 1]);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
