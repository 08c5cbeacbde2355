#include "DataFileFixture.h"
#include "records/RecordStore.h"
#include "support/SaveLock.h"

#include <filesystem>

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "\r\n") + line;
    }
    return text;
}

// Two copies of the program on one data file, each a store of its own over the real file.
class RecordMerge : public DataFileTest {
protected:
    void SetUp() override {
        folder.Write("tonolot.def", Joined({Line("Standard", 300), Line("Anna", 40)}));
        one.Load(Path().c_str());
        other.Load(Path().c_str());
    }
    std::string Path() const { return folder.Path("tonolot.def"); }
    static PersonRecord Person(const char* name, int base) {
        PersonRecord record{};
        std::snprintf(record.name, sizeof record.name, "%s", name);
        for (int i = 0; i < 10; ++i) {
            record.left[i] = base + i;
            record.right[i] = base + 100 + i;
        }
        return record;
    }
    // A store as "Übernehmen" makes it: over the entry of the name, else added; then saved.
    static void StoreAndSave(RecordStore& store, const char* name, int base) {
        store.Store(Person(name, base), store.FindByName(name));
        ASSERT_TRUE(store.SaveAndWait(10000));
        store.ReportSave(nullptr);
    }

    RecordStore one;
    RecordStore other;
};

TEST_F(RecordMerge, EachCopyKeepsThePersonsTheOtherStored) {
    StoreAndSave(one, "Bert", 1000);
    StoreAndSave(other, "Cora", 2000);
    // Anna overwritten by the first copy, which never saw Cora: she stays.
    StoreAndSave(one, "Anna", 3000);
    EXPECT_EQ(folder.Read("tonolot.def"), Joined({Line("Standard", 300), Line("Anna", 3000),
                                                  Line("Bert", 1000), Line("Cora", 2000)}));
    // After its save the first copy lists the person the other stored.
    EXPECT_EQ(one.FindByName("Cora"), 3);
    EXPECT_FALSE(one.HasUnsaved());
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(RecordMerge, TheLaterStoreOfANameWinsAndTheEndChangesNothing) {
    StoreAndSave(one, "Bert", 1000);
    StoreAndSave(other, "Bert", 2000);
    // The first copy ends without new stores: its old Bert is on disk already, not saved again.
    ASSERT_TRUE(one.SaveAndWait(10000));
    EXPECT_EQ(folder.Read("tonolot.def"),
              Joined({Line("Standard", 300), Line("Anna", 40), Line("Bert", 2000)}));
}

TEST_F(RecordMerge, ASaveWaitsForTheLockAndKeepsItsStoreUntilItIsWritten) {
    SaveLock held;
    ASSERT_EQ(LockForSave(Path().c_str(), 0, held), SaveLockResult::Locked);
    one.Store(Person("Bert", 1000), -1);
    EXPECT_FALSE(one.SaveAndWait(300)) << "a save went on under another copy's lock";
    EXPECT_EQ(folder.Read("tonolot.def"), Joined({Line("Standard", 300), Line("Anna", 40)}));
    UnlockSave(held);
    ASSERT_TRUE(one.SaveAndWait(10000));
    one.ReportSave(nullptr);
    EXPECT_FALSE(one.HasUnsaved());
    EXPECT_EQ(folder.Read("tonolot.def"),
              Joined({Line("Standard", 300), Line("Anna", 40), Line("Bert", 1000)}));
}

TEST_F(RecordMerge, AFailedSaveKeepsTheStoreForTheNext) {
    FileRemove(Path().c_str());
    one.Store(Person("Bert", 1000), -1);
    ASSERT_TRUE(one.SaveAndWait(10000));
    one.ReportSave(nullptr);
    EXPECT_EQ(presenter.Count(), 1u) << "the failure is told at once";
    EXPECT_TRUE(one.HasUnsaved());
    folder.Write("tonolot.def", Line("Standard", 300));
    StoreAndSave(one, "Cora", 2000);
    EXPECT_EQ(folder.Read("tonolot.def"),
              Joined({Line("Standard", 300), Line("Bert", 1000), Line("Cora", 2000)}));
}

TEST_F(RecordMerge, AnUnstoredMeasurementWaitsForTheNextStartUntilItIsStored) {
    const PersonRecord fritz = Person("Fritz", 500);
    ASSERT_TRUE(one.SaveAndWait(10000, &fritz));
    EXPECT_EQ(folder.Read("tonolot.def.unstored"), Line("Fritz", 500));
    RecordStore next;
    next.Load(Path().c_str());
    ASSERT_NE(next.Recovered(), nullptr);
    EXPECT_EQ(Line(next.Recovered()->name, 500), Line("Fritz", 500));
    EXPECT_EQ(next.Recovered()->right[9], 609);
    StoreAndSave(next, "Fritz", 500);
    EXPECT_FALSE(folder.Exists("tonolot.def.unstored"));
    EXPECT_EQ(folder.Read("tonolot.def"),
              Joined({Line("Standard", 300), Line("Anna", 40), Line("Fritz", 500)}));
}

#ifndef _WIN32
TEST_F(RecordMerge, ALinkAtTheRecoveryFilesNameIsNeitherWrittenNorRead) {
    folder.Write("elsewhere", Line("Fremd", 700));
    std::filesystem::create_symlink(folder.Native("elsewhere"),
                                    folder.Native("tonolot.def.unstored"));
    const PersonRecord fritz = Person("Fritz", 500);
    ASSERT_TRUE(one.SaveAndWait(10000, &fritz));
    EXPECT_EQ(folder.Read("elsewhere"), Line("Fremd", 700));
    RecordStore next;
    next.Load(Path().c_str());
    EXPECT_EQ(next.Recovered(), nullptr);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.Native("tonolot.def.unstored")));
}
#endif

} // namespace
