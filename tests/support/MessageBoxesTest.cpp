#include "support/MessageBoxes.h"
#include "support/MainDialog.h"

#include "fakes/ScriptedPresenter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int dialogStandIn;

class MessageBoxesTest : public ::testing::Test {
protected:
    void TearDown() override { SetMainDialog(nullptr); }
    ScriptedPresenter boxes;
};

TEST_F(MessageBoxesTest, AudioErrorHasNoOwnerBeforeTheDialogExistsAndTheDialogAfterwards) {
    ShowMessage("Wave prepare failed");
    SetMainDialog(&dialogStandIn);
    ShowMessage("Wave prepare failed");

    auto shown = boxes.TakeShown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].owner, nullptr);
    EXPECT_EQ(shown[1].owner, &dialogStandIn);
    EXPECT_EQ(shown[0].style, MessageOk);
}

TEST_F(MessageBoxesTest, EveryBoxCarriesTheProgramNameWithoutVersion) {
    ShowMessage("a");
    ShowMessageFor(&dialogStandIn, "b");
    ShowMessageStyled(MessageYesNo, &dialogStandIn, "c");
    for (const auto& box : boxes.TakeShown()) {
        EXPECT_EQ(box.caption, "Tonolot");
    }
}

TEST_F(MessageBoxesTest, QuestionsUseTheGivenStyleOwnerAndReturnTheAnswer) {
    boxes.Answer(AnswerYes);
    boxes.Answer(AnswerNo);
    EXPECT_EQ(ShowMessageStyled(MessageYesNo, &dialogStandIn, "Frage?"), AnswerYes);
    EXPECT_EQ(ShowMessageStyled(MessageYesNo, &dialogStandIn, "Frage?"), AnswerNo);
    auto shown = boxes.TakeShown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].style, MessageYesNo);
    EXPECT_EQ(shown[0].owner, &dialogStandIn);
}

TEST_F(MessageBoxesTest, TextsAreFormattedAndShownByteForByte) {
    ShowMessageFor(nullptr, "Zeile 1\r\nZeile 2 100%%");
    ShowMessage("Wave-Ausgabeger\xE4t konnte nicht ge\xF6"
                "ffnet werden!\r\n%d = %s",
                -28, "Das Ger\xE4t wird benutzt");
    auto texts = boxes.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Zeile 1\r\nZeile 2 100%");
    EXPECT_EQ(texts[1], "Wave-Ausgabeger\xE4t konnte nicht ge\xF6"
                        "ffnet werden!\r\n-28 = Das Ger\xE4t wird benutzt");
}

TEST_F(MessageBoxesTest, AnOverlongTextIsCutToTheBufferNeverBeyond) {
    std::string longText(5000, 'x');
    ShowMessageFor(nullptr, "%s", longText.c_str());
    auto texts = boxes.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], std::string(MessageBufferSize - 1, 'x'));
}

TEST(MessageBoxesWithoutPresenter, ReportNoAnswer) {
    ASSERT_EQ(CurrentMessagePresenter(), nullptr);
    EXPECT_EQ(ShowMessageStyled(MessageYesNo, nullptr, "Frage?"), 0);
}

} // namespace
