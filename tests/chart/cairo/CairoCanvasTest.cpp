// The cairo binding, drawn into images and compared with the test rasteriser, which follows
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
#include <functional>
#include <limits>
#include <memory>

namespace {

constexpr int Width = 450;
constexpr int Height = 234;
constexpr int LabelStrip = 15;

using Font = std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)>;
const Font DialogFont(pango_font_description_from_string("Sans 8"), &pango_font_description_free);

CanvasColor PixelOf(const RgbPicture& picture, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * picture.width + x) * 3;
    return MakeCanvasColor(picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]);
}

// A pixel of an RGB24 image surface, a native word 0x00RRGGBB.
CanvasColor SurfacePixel(cairo_surface_t* surface, int x, int y) {
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    const std::uint32_t value = reinterpret_cast<const std::uint32_t*>(row)[x];
    return MakeCanvasColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

bool IsInk(CanvasColor color) {
    return std::max({RedOf(color), GreenOf(color), BlueOf(color)}) < 0x50;
}

bool IsCurveColor(CanvasColor color) {
    return color == StandardLeftColor || color == ComparisonLeftColor ||
           color == ComparisonRightColor || color == CurrentLeftColor || color == CurrentRightColor;
}

// Every pixel agrees, curves included, except the glyphs in the label strip, where only the
// rasteriser's curve pixels must be the same. `real` gives cairo's pixel at the rasteriser's.
void ExpectSamePixels(const std::function<CanvasColor(int, int)>& real,
                      const RasterCanvas& raster) {
    int wrong = 0;
    for (int y = 0; y < raster.Height(); ++y) {
        for (int x = 0; x < raster.Width(); ++x) {
            const CanvasColor drawn = raster.Pixel(x, y);
            if (real(x, y) != drawn && (y >= LabelStrip || IsCurveColor(drawn)) && ++wrong <= 20) {
                ADD_FAILURE() << "differs at " << x << "," << y << ": cairo " << std::hex
                              << real(x, y) << " raster " << drawn << std::dec;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

// Draws the scene both ways on an item of the given width, compares the pictures and keeps
// cairo's under `name`.
void CompareWithRasteriser(const ChartScene& scene, const char* name, int width = Width) {
    const auto paint = [&](Canvas& canvas, const CanvasRect& item) {
        DrawAudiogramChart(canvas, item, scene.Records(), &TestFrequencyOf);
    };
    const RgbPicture cairo = PaintOffscreen(width, Height, DialogFont.get(), paint);
    ASSERT_EQ(cairo.rgb.size(), std::size_t{3} * width * Height);
    RasterCanvas raster(width, Height);
    paint(raster, CanvasRect{0, 0, width, Height});
    std::filesystem::create_directories(TONOLOT_ARTIFACT_DIR);
    WritePng(ArtifactPath(name), width, Height, cairo.rgb);
    EXPECT_GT(raster.Count(StandardLeftColor), 100);
    ExpectSamePixels([&](int x, int y) { return PixelOf(cairo, x, y); }, raster);
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

    // An item given right to left: fill, band and steps come out the wrong way round, as GDI
    // draws them.
    const auto paint = [&](Canvas& canvas, const CanvasRect&) {
        canvas.FillSolid(CanvasRect{0, 0, 40, 80}, 0x00336699);
        DrawAudiogramChart(canvas, CanvasRect{20, 0, 10, 80}, scene.Records(), &TestFrequencyOf);
    };
    const RgbPicture cairo = PaintOffscreen(40, 80, DialogFont.get(), paint);
    RasterCanvas raster(40, 80);
    paint(raster, CanvasRect{});
    EXPECT_GT(raster.Count(BandColor), 100);
    ExpectSamePixels([&](int x, int y) { return PixelOf(cairo, x, y); }, raster);

    // A picture no image can hold comes back empty.
    EXPECT_TRUE(PaintOffscreen(100000, 10, nullptr, paint).rgb.empty());
}

TEST(CairoCanvas, TextIsPangosUtf8CentredTransparentAndTopAligned) {
    const RgbPicture picture =
        PaintOffscreen(200, 40, DialogFont.get(), [](Canvas& canvas, const CanvasRect& item) {
            canvas.FillSolid(item, BandColor);
            canvas.SetTransparentBackground();
            canvas.SetTextAlignCenterTop();
            canvas.WriteText(100, 10, "H\xF6r\x80", 4);
        });
    ASSERT_EQ(picture.width, 200);

    // The same text in UTF-8 laid out by pango, its advance centred on x = 100 and its line's
    // top on y = 10.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 40);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgb(context, 1.0, 1.0, 0xDC / 255.0);
    cairo_paint(context);
    PangoLayout* layout = pango_cairo_create_layout(context);
    pango_layout_set_font_description(layout, DialogFont.get());
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
    int ink = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 200; ++x) {
            differing += SurfacePixel(surface, x, y) != PixelOf(picture, x, y) ? 1 : 0;
            ink += IsInk(PixelOf(picture, x, y)) ? 1 : 0;
        }
    }
    cairo_surface_destroy(surface);
    EXPECT_EQ(differing, 0);
    EXPECT_GT(ink, 20);
}

TEST(CairoCanvas, ChartInAWindowLandsOnTheWidgetAndPutsThePenBack) {
    // As in a draw handler: the widget at (30, 20) of a black window, clipped to its allocation.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 520, 300);
    cairo_t* context = cairo_create(surface);
    cairo_translate(context, 30, 20);
    cairo_rectangle(context, 0, 0, Width, Height);
    cairo_clip(context);
    const ChartScene scene = FiveCurveScene();
    RasterCanvas raster(Width, Height);
    CairoCanvas canvas(context, nullptr);
    for (Canvas* each : {static_cast<Canvas*>(&canvas), static_cast<Canvas*>(&raster)}) {
        DrawAudiogramChart(*each, CanvasRect{0, 0, Width, Height}, scene.Records(),
                           &TestFrequencyOf);
        // Lines after the curves are drawn with the context's black one-pixel pen again.
        each->MoveTo(0, Height - 1);
        each->LineTo(Width, Height - 1);
    }
    cairo_destroy(context);
    cairo_surface_flush(surface);
    EXPECT_EQ(raster.Pixel(Width / 2, Height - 1), 0u);
    ExpectSamePixels([&](int x, int y) { return SurfacePixel(surface, x + 30, y + 20); }, raster);
    EXPECT_EQ(SurfacePixel(surface, 29, 19), 0u) << "nothing outside the widget";
    EXPECT_EQ(SurfacePixel(surface, 30 + Width, 20 + Height), 0u) << "nothing outside the widget";
    cairo_surface_destroy(surface);
}

} // namespace
