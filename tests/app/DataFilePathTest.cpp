#include "app/DataFilePath.h"

#include <gtest/gtest.h>

TEST(DataFilePath, LiesBesideTheProgramUnderItsOwnBaseName) {
    EXPECT_EQ(DataFilePathFor("C:\\Programme\\Tonolot\\tonolot.exe"),
              "C:\\Programme\\Tonolot\\tonolot.def");
    // Renaming the program renames its data file.
    EXPECT_EQ(DataFilePathFor("C:\\Programme\\Tonolot\\hoertest.exe"),
              "C:\\Programme\\Tonolot\\hoertest.def");
    // Only the last extension is replaced.
    EXPECT_EQ(DataFilePathFor("D:\\a.b.exe"), "D:\\a.b.def");
    EXPECT_EQ(DataFilePathFor("a.exe"), "a.def");
}

TEST(DataFilePath, IgnoresADotInAFolderName) {
    EXPECT_EQ(DataFilePathFor("C:\\Tools.v2\\tonolot.exe"), "C:\\Tools.v2\\tonolot.def");
    // Without an extension of its own the file name keeps its folder and gets ".def" appended,
    // instead of the path being cut at the folder's dot.
    EXPECT_EQ(DataFilePathFor("C:\\Tools.v2\\tonolot"), "C:\\Tools.v2\\tonolot.def");
    EXPECT_EQ(DataFilePathFor("/home/anna/.wine/drive_c/tonolot"),
              "/home/anna/.wine/drive_c/tonolot.def");
    EXPECT_EQ(DataFilePathFor("C:tonolot"), "C:tonolot.def");
}

TEST(DataFilePath, AppendsTheExtensionToANameWithoutOne) {
    EXPECT_EQ(DataFilePathFor("tonolot"), "tonolot.def");
    EXPECT_EQ(DataFilePathFor("C:\\Programme\\tonolot"), "C:\\Programme\\tonolot.def");
    // A trailing dot starts an empty extension.
    EXPECT_EQ(DataFilePathFor("C:\\x\\tonolot."), "C:\\x\\tonolot.def");
}

TEST(DataFilePath, NeverNamesTheProgramItself) {
    EXPECT_EQ(DataFilePathFor("C:\\x\\tonolot.def"), "C:\\x\\tonolot.def.def");
    EXPECT_EQ(DataFilePathFor("C:\\x\\TONOLOT.DEF"), "C:\\x\\TONOLOT.DEF.def");
    for (const char* program : {"C:\\x\\tonolot.exe", "C:\\x.y\\tonolot", "tonolot", "a.def",
                                "C:\\x\\.def", "\\\\server\\share.d\\p"}) {
        EXPECT_NE(DataFilePathFor(program), program) << program;
    }
}

TEST(DataFilePath, KeepsFolderNamesOutsideTheAnsiCodePage) {
    // The UTF-8 bytes of the folders "C:\Hörtests\Про.с\" pass through unchanged.
    const std::string folder = "C:\\H\xC3\xB6rtests\\\xD0\x9F\xD1\x80\xD0\xBE.\xD1\x81\\";
    EXPECT_EQ(DataFilePathFor(folder + "tonolot.exe"), folder + "tonolot.def");
    EXPECT_EQ(DataFilePathFor(folder + "tonolot"), folder + "tonolot.def");
}

#ifndef _WIN32
#include "app/posix/DataFileLocation.h"
#include "support/ScratchFolder.h"

#include <sys/stat.h>

#include <fstream>

TEST(DataFileLocation, FollowsTheOverrideThenTheDataFolderThenHome) {
    EXPECT_EQ(DataFileLocation("/srv/t.def", "/x", "/home/anna"), "/srv/t.def");
    EXPECT_EQ(DataFileLocation("", "/data/", "/home/anna"), "/data/tonolot/tonolot.def");
    EXPECT_EQ(DataFileLocation(nullptr, nullptr, "/home/anna"),
              "/home/anna/.local/share/tonolot/tonolot.def");
    // A relative data folder is not to be used.
    EXPECT_EQ(DataFileLocation(nullptr, "data", "/home/anna/"),
              "/home/anna/.local/share/tonolot/tonolot.def");
    EXPECT_EQ(DataFileLocation(nullptr, "", nullptr), "");
}

TEST(DataFileLocation, CreatesTheMissingFoldersForTheUserAlone) {
    ScratchFolder scratch;
    const std::string file = scratch.Path("share/tonolot/tonolot.def");
    ASSERT_TRUE(CreateFolderFor(file));
    struct stat info {};
    ASSERT_EQ(stat(scratch.Path("share/tonolot").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(CreateFolderFor(file)); // already there
    // A file where a folder should be.
    std::ofstream(scratch.Native("share/tonolot/tonolot.def")) << "x";
    EXPECT_FALSE(CreateFolderFor(file + "/inner.def"));
}
#endif
