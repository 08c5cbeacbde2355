#include "AllocationLimit.h"
#include "support/TextString.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each test starts from a fresh shared buffer as the program has it at start-up.
class TextStringFormat : public ::testing::Test {
protected:
    void SetUp() override { TextString::ReleaseFormatBuffer(); }
    void TearDown() override { TextString::ReleaseFormatBuffer(); }
};

TEST_F(TextStringFormat, SharedBuffersStartWith1024BytesAndAreFreedAtTheEnd) {
    {
        SharedTextBuffers buffers;
        EXPECT_EQ(TextString::FormatBufferSize(), 1024);
        TextString level;
        EXPECT_STREQ(level.Format(" %ld", 42L), " 42");
    }
    EXPECT_EQ(TextString::FormatBufferSize(), 0);
}

TEST_F(TextStringFormat, WorksWithoutSharedBuffersByAllocatingOnFirstUse) {
    TextString level;
    EXPECT_STREQ(level.Format(" %ld", -7L), " -7");
    EXPECT_EQ(TextString::FormatBufferSize(), 1024);
}

TEST_F(TextStringFormat, ResultLivesInTheStringItself) {
    TextString a;
    TextString b;
    const char* first = a.Format("%d-%s", 5, "x");
    b.Format("%d", 99);
    EXPECT_STREQ(first, "5-x");
    EXPECT_STREQ(a.Text(), "5-x");
    EXPECT_STREQ(b.Text(), "99");
}

TEST_F(TextStringFormat, LongTextGrowsTheBufferTo4096AndKeepsIt) {
    std::string long3000(3000, 'q');
    TextString text;
    text.Format("%s", long3000.c_str());
    EXPECT_EQ(std::string(text.Text()), long3000);
    EXPECT_EQ(TextString::FormatBufferSize(), 4096);
    text.Format(" %ld", 1L);
    EXPECT_STREQ(text.Text(), " 1");
    EXPECT_EQ(TextString::FormatBufferSize(), 4096);
}

TEST_F(TextStringFormat, TextOfExactlyTheBuffersSizeIsNotCut) {
    std::string exact(1024, 'e');
    TextString text;
    text.Format("%s", exact.c_str());
    EXPECT_EQ(text.Length(), 1024u);
    EXPECT_EQ(TextString::FormatBufferSize(), 2048);
    std::string fits(1023, 'f');
    TextString::ReleaseFormatBuffer();
    text.Format("%s", fits.c_str());
    EXPECT_EQ(text.Length(), 1023u);
    EXPECT_EQ(TextString::FormatBufferSize(), 1024);
}

TEST_F(TextStringFormat, TextBeyondTheLargestBufferIsCut) {
    std::string huge(600000, 'h');
    TextString text;
    text.Format("%s", huge.c_str());
    EXPECT_EQ(TextString::FormatBufferSize(), 524288);
    EXPECT_EQ(text.Length(), 524287u);
}

TEST_F(TextStringFormat, ShortMemoryShrinksTheBufferByTwoThirdsAndCuts) {
    TextString text;
    text.Format("%d", 1); // 1024 bytes
    std::string long3000(3000, 'm');
    {
        // 2048 fails, 1364 is larger than 1024 and formatting goes on; then 2728 and 1818
        // fail and 1212 is smaller than 1364, so the text is cut to 1211 characters.
        AllocationLimit limit(1500);
        text.Format("%s", long3000.c_str());
    }
    EXPECT_EQ(TextString::FormatBufferSize(), 1212);
    EXPECT_EQ(text.Length(), 1211u);
    EXPECT_EQ(std::string(text.Text()), long3000.substr(0, text.Length()));
    // With memory back the next long text grows the buffer again.
    text.Format("%s", long3000.c_str());
    EXPECT_EQ(std::string(text.Text()), long3000);
}

TEST_F(TextStringFormat, ShrinkingBufferStillGrowsWhenItGetsLarger) {
    TextString text;
    text.Format("%d", 1); // 1024 bytes
    std::string long1800(1800, 's');
    // 2048 fails but 1364 is larger than 1024, so formatting goes on: 2728 fails, 1818 fits.
    AllocationLimit limit(2000);
    text.Format("%s", long1800.c_str());
    EXPECT_EQ(std::string(text.Text()), long1800);
    EXPECT_EQ(TextString::FormatBufferSize(), 2728 / 3 * 2);
}

TEST_F(TextStringFormat, LevelsOfEveryRangeFormatAsSignedDecimals) {
    TextString text;
    EXPECT_STREQ(text.Format(" %ld", static_cast<long>(2147483647)), " 2147483647");
    EXPECT_STREQ(text.Format(" %ld", static_cast<long>(-2147483647 - 1)), " -2147483648");
    EXPECT_STREQ(text.Format(" %ld", 0L), " 0");
}

} // namespace
