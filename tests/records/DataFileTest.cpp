#include "DataFileFixture.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

std::string Joined(const std::vector<std::string>& lines, const std::string& end = "\r\n") {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += (i ? end : "") + lines[i];
    }
    return text;
}

std::vector<std::string> Names(const HearingTest& test) {
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < test.store.records.count; ++i) {
        names.push_back(test.store.records.items[i].name);
    }
    return names;
}

TEST_F(DataFileTest, MissingFileIsCreatedWithTheFallbackRecord) {
    HearingTest& test = Start();
    EXPECT_EQ(Names(test), std::vector<std::string>{"unbekannter Standard"});
    EXPECT_STREQ(test.store.standard.name, "unbekannter Standard");
    EXPECT_EQ(test.store.standard.left[9], 77);
    EXPECT_EQ(test.store.standard.right[3], 59);
    EXPECT_STREQ(test.store.dataPath.Text(), folder.Path("tonolot.def").c_str());
    // Valid at once, even if the program were killed now.
    EXPECT_EQ(folder.Read("tonolot.def"), Fallback());
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), Fallback());
    EXPECT_EQ(Fallback().size(), 85u);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(DataFileTest, SavedFileLoadsAndSavesAgainByteForByte) {
    const std::string original = Joined(
        {Line("Standard", 300), Line("Anna", 40), Line("M\xFCller \xC4rzte", 2), Line("", 1000)});
    folder.Write("tonolot.def", original);
    HearingTest& test = Start();
    EXPECT_EQ(Names(test),
              (std::vector<std::string>{"Standard", "Anna", "M\xFCller \xC4rzte", ""}));
    EXPECT_EQ(test.store.records.items[1].left[0], 40);
    EXPECT_EQ(test.store.records.items[1].right[9], 149);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original);
}

TEST_F(DataFileTest, FirstRecordIsTheStandard) {
    folder.Write("tonolot.def", Joined({"no record here", Line("Ref", 10), Line("Anna", 20)}));
    HearingTest& test = Start();
    EXPECT_STREQ(test.store.standard.name, "Ref");
    EXPECT_EQ(test.store.standard.left[0], 10);
    EXPECT_TRUE(SameBytes(test.store.standard, test.store.records.items[0]));
}

TEST_F(DataFileTest, SingleLineWithoutLineEndLoads) {
    folder.Write("tonolot.def", Line("Solo", 5));
    HearingTest& test = Start();
    EXPECT_EQ(Names(test), std::vector<std::string>{"Solo"});
}

TEST_F(DataFileTest, EveryLineEndFormAndBlankLinesLoadTheSame) {
    const std::vector<std::string> lines = {Line("A", 1), Line("B", 2), Line("C", 3)};
    for (const char* end : {"\r\n", "\n", "\r", "\n\r", "\r\n\r\n", "\n\n\n"}) {
        folder.Write("tonolot.def", Joined(lines, end) + end);
        HearingTest& test = Start();
        EXPECT_EQ(Names(test), (std::vector<std::string>{"A", "B", "C"}));
        EXPECT_EQ(test.store.records.items[2].right[0], 103);
        End();
        EXPECT_EQ(folder.Read("tonolot.def"), Joined(lines)) << "written back with CR LF";
    }
}

TEST_F(DataFileTest, FileWithoutRecordLinesGetsTheFallbackAndIsRewritten) {
    folder.Write("tonolot.def",
                 "Standard: L: 300  70  56  42 17 12 17 120 41 91 R: 300  70  56  42 17 12 17 "
                 "120 41 91 \r\n\r\njust text");
    HearingTest& test = Start();
    EXPECT_EQ(Names(test), std::vector<std::string>{"unbekannter Standard"});
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), Fallback());
}

TEST_F(DataFileTest, EmptyFileLoadsTheFallback) {
    folder.Write("tonolot.def", "");
    HearingTest& test = Start();
    EXPECT_EQ(Names(test), std::vector<std::string>{"unbekannter Standard"});
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), Fallback());
}

TEST_F(DataFileTest, LongNameIsLoadedAndSavedAs127Bytes) {
    std::string name(200, 'x');
    folder.Write("tonolot.def", Line(name, 60));
    Start();
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), Line(name.substr(0, 127), 60));
}

TEST_F(DataFileTest, ExtremeLevelsAndTheLongestNameAreSavedExactly) {
    Start();
    PersonRecord record{};
    std::memset(record.name, 'N', sizeof record.name); // no terminator: 127 bytes are saved
    const int left[10] = {0, 1, 9, 10, -1, INT32_MIN, INT32_MAX, 30001, 100, 99999};
    const int right[10] = {7, 0, 0, 0, 0, 0, 0, 0, 0, -30};
    std::memcpy(record.left, left, sizeof left);
    std::memcpy(record.right, right, sizeof right);
    test->store.Store(record, -1);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"),
              Joined({Fallback(), Line(std::string(127, 'N'), left, right)}));
}

TEST_F(DataFileTest, LevelsOfEveryLengthAreReadAndWrittenAsTheirDigits) {
    // The shortest and the longest number of each length from one digit to ten: digits are read
    // and written by the word, so every length takes a path of its own.
    int left[10] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
    int right[10] = {9, 99, 999, 9999, 99999, 999999, 9999999, 99999999, 999999999, INT32_MAX};
    folder.Write("tonolot.def", Joined({Fallback(), Line("Lang", left, right)}));
    HearingTest& test = Start();
    ASSERT_EQ(test.store.records.count, 2u);
    EXPECT_TRUE(std::equal(left, left + 10, test.store.records.items[1].left));
    EXPECT_TRUE(std::equal(right, right + 10, test.store.records.items[1].right));
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), Joined({Fallback(), Line("Lang", left, right)}));
}

TEST_F(DataFileTest, TwoLinesWithTheSameNameStayTwoEntries) {
    const std::string original = Joined({Line("Anna", 10), Line("Anna", 20)});
    folder.Write("tonolot.def", original);
    HearingTest& test = Start();
    EXPECT_EQ(test.store.records.count, 2u);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original);
}

TEST_F(DataFileTest, LooseSpellingIsSavedInTheWritersForm) {
    folder.Write("tonolot.def", "Eva\xF7L\t7  8 0 x\r\n");
    Start();
    End();
    const int left[10] = {7, 8, 50, 50, 50, 50, 50, 50, 50, 50};
    EXPECT_EQ(folder.Read("tonolot.def"), Line("Eva", left, left));
}

TEST_F(DataFileTest, StoredMeasurementsAreSavedAtTheEnd) {
    folder.Write("tonolot.def", Line("Standard", 300));
    Start();
    StoreMeasured("Bernd", 2000);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), Joined({Line("Standard", 300), Line("Bernd", 2000)}));
    EXPECT_EQ(folder.FileCount(), 1u) << "no temporary file stays behind";
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(DataFileTest, ShorterContentLeavesNoTraceOfTheOld) {
    folder.Write("tonolot.def", Joined({Line("Standard", 300), Line("Anna", 1000000)}));
    HearingTest& test = Start();
    PersonRecord anna = test.store.records.items[1];
    for (std::int32_t& level : anna.left) {
        level = 2;
    }
    test.store.Store(anna, 1);
    End();
    const std::string expected = Joined({Line("Standard", 300), [] {
                                             int left[10] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
                                             int right[10];
                                             for (int i = 0; i < 10; ++i) {
                                                 right[i] = 1000100 + i;
                                             }
                                             return Line("Anna", left, right);
                                         }()});
    EXPECT_EQ(folder.Read("tonolot.def"), expected);
}

TEST_F(DataFileTest, ManyRecordsRoundTrip) {
    std::vector<std::string> lines;
    for (int i = 0; i < 150; ++i) {
        lines.push_back(Line("Person " + std::to_string(i), i * 7 + 1));
    }
    folder.Write("tonolot.def", Joined(lines));
    HearingTest& test = Start();
    EXPECT_EQ(test.store.records.count, 150u);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), Joined(lines));
}

TEST_F(DataFileTest, FolderOutsideTheAnsiCodePage) {
    ScratchFolder greek("tonolot-\xCE\x94\xCE\xBF\xCE\xBA\xCE\xB9\xCE\xBC\xCE\xAE-\xE8\x81\xB4");
    test = std::make_unique<HearingTest>(device, controls, clock);
    test->LoadRecords(greek.Path("tonolot.def").c_str());
    EXPECT_EQ(greek.Read("tonolot.def"), Fallback());
    StoreMeasured("Anna", 100);
    End();
    EXPECT_EQ(greek.Read("tonolot.def"), Joined({Fallback(), Line("Anna", 100)}));
    EXPECT_EQ(presenter.Count(), 0u);
}

} // namespace
