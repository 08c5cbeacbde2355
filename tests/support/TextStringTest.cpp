#include "support/TextString.h"
#include "AllocationLimit.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TextStringBlocks, NewStringIsEmptyWithoutBlock) {
    TextString text;
    EXPECT_STREQ(text.Text(), "");
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_EQ(text.Buffer(), nullptr);
    EXPECT_EQ(text.Capacity(), 0u);
}

TEST(TextStringBlocks, EveryEmptyStringSharesOneEmptyText) {
    TextString a;
    TextString b;
    b.Assign("x");
    b.Release();
    EXPECT_EQ(a.Text(), b.Text());
}

TEST(TextStringBlocks, BlockSizesAreRoundedUpToEightBytes) {
    struct Case {
        std::uint32_t characters;
        std::uint32_t bytes;
    };
    for (Case c : {Case{1, 8}, Case{3, 8}, Case{4, 16}, Case{11, 16}, Case{12, 24}, Case{19, 24},
                   Case{20, 32}, Case{1023, 1032}}) {
        TextString text;
        ASSERT_EQ(text.Reserve(c.characters), 1);
        EXPECT_EQ(text.Capacity(), c.bytes) << c.characters << " characters";
        EXPECT_STREQ(text.Text(), "");
        EXPECT_NE(text.Buffer(), nullptr);
    }
}

TEST(TextStringBlocks, ReserveReusesALargeEnoughBlockAndReplacesASmallOne) {
    TextString text;
    text.Assign("hello", 10);
    ASSERT_EQ(text.Capacity(), 16u);
    char* before = text.Buffer();
    EXPECT_EQ(text.Reserve(10), 1);
    EXPECT_EQ(text.Buffer(), before);
    EXPECT_STREQ(text.Text(), "");
    EXPECT_EQ(text.Reserve(20), 1);
    EXPECT_EQ(text.Capacity(), 32u);
    EXPECT_EQ(text.Reserve(0), 1);
    EXPECT_EQ(text.Buffer(), nullptr);
}

TEST(TextStringBlocks, ReserveThenBufferLetsACallerWriteInPlace) {
    TextString path;
    path.Reserve(1024);
    std::strcpy(path.Buffer(), "C:\\Programme\\tonolot.exe");
    EXPECT_EQ(path.Length(), 24u);
    EXPECT_GE(path.Capacity() - 4, 1025u);
}

TEST(TextStringBlocks, FailedAllocationsLeaveTheDocumentedState) {
    TextString text;
    text.Assign("abc");
    AllocationLimit limit(16);
    EXPECT_EQ(text.Append("defghijklmnopqrstuvw"), 0);
    EXPECT_STREQ(text.Text(), "abc");
    EXPECT_EQ(text.Reserve(100), 0);
    EXPECT_EQ(text.Buffer(), nullptr);
    EXPECT_STREQ(text.Text(), "");
    EXPECT_EQ(text.Assign("a text far too long for the limit"), 0);
    EXPECT_EQ(text.Length(), 0u);
}

TEST(TextStringBlocks, HugeLengthsFailInsteadOfWrappingAround) {
    TextString text;
    text.Assign("abc");
    EXPECT_EQ(text.Reserve(0xFFFFFFFEu), 0);
    EXPECT_EQ(text.Buffer(), nullptr);
    text.Assign("abc");
    EXPECT_EQ(text.Grow(0xFFFFFFF0u), 0);
    EXPECT_STREQ(text.Text(), "abc");
}

TEST(TextStringAssign, CutsToTheGivenLengthOrTheTextsEnd) {
    TextString text;
    text.Assign("abcdef", 3);
    EXPECT_STREQ(text.Text(), "abc");
    EXPECT_EQ(text.Capacity(), 8u);
    text.Assign("abcdef", 10);
    EXPECT_STREQ(text.Text(), "abcdef");
    EXPECT_EQ(text.Capacity(), 16u);
    text.Assign("abcdef");
    EXPECT_EQ(text.Length(), 6u);
}

TEST(TextStringAssign, EmptyTextNullAndZeroLengthFreeTheBlock) {
    TextString empty;
    TextString text;
    text.Assign("abc");
    text.Assign("");
    EXPECT_EQ(text.Buffer(), nullptr);
    EXPECT_EQ(text.Text(), empty.Text());
    text.Assign("abc");
    text.Assign(nullptr);
    EXPECT_EQ(text.Buffer(), nullptr);
    text.Assign("abc");
    text.Assign("abc", 0);
    EXPECT_EQ(text.Buffer(), nullptr);
}

TEST(TextStringAssign, OwnTextIsCutButNeverLengthened) {
    TextString text;
    text.Assign("abcdef");
    text.Assign(text.Text(), 10);
    EXPECT_STREQ(text.Text(), "abcdef");
    text.Assign(text.Text());
    EXPECT_STREQ(text.Text(), "abcdef");
    char* block = text.Buffer();
    text.Assign(text.Text(), 2);
    EXPECT_STREQ(text.Text(), "ab");
    EXPECT_EQ(text.Buffer(), block);
}

TEST(TextStringAppend, EmptyStringTakesTheTextInAnExactBlock) {
    TextString text;
    text.Append("abcdefghijkl");
    EXPECT_STREQ(text.Text(), "abcdefghijkl");
    EXPECT_EQ(text.Capacity(), 24u);
}

TEST(TextStringAppend, GrowsToHalfAgainTheNeededLength) {
    TextString text;
    text.Assign("abc");
    ASSERT_EQ(text.Capacity(), 8u);
    EXPECT_EQ(text.Append("defgh"), 1);
    EXPECT_STREQ(text.Text(), "abcdefgh");
    EXPECT_EQ(text.Capacity(), 24u); // made for 8 + 4 characters
    char* block = text.Buffer();
    text.Append("ijklmnopqrs"); // 19 characters still fit
    EXPECT_STREQ(text.Text(), "abcdefghijklmnopqrs");
    EXPECT_EQ(text.Buffer(), block);
}

TEST(TextStringAppend, TakesOnlyTheGivenLength) {
    TextString text;
    text.Assign("ab");
    text.Append("cdef", 2);
    EXPECT_STREQ(text.Text(), "abcd");
    text.Append("xy", 5); // the text ends earlier
    EXPECT_STREQ(text.Text(), "abcdxy");
}

TEST(TextStringAppend, EmptyTextOrZeroLengthChangesNothing) {
    TextString text;
    text.Assign("abc");
    char* block = text.Buffer();
    text.Append("");
    text.Append("def", 0);
    text.Append(nullptr);
    EXPECT_STREQ(text.Text(), "abc");
    EXPECT_EQ(text.Buffer(), block);
    TextString none;
    none.Append("");
    EXPECT_EQ(none.Buffer(), nullptr);
}

TEST(TextStringSetChar, ReplacesInsideAndAppendsBehind) {
    TextString text;
    text.Assign("abc");
    text.SetChar(1, 'x');
    EXPECT_STREQ(text.Text(), "axc");
    text.Assign("abc");
    text.SetChar(7, 'x');
    EXPECT_STREQ(text.Text(), "abcx");
    text.Assign("abc");
    text.SetChar(7, '\0');
    EXPECT_STREQ(text.Text(), "abc");
    text.SetChar(1, '\0');
    EXPECT_STREQ(text.Text(), "a");
    TextString empty;
    empty.SetChar(0, 'z');
    EXPECT_STREQ(empty.Text(), "z");
}

} // namespace
