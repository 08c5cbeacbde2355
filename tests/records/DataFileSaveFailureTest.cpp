#include "DataFileFixture.h"
#include "support/FileCalls.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#ifdef _WIN32
#include "support/win32/FileLayer.h"
#else
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

namespace {

class DataFileSaveFailure : public DataFileTest {
protected:
    void SetUp() override {
        original = Line("Standard", 300) + "\r\n" + Line("Anna", 40);
        folder.Write("tonolot.def", original);
    }

    // A name of the copies saves write before they replace the data file.
    static constexpr const char* CopyName = ".tonolot-0000000000000000.tmp";

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
    EXPECT_EQ(test.store.dataPath.Length(), 0u);
    EXPECT_STREQ(test.store.records.items[0].name, "unbekannter Standard");
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

TEST_F(DataFileSaveFailure, SomethingElseAtACopyNameIsLeftAlone) {
    std::filesystem::create_directory(folder.Native(CopyName));
    Start();
    StoreMeasured("Bernd", 2000);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original + "\r\n" + Line("Bernd", 2000));
    EXPECT_TRUE(std::filesystem::is_directory(folder.Native(CopyName)));
    EXPECT_EQ(presenter.Count(), 0u);
}

#ifndef _WIN32
// A small file system that fills up: a tmpfs of 64 KB where the test may mount one (as the
// super-user), else the limit on the size of the files this process writes, which the file
// calls meet as on a full disk (EFBIG rather than ENOSPC).
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& where, std::size_t fileLimit) : where(where) {
        std::filesystem::create_directory(where);
        mounted = geteuid() == 0 && mount("tonolot-test", where.c_str(), "tmpfs",
                                          MS_NOSUID | MS_NODEV, "size=64k") == 0;
        if (!mounted) {
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit limit = old;
            limit.rlim_cur = fileLimit;
            setrlimit(RLIMIT_FSIZE, &limit);
            // Otherwise the signal for a file beyond the limit ends the process.
            oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        }
    }
    ~SmallDisk() {
        if (mounted) {
            umount2(where.c_str(), MNT_DETACH);
        } else {
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
    }
    // Fills the file system up to `left` bytes (whole pages); false where there is no such disk.
    bool Fill(std::size_t left) const {
        struct statvfs status;
        if (!mounted || statvfs(where.c_str(), &status) != 0) {
            return false;
        }
        const std::size_t free = status.f_bavail * status.f_frsize;
        std::ofstream(where / "filler", std::ios::binary) << std::string(free - left, 'x');
        return true;
    }

    std::filesystem::path where;
    bool mounted = false;
    rlimit old = {};
    void (*oldHandler)(int) = SIG_DFL;
};

TEST_F(DataFileSaveFailure, FullDiskKeepsTheFileAsItWasAndSaysSo) {
    SmallDisk disk(folder.Native("disk"), original.size() + 16);
    folder.Write("disk/tonolot.def", original);
    Start("disk/tonolot.def");
    // More than the page the file's end may still have room in (each a person of its own:
    // a store replaces the entry of its name).
    for (int i = 0; i < 60; ++i) {
        StoreMeasured(("Bernd " + std::to_string(i)).c_str(), 2000 + i);
    }
    disk.Fill(0);
    End();
    EXPECT_EQ(folder.Read("disk/tonolot.def"), original);
    for (const auto& entry : std::filesystem::directory_iterator(disk.where)) {
        EXPECT_NE(entry.path().filename().string().rfind(".tonolot-", 0), 0u) << "a copy is left";
    }
    std::vector<ScriptedPresenter::Shown> shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              "Die Messungen konnten nicht gespeichert werden, weil auf dem "
              "Datentr\xE4ger kein Platz mehr ist. Die Datei ist unver\xE4ndert:\r\n" +
                  folder.Path("disk/tonolot.def"));
}

TEST_F(DataFileSaveFailure, DiskWithoutRoomForACopyGetsTheFileWrittenInPlace) {
    SmallDisk disk(folder.Native("disk"), 1 << 30);
    std::string big = original;
    for (int i = 0; big.size() < 20000; ++i) {
        big += "\r\n" + Line("Person " + std::to_string(i), 10 + i % 80);
    }
    folder.Write("disk/tonolot.def", big);
    Start("disk/tonolot.def");
    StoreMeasured("Bernd", 2000);
    // Room for a little more than the new record, not for a copy of the whole file.
    if (!disk.Fill(3 * 4096)) {
        End();
        return; // no small disk here: the test above ran with the size limit instead
    }
    End();
    EXPECT_EQ(folder.Read("disk/tonolot.def"), big + "\r\n" + Line("Bernd", 2000));
    EXPECT_EQ(presenter.Count(), 0u);
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

#ifdef _WIN32
// A replace that removed the data file and could not move the copy in (what ReplaceFileW's
// ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 leaves), with moves that fail as told.
class FailingReplace {
public:
    explicit FailingReplace(bool movesWithoutReplacing) : old(CurrentReplaceCalls()) {
        ReplaceCalls& calls = CurrentReplaceCalls();
        calls.useReplaceFile = true;
        calls.replaceFile = [](LPCWSTR replaced, LPCWSTR, LPCWSTR, DWORD, LPVOID, LPVOID) -> BOOL {
            DeleteFileW(replaced);
            SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
            return FALSE;
        };
        calls.moveFile = movesWithoutReplacing ? MoveOnlyWithoutReplacing : NoMove;
    }
    ~FailingReplace() { CurrentReplaceCalls() = old; }

private:
    static BOOL WINAPI MoveOnlyWithoutReplacing(LPCWSTR from, LPCWSTR to, DWORD flags) {
        return (flags & MOVEFILE_REPLACE_EXISTING) ? NoMove(from, to, flags)
                                                   : MoveFileExW(from, to, flags);
    }
    static BOOL WINAPI NoMove(LPCWSTR, LPCWSTR, DWORD) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    ReplaceCalls old;
};

TEST_F(DataFileSaveFailure, ReplaceThatRemovedTheFileStillGetsTheRecordsInPlace) {
    FailingReplace replace(true);
    Start();
    StoreMeasured("Bernd", 2000);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original + "\r\n" + Line("Bernd", 2000));
    EXPECT_EQ(folder.FileCount(), 1u);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(DataFileSaveFailure, ReplaceThatRemovedTheFileKeepsTheCopyAndSaysWhere) {
    FailingReplace replace(false);
    Start();
    StoreMeasured("Bernd", 2000);
    End();
    EXPECT_FALSE(folder.Exists("tonolot.def"));
    ASSERT_EQ(folder.FileCount(), 1u);
    const std::string kept = std::filesystem::directory_iterator(folder.Native(""))
                                 .
                                 operator*()
                                 .path()
                                 .filename()
                                 .string();
    EXPECT_EQ(folder.Read(kept), original + "\r\n" + Line("Bernd", 2000));
    std::vector<ScriptedPresenter::Shown> shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind("Die Datei " + folder.Path("tonolot.def") +
                                      " konnte nicht ersetzt werden und fehlt.\r\nAlle Messungen "
                                      "stehen in der Datei:\r\n",
                                  0),
              0u)
        << shown[0].text;
    EXPECT_NE(shown[0].text.find(kept), std::string::npos) << shown[0].text;
}
#endif

#ifdef _WIN32
// On a small disk that fills up: scripts/test.sh mounts a tmpfs of 1 MB and names a folder on it
// in TONOLOT_SMALL_DISK for this test run under Wine.
TEST_F(DataFileSaveFailure, FullDiskKeepsTheFileAsItWasAndSaysSo) {
    const char* disk = std::getenv("TONOLOT_SMALL_DISK");
    if (!disk) {
        GTEST_SKIP() << "needs a small disk: scripts/test.sh gives one";
    }
    const std::string path = std::string(disk) + "\\tonolot.def";
    std::ofstream(ScratchFolder::FromUtf8(path), std::ios::binary) << original;
    test = std::make_unique<HearingTest>(device, controls, clock);
    test->LoadRecords(path.c_str());
    for (int i = 0; i < 60; ++i) {
        StoreMeasured(("Bernd " + std::to_string(i)).c_str(), 2000 + i);
    }
    const std::string filler = std::string(disk) + "\\filler";
    FileHandle file = FileCreate(filler.c_str(), FileAttributeNormal);
    ASSERT_NE(file, FileError);
    const std::string block(4096, 'x');
    while (FileWrite(file, block.data(), 4096) == 4096) {
    }
    while (FileWrite(file, "x", 1) == 1) {
    }
    FileClose(file);
    End();
    FileRemove(filler.c_str());
    std::ifstream in(ScratchFolder::FromUtf8(path), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), original);
    in.close();
    FileRemove(path.c_str());
    std::vector<ScriptedPresenter::Shown> shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind("Die Messungen konnten nicht gespeichert werden, weil", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(ScratchFolder::FromUtf8(disk))) << "no copy left";
}
#endif

TEST_F(DataFileSaveFailure, LeftoverFromAnEarlierCrashDoesNotStopTheSave) {
    folder.Write(CopyName, "half a line from a crash");
    Start();
    StoreMeasured("Bernd", 2000);
    End();
    EXPECT_EQ(folder.Read("tonolot.def"), original + "\r\n" + Line("Bernd", 2000));
    EXPECT_FALSE(folder.Exists(CopyName));
    EXPECT_EQ(presenter.Count(), 0u);
}

} // namespace
