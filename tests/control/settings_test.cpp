// The settings file on disk, through the real profile functions.
#include "control/settings.h"

#include <gtest/gtest.h>

#include "core/environment.h"
#include "ui_test.h"

namespace {

class SettingsFileTest : public testing::Test {
protected:
    void SetUp() override {
        folder = clipdeck::test::ScratchFolder() + L"\\settings-" + std::to_wstring(counter++);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        AppEnvironment().directory = folder;
    }
    void TearDown() override { ReleaseAppEnvironment(); }
    std::wstring path() const { return folder + L"\\Clipdeck.ini"; }

    static inline int counter = 0;
    std::wstring folder;
};

}  // namespace

TEST_F(SettingsFileTest, AMissingFileGivesEmptyDefaults) {
    std::wstring videoRef;
    RECT rect{0, 0, 0, 0};
    LoadSettings(videoRef, rect);
    EXPECT_EQ(videoRef, L"");
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(::GetFileAttributesW(path().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SettingsFileTest, ANewFileIsUnicodeSoAnyTextSurvives) {
    const std::wstring typed = L"http://www.youtube.com/watch?v=abc 日本語 Café 𝄞";
    SaveSettings(typed, RECT{-1280, -20, -560, 400});
    std::string bytes = clipdeck::test::ReadFileBytes(path());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);

    std::wstring videoRef;
    RECT rect{0, 0, 0, 0};
    LoadSettings(videoRef, rect);
    EXPECT_EQ(videoRef, typed);
    EXPECT_EQ(rect.left, -1280);
    EXPECT_EQ(rect.top, -20);
    EXPECT_EQ(rect.right, -560);
    EXPECT_EQ(rect.bottom, 400);
    EXPECT_EQ(::GetPrivateProfileIntW(L"PLAYER", L"POS_LEFT", 0, path().c_str()), -1280);
}

TEST_F(SettingsFileTest, AnExistingAnsiFileIsReadAsItIs) {
    const char ansi[] = "[SYSTEM]\r\nVIDEOID=dQw4w9WgXcQ\r\n[PLAYER]\r\nPOS_LEFT=10\r\nPOS_TOP=20x\r\nPOS_RIGHT=abc\r\n";
    FILE* file = _wfopen(path().c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(ansi, 1, sizeof ansi - 1, file);
    std::fclose(file);
    std::wstring videoRef;
    RECT rect{0, 0, 0, 0};
    LoadSettings(videoRef, rect);
    EXPECT_EQ(videoRef, L"dQw4w9WgXcQ");
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(rect.bottom, 0);
    // Writing makes the file whole again, as UTF-16.
    SaveSettings(L"東京", rect);
    EXPECT_EQ(clipdeck::test::ReadFileBytes(path()).substr(0, 2), "\xFF\xFE");
    LoadSettings(videoRef, rect);
    EXPECT_EQ(videoRef, L"東京");
}

TEST_F(SettingsFileTest, ReadsAtMost260CharactersOfTheBoxText) {
    std::wstring longText(300, L'a');
    longText[259] = L'Z';
    SaveSettings(longText, RECT{0, 0, 0, 0});
    std::wstring videoRef;
    RECT rect{0, 0, 0, 0};
    LoadSettings(videoRef, rect);
    EXPECT_EQ(videoRef.size(), 260u);
    EXPECT_EQ(videoRef.back(), L'Z');
}

// The settings go to a copy that then replaces the file, so a program killed
// while closing leaves the old file whole; a copy left by such a kill is
// thrown away, not taken over. Blanks around the box text are kept.
TEST_F(SettingsFileTest, SavingGoesThroughAFreshCopyThatReplacesTheFile) {
    SaveSettings(L"first", RECT{1, 2, 3, 4});
    FILE* stale = _wfopen((path() + L".new").c_str(), L"wb");
    ASSERT_NE(stale, nullptr);
    std::fputs("[JUNK]\r\nKEY=left by a killed close\r\n", stale);
    std::fclose(stale);

    SaveSettings(L"  two blanks first", RECT{5, 6, 7, 8});
    EXPECT_EQ(::GetFileAttributesW((path() + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(clipdeck::test::ReadFileBytes(path()).find("J\0U\0N\0K", 0, 7), std::string::npos);
    std::wstring videoRef;
    RECT rect{0, 0, 0, 0};
    LoadSettings(videoRef, rect);
    EXPECT_EQ(videoRef, L"  two blanks first");
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.bottom, 8);
}
