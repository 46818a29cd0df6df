#include "core/environment.h"

#include <gtest/gtest.h>

TEST(DebugSwitch, OnlyTheExactWholeArgumentCounts) {
    EXPECT_TRUE(IsDebugSwitch(L"-D482"));
    EXPECT_FALSE(IsDebugSwitch(L"-d482"));
    EXPECT_FALSE(IsDebugSwitch(L"/D482"));
    EXPECT_FALSE(IsDebugSwitch(L"-D4821"));
    EXPECT_FALSE(IsDebugSwitch(L" -D482"));
    EXPECT_FALSE(IsDebugSwitch(L""));
}

TEST(ProgramFolder, IsThePathUpToItsLastBackslash) {
    EXPECT_EQ(FolderOf(L"C:\\Program Files\\Clipdeck\\Clipdeck.exe"), L"C:\\Program Files\\Clipdeck");
    EXPECT_EQ(FolderOf(L"Clipdeck.exe"), L"");
    EXPECT_EQ(FolderOf(L"C:\\Clipdeck.exe"), L"C:");
    EXPECT_EQ(FolderOf(L""), L"");
}

TEST(Environment, IsCreatedOnFirstUseAndAddressesDataFilesInItsFolder) {
    ReleaseAppEnvironment();
    EXPECT_EQ(appEnvironment, nullptr);
    EXPECT_EQ(DataFilePath(L"Clipdeck.ini"), L"\\Clipdeck.ini");
    ASSERT_NE(appEnvironment, nullptr);
    EXPECT_EQ(appEnvironment->debugMode, 0);
    appEnvironment->directory = L"D:\\Tools\\Clipdeck";
    EXPECT_EQ(DataFilePath(L"History.ini"), L"D:\\Tools\\Clipdeck\\History.ini");
    ReleaseAppEnvironment();
    EXPECT_EQ(appEnvironment, nullptr);
}
