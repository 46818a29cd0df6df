// The catalogue shipped with the service: other tests and the demonstrations
// rely on the cases it covers and on the IDs its README lists.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "catalogue.h"
#include "common/xml_text.h"
#include "render.h"

namespace clipdeck::service {
namespace {

// UTF-16 units of a well-formed UTF-8 text: one per lead byte, two for a four-byte form.
std::size_t Utf16Length(const std::string& utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) units += (c & 0xC0) == 0x80 ? 0 : c >= 0xF0 ? 2 : 1;
    return units;
}

class ShippedCatalogue : public testing::Test {
protected:
    static void SetUpTestSuite() {
        CatalogueLoad load = LoadCatalogueFile(CLIPDECK_SERVICE_CATALOGUE);
        for (const auto& m : load.messages) ADD_FAILURE() << m;
        if (load.catalogue) catalogue_ = std::make_unique<Catalogue>(std::move(*load.catalogue));
    }
    static void TearDownTestSuite() { catalogue_.reset(); }
    void SetUp() override { ASSERT_TRUE(catalogue_) << "the shipped catalogue did not load"; }

    static bool Any(const std::function<bool(const Video&)>& pred) {
        const auto& all = catalogue_->Videos();
        return std::any_of(all.begin(), all.end(), pred);
    }
    static bool TitleHas(const Video& v, const char* bytes) {
        return v.title.find(bytes) != std::string::npos;
    }
    static const Video& Get(const char* id) {
        static const Video none;
        const Video* v = catalogue_->Find(id);
        EXPECT_NE(v, nullptr) << id;
        return v ? *v : none;
    }

    static std::unique_ptr<Catalogue> catalogue_;
};

std::unique_ptr<Catalogue> ShippedCatalogue::catalogue_;

TEST_F(ShippedCatalogue, CoversEveryCaseTheProgramMeets) {
    EXPECT_GE(catalogue_->Videos().size(), 20u);
    auto ascii = [](const Video& v) {
        return std::all_of(v.title.begin(), v.title.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    EXPECT_TRUE(Any(ascii)) << "plain ASCII";
    EXPECT_TRUE(Any([](const Video& v) { return TitleHas(v, "\xE3\x81") || TitleHas(v, "\xE3\x82"); }))
        << "kana";
    EXPECT_TRUE(Any([](const Video& v) { return TitleHas(v, "\xC3"); })) << "accented Latin";
    EXPECT_TRUE(Any([](const Video& v) { return TitleHas(v, "\xF0"); })) << "outside the basic plane";
    EXPECT_TRUE(Any([](const Video& v) { return TitleHas(v, "&"); })) << "ampersand";
    EXPECT_TRUE(Any([](const Video& v) { return Utf16Length(v.title) > 260; })) << "over 260";
    EXPECT_TRUE(Any([](const Video& v) { return v.noEmbed && !v.isPrivate; }));
    EXPECT_TRUE(Any([](const Video& v) { return v.isPrivate; }));
    EXPECT_TRUE(Any([](const Video& v) { return v.seconds <= 10; }));
    EXPECT_TRUE(Any([](const Video& v) { return v.seconds > 3600; }));
    EXPECT_TRUE(Any([](const Video& v) { return v.levels.size() == 1; }));
    EXPECT_TRUE(Any([](const Video& v) {
        return v.levels == std::vector<Quality>{Quality::Large, Quality::Medium, Quality::Small};
    }));
    EXPECT_TRUE(Any([](const Video& v) { return v.levels.front() == Quality::Hd720; }));
    EXPECT_TRUE(Any([](const Video& v) { return v.levels.front() == Quality::Highres; }));
}

TEST_F(ShippedCatalogue, DocumentedIdsKeepTheirCases) {
    EXPECT_EQ(Get("cdPlain0001").title, "Morning Walk Through the Old Harbour");
    EXPECT_EQ(Get("cdPlain0001").seconds, 213);
    EXPECT_EQ(Get("cdJapan0001").title,  // 東京の夜景タイムラプス
              "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C\xE6\x99\xAF\xE3\x82\xBF\xE3\x82\xA4"
              "\xE3\x83\xA0\xE3\x83\xA9\xE3\x83\x97\xE3\x82\xB9");
    EXPECT_EQ(Get("cdAmpers001").title, "Salt & Pepper & More: Kitchen Basics");
    EXPECT_EQ(Get("cdShort0008").seconds, 8);
    EXPECT_EQ(Get("cdShort0008").levels.size(), 1u);
    EXPECT_TRUE(Get("cdNoEmbed01").noEmbed);
    EXPECT_TRUE(Get("cdPrivate01").isPrivate);
    EXPECT_GT(Utf16Length(Get("cdLongTitle").title), 260u);
    EXPECT_GT(Get("cdOneHour01").seconds, 3600);
    EXPECT_EQ(Get("cdHighres01").levels.size(), 6u);
    EXPECT_TRUE(TitleHas(Get("cdMusic0001"), "\xF0\x9D\x84\x9E"));  // 𝄞
}

TEST_F(ShippedCatalogue, EveryEntryStartsWithTheVideoTitle) {
    for (const Video& v : catalogue_->Videos()) {
        std::string doc = RenderEntry(v);
        EXPECT_EQ(doc.find("<title"), doc.find("<title type='text'>" + common::EscapeXml(v.title) + "</title>"))
            << v.id;
    }
}

}  // namespace
}  // namespace clipdeck::service
