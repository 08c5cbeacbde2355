// Where the chart puts its frame, grid, band, labels and columns, on the 450 x 234 item the dialog
// gives it and on other sizes.
#include "ChartFixtures.h"
#include "fakes/RasterCanvas.h"
#include "fakes/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int ColumnLines[10] = {10, 57, 104, 151, 198, 245, 292, 339, 386, 433};
constexpr int RowLines[10] = {15, 36, 57, 78, 99, 120, 141, 162, 183, 204};

RecordingCanvas Record(const CanvasRect& item, const ChartScene& scene) {
    RecordingCanvas canvas;
    DrawAudiogramChart(canvas, item, scene.Records(), &TestFrequencyOf);
    return canvas;
}

RasterCanvas Raster(const CanvasRect& item, const ChartScene& scene) {
    RasterCanvas canvas(item.right, item.bottom, 0x00123456);
    DrawAudiogramChart(canvas, item, scene.Records(), &TestFrequencyOf);
    return canvas;
}

bool HasSegment(const std::vector<RecordingCanvas::Segment>& segments, int x0, int y0, int x1,
                int y1) {
    return std::any_of(segments.begin(), segments.end(), [&](const auto& s) {
        return s.x0 == x0 && s.y0 == y0 && s.x1 == x1 && s.y1 == y1;
    });
}

TEST(AudiogramLayout, ExampleItemGivesTheDocumentedPlot) {
    const ChartLayout layout = LayoutFor(Item);
    EXPECT_EQ(layout.plot.left, 10);
    EXPECT_EQ(layout.plot.top, 15);
    EXPECT_EQ(layout.plot.right, 435);
    EXPECT_EQ(layout.plot.bottom, 231);
    EXPECT_EQ(layout.rowStep, 21);
    EXPECT_EQ(layout.columnStep, 47);
}

TEST(AudiogramLayout, FrameHasThreeSidesDrawnWithTheContextPen) {
    const RecordingCanvas canvas = Record(Item, StartUpScene());
    const auto lines = canvas.SegmentsWithContextPen();
    ASSERT_GE(lines.size(), 3u);
    // Top from right to left, left side down, bottom to the right: in this order, first.
    EXPECT_TRUE(lines[0].x0 == 435 && lines[0].y0 == 15 && lines[0].x1 == 10 && lines[0].y1 == 15);
    EXPECT_TRUE(lines[1].x0 == 10 && lines[1].y0 == 15 && lines[1].x1 == 10 && lines[1].y1 == 231);
    EXPECT_TRUE(lines[2].x0 == 10 && lines[2].y0 == 231 && lines[2].x1 == 435 &&
                lines[2].y1 == 231);
    // No right side: nothing runs down the plot's right edge.
    for (const auto& s : canvas.Segments()) {
        EXPECT_FALSE(s.x0 == 435 && s.x1 == 435) << "a line on the right edge";
    }
}

TEST(AudiogramLayout, TenGridRowsAndTenColumnsAtTheirPositions) {
    const RecordingCanvas canvas = Record(Item, StartUpScene());
    const auto lines = canvas.SegmentsWithContextPen();
    // 3 frame sides, 10 rows, 10 columns.
    EXPECT_EQ(lines.size(), 23u);
    for (int y : RowLines) {
        EXPECT_TRUE(HasSegment(lines, 10, y, 435, y)) << "row at y " << y;
    }
    for (int x : ColumnLines) {
        EXPECT_TRUE(HasSegment(lines, x, 15, x, 231)) << "column at x " << x;
    }
}

TEST(AudiogramLayout, GridAndColumnsShowInThePicture) {
    const RasterCanvas picture = Raster(Item, StartUpScene());
    // Row lines run from the plot's left edge up to, not including, its right end; only the
    // frame's top side, drawn from the right, covers x 435 as its start pixel.
    for (int y : RowLines) {
        EXPECT_EQ(picture.Pixel(10, y), RasterCanvas::Black) << y;
        EXPECT_EQ(picture.Pixel(434, y), RasterCanvas::Black) << y;
        EXPECT_EQ(picture.Pixel(435, y), y == 15 ? RasterCanvas::Black : RasterCanvas::White) << y;
    }
    EXPECT_EQ(picture.Pixel(435, 231), RasterCanvas::White);
    // Between rows 204 and the bottom frame line at 231 there is no other row line.
    for (int y = 205; y < 231; ++y) {
        EXPECT_NE(picture.Pixel(200, y), RasterCanvas::Black) << y;
    }
    EXPECT_EQ(picture.Pixel(200, 231), RasterCanvas::Black);
    for (int x : ColumnLines) {
        EXPECT_EQ(picture.Pixel(x, 100), RasterCanvas::Black) << x;
        EXPECT_EQ(picture.Pixel(x, 230), RasterCanvas::Black) << x;
    }
    // Column 9 stands two pixels short of the plot's right end (425 / 9 leaves 2).
    EXPECT_EQ(picture.Pixel(434, 100), RasterCanvas::White);
}

TEST(AudiogramLayout, WholeItemIsPaintedWhiteFirst) {
    const RecordingCanvas canvas = Record(Item, StartUpScene());
    ASSERT_FALSE(canvas.Calls().empty());
    const auto& first = canvas.Calls().front();
    EXPECT_EQ(first.op, RecordingCanvas::Op::FillWhite);
    EXPECT_EQ(first.rect.left, 0);
    EXPECT_EQ(first.rect.top, 0);
    EXPECT_EQ(first.rect.right, 450);
    EXPECT_EQ(first.rect.bottom, 234);

    // Whatever the context held before, no pixel of the old content survives.
    const RasterCanvas picture = Raster(Item, StartUpScene());
    EXPECT_EQ(picture.Count(0x00123456), 0);
}

TEST(AudiogramLayout, BandCoversColumnsThreeToSixInsideTheGrid) {
    const RecordingCanvas canvas = Record(Item, StartUpScene());
    int bands = 0;
    for (const auto& call : canvas.Calls()) {
        if (call.op == RecordingCanvas::Op::FillSolid) {
            ++bands;
            EXPECT_EQ(call.color, 0x00DCFFFFu);
        }
    }
    EXPECT_EQ(bands, 1);

    // A standard of all zeros lies on the top line, out of the band's way.
    ChartScene scene;
    const RasterCanvas picture = Raster(Item, scene);
    // Just right of column 3's line through column 6's line, which is drawn over it.
    EXPECT_EQ(picture.Pixel(151, 100), RasterCanvas::Black);
    EXPECT_EQ(picture.Pixel(152, 100), BandColor);
    EXPECT_EQ(picture.Pixel(291, 100), BandColor);
    EXPECT_EQ(picture.Pixel(292, 100), RasterCanvas::Black);
    EXPECT_EQ(picture.Pixel(293, 100), RasterCanvas::White);
    // From just below the top line to one white row above the bottom frame line.
    EXPECT_NE(picture.Pixel(170, 15), BandColor);
    EXPECT_EQ(picture.Pixel(170, 16), BandColor);
    EXPECT_EQ(picture.Pixel(170, 229), BandColor);
    EXPECT_EQ(picture.Pixel(170, 230), RasterCanvas::White);
    EXPECT_EQ(picture.Pixel(170, 231), RasterCanvas::Black);
    // Outside the middle columns the plot stays white.
    EXPECT_EQ(picture.Pixel(120, 100), RasterCanvas::White);
    EXPECT_EQ(picture.Pixel(320, 100), RasterCanvas::White);
    // Nothing but the grid rows and the lines of columns 4 and 5 cover the band.
    EXPECT_EQ(picture.Count(BandColor, CanvasRect{152, 16, 292, 230}),
              (292 - 152 - 2) * (230 - 16 - 9));
}

TEST(AudiogramLayout, LabelsAreTheFrequenciesCentredAboveTheColumns) {
    const RecordingCanvas canvas = Record(Item, StartUpScene());
    const auto& texts = canvas.Texts();
    const char* expected[10] = {"70",   "125",  "250",  "500",  "1000",
                                "2000", "4000", "6000", "8000", "12000"};
    ASSERT_EQ(texts.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(texts[i].text, expected[i]);
        EXPECT_EQ(texts[i].x, ColumnLines[i]);
        EXPECT_EQ(texts[i].y, 0) << "label top on the item's top";
        EXPECT_TRUE(texts[i].transparent);
        EXPECT_TRUE(texts[i].centredTop);
    }

    const RasterCanvas picture = Raster(Item, StartUpScene());
    ASSERT_EQ(picture.TextBoxes().size(), 10u);
    for (int i = 0; i < 10; ++i) {
        const CanvasRect box = picture.TextBoxes()[i].box;
        EXPECT_EQ(box.top, 0);
        EXPECT_LE(std::abs((box.left + box.right) / 2 - ColumnLines[i]), 1) << i;
    }
    // The labels stay in the strip above the plot: ink there, none of it white-boxed.
    EXPECT_GT(picture.Count(RasterCanvas::Black, CanvasRect{0, 0, 450, 15}), 100);
}

TEST(AudiogramLayout, LabelsLeaveTheGridBehindThemVisible) {
    // Transparent text: a label that overlaps a line leaves the line's pixels between the glyphs.
    RasterCanvas canvas(60, 20);
    canvas.MoveTo(0, 1);
    canvas.LineTo(60, 1);
    canvas.SetTransparentBackground();
    canvas.SetTextAlignCenterTop();
    canvas.WriteText(30, 0, "1000", 4);
    EXPECT_EQ(canvas.Count(RasterCanvas::Black, CanvasRect{0, 1, 60, 2}), 60);

    // And the chart sets both before its first label.
    const RecordingCanvas recorded = Record(Item, StartUpScene());
    bool transparent = false;
    bool aligned = false;
    for (const auto& call : recorded.Calls()) {
        transparent |= call.op == RecordingCanvas::Op::SetTransparentBackground;
        aligned |= call.op == RecordingCanvas::Op::SetTextAlignCenterTop;
        if (call.op == RecordingCanvas::Op::WriteText) {
            EXPECT_TRUE(transparent && aligned);
            break;
        }
    }
}

TEST(AudiogramLayout, DrawingFollowsTheLayeringOrder) {
    const RecordingCanvas canvas = Record(Item, FiveCurveScene());
    using Op = RecordingCanvas::Op;
    std::vector<Op> ops;
    for (const auto& call : canvas.Calls()) {
        ops.push_back(call.op);
    }
    auto firstOf = [&](Op op) { return std::find(ops.begin(), ops.end(), op) - ops.begin(); };
    auto lastOf = [&](Op op) {
        return static_cast<long>(ops.rend() - std::find(ops.rbegin(), ops.rend(), op)) - 1;
    };
    // White, frame, band, grid, labels and columns, then the curves over all of it.
    EXPECT_EQ(firstOf(Op::FillWhite), 0);
    EXPECT_LT(firstOf(Op::LineTo), firstOf(Op::FillSolid));
    EXPECT_LT(firstOf(Op::FillSolid), firstOf(Op::WriteText));
    EXPECT_LT(lastOf(Op::WriteText), firstOf(Op::SelectSolidPen));
    const auto framesAndGrid = canvas.SegmentsWithContextPen();
    ASSERT_EQ(framesAndGrid.size(), 23u);
    // Column lines come after the rows, each right after its label.
    EXPECT_TRUE(framesAndGrid[13].x0 == 10 && framesAndGrid[13].x1 == 10);
    EXPECT_TRUE(framesAndGrid[22].x0 == 433 && framesAndGrid[22].x1 == 433);
}

TEST(AudiogramLayout, PlotWidthNotAMultipleOfNineLeavesColumnNineShort) {
    // 445 wide: plot 10..430, 420 / 9 = 46 rest 6, so column 9 is at 424, 6 short of 430.
    const CanvasRect item{0, 0, 445, 200};
    const ChartLayout layout = LayoutFor(item);
    EXPECT_EQ(layout.columnStep, 46);
    EXPECT_EQ(layout.rowStep, 18);
    const RecordingCanvas canvas = Record(item, StartUpScene());
    const auto lines = canvas.SegmentsWithContextPen();
    EXPECT_TRUE(HasSegment(lines, 424, 15, 424, 197));
    EXPECT_TRUE(HasSegment(lines, 10, 15 + 9 * 18, 430, 15 + 9 * 18));
    EXPECT_EQ(canvas.Texts().back().x, 424);

    const RasterCanvas picture = Raster(item, StartUpScene());
    EXPECT_EQ(picture.Pixel(424, 100), RasterCanvas::Black);
    for (int x = 425; x < 445; ++x) {
        EXPECT_NE(picture.Pixel(x, 100), RasterCanvas::Black) << "open right side at x " << x;
    }
    // The band still ends on column 6: 10 + 1 + 6 * 46 = 287 is its first pixel outside.
    EXPECT_EQ(picture.Pixel(286, 100), RasterCanvas::Black);
    EXPECT_EQ(picture.Pixel(285, 100), BandColor);
    EXPECT_EQ(picture.Pixel(287, 100), RasterCanvas::White);
}

TEST(AudiogramLayout, ItemAwayFromTheOriginMovesEverything) {
    const CanvasRect item{100, 50, 550, 284};
    const RecordingCanvas canvas = Record(item, StartUpScene());
    const auto lines = canvas.SegmentsWithContextPen();
    EXPECT_TRUE(HasSegment(lines, 535, 65, 110, 65));
    EXPECT_TRUE(HasSegment(lines, 110, 65, 110, 281));
    EXPECT_TRUE(HasSegment(lines, 110 + 9 * 47, 65, 110 + 9 * 47, 281));
    for (const auto& text : canvas.Texts()) {
        EXPECT_EQ(text.y, 50);
    }
    EXPECT_EQ(canvas.Curves().at(0).points.at(0), std::make_pair(110, 65 + 30));
}

} // namespace
