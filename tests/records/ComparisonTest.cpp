#include "RecordTestFixture.h"

// The check box "Vergleich" and the comparison record.
class Comparison : public RecordTest {
protected:
    void SetUp() override {
        AddRecord("Standard", 1000);
        AddRecord("Anna", 2000);
        AddRecord("Bernd", 3000);
        test.FillRecordList(dialog);
    }

    void Pick(int index) { controls.ListSelect(dialog, IdRecordList, index); }
};

TEST_F(Comparison, TickingCopiesTheSelectedRecordAndNamesItInTheCaption) {
    Pick(2);
    test.SetComparison(dialog, true);
    EXPECT_TRUE(SameBytes(test.comparison, *test.store.records.At(2)));
    EXPECT_EQ(controls.Text(IdComparison), "Vergleich: Bernd");

    // A copy: it stays while the list entry changes and other records are loaded.
    test.store.records.At(2)->left[0] = 1;
    test.SelectRecord(dialog, 1);
    EXPECT_EQ(test.comparison.left[0], 3000);
}

TEST_F(Comparison, TickingWithoutSelectionKeepsThePreviousComparison) {
    Pick(1);
    test.SetComparison(dialog, true);
    Pick(-1);
    test.SetComparison(dialog, true);
    EXPECT_TRUE(SameBytes(test.comparison, *test.store.records.At(1)));
    EXPECT_EQ(controls.Text(IdComparison), "Vergleich");
}

TEST_F(Comparison, UntickingHidesBothCurvesAndKeepsTheRest) {
    Pick(1);
    test.SetComparison(dialog, true);
    test.SetComparison(dialog, false);
    EXPECT_EQ(test.comparison.left[0], 0);
    EXPECT_EQ(test.comparison.right[0], 0);
    EXPECT_EQ(test.comparison.left[1], 2001);
    EXPECT_STREQ(test.comparison.name, "Anna");
    EXPECT_EQ(controls.Text(IdComparison), "Vergleich");
}

TEST_F(Comparison, TheLoadedRecordStoredAgainStaysEqualToItsComparison) {
    // Bytes behind the name's terminator travel with the record through every step.
    std::memset(test.store.records.At(1)->name + 5, 'r', 20);
    Pick(1);
    test.SelectRecord(dialog, 1);
    test.SetComparison(dialog, true);
    EXPECT_TRUE(SameBytes(test.comparison, test.current));

    presenter.Answer(AnswerYes);
    test.StoreCurrent(dialog);
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{OverwriteText});
    EXPECT_TRUE(SameBytes(test.comparison, test.current));
    EXPECT_TRUE(SameBytes(test.comparison, *test.store.records.At(1)));
}
