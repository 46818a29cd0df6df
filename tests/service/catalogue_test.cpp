#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "catalogue.h"

namespace clipdeck::service {
namespace {

constexpr char kGoodLine[] =
    "cdPlain0001\t213\t-\t3a7bD5\tmedium,small,hd720\t2008-02-29\tsomeone\tMorning & Night \xE6\x9D\xB1";

std::string Line(const std::string& id, const std::string& seconds, const std::string& flags,
                 const std::string& colour, const std::string& levels, const std::string& date,
                 const std::string& author, const std::string& title) {
    return id + "\t" + seconds + "\t" + flags + "\t" + colour + "\t" + levels + "\t" + date +
           "\t" + author + "\t" + title;
}

std::string GoodLineWith(int field, const std::string& value) {
    std::string fields[8] = {"cdPlain0001", "213", "-", "3A7BD5", "small", "2008-03-14", "me", "Title"};
    fields[field] = value;
    return Line(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]);
}

TEST(CatalogueParse, ReadsEveryFieldOfAWellFormedLine) {
    CatalogueParse parse = ParseCatalogue(kGoodLine);
    ASSERT_TRUE(parse.errors.empty()) << parse.errors[0].message;
    ASSERT_EQ(parse.catalogue.Videos().size(), 1u);
    const Video& v = parse.catalogue.Videos()[0];
    EXPECT_EQ(v.id, "cdPlain0001");
    EXPECT_EQ(v.seconds, 213);
    EXPECT_FALSE(v.noEmbed);
    EXPECT_FALSE(v.isPrivate);
    EXPECT_EQ(v.colour, 0x3A7BD5u);
    // Listed in any order, kept highest first.
    EXPECT_EQ(v.levels, (std::vector<Quality>{Quality::Hd720, Quality::Medium, Quality::Small}));
    EXPECT_EQ(v.published, "2008-02-29");
    EXPECT_EQ(v.author, "someone");
    EXPECT_EQ(v.title, "Morning & Night \xE6\x9D\xB1");
}

TEST(CatalogueParse, ReadsFlags) {
    auto parse = ParseCatalogue(GoodLineWith(2, "noembed") + "\n" +
                                Line("cdPlain0002", "5", "private,noembed", "000000", "small",
                                     "2010-01-01", "a", "b"));
    ASSERT_TRUE(parse.errors.empty());
    const Video* a = parse.catalogue.Find("cdPlain0001");
    const Video* b = parse.catalogue.Find("cdPlain0002");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(a->noEmbed);
    EXPECT_FALSE(a->isPrivate);
    EXPECT_TRUE(b->noEmbed);
    EXPECT_TRUE(b->isPrivate);
}

TEST(CatalogueParse, SkipsCommentsBlankLinesByteOrderMarkAndCarriageReturns) {
    std::string text = "\xEF\xBB\xBF# header\r\n\r\n   \t \n" + std::string(kGoodLine) + "\r\n# " +
                       "cdPlain0002 would be here\n";
    auto parse = ParseCatalogue(text);
    ASSERT_TRUE(parse.errors.empty()) << parse.errors[0].message;
    ASSERT_EQ(parse.catalogue.Videos().size(), 1u);
    // The CR of the line end is not part of the title.
    EXPECT_EQ(parse.catalogue.Videos()[0].title, "Morning & Night \xE6\x9D\xB1");
}

TEST(CatalogueParse, ReportsEveryMalformedLineWithItsNumberAndKeepsTheGoodOnes) {
    std::string text = "# comment\n" +                                   // 1
                       GoodLineWith(0, "cdGood00001") + "\n" +           // 2
                       GoodLineWith(0, "short") + "\n" +                 // 3
                       "\n" +                                            // 4
                       GoodLineWith(1, "0") + "\n" +                     // 5
                       GoodLineWith(0, "cdGood00002") + "\n" +           // 6
                       "only\ttwo\n";                                    // 7
    auto parse = ParseCatalogue(text);
    ASSERT_EQ(parse.errors.size(), 3u);
    EXPECT_EQ(parse.errors[0].line, 3);
    EXPECT_NE(parse.errors[0].message.find("'short'"), std::string::npos) << parse.errors[0].message;
    EXPECT_EQ(parse.errors[1].line, 5);
    EXPECT_NE(parse.errors[1].message.find("length"), std::string::npos) << parse.errors[1].message;
    EXPECT_EQ(parse.errors[2].line, 7);
    EXPECT_NE(parse.errors[2].message.find("found 2"), std::string::npos) << parse.errors[2].message;
    EXPECT_EQ(parse.catalogue.Videos().size(), 2u);
}

struct BadField {
    int field;
    const char* value;
    const char* messagePart;
};

class CatalogueBadField : public testing::TestWithParam<BadField> {};

TEST_P(CatalogueBadField, IsReportedOnItsLine) {
    const BadField& bad = GetParam();
    auto parse = ParseCatalogue("# x\n" + GoodLineWith(bad.field, bad.value) + "\n");
    ASSERT_EQ(parse.errors.size(), 1u) << "value '" << bad.value << "' was accepted";
    EXPECT_EQ(parse.errors[0].line, 2);
    EXPECT_NE(parse.errors[0].message.find(bad.messagePart), std::string::npos)
        << parse.errors[0].message;
    EXPECT_TRUE(parse.catalogue.Videos().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CatalogueBadField,
    testing::Values(BadField{0, "cdPlain000", "video ID"}, BadField{0, "cdPlain00012", "video ID"},
                    BadField{0, "cdPlain.001", "video ID"}, BadField{0, "", "video ID"},
                    BadField{1, "0", "length"}, BadField{1, "-5", "length"},
                    BadField{1, "12a", "length"}, BadField{1, "360000", "length"},
                    BadField{1, "99999999999", "length"}, BadField{1, "", "length"},
                    BadField{2, "hidden", "unknown flag"}, BadField{2, "noembed,", "unknown flag"},
                    BadField{2, "", "unknown flag"}, BadField{3, "12345G", "colour"},
                    BadField{3, "#12345", "colour"}, BadField{3, "1234567", "colour"},
                    BadField{4, "", "quality level"}, BadField{4, "4k", "quality level"},
                    BadField{4, "small,,large", "quality level"},
                    BadField{4, "small,large,small", "listed twice"},
                    BadField{4, "Small", "quality level"}, BadField{5, "2008-02-30", "date"},
                    BadField{5, "2009-02-29", "date"}, BadField{5, "2008-2-03", "date"},
                    BadField{5, "1969-12-31", "date"}, BadField{5, "2008-13-01", "date"},
                    BadField{6, "", "author is empty"}, BadField{7, "", "title is empty"},
                    BadField{7, "bell\x07", "control character"},
                    BadField{6, "a\x7F", "control character"},
                    BadField{7, "caf\xE9", "UTF-8"}));

TEST(CatalogueParse, RejectsWrongFieldCounts) {
    auto parse = ParseCatalogue(std::string(kGoodLine) + "\textra\n" +
                                "cdPlain0002\t1\t-\t000000\tsmall\t2010-01-01\ttitle only\n");
    ASSERT_EQ(parse.errors.size(), 2u);
    EXPECT_NE(parse.errors[0].message.find("found 9"), std::string::npos);
    EXPECT_NE(parse.errors[1].message.find("found 7"), std::string::npos);
}

TEST(CatalogueParse, ReportsARepeatedIdWithTheLineOfItsFirstUse) {
    auto parse = ParseCatalogue(std::string(kGoodLine) + "\n\n" + kGoodLine + "\n");
    ASSERT_EQ(parse.errors.size(), 1u);
    EXPECT_EQ(parse.errors[0].line, 3);
    EXPECT_NE(parse.errors[0].message.find("line 1"), std::string::npos) << parse.errors[0].message;
}

TEST(CatalogueParse, AnEmptyCatalogueIsAnError) {
    auto parse = ParseCatalogue("# nothing here\n\n");
    ASSERT_EQ(parse.errors.size(), 1u);
    EXPECT_EQ(parse.errors[0].line, 0);
}

TEST(CatalogueFind, IsExactAndCaseSensitive) {
    auto parse = ParseCatalogue(kGoodLine);
    EXPECT_NE(parse.catalogue.Find("cdPlain0001"), nullptr);
    EXPECT_EQ(parse.catalogue.Find("cdplain0001"), nullptr);
    EXPECT_EQ(parse.catalogue.Find("cdPlain000"), nullptr);
    EXPECT_EQ(parse.catalogue.Find("cdPlain0001 "), nullptr);
    EXPECT_EQ(parse.catalogue.Find(""), nullptr);
}

TEST(VideoId, AcceptsOnlyElevenUrlSafeCharacters) {
    EXPECT_TRUE(IsValidVideoId("abcXYZ019-_"));
    EXPECT_TRUE(IsValidVideoId("-----------"));
    EXPECT_FALSE(IsValidVideoId("abcXYZ019-"));
    EXPECT_FALSE(IsValidVideoId("abcXYZ019-_a"));
    EXPECT_FALSE(IsValidVideoId("abcXYZ019-+"));
    EXPECT_FALSE(IsValidVideoId("abcXYZ019-%"));
    EXPECT_FALSE(IsValidVideoId(std::string("abcXYZ019-\0", 11)));
}

class CatalogueFile : public testing::Test {
protected:
    void SetUp() override {
        path_ = testing::TempDir() + "clipdeck_catalogue_test_" +
                testing::UnitTest::GetInstance()->current_test_info()->name() + ".tsv";
    }
    void TearDown() override { std::remove(path_.c_str()); }
    void Write(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
    }
    std::string path_;
};

TEST_F(CatalogueFile, LoadsASoundFile) {
    Write(std::string("# catalogue\n") + kGoodLine + "\n");
    CatalogueLoad load = LoadCatalogueFile(path_);
    ASSERT_TRUE(load.catalogue.has_value());
    EXPECT_TRUE(load.messages.empty());
    EXPECT_NE(load.catalogue->Find("cdPlain0001"), nullptr);
}

TEST_F(CatalogueFile, MessagesNameThePathAndLine) {
    Write(std::string("# catalogue\n") + kGoodLine + "\nbroken\n");
    CatalogueLoad load = LoadCatalogueFile(path_);
    EXPECT_FALSE(load.catalogue.has_value());
    ASSERT_EQ(load.messages.size(), 1u);
    EXPECT_EQ(load.messages[0].rfind(path_ + ":3: ", 0), 0u) << load.messages[0];
}

TEST_F(CatalogueFile, AFolderIsNotACatalogue) {
    CatalogueLoad load = LoadCatalogueFile(testing::TempDir());
    EXPECT_FALSE(load.catalogue.has_value());
    ASSERT_EQ(load.messages.size(), 1u);
    EXPECT_NE(load.messages[0].find("folder"), std::string::npos) << load.messages[0];
}

}  // namespace
}  // namespace clipdeck::service
