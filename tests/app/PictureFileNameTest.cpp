#include "app/PictureFileName.h"
#include "app/PictureStartFolder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(PictureFileName, SuggestsTheNameFieldInUtf8WithWhatWindowsRefusesReplaced) {
    EXPECT_EQ(SuggestedPictureName("Erika M\xFCller"), "Erika M\xC3\xBCller.png");
    EXPECT_EQ(SuggestedPictureName("a\\b/c:d*e?f\"g<h>i|j"), "a_b_c_d_e_f_g_h_i_j.png");
    EXPECT_EQ(SuggestedPictureName("Tab\there\r\nDel\x7F"), "Tab_here__Del_.png");
    // Everything else stays, the code page's own signs included.
    EXPECT_EQ(SuggestedPictureName("O'Neil (Test) 1.2 \x80"), "O'Neil (Test) 1.2 \xE2\x82\xAC.png");
    EXPECT_EQ(SuggestedPictureName("  Neue Person  "), "Neue Person.png");
}

TEST(PictureFileName, AnEmptyNameSuggestsAudiogramm) {
    EXPECT_EQ(SuggestedPictureName(""), "Audiogramm.png");
    EXPECT_EQ(SuggestedPictureName("   "), "Audiogramm.png");
    EXPECT_EQ(SuggestedPictureName(nullptr), "Audiogramm.png");
}

TEST(PictureFileName, OnlyANameWithoutPngGetsIt) {
    EXPECT_EQ(WithPngExtension("/home/e/Bilder/test"), "/home/e/Bilder/test.png");
    EXPECT_EQ(WithPngExtension("C:\\Bilder\\test.png"), "C:\\Bilder\\test.png");
    EXPECT_EQ(WithPngExtension("C:\\Bilder\\TEST.PNG"), "C:\\Bilder\\TEST.PNG");
    EXPECT_EQ(WithPngExtension("test.jpg"), "test.jpg.png");
    EXPECT_EQ(WithPngExtension("png"), "png.png");
    EXPECT_EQ(WithPngExtension(""), ".png");
}

} // namespace

TEST(PictureStartFolder, FirstExistingFolderInOrderElseNone) {
    const std::set<std::string> folders{"/home/anna/Dokumente", "/home/anna"};
    auto isFolder = [&](const std::string& path) { return folders.count(path) > 0; };
    // No pictures folder: the documents folder; a folder the platform does not know is skipped.
    EXPECT_EQ(PictureStartFolder({"/home/anna/Bilder", "", "/home/anna/Dokumente", "/home/anna"},
                                 isFolder),
              "/home/anna/Dokumente");
    EXPECT_EQ(PictureStartFolder({"/home/anna/Bilder", "/home/anna"}, isFolder), "/home/anna");
    EXPECT_EQ(PictureStartFolder({"/nirgends", ""}, isFolder), "");
}
