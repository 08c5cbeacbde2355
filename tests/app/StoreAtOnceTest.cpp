#include "MainDialogFixture.h"
#include "support/FileCalls.h"
#include "support/ScratchFolder.h"

#include <chrono>
#include <thread>

// "Übernehmen" over a real data file: the store's writer saves at once and the window hears of
// it through the posted command, as the message loop would deliver it.
class StoreAtOnce : public MainDialogTest {
protected:
    void SetUp() override {
        test.LoadRecords(path.c_str());
        procedure.OnInitDialog(dialog);
        MeasureEar(IdStartLeft, 20);
        MeasureEar(IdStartRight, 30);
        controls.SetItemText(dialog, IdName, "Bert");
    }
    bool DeliverSaved() {
        for (int wait = 0; wait < 2000; ++wait) {
            for (const FakeDialogControls::Posted& posted : controls.TakePosted()) {
                if (CommandId(posted.param) == IdRecordsSaved) {
                    Command(IdRecordsSaved);
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    ScratchFolder folder;
    std::string path = folder.Path("tonolot.def");
};

TEST_F(StoreAtOnce, TheFileHoldsTheStoreAndTheListWhatAnotherCopyStored) {
    RecordStore other;
    other.Load(path.c_str());
    PersonRecord cora = test.current;
    std::strcpy(cora.name, "Cora");
    other.Store(cora, -1);
    ASSERT_TRUE(other.SaveAndWait(10000));

    Command(IdStore);
    ASSERT_TRUE(DeliverSaved());
    const std::string saved = folder.Read("tonolot.def");
    EXPECT_NE(saved.find("\r\nCora\xF7"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\r\nBert\xF7 L "), std::string::npos) << saved;
    EXPECT_EQ(controls.ListItems(IdRecordList),
              (std::vector<std::string>{"unbekannter Standard", "Cora", "Bert"}));
    EXPECT_EQ(controls.ListSelection(dialog, IdRecordList), 2);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(StoreAtOnce, AFailedSaveIsToldAtOnceOverTheWindowAndTheStoreKept) {
    FileRemove(path.c_str());
    Command(IdStore);
    ASSERT_TRUE(DeliverSaved());
    std::vector<ScriptedPresenter::Shown> shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].owner, dialog);
    EXPECT_EQ(shown[0].text.rfind("Die Messungen konnten nicht gespeichert werden", 0), 0u);
    EXPECT_TRUE(test.store.HasUnsaved());
    EXPECT_EQ(controls.ListItems(IdRecordList).back(), "Bert");
}
