// The Lua bindings fuzz target's decoder: the path test that keeps file
// bindings inside the scratch directory, and the bounds every input decodes
// within.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/lua_bindings_input.h"

namespace {

bool Inside(const std::string& path) { return PathStaysInside(path.data(), path.size()); }

std::vector<FuzzCall> DecodeAll(const std::vector<uint8_t>& bytes, size_t bindings) {
    FuzzInput input(bytes.data(), bytes.size());
    std::vector<FuzzCall> calls;
    FuzzCall call;
    while (calls.size() < 10000 && input.NextCall(bindings, call)) calls.push_back(call);
    return calls;
}

int Depth(const FuzzArgument& arg) {
    int deepest = 0;
    for (const FuzzArgument& item : arg.items) deepest = std::max(deepest, Depth(item));
    return arg.kind == FuzzArgument::Table ? deepest + 1 : 0;
}

}  // namespace

TEST(FuzzPaths, RelativePathsWithoutParentStepsStayInside) {
    for (const char* path : {"", "pic.bmp", "sub/inner.txt", "sub\\inner.txt", ".hidden", "a.b.c", "C:/x"})
        EXPECT_TRUE(Inside(path)) << path;
}

TEST(FuzzPaths, AbsoluteHomeAndParentPathsAreRefused) {
    for (const char* path : {"/", "/tmp/x", "\\sub", "~/x", "..", "../x", "sub/../../x", "sub\\..\\x", "a/.."})
        EXPECT_FALSE(Inside(path)) << path;
    // The runtime stops at a zero byte, the test does not: stricter, never laxer.
    EXPECT_FALSE(Inside(std::string("pic.bmp\0/../x", 13)));
}

TEST(FuzzDecoding, ReadsOneCallByTheFormat) {
    // Binding 7 of 5 is 2; 3 arguments: an int8 -3, a raw text "ab", and a
    // table holding a table holding a table (too deep: nil), then true.
    const std::vector<uint8_t> bytes = {7, 3, 3, 0xFD, 8, 2, 'a', 'b', 10, 2, 10, 1, 10, 0, 1, 1};
    const std::vector<FuzzCall> calls = DecodeAll(bytes, 5);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].binding, 2u);
    ASSERT_EQ(calls[0].arguments.size(), 3u);
    EXPECT_EQ(calls[0].arguments[0].kind, FuzzArgument::Number);
    EXPECT_EQ(calls[0].arguments[0].number, -3.0);
    EXPECT_EQ(calls[0].arguments[1].text, "ab");
    const FuzzArgument& table = calls[0].arguments[2];
    ASSERT_EQ(table.items.size(), 2u);
    ASSERT_EQ(table.items[0].kind, FuzzArgument::Table);
    ASSERT_EQ(table.items[0].items.size(), 1u);
    EXPECT_EQ(table.items[0].items[0].kind, FuzzArgument::Nil);
    EXPECT_EQ(table.items[1].kind, FuzzArgument::Boolean);
    EXPECT_EQ(table.items[1].number, 1.0);
}

TEST(FuzzDecoding, EveryInputStaysWithinTheBounds) {
    // Bytes from a fixed generator: truncated payloads, long texts and
    // nested tables all appear.
    std::vector<uint8_t> bytes(20000);
    uint32_t state = 12345;
    for (uint8_t& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = (uint8_t)(state >> 16);
    }
    for (size_t cut : {bytes.size(), (size_t)1, (size_t)2, (size_t)777}) {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + (long)cut);
        for (const FuzzCall& call : DecodeAll(part, 170)) {
            EXPECT_LT(call.binding, 170u);
            EXPECT_LE(call.arguments.size(), (size_t)kFuzzMaxArguments);
            for (const FuzzArgument& arg : call.arguments) {
                EXPECT_LE(Depth(arg), kFuzzMaxDepth);
                EXPECT_LE(arg.items.size(), (size_t)kFuzzMaxTableItems);
                EXPECT_LE(arg.text.size(), (size_t)65535 * kFuzzLongTextStep);
                EXPECT_LT(arg.slot, kFuzzSavedSlots);
                for (int s : arg.sizes) EXPECT_LE(s, 8);
            }
        }
    }
    EXPECT_TRUE(DecodeAll({}, 170).empty());
    EXPECT_TRUE(DecodeAll({1, 2, 3}, 0).empty());
}
