// The GDI binding, drawn into a memory bitmap and compared with the test rasteriser: the pixel
// checks of the other chart tests hold for the real device context only if the two agree.
#ifdef _WIN32

#include "chart/win32/GdiCanvas.h"
#include "ChartFixtures.h"
#include "chart/ReportPage.h"
#include "fakes/ImageFile.h"
#include "fakes/RasterCanvas.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

constexpr int Width = 450;
constexpr int Height = 234;

// A memory DC with a top-down 32-bit DIB section, as fresh as a device context comes.
class MemoryBitmap {
public:
    MemoryBitmap(int width, int height) : width(width), height(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0);
        old = SelectObject(dc, bitmap);
    }
    ~MemoryBitmap() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemoryBitmap(const MemoryBitmap&) = delete;
    MemoryBitmap& operator=(const MemoryBitmap&) = delete;

    bool Valid() const { return dc != nullptr && bitmap != nullptr && bits != nullptr; }
    HDC Dc() const { return dc; }

    // As a COLORREF (0x00BBGGRR); the DIB holds 0x00RRGGBB.
    CanvasColor Pixel(int x, int y) const {
        GdiFlush();
        const std::uint32_t value = bits[y * width + x];
        return MakeCanvasColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }

    std::vector<std::uint8_t> Rgb() const {
        std::vector<std::uint8_t> rgb;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const CanvasColor color = Pixel(x, y);
                rgb.push_back(static_cast<std::uint8_t>(RedOf(color)));
                rgb.push_back(static_cast<std::uint8_t>(GreenOf(color)));
                rgb.push_back(static_cast<std::uint8_t>(BlueOf(color)));
            }
        }
        return rgb;
    }

private:
    int width;
    int height;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    std::uint32_t* bits = nullptr;
};

bool IsCurveColor(CanvasColor color) {
    return color == StandardLeftColor || color == ComparisonLeftColor ||
           color == ComparisonRightColor || color == CurrentLeftColor || color == CurrentRightColor;
}

bool NearColor(const RasterCanvas& raster, int x, int y, CanvasColor color) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (raster.Pixel(x + dx, y + dy) == color) {
                return true;
            }
        }
    }
    return false;
}

// Draws the scene both ways and compares the pictures; keeps GDI's picture under `name`.
void CompareWithRasteriser(const ChartScene& scene, const char* name) {
    MemoryBitmap gdi(Width, Height);
    ASSERT_TRUE(gdi.Valid());
    const CanvasRect item{0, 0, Width, Height};
    GdiCanvas canvas(gdi.Dc());
    DrawAudiogramChart(canvas, item, scene.Records(), &TestFrequencyOf);
    RasterCanvas raster(Width, Height);
    DrawAudiogramChart(raster, item, scene.Records(), &TestFrequencyOf);

    std::filesystem::create_directories(TONOLOT_ARTIFACT_DIR);
    WritePng(ArtifactPath(name), Width, Height, gdi.Rgb());

    // White, band, frame, grid and columns agree pixel for pixel, and every pixel the rasteriser
    // gives a curve GDI gives it too. Along a slanted curve GDI adds pixels at the edge that the
    // rasteriser leaves out, each next to a pixel of the same curve (about one in fifteen on
    // shallow lines, one in six on steep ones; a pen a pixel wider would add one in two).
    int curvePixels = 0;
    int edgePixels = 0;
    int wrong = 0;
    for (int y = 15; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            const CanvasColor real = gdi.Pixel(x, y);
            const CanvasColor drawn = raster.Pixel(x, y);
            curvePixels += IsCurveColor(drawn) ? 1 : 0;
            if (real == drawn) {
                continue;
            }
            if (IsCurveColor(real) && NearColor(raster, x, y, real)) {
                ++edgePixels;
                continue;
            }
            if (++wrong <= 20) {
                ADD_FAILURE() << "differs at " << x << "," << y << ": gdi " << std::hex << real
                              << " raster " << drawn << std::dec;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(curvePixels, 2000);
    EXPECT_LT(edgePixels, curvePixels / 4);

    // The labels are the context's own font, so only their place is compared: ink above each
    // column, none beyond the strip's outer columns.
    for (int i = 0; i < 10; ++i) {
        const int column = 10 + 47 * i;
        int ink = 0;
        for (int y = 0; y < 15; ++y) {
            for (int x = std::max(column - 20, 0); x <= std::min(column + 20, Width - 1); ++x) {
                ink += gdi.Pixel(x, y) == 0 ? 1 : 0;
            }
        }
        EXPECT_GT(ink, 10) << "label of column " << i;
    }
}

TEST(GdiCanvas, ChartMatchesTheRasteriserBelowTheLabels) {
    CompareWithRasteriser(FiveCurveScene(), "audiogram-gdi.png");
}

TEST(GdiCanvas, SteepCurvesMatchTheRasteriser) {
    ChartScene scene = StartUpScene();
    scene.current = MakeRecord("Steil", Levels{20, 200, 30, 180, 60, 220, 10, 150, 90, 5},
                               Levels{210, 5, 190, 40, 160, 100, 215, 0, 120, 60});
    CompareWithRasteriser(scene, "audiogram-gdi-steep.png");
}

TEST(GdiCanvas, HugeLevelsMatchTheRasteriser) {
    ChartScene scene = FiveCurveScene();
    scene.current.left[3] = 2147483647;
    scene.current.right[6] = -2147483647 - 1;
    scene.comparison.left[8] = 1000000000;
    CompareWithRasteriser(scene, "audiogram-gdi-huge.png");
}

TEST(GdiCanvas, TextIsCentredTransparentAndTopAligned) {
    MemoryBitmap gdi(200, 40);
    ASSERT_TRUE(gdi.Valid());
    GdiCanvas canvas(gdi.Dc());
    canvas.FillSolid(CanvasRect{0, 0, 200, 40}, BandColor);
    canvas.SetTransparentBackground();
    canvas.SetTextAlignCenterTop();
    canvas.WriteText(100, 10, "12000", 5);

    int left = 200;
    int right = -1;
    int top = 40;
    int white = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 200; ++x) {
            const CanvasColor color = gdi.Pixel(x, y);
            white += color == 0x00FFFFFF ? 1 : 0;
            if (color == 0) {
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
}

TEST(GdiCanvas, InvertedItemMatchesTheRasteriser) {
    // An item given right to left: the white fill, the band and the steps all come out the
    // wrong way round. Whatever GDI makes of that, the rasteriser must make the same.
    constexpr int Wide = 40;
    constexpr int High = 80;
    MemoryBitmap gdi(Wide, High);
    ASSERT_TRUE(gdi.Valid());
    const ChartScene scene = StartUpScene();
    const CanvasRect item{20, 0, 10, High};
    GdiCanvas canvas(gdi.Dc());
    canvas.FillSolid(CanvasRect{0, 0, Wide, High}, 0x00336699);
    DrawAudiogramChart(canvas, item, scene.Records(), &TestFrequencyOf);
    RasterCanvas raster(Wide, High, 0x00336699);
    DrawAudiogramChart(raster, item, scene.Records(), &TestFrequencyOf);
    EXPECT_GT(raster.Count(BandColor), 100);
    // Below the labels, whose font differs.
    int wrong = 0;
    for (int y = 20; y < High; ++y) {
        for (int x = 0; x < Wide; ++x) {
            const CanvasColor real = gdi.Pixel(x, y);
            if (real != raster.Pixel(x, y) &&
                !(IsCurveColor(real) && NearColor(raster, x, y, real)) && ++wrong <= 20) {
                ADD_FAILURE() << "differs at " << x << "," << y << ": gdi " << std::hex << real
                              << " raster " << raster.Pixel(x, y) << std::dec;
            }
        }
    }
}

TEST(GdiCanvas, PenIsPutBackAfterEachCurve) {
    MemoryBitmap gdi(100, 60);
    ASSERT_TRUE(gdi.Valid());
    const HGDIOBJ before = GetCurrentObject(gdi.Dc(), OBJ_PEN);
    GdiCanvas canvas(gdi.Dc());
    canvas.FillWhite(CanvasRect{0, 0, 100, 60});
    const std::int32_t levels[10] = {5, 10, 15, 20, 25, 30, 35, 40, 45, 40};
    DrawCurve(canvas, CanvasRect{5, 5, 95, 55}, CurrentRightColor, levels, 10);
    EXPECT_EQ(GetCurrentObject(gdi.Dc(), OBJ_PEN), before);
    EXPECT_EQ(gdi.Pixel(5, 10), CurrentRightColor);
    EXPECT_EQ(gdi.Pixel(95, 45), CurrentRightColor);

    // Lines after the curve are drawn with the context's black one-pixel pen again.
    canvas.MoveTo(0, 58);
    canvas.LineTo(100, 58);
    EXPECT_EQ(gdi.Pixel(50, 58), 0u);
    EXPECT_EQ(gdi.Pixel(50, 57), 0x00FFFFFFu);
}

// The report page at one pixel per tenth of a millimetre: its chart in colour where the page
// puts it, its texts in ink, and the context's font and alignment as they were.
TEST(GdiCanvas, ReportPageDrawsAndLeavesTheContextAsItWas) {
    MemoryBitmap page(ReportPageWidth, ReportPageHeight);
    ASSERT_TRUE(page.Valid());
    const HGDIOBJ font = GetCurrentObject(page.Dc(), OBJ_FONT);
    const UINT align = GetTextAlign(page.Dc());
    const ChartScene scene = FiveCurveScene();
    ReportContent content{"Bernd",       "Tonolot 0.8",    scene.standard, scene.comparison,
                          scene.current, &TestFrequencyOf, Width,          Height};
    GdiCanvas canvas(page.Dc());
    canvas.FillWhite(CanvasRect{0, 0, ReportPageWidth, ReportPageHeight});
    DrawReportPage(canvas, content, std::tm{});
    const auto count = [&](int left, int top, int right, int bottom, auto wanted) {
        int found = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                found += wanted(page.Pixel(x, y)) ? 1 : 0;
            }
        }
        return found;
    };
    const auto red = [](CanvasColor c) { return c == CurrentLeftColor; };
    const auto ink = [](CanvasColor c) { return RedOf(c) < 100 && GreenOf(c) < 100; };
    EXPECT_GT(count(200, 430, 1900, 1314, red), 1000); // the chart, 1700 x 884
    EXPECT_EQ(count(0, 1320, ReportPageWidth, ReportPageHeight, red), 0);
    EXPECT_GT(count(200, 300, 700, 350, ink), 100); // "Name: Bernd"
    EXPECT_EQ(GetCurrentObject(page.Dc(), OBJ_FONT), font);
    EXPECT_EQ(GetTextAlign(page.Dc()), align);
    EXPECT_EQ(GetBkMode(page.Dc()), OPAQUE);
}

} // namespace

#endif
