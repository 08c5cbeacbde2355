#include "RecordTestFixture.h"

#include <vector>

// The record list box and the names behind it.
class RecordListBox : public RecordTest {
protected:
    void SetUp() override {
        AddRecord("Standard", 1000);
        AddRecord("Anna", 2000);
        AddRecord("Bernd", 3000);
    }

    int Selection() { return controls.ListSelection(dialog, IdRecordList); }
};

TEST_F(RecordListBox, NamesAndLookUpAreExactAndBoundsChecked) {
    EXPECT_EQ(Name(1), "Anna");
    EXPECT_EQ(Name(3), "");
    EXPECT_EQ(Name(-1), "");
    AddRecord("Anna", 4000);
    EXPECT_EQ(test.FindByName("Anna"), 1);
    EXPECT_EQ(test.FindByName("Bernd"), 2);
    EXPECT_EQ(test.FindByName("anna"), -1);
    EXPECT_EQ(test.FindByName("Ann"), -1);
    EXPECT_EQ(test.FindByName("Anna "), -1);
    EXPECT_EQ(test.FindByName(""), -1);
}

TEST_F(RecordListBox, AStoredNameWithoutTerminatorMatchesNothingAndShowsEmpty) {
    PersonRecord broken = Measured("", 5000);
    std::memset(broken.name, 'Z', sizeof broken.name);
    test.store.records.Add(broken);
    EXPECT_EQ(Name(3), "");
    EXPECT_EQ(test.FindByName(std::string(128, 'Z').c_str()), -1);
}

TEST_F(RecordListBox, AtStartUpListsEveryNameInOrderAndSelectsTheStandard) {
    test.FillRecordList(dialog);
    EXPECT_EQ(controls.ListItems(IdRecordList),
              (std::vector<std::string>{"Standard", "Anna", "Bernd"}));
    EXPECT_EQ(Selection(), 0);
    // Only shown, not loaded.
    EXPECT_STREQ(test.current.name, "Neue Person");
    EXPECT_EQ(test.current.left[0], 0);
}

TEST_F(RecordListBox, AtStartUpTheLastEntryNamedLikeTheCurrentRecordIsSelected) {
    AddRecord("Neue Person", 4000);
    AddRecord("Neue Person", 5000);
    AddRecord("Zora", 6000);
    test.FillRecordList(dialog);
    EXPECT_EQ(Selection(), 4);
}

TEST_F(RecordListBox, AfterAStoreTheStoredRecordIsSelected) {
    test.FillRecordList(dialog);
    MeasureBothEars(300);
    TypeName("Carla");
    test.StoreCurrent(dialog);
    test.FillRecordList(dialog);
    EXPECT_EQ(controls.ListItems(IdRecordList).size(), 4u);
    EXPECT_EQ(Selection(), 3);

    // Overwriting the first of two equal names still shows the last one.
    AddRecord("Anna", 4000);
    test.FillRecordList(dialog);
    TypeName("Anna");
    presenter.Answer(AnswerYes);
    test.StoreCurrent(dialog);
    test.FillRecordList(dialog);
    EXPECT_EQ(test.store.records.At(1)->left[0], 300);
    EXPECT_EQ(Selection(), 4);
}

TEST_F(RecordListBox, WithoutAMatchTheSelectionFallsOnTheOldItemCount) {
    test.FillRecordList(dialog);
    std::snprintf(test.current.name, sizeof test.current.name, "Niemand");

    // An entry was appended behind the box's back (as AskStoreLast does): the new last entry.
    AddRecord("Dora", 4000);
    test.FillRecordList(dialog);
    EXPECT_EQ(Selection(), 3);

    // Same number of entries: the old count lies past the end, so nothing is selected.
    test.FillRecordList(dialog);
    EXPECT_EQ(Selection(), -1);
}

TEST_F(RecordListBox, SelectingLoadsTheWholeRecordAndForgetsTheRun) {
    std::memset(test.store.records.At(2)->name + 6, 'q', 10); // bytes behind the terminator
    test.flags.store(HearingTest::LeftEar | HearingTest::Unsaved);
    test.SelectRecord(dialog, 2);

    EXPECT_TRUE(SameBytes(test.current, *test.store.records.At(2)));
    EXPECT_EQ(controls.Text(IdName), "Bernd");
    EXPECT_EQ(test.flags.load(), 0);
    EXPECT_EQ(controls.erasingInvalidations, 1);
}

TEST_F(RecordListBox, SelectingNothingOnlyRedraws) {
    MeasureBothEars(300);
    TypeName("getippt");
    PersonRecord before = test.current;
    for (int index : {-1, 3, 1000}) {
        test.SelectRecord(dialog, index);
    }
    EXPECT_TRUE(SameBytes(test.current, before));
    EXPECT_EQ(controls.Text(IdName), "getippt");
    EXPECT_EQ(test.flags.load(), HearingTest::RightEar | HearingTest::Unsaved);
    EXPECT_EQ(controls.invalidations, 3);
    EXPECT_EQ(controls.erasingInvalidations, 3);
}
