// RuntimeString: buffer rules, conversions both ways, the operator family and
// the text operations, on the cases that have broken similar code before.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "strings/runtime_string.h"

namespace {

std::string Str(const RuntimeString& s) {
    return std::string(s.Text(), s.Length());
}

std::string NumberText(double value) {
    return Str(RuntimeString(value));
}

}  // namespace

TEST(RuntimeStringBuffer, EmptyStringOwnsNothing) {
    RuntimeString s;
    EXPECT_EQ(s.Length(), 0u);
    EXPECT_EQ(s.Capacity(), 0u);
    EXPECT_STREQ(s.Text(), "");
    EXPECT_EQ(s.CharAt(0), 0);
    s.SetCharAt(0, 'x');  // no buffer: must not write the shared empty text
    s.Truncate(0);
    EXPECT_STREQ(RuntimeString().Text(), "");

    RuntimeString filled("abc");
    filled.Truncate(0);
    EXPECT_EQ(filled.Length(), 0u);
    EXPECT_STREQ(filled.Text(), "");
}

TEST(RuntimeStringBuffer, ReserveRoundsToSteps) {
    RuntimeString a;
    a.Reserve(511);
    EXPECT_EQ(a.Capacity(), 512u);
    RuntimeString b;
    b.Reserve(512);
    EXPECT_EQ(b.Capacity(), 1024u);
    b.Reserve(100);
    EXPECT_EQ(b.Capacity(), 1024u);

    RuntimeString c("keep me");
    c.Reserve(5000);
    EXPECT_EQ(c.Capacity(), 5120u);
    EXPECT_EQ(Str(c), "keep me");
}

TEST(RuntimeStringBuffer, AssignmentKeepsLargeBufferAndAppendGrows) {
    RuntimeString s(std::string(600, 'a').c_str());
    EXPECT_EQ(s.Capacity(), 1024u);
    s = "x";
    EXPECT_EQ(s.Capacity(), 1024u);
    EXPECT_EQ(Str(s), "x");

    RuntimeString grow;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        grow += "abc";
        expected += "abc";
    }
    EXPECT_EQ(Str(grow), expected);
    EXPECT_EQ(grow.Capacity(), 1024u);
    EXPECT_EQ(grow.Text()[grow.Length()], 0);
}

TEST(RuntimeStringBuffer, SourcesInsideTheOwnBuffer) {
    RuntimeString s(std::string(500, 'q').c_str());
    s += s;  // crosses the 512 boundary while reading itself
    EXPECT_EQ(Str(s), std::string(1000, 'q'));

    RuntimeString t("hello");
    t += t.Text() + 1;
    EXPECT_EQ(Str(t), "helloello");
    t = t.Text() + 5;
    EXPECT_EQ(Str(t), "ello");
    t.SetExact(t.Text() + 1);
    EXPECT_EQ(Str(t), "llo");
    EXPECT_EQ(t.Capacity(), 4u);
    t = t;
    EXPECT_EQ(Str(t), "llo");
}

TEST(RuntimeStringBuffer, CopyCopiesBytesAndMoveTransfers) {
    RuntimeString a("text");
    RuntimeString b(a);
    b.SetCharAt(0, 'n');
    EXPECT_EQ(Str(a), "text");
    EXPECT_EQ(Str(b), "next");

    RuntimeString c(std::move(b));
    EXPECT_EQ(Str(c), "next");
    EXPECT_EQ(b.Length(), 0u);
    EXPECT_EQ(b.Capacity(), 0u);
    EXPECT_STREQ(b.Text(), "");
}

TEST(RuntimeStringBuffer, WritableBufferAndRecount) {
    RuntimeString s;
    char* buffer = s.WritableBuffer(10);
    std::strcpy(buffer, "platform");
    EXPECT_EQ(s.Length(), 0u);
    s.Recount();
    EXPECT_EQ(Str(s), "platform");

    // A buffer filled without a terminator must not make the length run past it.
    buffer = s.WritableBuffer(10);
    std::memset(buffer, 'z', s.Capacity());
    s.Recount();
    EXPECT_EQ(s.Length(), s.Capacity() - 1);
    EXPECT_EQ(s.Text()[s.Length()], 0);

    s.Truncate(3);
    EXPECT_EQ(Str(s), "zzz");
    s.Truncate(100000);  // beyond the capacity: ignored
    EXPECT_EQ(Str(s), "zzz");
}

TEST(NumberText, TenSignificantDigitsAndFixUps) {
    EXPECT_EQ(NumberText(3.0), "3");
    EXPECT_EQ(NumberText(0.0), "0");
    EXPECT_EQ(NumberText(-0.0), "0");
    EXPECT_EQ(NumberText(2.5), "2.5");
    EXPECT_EQ(NumberText(-2.5), "-2.5");
    EXPECT_EQ(NumberText(0.1), "0.1");
    EXPECT_EQ(NumberText(1.0 / 3.0), "0.3333333333");
    EXPECT_EQ(NumberText(2.0 / 3.0), "0.6666666667");
    EXPECT_EQ(NumberText(100.0), "100");
    EXPECT_EQ(NumberText(1e9), "1000000000");
    EXPECT_EQ(NumberText(9.99999999999), "10");
    EXPECT_EQ(NumberText(0.0001), "0.0001");
    EXPECT_EQ(NumberText(123.456), "123.456");
    EXPECT_EQ(NumberText(16.6666666666667), "16.66666667");
    // Exponent notation keeps 10 significant digits.
    EXPECT_EQ(NumberText(1e10), "1e+10");
    EXPECT_EQ(NumberText(123456789012.0), "1.23456789e+11");
    EXPECT_EQ(NumberText(0.00001), "1e-05");
    EXPECT_EQ(NumberText(-1.5e-300), "-1.5e-300");
    EXPECT_EQ(NumberText(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(NumberText(std::nan("")), "nan");
    EXPECT_EQ(Str(RuntimeString(0.1f)), "0.1000000015");
}

TEST(NumberText, IntegersAndLengthOfANumber) {
    EXPECT_EQ(Str(RuntimeString(int32_t(0))), "0");
    EXPECT_EQ(Str(RuntimeString(int32_t(-42))), "-42");
    EXPECT_EQ(Str(RuntimeString(std::numeric_limits<int32_t>::min())), "-2147483648");
    EXPECT_EQ(Str(RuntimeString(std::numeric_limits<int32_t>::max())), "2147483647");
    RuntimeString s;
    s = int32_t(7);
    EXPECT_EQ(s.Capacity(), 512u);
    EXPECT_EQ(NumberTextLength(3.0), 1.0);
    EXPECT_EQ(NumberTextLength(-2.25), 5.0);
}

TEST(NumberText, TextToNumberStopsAtTheFirstMisfit) {
    EXPECT_EQ(TextToNumber("  -1.5e2xyz"), -150.0);
    EXPECT_EQ(TextToNumber("\t+3"), 3.0);
    EXPECT_EQ(TextToNumber(".5"), 0.5);
    EXPECT_EQ(TextToNumber("7."), 7.0);
    EXPECT_EQ(TextToNumber("1e"), 1.0);
    EXPECT_EQ(TextToNumber("2e+"), 2.0);
    EXPECT_EQ(TextToNumber("abc"), 0.0);
    EXPECT_EQ(TextToNumber(""), 0.0);
    EXPECT_EQ(TextToNumber(nullptr), 0.0);
    EXPECT_EQ(TextToNumber("-"), 0.0);
    EXPECT_EQ(TextToNumber("."), 0.0);
    // Only decimal digits: no hexadecimal, no "inf"/"nan" words.
    EXPECT_EQ(TextToNumber("0x10"), 0.0);
    EXPECT_EQ(TextToNumber("inf"), 0.0);
    EXPECT_EQ(TextToNumber("nan"), 0.0);
    EXPECT_TRUE(std::isinf(TextToNumber("1e400")));
    EXPECT_EQ(TextToNumber("-1e-400"), 0.0);
    EXPECT_EQ(TextToNumber("12 34"), 12.0);
}

// The shortcut for whole numbers must give exactly what the text gives.
TEST(NumberText, NumberThroughTextEqualsTheTextRoundTrip) {
    auto throughText = [](double v) { return TextToNumber(RuntimeString(v).Text()); };
    auto same = [](double a, double b) {
        return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
    };
    std::vector<double> values = {0.0, -0.0, 1, -1, 0.5, -0.25, 1.0 / 3, 123456789, 1234567890,
                                  9999999999, 9999999999.5, 1e10, -1e10, 12345678901, 1e15, 1e300,
                                  -1e300, 1e-5, 5e-324, std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(), 2147483648.0, -2147483649.0};
    uint64_t state = 99;
    for (int i = 0; i < 20000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        const double scale = std::pow(10.0, (double)(state >> 60));
        const double v = (double)(int64_t)(state >> 20) / (double)(1ULL << 30) * scale;
        values.push_back(v);
        values.push_back(std::trunc(v));
    }
    for (double v : values) EXPECT_TRUE(same(NumberThroughText(v), throughText(v))) << v;
}

TEST(StringOperators, ConcatenationFamily) {
    EXPECT_EQ(Str(Concat(int32_t(5), "x") + 1.5), "5x1.5");
    RuntimeString a("a");
    EXPECT_EQ(Str(a + "b" + a), "aba");
    EXPECT_EQ(Str("<" + a + ">"), "<a>");
    EXPECT_EQ(Str(a + 2.0 + 3.0f + int32_t(-4)), "a23-4");
    EXPECT_EQ(Str(0.5 + a), "0.5a");
    EXPECT_EQ(Str(Concat("raw", "raw")), "rawraw");
    EXPECT_EQ(Str(Concat(nullptr, "x")), "x");
    RuntimeString n;
    n += 1.25;
    n += int32_t(3);
    n += RuntimeString("!");
    EXPECT_EQ(Str(n), "1.253!");
}

TEST(StringOperators, TextComparisonsAreBytewiseUnsigned) {
    RuntimeString abc("abc"), abd("abd"), high("\xe9");
    EXPECT_EQ(abc == RuntimeString("abc"), 1.0);
    EXPECT_EQ(abc == "abc", 1.0);
    EXPECT_EQ("abc" == abc, 1.0);
    EXPECT_EQ(TextEqual("abc", "abc"), 1.0);
    EXPECT_EQ(abc < abd, 1.0);
    EXPECT_EQ(abd < abc, 0.0);
    EXPECT_EQ(abc <= "abc", 1.0);
    EXPECT_EQ(abc != abd, 1.0);
    EXPECT_EQ(RuntimeString("ab") == abc, 0.0);
    EXPECT_EQ(RuntimeString("ab") < abc, 1.0);
    EXPECT_EQ(high > "a", 1.0);  // byte 233 sorts after 'a'
    EXPECT_EQ(TextGreater("\xe9", "z"), 1.0);
    EXPECT_EQ(abc.Compare("abd") < 0, true);
    EXPECT_EQ(abc.Compare("abc"), 0);
    EXPECT_GT(high.Compare("a"), 0);
}

TEST(StringOperators, NumericComparisonsConvertTheText) {
    RuntimeString ten("10"), x("x");
    EXPECT_EQ(ten == 10, 1.0);
    EXPECT_EQ(ten == 10.0, 1.0);
    EXPECT_EQ(ten == 10.0f, 1.0);
    EXPECT_EQ(x == 0, 1.0);
    EXPECT_EQ(0 == x, 1.0);
    EXPECT_EQ(TextEqual("x", 0), 1.0);
    // Numeric, not textual: "10" < "9" as text, but 10 < 9 is false.
    EXPECT_EQ(ten < 9, 0.0);
    EXPECT_EQ(ten < "9", 1.0);
    EXPECT_EQ(9.5 < ten, 1.0);
    EXPECT_EQ(TextLess(9.5, "10"), 1.0);
    EXPECT_EQ(TextGreaterEqual("  10abc", 10.0f), 1.0);
    double nan = std::nan("");
    EXPECT_EQ(ten == nan, 0.0);
    EXPECT_EQ(ten < nan, 0.0);
    EXPECT_EQ(ten >= nan, 0.0);
    EXPECT_EQ(ten != nan, 1.0);
    EXPECT_EQ(nan != ten, 1.0);
    double nine = 9, eleven = 11, same = 10;
    EXPECT_EQ(ten.Compare(&nine), 1);
    EXPECT_EQ(ten.Compare(&eleven), -1);
    EXPECT_EQ(ten.Compare(&same), 0);
    EXPECT_EQ(ten.Compare(&nan), 0);
}

TEST(TextFunctions, FindAndCharacterCodes) {
    EXPECT_EQ(TextFind("hello", "l"), 2.0);
    EXPECT_EQ(TextFind("hello", ""), 0.0);
    EXPECT_EQ(TextFind("hello", "z"), -1.0);
    EXPECT_EQ(TextFind("aab", "ab"), 1.0);
    EXPECT_EQ(TextFind("hello", "hello!"), -1.0);
    EXPECT_EQ(TextFind("", "a"), -1.0);
    EXPECT_EQ(CharCode("\xe9tude"), -23.0);
    EXPECT_EQ(CharCode(""), 0.0);
    EXPECT_EQ(Str(CharFromCode(65.9)), "A");
    EXPECT_EQ(Str(CharFromCode(-65.9)), "\xbf");
    EXPECT_EQ(Str(CharFromCode(321)), "A");  // low byte of 0x0141
    EXPECT_EQ(CharFromCode(0).Length(), 0u);
    EXPECT_EQ(CharFromCode(256).Length(), 0u);
    EXPECT_EQ(CharFromCode(1e300).Length(), 0u);
    EXPECT_EQ(CharFromCode(std::nan("")).Length(), 0u);
    RuntimeString s("a\xe9");
    EXPECT_EQ(s.CharAt(1), -23);
    EXPECT_EQ(s.CharAt(2), 0);
    EXPECT_EQ(TextLength(s), 2.0);
}

TEST(TextFunctions, CaseHexAndTrim) {
    EXPECT_EQ(Str(LowerCase("AbZ[\xc9]")), "abz[\xc9]");
    EXPECT_EQ(Str(UpperCase("azA{\xe9}")), "AZA{\xe9}");
    const uint8_t bytes[] = {0x0F, 0xA0};
    EXPECT_EQ(Str(HexOfBytes(bytes, 2)), "0FA0");
    EXPECT_EQ(HexOfBytes(bytes, 0).Length(), 0u);

    RuntimeString line("ab\r\n");
    TrimTrailingControls(line);
    EXPECT_EQ(Str(line), "ab");
    RuntimeString accented("ab\xe9");
    TrimTrailingControls(accented);
    EXPECT_EQ(Str(accented), "ab");
    RuntimeString blanks("a  ");
    TrimTrailingControls(blanks);
    EXPECT_EQ(Str(blanks), "a  ");
    RuntimeString all("\r\n\t");
    TrimTrailingControls(all);
    EXPECT_EQ(all.Length(), 0u);
}

TEST(TextFunctions, FormatNumberIsBoundedTo255) {
    EXPECT_EQ(Str(FormatNumber(8, 2, 3.14159)), "    3.14");
    EXPECT_EQ(Str(FormatNumber(8.9, 2.9, 3.14159)), "    3.14");
    EXPECT_EQ(Str(FormatNumber(0, 0, 2.75)), "3");
    EXPECT_EQ(Str(FormatNumber(-6, 1, 2.26)), "2.3   ");
    EXPECT_EQ(Str(FormatNumber(1, 3, -1.0)), "-1.000");

    RuntimeString wide = FormatNumber(1000, 2, 1.5);
    EXPECT_EQ(wide.Length(), 255u);
    EXPECT_EQ(Str(wide), std::string(255, ' '));
    RuntimeString precise = FormatNumber(0, 1000, 1.5);
    EXPECT_EQ(precise.Length(), 255u);
    EXPECT_EQ(Str(precise), "1.5" + std::string(252, '0'));
    EXPECT_EQ(FormatNumber(1e12, 1e12, 1e300).Length(), 255u);
    EXPECT_EQ(FormatNumber(5, 2, 1e300).Length(), 255u);
}

TEST(TextFunctions, ByteSetsAndCaseBlindCompare) {
    const char* text = ",,ab;c";
    EXPECT_EQ(FindFirstOf(text, ";"), text + 4);
    EXPECT_EQ(FindFirstOf(text, "xyz"), nullptr);
    EXPECT_EQ(FindFirstOf(text, ""), nullptr);
    EXPECT_EQ(FindFirstNotOf(text, ","), text + 2);
    EXPECT_EQ(FindFirstNotOf(",,,", ","), nullptr);
    EXPECT_EQ(FindFirstNotOf(text, ""), text);
    EXPECT_EQ(TextCompareNoCase("HeLLo", "hello"), 0);
    EXPECT_LT(TextCompareNoCase("abc", "ABD"), 0);
    EXPECT_GT(TextCompareNoCase("abcd", "ABC"), 0);
    // Folding goes to lower case: '_' (95) sorts before 'a'/'A'.
    EXPECT_LT(TextCompareNoCase("_", "A"), 0);
    EXPECT_NE(TextCompareNoCase("\xc9", "\xe9"), 0);  // only A-Z fold
}
