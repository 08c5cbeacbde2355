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

TEST(Cp1252ToUtf8, EveryDefinedByteComesBackUnchangedAfterTheRoundTrip) {
    EXPECT_EQ(Cp1252ToUtf8("Geh\xF6rt \x80 \x84\x93"),
              "Geh\xC3\xB6rt \xE2\x82\xAC \xE2\x80\x9E\xE2\x80\x9C");
    EXPECT_EQ(Cp1252ToUtf8("a\x81z"), "a\xEF\xBF\xBDz"); // undefined in the code page
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D) {
            all.push_back(static_cast<char>(byte));
        }
    }
    EXPECT_EQ(Converted(Cp1252ToUtf8(all.c_str()).c_str()), all);
}

} // namespace
