// The main dialog driven like a user would drive it: clicks and notifications go through the
// dialog's handlers into the real hearing test, whose device accepts everything and plays
// nothing; the tone's level is set by the test where a listener would hear it.

#include "MainDialogFixture.h"

#include "app/BandName.h"
#include "chart/Canvas.h"

#include <functional>
#include <string>
#include <vector>

namespace {

const std::string AskStoreLastText = "M\xF6"
                                     "chten Sie die letzte Messung \xFC"
                                     "bernehmen?";
const std::string EnterNameText = "Bitte einen Namen eingeben";
constexpr int ListDroppedDown = 7; // CBN_DROPDOWN: not a change of selection

// Counts the drawing calls that reach it.
class CountingCanvas : public Canvas {
public:
    void FillWhite(const CanvasRect&) override { ++calls; }
    void FillSolid(const CanvasRect&, CanvasColor) override { ++calls; }
    CanvasPen SelectSolidPen(CanvasColor, int) override { return ++calls; }
    void RestorePen(CanvasPen) override { ++calls; }
    void MoveTo(std::int32_t, std::int32_t) override { ++calls; }
    void LineTo(std::int32_t, std::int32_t) override { ++calls; }
    void SetTransparentBackground() override { ++calls; }
    void SetTextAlignCenterTop() override { ++calls; }
    void WriteText(std::int32_t, std::int32_t, const char*, int) override { ++calls; }
    void WriteStyledText(std::int32_t, std::int32_t, const char*, int, const TextStyle&) override {
        ++calls;
    }
    int calls = 0;
};

// The band a listener expects for a frequency, from the frequency rather than the index.
std::string BandOfFrequency(int hertz) {
    if (hertz <= 250) {
        return "tief";
    }
    return hertz <= 4000 ? "mittel" : "hoch";
}

// --- Start-up ----------------------------------------------------------------------------------

TEST_F(MainDialogTest, StartsIdleWithHeardDisabledAndTheStoredPersonsListed) {
    AddRecord("Standard", 100, 100);
    AddRecord("Anna", 300, 400);

    EXPECT_TRUE(procedure.OnInitDialog(dialog));

    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(controls.Text(IdName), "Neue Person");
    EXPECT_EQ(controls.ListItems(IdRecordList), (std::vector<std::string>{"Standard", "Anna"}));
    EXPECT_EQ(controls.ListSelection(dialog, IdRecordList), 0);
    // Showing the standard as selected loads nothing.
    EXPECT_STREQ(test.current.name, "Neue Person");
    EXPECT_EQ(test.current.left[0], 0);
    EXPECT_EQ(presenter.Count(), 0u);
}

// --- A run ---------------------------------------------------------------------------------------

TEST_F(MainDialogTest, ARunSwitchesToMeasuringAndBackAndRedrawsTheChartOnlyAtItsEnd) {
    procedure.OnInitDialog(dialog);
    controls.SetChecked(IdAidCheck, true);

    Command(IdStartLeft);
    EXPECT_TRUE(ShowsMeasuring());
    EXPECT_TRUE(device.Playing());
    EXPECT_EQ(controls.Text(IdStatusLine),
              BandOfFrequency(HearingTest::FrequencyOf(test.toneIndex)));

    for (int tone = 0; tone < HearingTest::ToneCount - 1; ++tone) {
        PressHeardAt(200.0 + tone);
        EXPECT_TRUE(ShowsMeasuring()) << "after tone " << tone;
        EXPECT_TRUE(device.Playing()) << "after tone " << tone;
        EXPECT_EQ(controls.Text(IdStatusLine),
                  BandOfFrequency(HearingTest::FrequencyOf(test.toneIndex)));
    }
    EXPECT_TRUE(controls.invalidatedItems.empty()) << "the chart is not redrawn during a run";

    PressHeardAt(500.0);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_FALSE(device.Playing());
    EXPECT_EQ(controls.Text(IdStatusLine), "");
    EXPECT_EQ(controls.invalidatedItems, std::vector<int>{IdChart});
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        EXPECT_GE(test.current.left[i], 2) << "tone " << i;
    }
}

TEST_F(MainDialogTest, TheFocusGoesToHeardForARunAndThenToTheNextStep) {
    procedure.OnInitDialog(dialog);
    controls.FocusItem(dialog, IdStartLeft); // a keyboard user on "Start links"

    Command(IdStartLeft);
    EXPECT_EQ(controls.focused, IdHeard);
    for (int tone = 0; tone < HearingTest::ToneCount; ++tone) {
        PressHeardAt(300.0 + tone);
    }
    EXPECT_EQ(controls.focused, IdStartRight);
    MeasureEar(IdStartRight, 400.0);
    EXPECT_EQ(controls.focused, IdStore);

    Command(IdStartLeft);
    EXPECT_EQ(controls.focused, IdHeard);
    Command(IdNewTest);
    EXPECT_EQ(controls.focused, IdStartLeft);
}

TEST_F(MainDialogTest, APressBeforeTheToneIsAudibleChangesNothing) {
    procedure.OnInitDialog(dialog);
    Command(IdStartRight);
    const int tone = test.toneIndex;

    PressHeardAt(0.5);

    EXPECT_TRUE(ShowsMeasuring());
    EXPECT_EQ(test.toneIndex, tone);
    EXPECT_TRUE(device.Playing());
    EXPECT_TRUE(controls.invalidatedItems.empty());
}

TEST_F(MainDialogTest, NewTestDuringARunStopsTheToneAndKeepsWhatTheUserSet) {
    AddRecord("Standard", 100, 100);
    AddRecord("Anna", 300, 400);
    procedure.OnInitDialog(dialog);
    controls.SetItemText(dialog, IdName, "Bernd");
    controls.SetChecked(IdAidCheck, true);
    controls.ListSelect(dialog, IdRecordList, 1);
    controls.SetChecked(IdComparison, true);
    Command(IdComparison);
    const int erasingBefore = controls.erasingInvalidations;
    const int invalidationsBefore = controls.invalidations;

    Command(IdStartLeft);
    PressHeardAt(300.0);
    const std::string band = controls.Text(IdStatusLine);
    ASSERT_FALSE(band.empty());

    Command(IdNewTest);

    EXPECT_FALSE(device.Playing());
    EXPECT_FALSE(device.open);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_EQ(controls.Text(IdName), "Bernd");
    EXPECT_EQ(controls.Text(IdStatusLine), band);
    EXPECT_EQ(controls.ListSelection(dialog, IdRecordList), 1);
    EXPECT_EQ(controls.Text(IdComparison), "Vergleich: Anna");
    EXPECT_STREQ(test.comparison.name, "Anna");
    EXPECT_STREQ(test.current.name, "Neue Person");
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        EXPECT_EQ(test.current.left[i], 0);
        EXPECT_EQ(test.current.right[i], 0);
    }
    EXPECT_EQ(test.flags.load(), 0);
    EXPECT_EQ(controls.invalidations, invalidationsBefore + 1);
    EXPECT_EQ(controls.erasingInvalidations, erasingBefore);
}

// --- Orientation aid ---------------------------------------------------------------------------

TEST_F(MainDialogTest, TheAidNamesTheBandOfEachToneIndex) {
    const std::vector<std::pair<int, std::string>> bands = {
        {-1, ""},      {0, "tief"},   {1, "tief"}, {2, "tief"}, {3, "mittel"}, {4, "mittel"},
        {5, "mittel"}, {6, "mittel"}, {7, "hoch"}, {8, "hoch"}, {9, "hoch"},   {10, ""}};
    controls.SetChecked(IdAidCheck, true);
    for (const auto& [index, band] : bands) {
        controls.SetItemText(dialog, IdStatusLine, "?");
        test.toneIndex = index;
        // The high half of the notice carries the level; it does not matter here.
        Command(IdLevelNotice, 1234);
        EXPECT_EQ(controls.Text(IdStatusLine), band) << "tone index " << index;
        EXPECT_STREQ(BandName(index), band.c_str());
    }
}

TEST_F(MainDialogTest, UntickingTheAidDuringARunLeavesTheLastBandUntilTheRunEnds) {
    procedure.OnInitDialog(dialog);
    controls.SetChecked(IdAidCheck, true);
    Command(IdStartLeft);
    const std::string band = controls.Text(IdStatusLine);
    ASSERT_FALSE(band.empty());

    controls.SetChecked(IdAidCheck, false);
    Command(IdAidCheck);
    for (int i = 0; i < HearingTest::ToneCount - 1; ++i) {
        PressHeardAt(400.0);
        Command(IdLevelNotice);
        EXPECT_EQ(controls.Text(IdStatusLine), band);
    }

    PressHeardAt(400.0);
    EXPECT_EQ(controls.Text(IdStatusLine), "");
}

// --- Record list -------------------------------------------------------------------------------

TEST_F(MainDialogTest, PickingAPersonLoadsTheRecordWithoutAQuestion) {
    AddRecord("Standard", 100, 100);
    AddRecord("Anna", 300, 400);
    procedure.OnInitDialog(dialog);

    controls.ListSelect(dialog, IdRecordList, 1);
    Command(IdRecordList, ListDroppedDown);
    EXPECT_STREQ(test.current.name, "Neue Person") << "only a change of selection loads";

    Command(IdRecordList, ListSelectionChanged);
    EXPECT_STREQ(test.current.name, "Anna");
    EXPECT_EQ(test.current.left[0], 300);
    EXPECT_EQ(test.current.right[9], 409);
    EXPECT_EQ(controls.Text(IdName), "Anna");
    EXPECT_GT(controls.erasingInvalidations, 0) << "the chart shows the loaded record";
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(MainDialogTest, PickingAPersonAfterATwoEarMeasurementAsksFirst) {
    AddRecord("Standard", 100, 100);
    AddRecord("Anna", 300, 400);
    procedure.OnInitDialog(dialog);
    MeasureEar(IdStartLeft, 1000.0);
    MeasureEar(IdStartRight, 2000.0);
    controls.SetItemText(dialog, IdName, "");

    // Yes with an empty name: the measurement stays, the list shows the new choice.
    presenter.Answer(AnswerYes);
    SelectInList(1);
    ASSERT_EQ(presenter.Texts(), (std::vector<std::string>{AskStoreLastText, EnterNameText}));
    EXPECT_EQ(presenter.TakeShown().front().style, MessageYesNo);
    EXPECT_GT(test.current.left[0], 1000) << "the measurement is kept";
    EXPECT_EQ(controls.ListSelection(dialog, IdRecordList), 1);
    EXPECT_EQ(test.store.records.count, 2u);

    // No: the measurement is given up and the record loaded.
    presenter.Answer(AnswerNo);
    SelectInList(1);
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{AskStoreLastText});
    EXPECT_STREQ(test.current.name, "Anna");
    EXPECT_EQ(test.current.left[0], 300);
    EXPECT_EQ(test.store.records.count, 2u);
}

TEST_F(MainDialogTest, AnsweringYesStoresTheMeasurementBeforeLoadingThePickedPerson) {
    AddRecord("Standard", 100, 100);
    AddRecord("Anna", 300, 400);
    procedure.OnInitDialog(dialog);
    MeasureEar(IdStartLeft, 1000.0);
    MeasureEar(IdStartRight, 2000.0);
    controls.SetItemText(dialog, IdName, "Bernd");

    presenter.Answer(AnswerYes);
    SelectInList(1);

    ASSERT_EQ(test.store.records.count, 3u);
    EXPECT_STREQ(test.store.records.At(2)->name, "Bernd");
    EXPECT_GT(test.store.records.At(2)->right[0], 2000);
    EXPECT_STREQ(test.current.name, "Anna");
}

TEST_F(MainDialogTest, PickingAPersonDuringARunEndsItAtTheNextPress) {
    AddRecord("Standard", 100, 100);
    AddRecord("Anna", 300, 400);
    procedure.OnInitDialog(dialog);
    Command(IdStartLeft);
    PressHeardAt(700.0);
    // The list and "Übernehmen" stay usable while a run goes on.
    EXPECT_TRUE(controls.Enabled(IdRecordList));
    EXPECT_TRUE(controls.Enabled(IdStore));

    SelectInList(1);
    EXPECT_EQ(presenter.Count(), 0u) << "one measured ear is given up without a question";
    EXPECT_STREQ(test.current.name, "Anna");
    EXPECT_EQ(test.flags.load(), 0);
    EXPECT_TRUE(ShowsMeasuring());

    PressHeardAt(800.0);
    EXPECT_TRUE(ShowsIdle());
    EXPECT_FALSE(device.Playing());
    EXPECT_EQ(controls.invalidatedItems, std::vector<int>{IdChart});
    EXPECT_EQ(test.current.left[0], 300) << "the loaded left ear is not overwritten";
}

// --- Storing -----------------------------------------------------------------------------------

TEST_F(MainDialogTest, StoringListsTheNewPersonAndSelectsIt) {
    AddRecord("Standard", 100, 100);
    procedure.OnInitDialog(dialog);
    MeasureEar(IdStartLeft, 1000.0);
    MeasureEar(IdStartRight, 2000.0);
    controls.SetItemText(dialog, IdName, "Carla");

    Command(IdStore);

    EXPECT_EQ(controls.ListItems(IdRecordList), (std::vector<std::string>{"Standard", "Carla"}));
    EXPECT_EQ(controls.ListSelection(dialog, IdRecordList), 1);
    EXPECT_EQ(presenter.Count(), 0u);
    // Nothing is left unstored, so closing does not ask.
    procedure.OnClose(dialog);
    EXPECT_EQ(presenter.Count(), 0u);
    EXPECT_TRUE(controls.destroyed);
}

TEST_F(MainDialogTest, StoringDuringARunIsRefusedAndStillRefreshesTheList) {
    AddRecord("Standard", 100, 100);
    AddRecord("Anna", 300, 400);
    procedure.OnInitDialog(dialog);
    Command(IdStartLeft);
    PressHeardAt(700.0);
    controls.ListClear(dialog, IdRecordList); // stale content the refill must replace

    Command(IdStore);

    ASSERT_EQ(presenter.Count(), 1u);
    EXPECT_NE(presenter.Texts()[0].find("linke Ohr"), std::string::npos);
    EXPECT_EQ(controls.ListItems(IdRecordList), (std::vector<std::string>{"Standard", "Anna"}));
    EXPECT_EQ(test.store.records.count, 2u);
    EXPECT_TRUE(ShowsMeasuring()) << "the run goes on";
}

// --- Comparison --------------------------------------------------------------------------------

TEST_F(MainDialogTest, TickingTheComparisonShowsTheSelectedPersonAndUntickingHidesIt) {
    AddRecord("Standard", 100, 100);
    AddRecord("Anna", 300, 400);
    procedure.OnInitDialog(dialog);
    controls.ListSelect(dialog, IdRecordList, 1);

    controls.SetChecked(IdComparison, true);
    Command(IdComparison);
    EXPECT_EQ(controls.Text(IdComparison), "Vergleich: Anna");
    EXPECT_EQ(test.comparison.left[0], 300);
    EXPECT_EQ(controls.invalidations, 1);
    EXPECT_EQ(controls.erasingInvalidations, 0);

    controls.SetChecked(IdComparison, false);
    Command(IdComparison);
    EXPECT_EQ(controls.Text(IdComparison), "Vergleich");
    EXPECT_EQ(test.comparison.left[0], 0);
    EXPECT_EQ(test.comparison.right[0], 0);
    EXPECT_EQ(controls.invalidations, 2);
}

// --- Chart -------------------------------------------------------------------------------------

TEST_F(MainDialogTest, OnlyTheChartControlIsPainted) {
    CountingCanvas canvas;
    const CanvasRect item{0, 0, 525, 234};

    EXPECT_EQ(procedure.OnDrawItem(IdName, canvas, item), 0);
    EXPECT_EQ(canvas.calls, 0);

    EXPECT_EQ(procedure.OnDrawItem(IdChart, canvas, item), 1);
    EXPECT_GT(canvas.calls, 0);
}

// --- Closing -----------------------------------------------------------------------------------

TEST_F(MainDialogTest, CloseAndEscapeAskTheWindowToClose) {
    procedure.OnInitDialog(dialog);
    Command(IdStartLeft);

    Command(IdClose);
    Command(IdCancel);

    EXPECT_EQ(controls.closePosts, 2);
    EXPECT_FALSE(controls.destroyed);
    EXPECT_TRUE(device.Playing()) << "the close request itself stops the tone";
}

TEST_F(MainDialogTest, ClosingStopsTheToneBeforeAskingAndEndsTheProgramOnNo) {
    procedure.OnInitDialog(dialog);
    MeasureEar(IdStartLeft, 1000.0);
    Command(IdStartRight);
    test.current.right[0] = 1500; // the lowest tone heard first, so the question is due
    ASSERT_TRUE(device.Playing());

    bool silentWhenAsked = false;
    presenter.onPresent = [&] { silentWhenAsked = !device.Playing() && !device.open; };
    presenter.Answer(AnswerNo);

    EXPECT_TRUE(procedure.OnClose(dialog));
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{AskStoreLastText});
    EXPECT_TRUE(silentWhenAsked);
    EXPECT_TRUE(controls.destroyed);

    procedure.OnDestroy(dialog);
    EXPECT_EQ(MainDialog(), nullptr);
    EXPECT_EQ(controls.quitCode, 0);
}

TEST_F(MainDialogTest, AWindowKeptOpenByTheQuestionLetsTheRunGoOn) {
    procedure.OnInitDialog(dialog);
    MeasureEar(IdStartLeft, 1000.0);
    Command(IdStartRight);
    test.current.right[0] = 1500;
    controls.SetItemText(dialog, IdName, "");
    presenter.Answer(AnswerYes);

    EXPECT_TRUE(procedure.OnClose(dialog));
    EXPECT_EQ(presenter.Texts(), (std::vector<std::string>{AskStoreLastText, EnterNameText}));
    EXPECT_FALSE(controls.destroyed);
    EXPECT_FALSE(device.open);
    EXPECT_TRUE(ShowsMeasuring());

    // "Gehört" records the level reached before the stop and starts the next tone.
    const int tone = test.toneIndex;
    PressHeardAt(1234.0);
    EXPECT_EQ(test.current.right[tone], 1235);
    EXPECT_TRUE(device.Playing());
    EXPECT_NE(test.toneIndex, tone);
}

TEST_F(MainDialogTest, DestroyingAnotherWindowLeavesTheMainDialogKnown) {
    const WindowHandle other = reinterpret_cast<WindowHandle>(0x999);
    procedure.OnDestroy(other);
    EXPECT_EQ(MainDialog(), dialog);
    EXPECT_EQ(controls.quitCode, 0);
}

} // namespace
