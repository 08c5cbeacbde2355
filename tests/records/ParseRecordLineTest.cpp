#include "hearing/HearingTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> Levels(const std::int32_t (&levels)[10]) {
    return std::vector<int>(levels, levels + 10);
}

const std::vector<int> OneToTen = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
const std::vector<int> ElevenToTwenty = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

PersonRecord Parse(const std::string& line, bool expected = true) {
    PersonRecord record;
    std::memset(&record, 0xAB, sizeof record);
    EXPECT_EQ(HearingTest::ParseRecordLine(line.c_str(), record), expected) << line;
    return record;
}

TEST(ParseRecordLine, ReadsTheLineAsSaved) {
    PersonRecord record = Parse("Anna\xF7 L 1 2 3 4 5 6 7 8 9 10 R 11 12 13 14 15 16 17 18 19 20");
    EXPECT_STREQ(record.name, "Anna");
    EXPECT_EQ(Levels(record.left), OneToTen);
    EXPECT_EQ(Levels(record.right), ElevenToTwenty);
}

TEST(ParseRecordLine, LinesWithoutSeparatorOrLeftMarkerAreNoRecords) {
    Parse("Standard: L: 300  70  56  42 17 12 17 120 41 91 R: 300  70", false);
    Parse("Anna\xF7 1 2 3 R 4 5", false);
    Parse("", false);
}

TEST(ParseRecordLine, LettersLAndRInsideTheNameDoNotCount) {
    PersonRecord record =
        Parse("LARS ROLL\xF7 L 1 2 3 4 5 6 7 8 9 10 R 11 12 13 14 15 16 17 18 19 20");
    EXPECT_STREQ(record.name, "LARS ROLL");
    EXPECT_EQ(Levels(record.left), OneToTen);
    EXPECT_EQ(Levels(record.right), ElevenToTwenty);
}

TEST(ParseRecordLine, FirstLAfterTheSeparatorCountsAndMarkersNeedNoSpace) {
    PersonRecord record =
        Parse("Eva\xF7xyzL1\t2\t3\t4\t5\t6\t7\t8\t9\t10 R11 12 13 14 15 16 17 18 19 20");
    EXPECT_EQ(Levels(record.left), OneToTen);
    EXPECT_EQ(Levels(record.right), ElevenToTwenty);
}

TEST(ParseRecordLine, SecondSeparatorByteAndHighBytesSeparateValues) {
    PersonRecord record = Parse("Udo\xF7 L 1\xF7"
                                "2\xA0"
                                "3\x01"
                                "4\x7F 5 6 7 8 9 10");
    EXPECT_STREQ(record.name, "Udo");
    // 0x7F is no separator: "4\x7F" is one token, read as 4.
    EXPECT_EQ(Levels(record.left), OneToTen);
}

TEST(ParseRecordLine, MissingRightLevelsCopyTheLeftOnes) {
    PersonRecord record = Parse("Kim\xF7 L 1 2 3 4 5 6 7 8 9 10");
    EXPECT_EQ(Levels(record.right), OneToTen);
}

TEST(ParseRecordLine, FewerThanTenLeftValuesReadOnIntoTheRightOnes) {
    PersonRecord record = Parse("Jo\xF7 L 1 2 3 R 4 5");
    EXPECT_EQ(Levels(record.left), (std::vector<int>{1, 2, 3, 50, 4, 5, 50, 50, 50, 50}));
    EXPECT_EQ(Levels(record.right), Levels(record.left));
}

TEST(ParseRecordLine, LastRAfterTheLeftValuesCounts) {
    PersonRecord record = Parse("Jo\xF7 L 1 2 3 4 5 6 7 8 9 10 R 11 R 12");
    EXPECT_EQ(Levels(record.right), (std::vector<int>{12, 50, 50, 50, 50, 50, 50, 50, 50, 50}));
}

TEST(ParseRecordLine, NonPositiveAndNonNumericTokensReadAs50) {
    PersonRecord record = Parse("Max\xF7 L 0 -5 abc +7 12abc - x9 300 R");
    EXPECT_EQ(Levels(record.left), (std::vector<int>{50, 50, 50, 7, 12, 50, 50, 300, 50, 50}));
    // The R stands where the tenth value is read, so no R is left for the right ear.
    EXPECT_EQ(Levels(record.right), Levels(record.left));
}

TEST(ParseRecordLine, NumbersBeyondThe32BitRangeAreClamped) {
    PersonRecord record = Parse("Big\xF7 L 99999999999 2147483648 2147483647 -99999999999 "
                                "18446744073709551617 1 1 1 1 1");
    EXPECT_EQ(Levels(record.left), (std::vector<int>{2147483647, 2147483647, 2147483647, 50,
                                                     2147483647, 1, 1, 1, 1, 1}));
}

TEST(ParseRecordLine, NameIsCutTo127BytesAndKeepsTheLinesBytesBehindItsTerminator) {
    std::string longName(200, 'n');
    PersonRecord record = Parse(longName + "\xF7 L 1 2 3 4 5 6 7 8 9 10");
    EXPECT_EQ(std::string(record.name), longName.substr(0, 127));

    PersonRecord shortName = Parse("Bob\xF7 L 7");
    EXPECT_STREQ(shortName.name, "Bob");
    EXPECT_EQ(std::string(shortName.name + 4, 4), std::string(" L 7"));
    for (int i = 8; i < PersonRecord::NameSize; ++i) {
        ASSERT_EQ(shortName.name[i], '\0') << "byte " << i << " lies past the line's end";
    }
}

} // namespace
