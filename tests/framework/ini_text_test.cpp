// The text of an INI file made in memory, and the stored form of a value.
#include "framework/ini_text.h"

#include <gtest/gtest.h>

TEST(IniText, ValuesThatWouldNotReadBackAsWrittenAreQuoted) {
    const struct {
        const wchar_t* value;
        const wchar_t* stored;
    } cases[] = {
        {L"plain text", L"plain text"},
        {L"", L""},
        {L"  padded  ", L"\"  padded  \""},
        {L"東京　", L"\"東京　\""},  // an ideographic space at the end
        {L"\"Quoted\"", L"\"\"Quoted\"\""},
        {L"'a'", L"\"'a'\""},
        {L"\"half", L"\"half"},
        {L"two\r\nlines", L"two  lines"},
        {L"line\n", L"\"line \""},
    };
    for (const auto& c : cases) EXPECT_EQ(StoredProfileValue(c.value), c.stored);
}

TEST(IniText, KeysAreSetInPlaceOrAddedAtTheEndAndNamesMatchWithoutCase) {
    IniText text;
    text.AddSection(L"System", {L"Count=20", L"OTHER=kept", L"bare line"});
    text.AddSection(L"ITEM19", {L"VIDEOID=old"});
    text.AddSection(L"SYSTEM", {L"COUNT=99"});  // the profile functions never read a second one
    text.Set(L"SYSTEM", L"COUNT", L"2");
    text.Set(L"ITEM0", L"VIDEOID", L"a=b");
    text.Set(L"item0", L"TITLE", L"");
    text.Set(L"ITEM0", L"videoid", L"new");
    EXPECT_EQ(text.Text(),
              L"[System]\r\nCount=2\r\nOTHER=kept\r\nbare line\r\n"
              L"[ITEM19]\r\nVIDEOID=old\r\n"
              L"[ITEM0]\r\nVIDEOID=new\r\nTITLE=\r\n");
}

TEST(IniText, TheFileIsUtf16LittleEndianAfterAByteOrderMark) {
    IniText text;
    EXPECT_EQ(text.Utf16LeBytes(), std::string("\xFF\xFE", 2));
    // U+1D11E as the surrogate pair Windows strings hold it.
    const std::wstring clef = {static_cast<wchar_t>(0xD834), static_cast<wchar_t>(0xDD1E)};
    text.Set(L"S", L"K", L"\u00E9" + clef);
    EXPECT_EQ(text.Utf16LeBytes(), std::string("\xFF\xFE[\0S\0]\0\r\0\n\0K\0=\0\xE9\0\x34\xD8\x1E\xDD\r\0\n\0", 26));
}
