// One program per folder, the command line handed over, the links.
#include "launch/hand_over.h"

#include <gtest/gtest.h>

using namespace launch;

TEST(InstanceName, OneNamePerFolderWhateverItsSpelling) {
    const std::wstring name = InstanceName(L"C:\\Tools\\Clipdeck");
    EXPECT_EQ(name.rfind(L"Local\\Clipdeck-", 0), 0u);
    EXPECT_EQ(name.size(), std::wstring(L"Local\\Clipdeck-").size() + 16);
    EXPECT_EQ(name.find(L'\\', 6), std::wstring::npos);  // no further separator: one object name
    EXPECT_EQ(InstanceName(L"c:\\tools\\CLIPDECK"), name);
    EXPECT_EQ(InstanceName(L"C:/Tools/Clipdeck/"), name);
    EXPECT_EQ(InstanceName(L"C:\\Tools\\Clipdeck\\\\"), name);

    EXPECT_NE(InstanceName(L"C:\\Tools\\Clipdeck2"), name);
    EXPECT_NE(InstanceName(L"D:\\Tools\\Clipdeck"), name);
    EXPECT_NE(InstanceName(L"C:\\ツール\\Clipdeck"), InstanceName(L"C:\\ツーノ\\Clipdeck"));
}

TEST(HandOver, ArgumentsSurviveTheTripWithBlanksQuotesAndEmptyOnes) {
    const std::vector<std::wstring> arguments = {L"C:\\Tools\\Clipdeck.exe", L"clipdeck:26zTF1IcmTL", L"",
                                                 L"two \"quoted\" words", L"ビデオ"};
    const std::wstring block = EncodeArguments(arguments);
    EXPECT_EQ(DecodeArguments(block), arguments);
    EXPECT_EQ(DecodeArguments(EncodeArguments({})), std::vector<std::wstring>{});
    // A block cut short keeps what it has.
    EXPECT_EQ(DecodeArguments(std::wstring(L"a\0b", 3)), (std::vector<std::wstring>{L"a", L"b"}));
}

TEST(Links, AClipdeckLinkNamesItsVideo) {
    EXPECT_EQ(ReferenceFromLink(L"clipdeck:26zTF1IcmTL"), L"26zTF1IcmTL");
    EXPECT_EQ(ReferenceFromLink(L"CLIPDECK:26zTF1IcmTL"), L"26zTF1IcmTL");
    EXPECT_EQ(ReferenceFromLink(L"clipdeck://26zTF1IcmTL/"), L"26zTF1IcmTL");
    EXPECT_EQ(ReferenceFromLink(L"clipdeck:cd%5FPlain001"), L"cd_Plain001");
    EXPECT_EQ(ReferenceFromLink(L"clipdeck:"), L"");
    // Anything else is a reference as typed.
    EXPECT_EQ(ReferenceFromLink(L"cdPlain0001"), L"cdPlain0001");
    EXPECT_EQ(ReferenceFromLink(L"http://www.youtube.com/watch?v=cdPlain0001"),
              L"http://www.youtube.com/watch?v=cdPlain0001");
    EXPECT_EQ(ReferenceFromLink(L"clipdeckx:abc"), L"clipdeckx:abc");
}

TEST(Links, TheReferenceIsTheFirstArgumentThatIsNoSwitch) {
    EXPECT_EQ(ReferenceFromArguments({L"Clipdeck.exe"}), L"");
    EXPECT_EQ(ReferenceFromArguments({}), L"");
    EXPECT_EQ(ReferenceFromArguments({L"Clipdeck.exe", L"-D482", L"clipdeck:26zTF1IcmTL"}), L"26zTF1IcmTL");
    EXPECT_EQ(ReferenceFromArguments({L"Clipdeck.exe", L"", L"cdPlain0001", L"cdJapan0001"}), L"cdPlain0001");
    EXPECT_EQ(ReferenceFromArguments({L"Clipdeck.exe", L"/unregister"}), L"");
    // The program's own path is never a reference.
    EXPECT_EQ(ReferenceFromArguments({L"clipdeck:abc"}), L"");
}

TEST(Links, TheUnregisterSwitch) {
    EXPECT_TRUE(IsUnregisterSwitch(L"/unregister"));
    EXPECT_TRUE(IsUnregisterSwitch(L"-Unregister"));
    EXPECT_TRUE(IsUnregisterSwitch(L"/UNREGISTER"));
    EXPECT_FALSE(IsUnregisterSwitch(L"unregister"));
    EXPECT_FALSE(IsUnregisterSwitch(L"/unregister2"));
    EXPECT_FALSE(IsUnregisterSwitch(L"/unreg"));
}

TEST(Links, TheOpenCommandStartsTheProgramWithTheLink) {
    EXPECT_EQ(LinkCommand(L"C:\\Tools\\Clipdeck.exe"), L"\"C:\\Tools\\Clipdeck.exe\" \"%1\"");
    EXPECT_EQ(ProgramOfCommand(LinkCommand(L"C:\\My Tools\\Clipdeck.exe")), L"C:\\My Tools\\Clipdeck.exe");
    EXPECT_EQ(ProgramOfCommand(L"C:\\Tools\\Clipdeck.exe %1"), L"C:\\Tools\\Clipdeck.exe");
    EXPECT_EQ(ProgramOfCommand(L"  \"C:\\a b\\c.exe"), L"C:\\a b\\c.exe");  // quote never closed
    EXPECT_EQ(ProgramOfCommand(L""), L"");
}
