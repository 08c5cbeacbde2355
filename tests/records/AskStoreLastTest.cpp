#include "RecordTestFixture.h"

// The question before an unstored measurement is given up (closing the window, picking another
// record).
class AskStoreLast : public RecordTest {
protected:
    void SetUp() override {
        AddRecord("Standard", 1000);
        AddRecord("Anna", 2000);
    }
};

TEST_F(AskStoreLast, GoesOnWithoutAskingWhenNothingWouldBeLost) {
    // Stored already.
    MeasureBothEars(300);
    test.flags.store(HearingTest::RightEar);
    EXPECT_TRUE(test.AskStoreLast(dialog));
    // Only one ear measured: given up silently.
    MeasureBothEars(300);
    test.current.left[0] = 0;
    EXPECT_TRUE(test.AskStoreLast(dialog));
    MeasureBothEars(300);
    test.current.right[0] = -3;
    EXPECT_TRUE(test.AskStoreLast(dialog));

    EXPECT_EQ(presenter.Count(), 0u);
    EXPECT_EQ(test.store.records.count, 2u);
}

TEST_F(AskStoreLast, YesStoresUnderTheTypedName) {
    MeasureBothEars(300);
    TypeName("Bernd");
    presenter.Answer(AnswerYes);
    controls.ListAdd(dialog, IdRecordList, "Standard");
    EXPECT_TRUE(test.AskStoreLast(dialog));

    auto shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, StoreLastText);
    EXPECT_EQ(shown[0].style, MessageYesNo);
    EXPECT_EQ(shown[0].owner, dialog);
    ASSERT_EQ(test.store.records.count, 3u);
    EXPECT_EQ(Name(2), "Bernd");
    EXPECT_EQ(test.flags.load(), 0);
    // The list box is left for the next refill.
    EXPECT_EQ(controls.ListItems(IdRecordList), std::vector<std::string>{"Standard"});
}

TEST_F(AskStoreLast, YesWithAnEmptyNameAsksForOneAndHoldsTheCaller) {
    MeasureBothEars(300);
    TypeName("");
    presenter.Answer(AnswerYes);
    EXPECT_FALSE(test.AskStoreLast(dialog));
    EXPECT_EQ(presenter.Texts(), (std::vector<std::string>{StoreLastText, EnterNameText}));
    EXPECT_EQ(test.store.records.count, 2u);
}

TEST_F(AskStoreLast, YesThenNoToOverwritingHoldsTheCaller) {
    MeasureBothEars(300);
    TypeName("Anna");
    presenter.Answer(AnswerYes);
    presenter.Answer(AnswerNo);
    EXPECT_FALSE(test.AskStoreLast(dialog));
    EXPECT_EQ(presenter.Texts(), (std::vector<std::string>{StoreLastText, OverwriteText}));
    EXPECT_EQ(test.store.records.At(1)->left[0], 2000);
}

TEST_F(AskStoreLast, NoGivesUpTheMeasurementButKeepsItInCurrent) {
    MeasureBothEars(300);
    TypeName("Bernd");
    PersonRecord before = test.current;
    presenter.Answer(AnswerNo);
    EXPECT_TRUE(test.AskStoreLast(dialog));
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{StoreLastText});
    EXPECT_EQ(test.store.records.count, 2u);
    EXPECT_TRUE(SameBytes(test.current, before));
    EXPECT_FALSE(test.store.HasUnsaved());
}
