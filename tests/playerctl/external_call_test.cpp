#include "playerctl/external_call.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "common/utf8.h"

namespace playerctl {
namespace {

TEST(InvokeParsing, ReadsEveryRequestFormTheProgramSends) {
    auto load = ParseInvoke(
        L"<invoke name=\"loadVideoById\" returntype=\"xml\"><arguments><string>abcDEF12345</string>"
        L"<number>90</number><string>default</string></arguments></invoke>");
    ASSERT_TRUE(load);
    EXPECT_EQ(load->name, L"loadVideoById");
    EXPECT_EQ(load->returnType, L"xml");
    ASSERT_EQ(load->arguments.size(), 3u);
    EXPECT_EQ(load->arguments[0], Value::String(L"abcDEF12345"));
    EXPECT_EQ(load->arguments[1], Value::Number(90));
    EXPECT_EQ(load->arguments[2], Value::String(L"default"));

    auto play = ParseInvoke(L"<invoke name=\"playVideo\"></invoke>");
    ASSERT_TRUE(play);
    EXPECT_EQ(play->name, L"playVideo");
    EXPECT_FALSE(play->returnType);
    EXPECT_TRUE(play->arguments.empty());

    auto seek = ParseInvoke(
        L"<invoke name=\"seekTo\" returntype=\"xml\"><arguments><number>75.500</number><true/>"
        L"</arguments></invoke>");
    ASSERT_TRUE(seek);
    ASSERT_EQ(seek->arguments.size(), 2u);
    EXPECT_EQ(seek->arguments[0], Value::Number(75.5));
    EXPECT_EQ(seek->arguments[1], Value::Bool(true));

    auto volume = ParseInvoke(L"<invoke name=\"getVolume\" returntype=\"xml\"></invoke>");
    ASSERT_TRUE(volume);
    EXPECT_TRUE(volume->arguments.empty());
}

TEST(InvokeParsing, AcceptsSingleQuotesWhiteSpaceAndEveryScalarKind) {
    auto r = ParseInvoke(
        L"  <invoke returntype='xml'  name = 'f' >\r\n <arguments>\n"
        L"<number> -12 </number><false/><null/><undefined/><true />"
        L"<string/><string></string><array><property id=\"0\"><string>a</string></property>"
        L"<property id='1'><number>2</number></property></array>"
        L"</arguments>\n</invoke>\n");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->name, L"f");
    std::vector<Value> expected = {Value::Number(-12), Value::Bool(false), Value::Null(),
                                   Value::Undefined(), Value::Bool(true), Value::String(L""),
                                   Value::String(L""),
                                   Value::Array({Value::String(L"a"), Value::Number(2)})};
    EXPECT_EQ(r->arguments, expected);

    auto selfClosed = ParseInvoke(L"<invoke name=\"mute\"/>");
    ASSERT_TRUE(selfClosed);
    EXPECT_EQ(selfClosed->name, L"mute");
    auto emptyArgs = ParseInvoke(L"<invoke name=\"f\"><arguments/></invoke>");
    ASSERT_TRUE(emptyArgs);
    EXPECT_TRUE(emptyArgs->arguments.empty());
}

TEST(InvokeParsing, DecodesEntitiesNumericReferencesAndCdata) {
    auto r = ParseInvoke(
        L"<invoke name=\"a&amp;b\"><arguments>"
        L"<string>&amp;&lt;&gt;&quot;&apos;</string>"
        L"<string>&#65;&#x42;&#x65E5;&#x1F600;</string>"
        L"<string>x<![CDATA[<b>&amp;</b>]]>y&amp;<![CDATA[]]></string>"
        L"<string>\x65e5\x672c\x8a9e</string>"
        L"</arguments></invoke>");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->name, L"a&b");
    ASSERT_EQ(r->arguments.size(), 4u);
    EXPECT_EQ(r->arguments[0].text, L"&<>\"'");
    std::wstring expected = L"AB\x65e5";
    common::AppendUtf16(expected, U'\U0001F600');
    EXPECT_EQ(r->arguments[1].text, expected);
    EXPECT_EQ(r->arguments[2].text, L"x<b>&amp;</b>y&");
    EXPECT_EQ(r->arguments[3].text, L"\x65e5\x672c\x8a9e");
}

TEST(InvokeParsing, RejectsMalformedRequests) {
    const wchar_t* bad[] = {
        L"",
        L"invoke",
        L"<invoke></invoke>",                                    // no name
        L"<invoke name=\"\"></invoke>",                          // empty name
        L"<invoke name=\"f\">",                                  // never closed
        L"<invoke name=\"f\"></invok>",
        L"<invoke name=f></invoke>",                             // unquoted
        L"<invoke name=\"f'></invoke>",                          // mixed quotes
        L"<invoke name=\"f\" name=\"g\"></invoke>",              // duplicate attribute
        L"<invoke name=\"f\"returntype=\"xml\"></invoke>",       // no blank between attributes
        L"<invoke name=\"f\"></invoke>trailing",
        L"<invoke name=\"f\"></invoke><invoke name=\"g\"></invoke>",
        L"<call name=\"f\"></call>",
        L"<invoke name=\"f\"><arguments><string>a</arguments></invoke>",
        L"<invoke name=\"f\"><arguments><string>a & b</string></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><string>&bogus;</string></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><string>&#0;</string></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><string>&#xD800;</string></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><string>&#x110000;</string></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><string>&#x;</string></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><string>a<b/></string></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><string><![CDATA[open</string></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><number></number></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><number>12abc</number></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><number>1e999</number></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><number/></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><true></false></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><object></object></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><string id=\"1\">a</string></arguments></invoke>",
        L"<invoke name=\"f\"><arguments><array><string>a</string></array></arguments></invoke>",
        L"<invoke name=\"<f>\"></invoke>",
    };
    for (const wchar_t* text : bad) EXPECT_FALSE(ParseInvoke(text)) << std::wstring(text).size();
}

TEST(InvokeParsing, RejectsNestingBeyondReason) {
    std::wstring deep = L"<invoke name=\"f\"><arguments>";
    for (int i = 0; i < 1000; ++i) deep += L"<array><property id=\"0\">";
    deep += L"<null/>";
    for (int i = 0; i < 1000; ++i) deep += L"</property></array>";
    deep += L"</arguments></invoke>";
    EXPECT_FALSE(ParseInvoke(deep));
}

TEST(InvokeParsing, ReadsNumberForms) {
    auto number = [](const wchar_t* text) {
        auto r = ParseInvoke(std::wstring(L"<invoke name=\"f\"><arguments><number>") + text +
                             L"</number></arguments></invoke>");
        return r ? r->arguments.at(0).number : -999.0;
    };
    EXPECT_EQ(number(L"75"), 75);
    EXPECT_EQ(number(L"12.500"), 12.5);
    EXPECT_EQ(number(L"-12"), -12);
    EXPECT_EQ(number(L"+3"), 3);
    EXPECT_EQ(number(L"1e3"), 1000);
    EXPECT_EQ(number(L"2.5E-1"), 0.25);
    EXPECT_TRUE(std::isnan(number(L"NaN")));
    EXPECT_EQ(number(L"-Infinity"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(number(L"--1"), -999.0);
}

TEST(NumberFormatting, FollowsTheScriptLanguage) {
    EXPECT_EQ(FormatNumber(75), L"75");
    EXPECT_EQ(FormatNumber(12.5), L"12.5");
    EXPECT_EQ(FormatNumber(-12), L"-12");
    EXPECT_EQ(FormatNumber(0), L"0");
    EXPECT_EQ(FormatNumber(-0.0), L"0");
    EXPECT_EQ(FormatNumber(std::nan("")), L"NaN");
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity()), L"Infinity");
    EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::infinity()), L"-Infinity");
    EXPECT_EQ(FormatNumber(0.1), L"0.1");
    EXPECT_EQ(FormatNumber(12.35), L"12.35");
    EXPECT_EQ(FormatNumber(1.0 / 3), L"0.3333333333333333");
    EXPECT_EQ(FormatNumber(3000000000.0), L"3000000000");
    EXPECT_EQ(FormatNumber(123456789012345680000.0), L"123456789012345680000");
    EXPECT_EQ(FormatNumber(1e21), L"1e+21");
    EXPECT_EQ(FormatNumber(1.5e22), L"1.5e+22");
    EXPECT_EQ(FormatNumber(0.000001), L"0.000001");
    EXPECT_EQ(FormatNumber(1e-7), L"1e-7");
    EXPECT_EQ(FormatNumber(-2.5e-8), L"-2.5e-8");
}

TEST(ReplySerialising, WritesValuesWithoutWhiteSpace) {
    EXPECT_EQ(SerializeValue(Value::Number(75)), L"<number>75</number>");
    EXPECT_EQ(SerializeValue(Value::Number(12.5)), L"<number>12.5</number>");
    EXPECT_EQ(SerializeValue(Value::String(L"a&b<c>\"d'e")),
              L"<string>a&amp;b&lt;c&gt;&quot;d&apos;e</string>");
    EXPECT_EQ(SerializeValue(Value::String(L"")), L"<string></string>");
    EXPECT_EQ(SerializeValue(Value::Bool(true)), L"<true/>");
    EXPECT_EQ(SerializeValue(Value::Bool(false)), L"<false/>");
    EXPECT_EQ(SerializeValue(Value::Null()), L"<null/>");
    EXPECT_EQ(SerializeValue(Value::Undefined()), L"<undefined/>");
    EXPECT_EQ(SerializeValue(Value::Array({})), L"<array></array>");
    EXPECT_EQ(SerializeValue(Value::Array({Value::String(L"small"), Value::String(L"medium")})),
              L"<array><property id=\"0\"><string>small</string></property>"
              L"<property id=\"1\"><string>medium</string></property></array>");
}

TEST(ReplySerialising, WritesTheMoviesCallsInInvokeForm) {
    EXPECT_EQ(SerializeInvoke(L"onStateChangeHandler", {Value::Number(1)}),
              L"<invoke name=\"onStateChangeHandler\" returntype=\"xml\"><arguments>"
              L"<number>1</number></arguments></invoke>");
    EXPECT_EQ(SerializeInvoke(L"f", {}),
              L"<invoke name=\"f\" returntype=\"xml\"><arguments></arguments></invoke>");
    EXPECT_EQ(SerializeInvoke(L"a\"b", {}),
              L"<invoke name=\"a&quot;b\" returntype=\"xml\"><arguments></arguments></invoke>");
}

TEST(ReplySerialising, RoundTripsThroughTheParser) {
    std::wstring astral = L"x";
    common::AppendUtf16(astral, U'\U0002000B');
    std::vector<Value> values = {
        Value::String(L"<&>\"' \x65e5\x672c"), Value::String(astral), Value::Number(-0.25),
        Value::Number(1e-7),  Value::Bool(false), Value::Null(), Value::Undefined(),
        Value::Array({Value::String(L"hd720"), Value::Array({Value::Number(3)})})};
    auto parsed = ParseInvoke(SerializeInvoke(L"f", values));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->arguments, values);
}

}  // namespace
}  // namespace playerctl
