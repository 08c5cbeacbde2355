#include "support/Utf16.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf16, ConvertsEveryLengthOfSequenceBothWays) {
    // "a", "ü", "€", and U+1F600 (a surrogate pair).
    const std::string text = "a\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80";
    std::u16string wide;
    ASSERT_TRUE(Utf8ToUtf16(text, wide));
    EXPECT_EQ(wide, (std::u16string{u'a', 0x00FC, 0x20AC, 0xD83D, 0xDE00}));
    std::string back;
    ASSERT_TRUE(Utf16ToUtf8(wide, back));
    EXPECT_EQ(back, text);
}

TEST(Utf16, RefusesWhatIsNoValidText) {
    std::u16string wide;
    for (const char* bad : {"\xC0\xAF",         // overlong "/"
                            "\xED\xA0\x80",     // a surrogate half
                            "\xF4\x90\x80\x80", // beyond U+10FFFF
                            "\xE2\x82",         // cut off
                            "\xFC\xBF", "a\x80"}) {
        EXPECT_FALSE(Utf8ToUtf16(bad, wide)) << bad;
        EXPECT_TRUE(wide.empty());
    }
    std::string text;
    EXPECT_FALSE(Utf16ToUtf8(std::u16string{u'a', 0xD800}, text));
    EXPECT_FALSE(Utf16ToUtf8(std::u16string{0xDC00, u'a'}, text));
    EXPECT_TRUE(text.empty());
}

} // namespace
