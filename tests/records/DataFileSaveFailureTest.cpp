#include "DataFileFixture.h"
#include "support/FileCalls.h"

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

class DataFileSaveFailure : public DataFileTest {
protected:
    void SetUp() override {
        original = Line("Standard", 300) + "\r\n" + Line("Anna", 40);
        folder.Write("tonolot.def", original);
    }

    // The file a save writes before it replaces the data file.
    std::string TemporaryName() const {
        return "tonolot.def." + std::to_string(CurrentProcessNumber()) + ".tmp";
    }

    void MakeReadOnly(const std::string& file) {
        std::filesystem::permissions(folder.Native(file),
                                     std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
    }

    void ExpectOneUnsavedBox(const std::string& path) {
        std::vector<ScriptedPresenter::Shown> shown = presenter.TakeShown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, UnsavedText + path);
        EXPECT_EQ(shown[0].caption, "Tonolot");
        EXPECT_EQ(shown[0].owner, nullptr);
        EXPECT_EQ(shown[0].style, MessageOk);
    }

    std::string original;
};

TEST_F(DataFileSaveFailure, UncreatableFileLoadsTheFallbackAndSavesNothing) {
    HearingTest& test = Start("no/such/folder/tonolot.def");
    EXPECT_EQ(test.dataPath.Length(), 0u);
    EXPECT_STREQ(test.records.items[0].name, "unbekannter Standard");
    End();
    EXPECT_FALSE(folder.Exists("no"));
    EXPECT_EQ(presenter.Count(), 0u) << "a run without stored measurements stays silent";
}

TEST_F(DataFileSaveFailure, UncreatableFileWithStoredMeasurementsSaysSo) {
    Start("no/such/folder/tonolot.def");
    StoreMeasured("Bernd", 2000);
    End();
    ExpectOneUnsavedBox(folder.Path("no/such/folder/tonolot.def"));
}

TEST_F(DataFileSaveFailure, TheBoxShowsAPathWithUmlautsInTheUsersCodePage) {
    // Paths are UTF-8 inside; the box, like every text the user reads, is cp1252.
    Start("J\xC3\xBCrgen/fehlt/tonolot.def");
    StoreMeasured("Bernd", 2000);
    End();
    std::string expected = folder.Path("J\xC3\xBCrgen/fehlt/tonolot.def");
    expected.replace(expected.find("J\xC3\xBC"), 3, "J\xFC");
    ExpectOneUnsavedBox(expected);
}

TEST_F(DataFileSaveFailure, RemovedFileIsNotCreatedAnew) {
    Start();
    FileRemove(folder.Path("tonolot.def").c_str());
    End();
    EXPECT_FALSE(folder.Exists("tonolot.def"));
    EXPECT_EQ(folder.FileCount(), 0u);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(DataFileSaveFailure, RemovedFileWithStoredMeasurementsSaysSo) {
    Start();
    StoreMeasured("Bernd", 2000);
    FileRemove(folder.Path("tonolot.def").c_str());
    End();
    EXPECT_FALSE(folder.Exists("tonolot.def"));
    ExpectOneUnsavedBox(folder.Path("tonolot.def"));
}

TEST_F(DataFileSaveFailure, ReadOnlyFileIsLeftAsItIs) {
    Start();
    StoreMeasured("Bernd", 2000);
    MakeReadOnly("tonolot.def");
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original);
    EXPECT_EQ(folder.FileCount(), 1u);
    ExpectOneUnsavedBox(folder.Path("tonolot.def"));
}

TEST_F(DataFileSaveFailure, ReadOnlyFileWithoutStoredMeasurementsStaysSilent) {
    Start();
    MakeReadOnly("tonolot.def");
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(DataFileSaveFailure, SaveThatCannotWriteItsNewFileKeepsTheOldFile) {
    // Something in the way of the new file: it cannot be created.
    std::filesystem::create_directory(folder.Native(TemporaryName()));
    Start();
    StoreMeasured("Bernd", 2000);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original);
    ExpectOneUnsavedBox(folder.Path("tonolot.def"));
}

#ifndef _WIN32
TEST_F(DataFileSaveFailure, FullDiskDuringTheSaveKeepsTheOldFile) {
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full to fill";
    }
    // Every write into the new file fails as on a full disk.
    std::filesystem::create_symlink("/dev/full", folder.Native(TemporaryName()));
    Start();
    StoreMeasured("Bernd", 2000);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original);
    EXPECT_FALSE(std::filesystem::is_symlink(folder.Native(TemporaryName())))
        << "the failed new file is removed";
    ExpectOneUnsavedBox(folder.Path("tonolot.def"));
}
#endif

#ifndef _WIN32
TEST_F(DataFileSaveFailure, FolderWithoutWritePermissionGetsTheFileWrittenInPlace) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "the super-user may create files in any folder: scripts/test.sh runs this "
                        "as an unprivileged user";
    }
    // A folder the user may not change, with a data file everybody may write.
    std::filesystem::create_directory(folder.Native("shared"));
    folder.Write("shared/tonolot.def", original);
    std::filesystem::permissions(folder.Native("shared/tonolot.def"), std::filesystem::perms(0666));
    Start("shared/tonolot.def");
    StoreMeasured("Bernd", 2000);
    std::filesystem::permissions(folder.Native("shared"), std::filesystem::perms(0555));
    End();
    EXPECT_EQ(folder.Read("shared/tonolot.def"), original + "\r\n" + Line("Bernd", 2000));
    EXPECT_EQ(presenter.Count(), 0u);
}
#endif

TEST_F(DataFileSaveFailure, LeftoverFromAnEarlierCrashDoesNotStopTheSave) {
    folder.Write(TemporaryName(), "half a line from a crash");
    Start();
    StoreMeasured("Bernd", 2000);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original + "\r\n" + Line("Bernd", 2000));
    EXPECT_FALSE(folder.Exists(TemporaryName()));
    EXPECT_EQ(presenter.Count(), 0u);
}

} // namespace
