// The cairo binding, drawn into an image and compared with the test rasteriser, which follows
// GDI's coverage: the native program's chart must look like the Windows one.
#include "chart/cairo/CairoCanvas.h"
#include "chart/ChartFixtures.h"
#include "chart/cairo/OffscreenPicture.h"
#include "fakes/ImageFile.h"
#include "fakes/RasterCanvas.h"

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>

namespace {

constexpr int Width = 450;
constexpr int Height = 234;
constexpr int LabelStrip = 15;

using FontPointer = std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)>;

FontPointer DialogFont() {
    return FontPointer(pango_font_description_from_string("Sans 8"), &pango_font_description_free);
}

CanvasColor PixelOf(const RgbPicture& picture, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * picture.width + x) * 3;
    return MakeCanvasColor(picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]);
}

// A pixel of an RGB24 image surface, each a native word 0x00RRGGBB.
CanvasColor SurfacePixel(cairo_surface_t* surface, int x, int y) {
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const std::uint32_t value = reinterpret_cast<const std::uint32_t*>(row)[x];
    return MakeCanvasColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

bool IsCurveColor(CanvasColor color) {
    return color == StandardLeftColor || color == ComparisonLeftColor ||
           color == ComparisonRightColor || color == CurrentLeftColor || color == CurrentRightColor;
}

// A glyph's pixel: black, anti-aliased into the background.
bool IsInk(CanvasColor color) {
    return RedOf(color) < 0x80 && GreenOf(color) < 0x80 && BlueOf(color) < 0x80;
}

// Every pixel agrees, curves included, except the glyphs in the label strip, where only the
// rasteriser's curve pixels must be the same; reports the first differences and returns how many
// there are.
int Differences(const RgbPicture& cairo, const RasterCanvas& raster) {
    int wrong = 0;
    for (int y = 0; y < raster.Height(); ++y) {
        for (int x = 0; x < raster.Width(); ++x) {
            const CanvasColor real = PixelOf(cairo, x, y);
            const CanvasColor drawn = raster.Pixel(x, y);
            if (real == drawn || (y < LabelStrip && !IsCurveColor(drawn))) {
                continue;
            }
            if (++wrong <= 20) {
                ADD_FAILURE() << "differs at " << x << "," << y << ": cairo " << std::hex << real
                              << " raster " << drawn << std::dec;
            }
        }
    }
    return wrong;
}

// Draws the scene both ways on an item of the given width and compares the pictures; keeps
// cairo's picture under `name`.
void CompareWithRasteriser(const ChartScene& scene, const char* name, int width = Width) {
    const FontPointer font = DialogFont();
    const auto paint = [&](Canvas& canvas, const CanvasRect& item) {
        DrawAudiogramChart(canvas, item, scene.Records(), &TestFrequencyOf);
    };
    const RgbPicture cairo = PaintOffscreen(width, Height, font.get(), paint);
    ASSERT_EQ(cairo.rgb.size(), std::size_t{3} * width * Height);
    RasterCanvas raster(width, Height);
    paint(raster, CanvasRect{0, 0, width, Height});
    std::filesystem::create_directories(TONOLOT_ARTIFACT_DIR);
    WritePng(ArtifactPath(name), width, Height, cairo.rgb);
    EXPECT_EQ(Differences(cairo, raster), 0);
    int curvePixels = 0;
    for (CanvasColor color : {StandardLeftColor, ComparisonLeftColor, ComparisonRightColor,
                              CurrentLeftColor, CurrentRightColor}) {
        curvePixels += raster.Count(color);
    }
    EXPECT_GT(curvePixels, 1000);

    // Each label lies above its column, within the strip: ink there and nowhere far from it.
    const ChartLayout layout = LayoutFor(CanvasRect{0, 0, width, Height});
    for (int i = 0; i < ChartColumns; ++i) {
        const int column = ColumnX(layout.plot, layout.columnStep, i);
        int left = width;
        int right = -1;
        for (int y = 0; y < LabelStrip; ++y) {
            for (int x = std::max(column - 24, 0); x < std::min(column + 24, width); ++x) {
                if (IsInk(PixelOf(cairo, x, y)) && !IsCurveColor(raster.Pixel(x, y))) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        ASSERT_LE(left, right) << "label of column " << i;
        EXPECT_LE(std::abs((left + right) / 2 - column), 3) << "label of column " << i;
    }
}

TEST(CairoCanvas, ChartMatchesTheRasteriser) {
    CompareWithRasteriser(FiveCurveScene(), "audiogram-cairo.png");
}

TEST(CairoCanvas, ExtremeAndNegativeLevelsMatchTheRasteriser) {
    ChartScene huge = FiveCurveScene();
    huge.current.left[3] = std::numeric_limits<std::int32_t>::max();
    huge.current.right[6] = std::numeric_limits<std::int32_t>::min();
    huge.comparison.left[8] = 1000000000;
    huge.current.left[9] = -1000000000;
    CompareWithRasteriser(huge, "audiogram-cairo-huge.png");

    // Into the label strip and above the item.
    ChartScene negative = FiveCurveScene();
    negative.current = MakeRecord("Bernd", Levels{100, -5, -12, 40, -40, 60, -15, 30, -8, 90},
                                  Levels{70, 20, -3, -10, 20, -14, 50, -1, 10, -30});
    CompareWithRasteriser(negative, "audiogram-cairo-negative.png");
}

TEST(CairoCanvas, UnevenAndInvertedItemsMatchTheRasteriser) {
    // A plot 412 pixels wide: columns 45 apart, the horizontal lines 7 pixels past column 9.
    ChartScene scene = StartUpScene();
    scene.current = MakeRecord("Steil", Levels{20, 200, 30, 180, 60, 220, 10, 150, 90, 5},
                               Levels{210, 5, 190, 40, 160, 100, 215, 0, 120, 60});
    CompareWithRasteriser(scene, "audiogram-cairo-steep.png", 437);

    // An item given right to left: the white fill, the band and the steps come out the wrong
    // way round, as GDI draws them.
    const auto paint = [&](Canvas& canvas, const CanvasRect&) {
        canvas.FillSolid(CanvasRect{0, 0, 40, 80}, 0x00336699);
        DrawAudiogramChart(canvas, CanvasRect{20, 0, 10, 80}, scene.Records(), &TestFrequencyOf);
    };
    const FontPointer font = DialogFont();
    const RgbPicture cairo = PaintOffscreen(40, 80, font.get(), paint);
    RasterCanvas raster(40, 80);
    paint(raster, CanvasRect{});
    EXPECT_GT(raster.Count(BandColor), 100);
    EXPECT_EQ(Differences(cairo, raster), 0);
}

TEST(CairoCanvas, TextIsCentredTransparentTopAlignedAndCp1252) {
    const FontPointer font = DialogFont();
    const RgbPicture picture =
        PaintOffscreen(200, 40, font.get(), [](Canvas& canvas, const CanvasRect& item) {
            canvas.FillSolid(item, BandColor);
            canvas.SetTransparentBackground();
            canvas.SetTextAlignCenterTop();
            canvas.WriteText(100, 10, "H\xF6r\x80", 4);
        });
    ASSERT_EQ(picture.width, 200);
    int left = 200;
    int right = -1;
    int top = 40;
    int white = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 200; ++x) {
            const CanvasColor color = PixelOf(picture, x, y);
            white += color == 0x00FFFFFF ? 1 : 0;
            if (IsInk(color)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
            }
        }
    }
    ASSERT_LE(left, right) << "no text drawn";
    EXPECT_EQ(white, 0) << "the band behind the text is kept";
    EXPECT_GE(top, 10);
    EXPECT_LE(top, 14);
    EXPECT_LE(std::abs((left + right) / 2 - 100), 2);

    // The glyphs are pango's own for the text in UTF-8, umlaut and euro sign included.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 40);
    cairo_t* context = cairo_create(surface);
    CairoCanvas canvas(context, font.get());
    canvas.FillSolid(CanvasRect{0, 0, 200, 40}, BandColor);
    PangoLayout* layout = pango_cairo_create_layout(context);
    pango_layout_set_font_description(layout, font.get());
    pango_layout_set_text(layout, "H\xC3\xB6r\xE2\x82\xAC", -1);
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    cairo_move_to(context, 100 - logical.width / 2, 10);
    cairo_set_source_rgb(context, 0, 0, 0);
    pango_cairo_show_layout(context, layout);
    g_object_unref(layout);
    cairo_destroy(context);
    cairo_surface_flush(surface);
    int differing = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 200; ++x) {
            differing += SurfacePixel(surface, x, y) != PixelOf(picture, x, y) ? 1 : 0;
        }
    }
    cairo_surface_destroy(surface);
    EXPECT_EQ(differing, 0);
}

TEST(CairoCanvas, ChartInAWindowLandsOnTheWidgetAndPutsThePenBack) {
    // As in a draw handler: the widget at (30, 20) of a larger window, clipped to its allocation.
    constexpr int Left = 30;
    constexpr int Top = 20;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 520, 300);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgb(context, 0, 0, 0);
    cairo_paint(context);
    cairo_translate(context, Left, Top);
    cairo_rectangle(context, 0, 0, Width, Height);
    cairo_clip(context);
    const ChartScene scene = FiveCurveScene();
    CairoCanvas canvas(context, nullptr);
    DrawAudiogramChart(canvas, CanvasRect{0, 0, Width, Height}, scene.Records(), &TestFrequencyOf);
    // Lines after the curves are drawn with the context's black one-pixel pen again.
    canvas.MoveTo(0, Height - 1);
    canvas.LineTo(Width, Height - 1);
    cairo_destroy(context);
    cairo_surface_flush(surface);

    RasterCanvas raster(Width, Height);
    DrawAudiogramChart(raster, CanvasRect{0, 0, Width, Height}, scene.Records(), &TestFrequencyOf);
    raster.MoveTo(0, Height - 1);
    raster.LineTo(Width, Height - 1);
    const auto at = [&](int x, int y) { return SurfacePixel(surface, x, y); };
    int outside = 0;
    int wrong = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 520; ++x) {
            const bool inWidget = x >= Left && x < Left + Width && y >= Top && y < Top + Height;
            if (!inWidget) {
                outside += at(x, y) != 0 ? 1 : 0;
            } else if (y >= Top + LabelStrip && at(x, y) != raster.Pixel(x - Left, y - Top)) {
                ++wrong;
            }
        }
    }
    EXPECT_EQ(outside, 0) << "drawn outside the widget";
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(at(Left + Width / 2, Top + Height - 1), 0u);
    EXPECT_EQ(at(Left + Width / 2, Top + Height - 2), 0x00FFFFFFu);
    cairo_surface_destroy(surface);
}

} // namespace
