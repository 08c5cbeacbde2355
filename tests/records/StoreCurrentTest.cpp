#include "AllocationFailure.h"
#include "RecordTestFixture.h"

// "Übernehmen": storing the measurement under the typed name.
class StoreCurrent : public RecordTest {
protected:
    void SetUp() override {
        AddRecord("Standard", 1000);
        AddRecord("Anna", 2000);
    }
};

TEST_F(StoreCurrent, AppendsANewNameAndMarksTheMeasurementStored) {
    MeasureBothEars(300);
    TypeName("Bernd");
    test.StoreCurrent(dialog);

    EXPECT_EQ(presenter.Count(), 0u);
    ASSERT_EQ(test.store.records.count, 3u);
    EXPECT_EQ(Name(2), "Bernd");
    EXPECT_TRUE(SameBytes(*test.store.records.At(2), test.current));
    EXPECT_EQ(test.store.records.At(2)->left[9], 309);
    EXPECT_EQ(test.store.records.At(2)->right[0], 350);
    EXPECT_EQ(test.flags.load(), 0);
    EXPECT_TRUE(test.store.HasUnsaved());
}

TEST_F(StoreCurrent, RefusesAnUnmeasuredEarWithItsNoticeAndChangesNothing) {
    struct Case {
        int left0;
        int right0;
        const std::string* text;
    };
    // The left ear is checked first; 0 and negative levels both count as unmeasured.
    for (Case c : {Case{0, 0, &LeftNotMeasuredText}, Case{-5, 400, &LeftNotMeasuredText},
                   Case{400, 0, &RightNotMeasuredText}, Case{400, -1, &RightNotMeasuredText}}) {
        MeasureBothEars(300);
        test.current.left[0] = c.left0;
        test.current.right[0] = c.right0;
        TypeName("Bernd");
        test.StoreCurrent(dialog);

        auto shown = presenter.TakeShown();
        ASSERT_EQ(shown.size(), 1u) << c.left0 << "/" << c.right0;
        EXPECT_EQ(shown[0].text, *c.text);
        EXPECT_EQ(shown[0].caption, "Tonolot");
        EXPECT_EQ(shown[0].style, MessageOk);
        EXPECT_EQ(shown[0].owner, dialog);
        EXPECT_EQ(test.store.records.count, 2u);
        // The name field is not read before both ears passed.
        EXPECT_STREQ(test.current.name, "Neue Person");
        EXPECT_EQ(test.flags.load(), HearingTest::RightEar | HearingTest::Unsaved);
    }
    EXPECT_FALSE(test.store.HasUnsaved());
}

TEST_F(StoreCurrent, AnEmptyNameAsksForOneAndKeepsTheMeasurementUnstored) {
    MeasureBothEars(300);
    TypeName("");
    test.StoreCurrent(dialog);

    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{EnterNameText});
    EXPECT_EQ(test.store.records.count, 2u);
    EXPECT_STREQ(test.current.name, "");
    EXPECT_EQ(test.flags.load(), HearingTest::RightEar | HearingTest::Unsaved);
}

TEST_F(StoreCurrent, TheDataFileSeparatorInANameBecomesAColon) {
    MeasureBothEars(300);
    TypeName("A\xF7"
             "B\xF7");
    test.StoreCurrent(dialog);
    EXPECT_EQ(Name(2), "A:B:");
}

TEST_F(StoreCurrent, ALongNameIsCutTo126CharactersAndTheRestOfTheNameBytesStay) {
    MeasureBothEars(300);
    std::memset(test.current.name, 'x', sizeof test.current.name);
    TypeName(std::string(130, 'N').c_str());
    test.StoreCurrent(dialog);

    ASSERT_EQ(test.store.records.count, 3u);
    EXPECT_EQ(Name(2), std::string(126, 'N'));
    EXPECT_EQ(test.current.name[126], '\0');
    EXPECT_EQ(test.current.name[127], '\0');

    // A short name leaves the bytes behind its terminator as they were, up to the last one.
    MeasureBothEars(300);
    std::memset(test.current.name, 'x', sizeof test.current.name);
    TypeName("Bo");
    test.StoreCurrent(dialog);
    const PersonRecord* stored = test.store.records.At(3);
    ASSERT_NE(stored, nullptr);
    EXPECT_STREQ(stored->name, "Bo");
    EXPECT_EQ(std::string(stored->name + 3, 124), std::string(124, 'x'));
    EXPECT_EQ(stored->name[127], '\0');
}

TEST_F(StoreCurrent, NamesDifferingInLetterCaseAreDifferentPersons) {
    MeasureBothEars(300);
    TypeName("anna");
    test.StoreCurrent(dialog);
    EXPECT_EQ(presenter.Count(), 0u);
    EXPECT_EQ(test.store.records.count, 3u);
    EXPECT_EQ(test.store.records.At(1)->left[0], 2000);
}

TEST_F(StoreCurrent, AnExistingNameIsOverwrittenOnlyAfterYes) {
    MeasureBothEars(300);
    TypeName("Anna");
    presenter.Answer(AnswerYes);
    test.StoreCurrent(dialog);

    auto shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, OverwriteText);
    EXPECT_EQ(shown[0].style, MessageYesNo);
    EXPECT_EQ(shown[0].owner, dialog);
    EXPECT_EQ(test.store.records.count, 2u);
    EXPECT_TRUE(SameBytes(*test.store.records.At(1), test.current));
    EXPECT_EQ(test.store.records.At(1)->left[0], 300);
    EXPECT_EQ(test.flags.load(), 0);
    EXPECT_TRUE(test.store.HasUnsaved());
}

TEST_F(StoreCurrent, NoToOverwritingKeepsTheListAndTheUnsavedState) {
    PersonRecord before = *test.store.records.At(1);
    MeasureBothEars(300);
    TypeName("Anna");
    presenter.Answer(AnswerNo);
    test.StoreCurrent(dialog);

    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{OverwriteText});
    EXPECT_EQ(test.store.records.count, 2u);
    EXPECT_TRUE(SameBytes(*test.store.records.At(1), before));
    EXPECT_EQ(test.flags.load(), HearingTest::RightEar | HearingTest::Unsaved);
    EXPECT_FALSE(test.store.HasUnsaved());
    // So closing the window asks again.
    presenter.TakeShown();
    EXPECT_TRUE(test.AskStoreLast(dialog));
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{StoreLastText});
}

TEST_F(StoreCurrent, AFull127CharacterNameComesBackShorterAndIsAppended) {
    // Such a name can only come from the data file.
    std::string longName(127, 'L');
    AddRecord(longName.c_str(), 4000);
    test.SelectRecord(dialog, 2);
    EXPECT_EQ(controls.Text(IdName), longName);
    test.StoreCurrent(dialog);

    EXPECT_EQ(presenter.Count(), 0u);
    ASSERT_EQ(test.store.records.count, 4u);
    EXPECT_EQ(Name(3), std::string(126, 'L'));
    EXPECT_EQ(Name(2), longName);
}

TEST_F(StoreCurrent, OutOfMemoryTellsTheUserAndKeepsTheMeasurementUnstored) {
    for (int i = 2; i < 7; ++i) {
        AddRecord(("Person " + std::to_string(i)).c_str(), 100 * i);
    }
    MeasureBothEars(300);
    TypeName("Bernd");
    {
        AllocationFailure noMemory;
        test.StoreCurrent(dialog);
        EXPECT_EQ(AllocationFailure::Refused(), 1);
    }
    EXPECT_EQ(test.store.records.count, 7u);
    ASSERT_EQ(presenter.Count(), 1u);
    EXPECT_NE(presenter.Texts()[0].find("nicht \xFC"
                                        "bernommen"),
              std::string::npos);
    EXPECT_EQ(test.flags.load(), HearingTest::RightEar | HearingTest::Unsaved);
    EXPECT_FALSE(test.store.HasUnsaved());

    // Closing the window then asks, and the same failure keeps the window open.
    presenter.TakeShown();
    presenter.Answer(AnswerYes);
    AllocationFailure noMemory;
    EXPECT_FALSE(test.AskStoreLast(dialog));
}
