#include "support/Cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Converted(const char* utf8) {
    TextString out;
    Utf8ToCp1252(utf8, out);
    return out.Text();
}

TEST(Utf8ToCp1252, GermanLettersAndTheCodePagesOwnSignsBecomeTheirByte) {
    EXPECT_EQ(Converted("C:\\Users\\J\xC3\xBCrgen\\Stra\xC3\x9F"
                        "e"),
              "C:\\Users\\J\xFCrgen\\Stra\xDF"
              "e");
    EXPECT_EQ(Converted("\xE2\x82\xAC \xE2\x80\x9E\xE2\x80\x9C \xC5\xA0"), "\x80 \x84\x93 \x8A");
}

TEST(Utf8ToCp1252, WhatTheCodePageLacksAndBrokenBytesBecomeQuestionMarks) {
    EXPECT_EQ(Converted("\xCE\xB1\xCE\xB2 \xE8\x81\xBD"), "?? ?"); // Greek and CJK
    EXPECT_EQ(Converted("a\xFC"
                        "b"),
              "a?b");                       // a cp1252 byte, not UTF-8
    EXPECT_EQ(Converted("\xC3"), "?");      // cut off at the end
    EXPECT_EQ(Converted("\xC0\xAF"), "??"); // overlong form of '/'
    EXPECT_EQ(Converted("\xC2\x81"), "?");  // U+0081 has no cp1252 byte
}

TEST(Utf8ToCp1252, ReplacesWhatTheStringHeld) {
    TextString out;
    out.Assign("alt");
    Utf8ToCp1252("neu", out);
    EXPECT_STREQ(out.Text(), "neu");
    Utf8ToCp1252("", out);
    EXPECT_STREQ(out.Text(), "");
}

} // namespace
