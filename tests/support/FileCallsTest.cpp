#include "support/FileCalls.h"
#include "support/CopyName.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

void MakeReadOnly(const std::filesystem::path& path) {
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
}

// Saves `content` over the file at path the safe way; true when it took the file's place.
bool SaveByReplacement(const std::string& path, const std::string& content) {
    FileReplacement replacement;
    if (!FileBeginReplacement(path.c_str(), replacement)) {
        return false;
    }
    auto size = static_cast<std::uint32_t>(content.size());
    if (FileWrite(replacement.file, content.data(), size) != size) {
        FileAbandonReplacement(replacement);
        return false;
    }
    return FileCommitReplacement(replacement);
}

TEST(FileCalls, OpenReportsAMissingFile) {
    ScratchFolder folder;
    EXPECT_EQ(FileOpen(folder.Path("missing.def").c_str(), FileOpenRead), FileError);
    EXPECT_EQ(FileOpen(folder.Path("missing.def").c_str(), FileOpenWrite), FileError);
    EXPECT_FALSE(folder.Exists("missing.def")) << "opening for writing never creates";
}

TEST(FileCalls, CreateMakesOrEmptiesTheFile) {
    ScratchFolder folder;
    folder.Write("a.def", "old content");
    FileHandle file = FileCreate(folder.Path("a.def").c_str(), FileAttributeNormal);
    ASSERT_NE(file, FileError);
    EXPECT_EQ(FileWrite(file, "new", 3), 3u);
    EXPECT_EQ(FileClose(file), 0);
    EXPECT_EQ(folder.Read("a.def"), "new");
    EXPECT_EQ(FileCreate(folder.Path("no/such/folder.def").c_str(), FileAttributeNormal),
              FileError);
}

TEST(FileCalls, OpenForWritingKeepsTheContentBehindWhatIsWritten) {
    ScratchFolder folder;
    folder.Write("a.def", "0123456789");
    FileHandle file = FileOpen(folder.Path("a.def").c_str(), FileOpenWrite);
    ASSERT_NE(file, FileError);
    EXPECT_EQ(FileWrite(file, "ab", 2), 2u);
    FileClose(file);
    EXPECT_EQ(folder.Read("a.def"), "ab23456789");
}

TEST(FileCalls, ReadOnlyFileCannotBeOpenedForWritingOrRecreated) {
    ScratchFolder folder;
    folder.Write("ro.def", "keep");
    MakeReadOnly(folder.Native("ro.def"));
    EXPECT_EQ(FileOpen(folder.Path("ro.def").c_str(), FileOpenWrite), FileError);
    EXPECT_EQ(FileOpen(folder.Path("ro.def").c_str(), FileOpenReadWrite), FileError);
    EXPECT_EQ(FileCreate(folder.Path("ro.def").c_str(), FileAttributeNormal), FileError);
    FileHandle file = FileOpen(folder.Path("ro.def").c_str(), FileOpenRead);
    EXPECT_NE(file, FileError);
    FileClose(file);
    EXPECT_EQ(folder.Read("ro.def"), "keep");
}

TEST(FileCalls, ReadAndSeekGiveTheOldCallsResults) {
    ScratchFolder folder;
    folder.Write("a.def", "abcdefgh");
    FileHandle file = FileOpen(folder.Path("a.def").c_str(), FileOpenRead);
    ASSERT_NE(file, FileError);
    char buffer[16] = {};
    EXPECT_EQ(FileRead(file, buffer, 5), 5u);
    EXPECT_EQ(std::string(buffer, 5), "abcde");
    EXPECT_EQ(FileSeek(file, -3, FileSeekCurrent), 2);
    EXPECT_EQ(FileRead(file, buffer, 16), 6u);
    EXPECT_EQ(std::string(buffer, 6), "cdefgh");
    EXPECT_EQ(FileRead(file, buffer, 16), 0u);
    EXPECT_EQ(FileSeek(file, 0, FileSeekEnd), 8);
    EXPECT_EQ(FileSeek(file, 1, FileSeekBegin), 1);
    EXPECT_EQ(FileWrite(file, "x", 1), FileIoError);
    EXPECT_EQ(FileClose(file), 0);
}

TEST(FileCalls, ReplacementWritesACopyBesideTheFileAndPutsItInPlace) {
    ScratchFolder folder;
    folder.Write("data.def", "old");
    FileReplacement replacement;
    ASSERT_TRUE(FileBeginReplacement(folder.Path("data.def").c_str(), replacement));
    const std::string copy = replacement.temporary.substr(replacement.temporary.size() - 29);
    EXPECT_TRUE(IsCopyName(copy)) << copy;
    EXPECT_EQ(replacement.temporary, folder.Path(copy));
    EXPECT_EQ(FileWrite(replacement.file, "half", 4), 4u);
    FileAbandonReplacement(replacement);
    EXPECT_EQ(folder.Read("data.def"), "old");
    EXPECT_FALSE(folder.Exists(copy));

    EXPECT_TRUE(SaveByReplacement(folder.Path("data.def"), "new content"));
    EXPECT_EQ(folder.Read("data.def"), "new content");
    EXPECT_EQ(folder.FileCount(), 1u);
    EXPECT_NE(NewCopyName(), NewCopyName());
}

TEST(FileCalls, ACopyNameFitsBesideANameAtTheLengthLimit) {
    ScratchFolder folder;
    const std::string name = std::string(250, 'a') + ".def";
    folder.Write(name, "old");
    EXPECT_TRUE(SaveByReplacement(folder.Path(name), "new"));
    EXPECT_EQ(folder.Read(name), "new");
    EXPECT_EQ(folder.FileCount(), 1u);
}

TEST(FileCalls, ReplacementRemovesOnlyTheUsersCopiesThatNoSaveHolds) {
    ScratchFolder folder;
    folder.Write("data.def", "old");
    const std::string stale = ".tonolot-00000000000000ff.tmp";
    const std::string held = ".tonolot-0123456789abcdef.tmp";
    folder.Write(stale, "half a line");
    folder.Write(held, "being written");
    folder.Write("data.def.old.tmp", "the user's");
    folder.Write(".tonolot-0123.tmp", "not of the pattern");
#ifdef _WIN32
    // A save of this program shares its copy for reading only, and locks it.
    HANDLE copy = CreateFileW(folder.Native(held).wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(copy, INVALID_HANDLE_VALUE);
    OVERLAPPED at = {};
    at.OffsetHigh = static_cast<DWORD>(CopyLockOffset >> 32);
    ASSERT_TRUE(LockFileEx(copy, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at));
    const std::size_t planted = 0;
#else
    // A save that is still writing holds its copy locked, as the native program or tonolot.exe
    // under Wine (a POSIX record lock) does: the copy stays.
    int copy = open(folder.Path(held).c_str(), O_RDWR);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(CopyLockOffset);
    lock.l_len = 1;
    ASSERT_EQ(fcntl(copy, F_SETLK, &lock), 0);
    // Links and other kinds of file at copy names are neither followed nor removed.
    folder.Write("private", "the user's own");
    std::filesystem::create_symlink(folder.Native("private"),
                                    folder.Native(".tonolot-aaaaaaaaaaaaaaaa.tmp"));
    ASSERT_EQ(mkfifo(folder.Path(".tonolot-bbbbbbbbbbbbbbbb.tmp").c_str(), 0666), 0);
    const std::size_t planted = 3;
#endif
    EXPECT_TRUE(SaveByReplacement(folder.Path("data.def"), "new"));
    EXPECT_EQ(folder.Read("data.def"), "new");
    EXPECT_FALSE(folder.Exists(stale));
    EXPECT_TRUE(folder.Exists("data.def.old.tmp"));
    EXPECT_TRUE(folder.Exists(".tonolot-0123.tmp"));
#ifdef _WIN32
    CloseHandle(copy);
#else
    close(copy);
    EXPECT_EQ(folder.Read("private"), "the user's own");
#endif
    EXPECT_EQ(folder.Read(held), "being written");
    EXPECT_EQ(folder.FileCount(), 4u + planted);
}

#ifdef _WIN32
TEST(FileCalls, ReplacementKeepsTheAttributesSetOnTheFile) {
    ScratchFolder folder;
    folder.Write("data.def", "old");
    const std::wstring file = folder.Native("data.def").wstring();
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(SaveByReplacement(folder.Path("data.def"), "new"));
    EXPECT_EQ(folder.Read("data.def"), "new");
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}
#else
TEST(FileCalls, ReplacementKeepsWhatWasSetOnTheFileAndALinkToIt) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.Native("real"));
    const std::string file = folder.Path("real/data.def");
    folder.Write("real/data.def", "old");
    ASSERT_EQ(chmod(file.c_str(), 0660), 0) << "not the mode a new file gets";
    const bool superUser = geteuid() == 0;
    if (superUser) {
        ASSERT_EQ(chown(file.c_str(), 4242, 4343), 0);
    }
    std::filesystem::create_symlink("real/data.def", folder.Native("data.def"));

    EXPECT_TRUE(SaveByReplacement(folder.Path("data.def"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.Native("data.def")));
    EXPECT_EQ(folder.Read("real/data.def"), "new");
    struct stat status;
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0660u);
    if (superUser) {
        EXPECT_EQ(status.st_uid, 4242u);
        EXPECT_EQ(status.st_gid, 4343u);
    }
    EXPECT_EQ(folder.FileCount(), 2u) << "no copy beside the link";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Native("real")),
                            std::filesystem::directory_iterator()),
              1)
        << "no copy beside the file";
}
#endif

TEST(FileCalls, FolderNamesOutsideTheAnsiCodePageWork) {
    // Greek and Japanese letters as UTF-8: no single-byte code page holds both.
    ScratchFolder folder("tonolot-\xCE\x91\xCE\xBA\xCE\xBF\xCE\xAE-\xE8\x81\xB4\xE5\x8A\x9B");
    std::string path = folder.Path("\xCF\x84\xCF\x8C\xCE\xBD\xCE\xBF\xCF\x82.def");
    FileHandle file = FileCreate(path.c_str(), FileAttributeNormal);
    ASSERT_NE(file, FileError);
    EXPECT_EQ(FileWrite(file, "L 50", 4), 4u);
    FileClose(file);
    file = FileOpen(path.c_str(), FileOpenRead);
    ASSERT_NE(file, FileError);
    char buffer[8] = {};
    EXPECT_EQ(FileRead(file, buffer, 8), 4u);
    FileClose(file);
    EXPECT_EQ(std::string(buffer), "L 50");
    EXPECT_EQ(folder.Read("\xCF\x84\xCF\x8C\xCE\xBD\xCE\xBF\xCF\x82.def"), "L 50");
}

} // namespace
