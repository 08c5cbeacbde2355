#include "support/FileCalls.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

void MakeReadOnly(const std::filesystem::path& path) {
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
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

TEST(FileCalls, ReplaceSwapsInTheNewContentAndLeavesNoSource) {
    ScratchFolder folder;
    folder.Write("data.def", "old");
    folder.Write("data.new", "new content");
    EXPECT_TRUE(FileReplace(folder.Path("data.new").c_str(), folder.Path("data.def").c_str()));
    EXPECT_EQ(folder.Read("data.def"), "new content");
    EXPECT_FALSE(folder.Exists("data.new"));
    EXPECT_FALSE(FileReplace(folder.Path("data.new").c_str(), folder.Path("data.def").c_str()));
    EXPECT_EQ(folder.Read("data.def"), "new content");
}

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
