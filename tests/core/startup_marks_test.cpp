#include "core/startup_marks.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#endif

TEST(StartupMarks, ReadBackLineByLineSkippingWhatIsNotAMark) {
    const std::string text =
        "1234.500 main entered\n"
        "1240.25 main window shown\r\n"
        "garbage\n"
        "12x4 not a number\n"
        " 15 starts with a space\n"
        "99\n"
        "1300 player loaded";
    std::vector<StartupMarkLine> lines = ParseStartupMarks(text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_DOUBLE_EQ(lines[0].ms, 1234.5);
    EXPECT_EQ(lines[0].label, "main entered");
    EXPECT_DOUBLE_EQ(lines[1].ms, 1240.25);
    EXPECT_EQ(lines[1].label, "main window shown");
    EXPECT_EQ(lines[2].label, "player loaded");
    EXPECT_TRUE(ParseStartupMarks("").empty());
}

#ifdef _WIN32
// The file named by the environment collects the marks in order, on the
// clock the performance counter keeps.
TEST(StartupMarks, AppendToTheNamedFileOnThePerformanceCounterClock) {
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    std::wstring path = std::wstring(folder) + L"clipdeck-marks-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    ::DeleteFileW(path.c_str());
    ::SetEnvironmentVariableW(L"CLIPDECK_STARTUP_MARKS", path.c_str());
    LARGE_INTEGER before, after, frequency;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&before);
    StartupMark("first");
    StartupMark("second mark");
    ::QueryPerformanceCounter(&after);
    ::SetEnvironmentVariableW(L"CLIPDECK_STARTUP_MARKS", nullptr);

    std::string text;
    if (FILE* in = _wfopen(path.c_str(), L"rb")) {
        char buffer[1024];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) text.append(buffer, n);
        std::fclose(in);
    }
    ::DeleteFileW(path.c_str());
    std::vector<StartupMarkLine> lines = ParseStartupMarks(text);
    ASSERT_EQ(lines.size(), 2u) << text;
    EXPECT_EQ(lines[0].label, "first");
    EXPECT_EQ(lines[1].label, "second mark");
    const double from = static_cast<double>(before.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    const double to = static_cast<double>(after.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    EXPECT_GE(lines[0].ms, from - 0.001);
    EXPECT_LE(lines[0].ms, lines[1].ms);
    EXPECT_LE(lines[1].ms, to + 0.001);
}
#endif
