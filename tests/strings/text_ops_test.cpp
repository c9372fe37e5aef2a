// TextMid, TextReplace and SplitText on their edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "strings/text_array.h"

namespace {

std::string Str(const RuntimeString& s) {
    return std::string(s.Text(), s.Length());
}

std::string Mid(const char* text, double start, double count) {
    return Str(TextMid(text, start, count));
}

std::string Replace(const char* text, const char* find, const char* replacement) {
    return Str(TextReplace(text, find, replacement));
}

std::vector<std::string> Split(const char* text, const char* delimiters) {
    TextArray array;
    array.Dimension(3);
    array.At(2) = "stale";
    double n = SplitText(text, array, delimiters);
    std::vector<std::string> pieces;
    EXPECT_EQ(array.Bounds(0), n);
    for (int i = 0; i < (int)n; ++i) pieces.push_back(Str(array.At(i)));
    return pieces;
}

using Pieces = std::vector<std::string>;

}  // namespace

TEST(TextMid, StartAndCountRanges) {
    EXPECT_EQ(Mid("hello", 1, 3), "ell");
    EXPECT_EQ(Mid("hello", 3, 10), "lo");
    EXPECT_EQ(Mid("hello", 0, 5), "hello");
    EXPECT_EQ(Mid("hello", 5, 1), "");
    EXPECT_EQ(Mid("hello", -1, 2), "");
    EXPECT_EQ(Mid("hello", -1, 10), "");
    EXPECT_EQ(Mid("hello", 2, 0), "");
    EXPECT_EQ(Mid("hello", 1.9, 2.9), "el");
    EXPECT_EQ(Mid("hello", 6, 1), "");
    // A negative count is "0 or less", not "the rest of the text".
    EXPECT_EQ(Mid("hello", 2, -5), "");
    EXPECT_EQ(Mid("hello", 0, 1e12), "hello");
    EXPECT_EQ(Mid("hello", 1e12, 1e12), "");
    EXPECT_EQ(Mid("hello", std::nan(""), 2), "");
    EXPECT_EQ(Mid("", 0, 3), "");
}

TEST(TextReplace, OccurrencesLeftToRight) {
    EXPECT_EQ(Replace("a-b-c", "-", "+"), "a+b+c");
    EXPECT_EQ(Replace("aaa", "a", "bb"), "bbbbbb");
    EXPECT_EQ(Replace("abcabc", "abc", "x"), "xx");
    EXPECT_EQ(Replace("abc", "x", "y"), "abc");
    EXPECT_EQ(Replace("aaaa", "aa", "a"), "aa");  // no overlap, no rescan
    EXPECT_EQ(Replace("xax", "x", ""), "a");
    EXPECT_EQ(Replace("ab", "ab", "abab"), "abab");
    EXPECT_EQ(Replace("abc", "", "y"), "abc");
    EXPECT_EQ(Replace("abc", "", ""), "abc");
    EXPECT_EQ(Replace("", "a", "b"), "");
    RuntimeString original("keep-me");
    TextReplace(original, "-", "+");
    EXPECT_EQ(Str(original), "keep-me");
}

TEST(SplitText, PiecesAndDelimiterRuns) {
    EXPECT_EQ(Split("a,b", ","), (Pieces{"a", "b"}));
    EXPECT_EQ(Split(",a,,b,", ","), (Pieces{"a", "b"}));
    EXPECT_EQ(Split("a,,", ","), (Pieces{"a", ""}));
    EXPECT_EQ(Split(",,", ","), (Pieces{"", ""}));
    EXPECT_EQ(Split("a,,,", ","), (Pieces{"a", "", ""}));
    EXPECT_EQ(Split("", ","), Pieces{});
    EXPECT_EQ(Split("a b;c", " ;"), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(Split("abc", ","), (Pieces{"abc"}));
    // No delimiters: one piece, and nothing past the delimiter text is read.
    EXPECT_EQ(Split("a,b", ""), (Pieces{"a,b"}));
    EXPECT_EQ(Split("", ""), Pieces{});

    RuntimeString text("x;y");
    TextArray array;
    SplitText(text, array, ";");
    EXPECT_EQ(Str(text), "x;y");  // the caller's text is not changed

    TextArray empty;
    EXPECT_EQ(SplitText("", empty, ","), 0.0);
    EXPECT_EQ(empty.DimensionCount(), 0);
}
