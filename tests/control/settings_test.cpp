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
    Settings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.videoRef, L"");
    EXPECT_FALSE(HasPlace(settings.playerRect));
    EXPECT_FALSE(HasPlace(settings.favoritesRect));
    EXPECT_FALSE(HasPlace(settings.historyRect));
    EXPECT_EQ(::GetFileAttributesW(path().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SettingsFileTest, ANewFileIsUnicodeSoAnyTextSurvives) {
    const std::wstring typed = L"http://www.youtube.com/watch?v=abc 日本語 Café 𝄞";
    SaveSettings({typed, RECT{-1280, -20, -560, 400}});
    std::string bytes = clipdeck::test::ReadFileBytes(path());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);

    Settings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.videoRef, typed);
    EXPECT_EQ(settings.playerRect.left, -1280);
    EXPECT_EQ(settings.playerRect.top, -20);
    EXPECT_EQ(settings.playerRect.right, -560);
    EXPECT_EQ(settings.playerRect.bottom, 400);
    EXPECT_EQ(::GetPrivateProfileIntW(L"PLAYER", L"POS_LEFT", 0, path().c_str()), -1280);
}

// The list windows' places go beside the player window's, each only once it
// has one; a place already in the file stays when this run has none.
TEST_F(SettingsFileTest, TheListWindowsPlacesAreKeptBesideThePlayerWindows) {
    SaveSettings({L"a", RECT{1, 2, 3, 4}, RECT{10, 20, 670, 320}, RECT{0, 0, 0, 0}});
    EXPECT_EQ(::GetPrivateProfileIntW(L"FAVORITE", L"POS_RIGHT", 0, path().c_str()), 670);
    EXPECT_EQ(::GetPrivateProfileIntW(L"HISTORY", L"POS_LEFT", -1, path().c_str()), -1);
    SaveSettings({L"b", RECT{1, 2, 3, 4}, RECT{0, 0, 0, 0}, RECT{-500, 5, -10, 290}});
    Settings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.favoritesRect.left, 10);
    EXPECT_EQ(settings.favoritesRect.bottom, 320);
    EXPECT_EQ(settings.historyRect.left, -500);
    EXPECT_EQ(settings.historyRect.top, 5);
    EXPECT_EQ(settings.historyRect.right, -10);
}

// A file in the ANSI code page reads as it is; the first save rewrites it
// whole as UTF-16, with what else it held.
TEST_F(SettingsFileTest, AnExistingAnsiFileIsReadAsItIsAndKeptWhole) {
    const char ansi[] = "[SYSTEM]\r\nVIDEOID=dQw4w9WgXcQ\r\nMINE=kept\r\n[PLAYER]\r\nPOS_LEFT=10\r\nPOS_TOP=20x\r\n"
                        "POS_RIGHT=abc\r\n[OTHER]\r\nKEY=also kept\r\n";
    FILE* file = _wfopen(path().c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(ansi, 1, sizeof ansi - 1, file);
    std::fclose(file);
    Settings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.videoRef, L"dQw4w9WgXcQ");
    EXPECT_EQ(settings.playerRect.left, 10);
    EXPECT_EQ(settings.playerRect.top, 20);
    EXPECT_EQ(settings.playerRect.right, 0);
    EXPECT_EQ(settings.playerRect.bottom, 0);
    settings.videoRef = L"東京";
    SaveSettings(settings);
    EXPECT_EQ(clipdeck::test::ReadFileBytes(path()).substr(0, 2), "\xFF\xFE");
    Settings again;
    LoadSettings(again);
    EXPECT_EQ(again.videoRef, L"東京");
    wchar_t kept[32];
    ::GetPrivateProfileStringW(L"SYSTEM", L"MINE", L"", kept, 32, path().c_str());
    EXPECT_STREQ(kept, L"kept");
    ::GetPrivateProfileStringW(L"OTHER", L"KEY", L"", kept, 32, path().c_str());
    EXPECT_STREQ(kept, L"also kept");
}

TEST_F(SettingsFileTest, ReadsAtMost260CharactersOfTheBoxText) {
    std::wstring longText(300, L'a');
    longText[259] = L'Z';
    SaveSettings({longText});
    Settings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.videoRef.size(), 260u);
    EXPECT_EQ(settings.videoRef.back(), L'Z');
}

// The settings go to a copy that then replaces the file, so a program killed
// while closing leaves the old file whole; a copy left by such a kill is
// thrown away, not taken over. Blanks around the box text are kept.
TEST_F(SettingsFileTest, SavingGoesThroughAFreshCopyThatReplacesTheFile) {
    SaveSettings({L"first", RECT{1, 2, 3, 4}});
    FILE* stale = _wfopen((path() + L".new").c_str(), L"wb");
    ASSERT_NE(stale, nullptr);
    std::fputs("[JUNK]\r\nKEY=left by a killed close\r\n", stale);
    std::fclose(stale);

    SaveSettings({L"  two blanks first", RECT{5, 6, 7, 8}});
    EXPECT_EQ(::GetFileAttributesW((path() + L".new").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(clipdeck::test::ReadFileBytes(path()).find("J\0U\0N\0K", 0, 7), std::string::npos);
    Settings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.videoRef, L"  two blanks first");
    EXPECT_EQ(settings.playerRect.left, 5);
    EXPECT_EQ(settings.playerRect.bottom, 8);
}

// The [SERVICE] section is the user's: read as written, and kept through
// the program's own writes of the file.
TEST_F(SettingsFileTest, TheServiceSectionIsReadAndKeptThroughSaves) {
    EXPECT_EQ(LoadServiceSettings().videos, L"");
    SaveSettings({L"first"});
    ::WritePrivateProfileStringW(L"SERVICE", L"VIDEOS", L"D:\\映画\\Films", path().c_str());
    ::WritePrivateProfileStringW(L"SERVICE", L"FEED_HOST", L"videos.example:8080", path().c_str());
    SaveSettings({L"second", RECT{1, 2, 3, 4}});
    const ServiceSettings service = LoadServiceSettings();
    EXPECT_EQ(service.videos, L"D:\\映画\\Films");
    EXPECT_EQ(service.feedHost, L"videos.example:8080");
    EXPECT_EQ(service.playerHost, L"");
    Settings settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.videoRef, L"second");
}
