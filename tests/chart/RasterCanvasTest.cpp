// The test rasteriser and picture writer that the chart's pixel checks rely on: if they drifted
// from GDI's coverage rules or wrote broken files, the chart's tests would prove nothing.
#include "fakes/RasterCanvas.h"
#include "fakes/ImageFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr CanvasColor Red = 0x000000FF;

TEST(RasterCanvasCoverage, ThinLineCoversItsStartButNotItsEnd) {
    RasterCanvas canvas(20, 20);
    canvas.MoveTo(2, 5);
    canvas.LineTo(12, 5);
    EXPECT_EQ(canvas.Pixel(2, 5), RasterCanvas::Black);
    EXPECT_EQ(canvas.Pixel(11, 5), RasterCanvas::Black);
    EXPECT_EQ(canvas.Pixel(12, 5), RasterCanvas::White);
    EXPECT_EQ(canvas.Count(RasterCanvas::Black), 10);

    // Drawn the other way the end pixel is the left one.
    canvas.MoveTo(12, 8);
    canvas.LineTo(2, 8);
    EXPECT_EQ(canvas.Pixel(12, 8), RasterCanvas::Black);
    EXPECT_EQ(canvas.Pixel(2, 8), RasterCanvas::White);

    // A diagonal covers one pixel per step of its longer axis.
    RasterCanvas diagonal(20, 20);
    diagonal.MoveTo(0, 0);
    diagonal.LineTo(10, 5);
    EXPECT_EQ(diagonal.Count(RasterCanvas::Black), 10);
    EXPECT_EQ(diagonal.Pixel(0, 0), RasterCanvas::Black);
    EXPECT_EQ(diagonal.Pixel(9, 5), RasterCanvas::Black);
}

TEST(RasterCanvasCoverage, FilledRectangleCoversLeftAndTopEdgesOnly) {
    RasterCanvas canvas(20, 20, RasterCanvas::Black);
    canvas.FillSolid(CanvasRect{3, 4, 8, 10}, Red);
    EXPECT_EQ(canvas.Count(Red), 5 * 6);
    EXPECT_EQ(canvas.Pixel(3, 4), Red);
    EXPECT_EQ(canvas.Pixel(7, 9), Red);
    EXPECT_EQ(canvas.Pixel(8, 9), RasterCanvas::Black);
    EXPECT_EQ(canvas.Pixel(7, 10), RasterCanvas::Black);
    canvas.FillWhite(CanvasRect{0, 0, 20, 20});
    EXPECT_EQ(canvas.Count(RasterCanvas::White), 400);

    // Given the wrong way round, the edges named left and top are still the covered ones.
    canvas.FillSolid(CanvasRect{8, 10, 3, 4}, Red);
    EXPECT_EQ(canvas.Count(Red), 5 * 6);
    EXPECT_EQ(canvas.Pixel(8, 10), Red);
    EXPECT_EQ(canvas.Pixel(4, 5), Red);
    EXPECT_EQ(canvas.Pixel(3, 4), RasterCanvas::White);
}

TEST(RasterCanvasCoverage, TwoPixelPenAddsTheRowAboveAndReachesTheEnd) {
    RasterCanvas canvas(30, 30);
    const CanvasPen previous = canvas.SelectSolidPen(Red, 2);
    canvas.MoveTo(5, 10);
    canvas.LineTo(15, 10);
    EXPECT_EQ(canvas.Count(Red), 2 * 12);
    EXPECT_EQ(canvas.Pixel(4, 9), Red);
    EXPECT_EQ(canvas.Pixel(15, 10), Red);
    EXPECT_EQ(canvas.Pixel(16, 10), RasterCanvas::White);
    EXPECT_EQ(canvas.Pixel(10, 11), RasterCanvas::White);

    // Putting the old pen back draws black one-pixel lines again.
    canvas.RestorePen(previous);
    canvas.MoveTo(5, 20);
    canvas.LineTo(15, 20);
    EXPECT_EQ(canvas.Count(RasterCanvas::Black), 10);
    EXPECT_EQ(canvas.LivePens(), 0);
}

TEST(RasterCanvasCoverage, FarAwayEndPointsKeepTheExactPixels) {
    // A line to a point distant outside hits the same pixels inside as its visible piece would.
    RasterCanvas distant(40, 40);
    distant.MoveTo(-2000000000, -1000000000);
    distant.LineTo(2000000000, 1000000000);
    RasterCanvas visible(40, 40);
    visible.MoveTo(-40, -20);
    visible.LineTo(80, 40);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            EXPECT_EQ(distant.Pixel(x, y), visible.Pixel(x, y)) << x << "," << y;
        }
    }
    EXPECT_GT(distant.Count(RasterCanvas::Black), 30);
}

TEST(RasterCanvasText, OpaqueTextBlanksItsCellTransparentTextDoesNot) {
    RasterCanvas opaque(40, 20, Red);
    opaque.WriteText(2, 3, "8", 1);
    EXPECT_EQ(opaque.TextBoxes().at(0).box.left, 2); // left aligned by default
    EXPECT_GT(opaque.Count(RasterCanvas::White), 0);

    RasterCanvas clear(40, 20, Red);
    clear.SetTransparentBackground();
    clear.SetTextAlignCenterTop();
    clear.WriteText(20, 3, "88", 2);
    EXPECT_EQ(clear.Count(RasterCanvas::White), 0);
    EXPECT_GT(clear.Count(RasterCanvas::Black), 20);
    const CanvasRect box = clear.TextBoxes().at(0).box;
    EXPECT_EQ(box.left + box.right, 40);
    EXPECT_EQ(box.top, 3);
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t BigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

TEST(PictureFiles, PngReadsBackAsTheSamePixels) {
    // Wider than one stored block (65535 bytes) so that the split between blocks is exercised.
    RasterCanvas canvas(200, 120);
    canvas.FillSolid(CanvasRect{10, 10, 190, 110}, 0x00336699);
    const CanvasPen previous = canvas.SelectSolidPen(Red, 2);
    canvas.MoveTo(0, 0);
    canvas.LineTo(199, 119);
    canvas.RestorePen(previous);

    std::filesystem::create_directories(TONOLOT_ARTIFACT_DIR);
    const std::string path = std::string(TONOLOT_ARTIFACT_DIR) + "/raster-check.png";
    ASSERT_TRUE(canvas.SavePng(path));
    const std::vector<std::uint8_t> file = ReadFile(path);
    ASSERT_GT(file.size(), 8u);
    const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_TRUE(std::equal(signature, signature + 8, file.begin()));

    // Walk the chunks, checking each CRC, and gather the image data.
    std::vector<std::uint8_t> zlib;
    std::size_t at = 8;
    bool ended = false;
    while (at + 12 <= file.size() && !ended) {
        const std::uint32_t length = BigEndian(file, at);
        ASSERT_LE(at + 12 + length, file.size());
        const std::string type(file.begin() + at + 4, file.begin() + at + 8);
        EXPECT_EQ(Crc32(file.data() + at + 4, length + 4), BigEndian(file, at + 8 + length))
            << type;
        if (type == "IHDR") {
            EXPECT_EQ(BigEndian(file, at + 8), 200u);
            EXPECT_EQ(BigEndian(file, at + 12), 120u);
            EXPECT_EQ(file[at + 16], 8);
            EXPECT_EQ(file[at + 17], 2);
        } else if (type == "IDAT") {
            zlib.insert(zlib.end(), file.begin() + at + 8, file.begin() + at + 8 + length);
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + length;
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(at, file.size());

    // Undo the stored deflate blocks and the row filters.
    ASSERT_GE(zlib.size(), 6u);
    EXPECT_EQ((zlib[0] * 256 + zlib[1]) % 31, 0); // zlib header check
    std::vector<std::uint8_t> raw;
    std::size_t z = 2;
    int blocks = 0;
    bool last = false;
    while (!last && z + 5 <= zlib.size()) {
        last = zlib[z] & 1;
        EXPECT_EQ(zlib[z] & 6, 0) << "stored block";
        const unsigned size = zlib[z + 1] | (zlib[z + 2] << 8);
        const unsigned check = zlib[z + 3] | (zlib[z + 4] << 8);
        EXPECT_EQ(size ^ 0xFFFFu, check);
        ASSERT_LE(z + 5 + size, zlib.size());
        raw.insert(raw.end(), zlib.begin() + z + 5, zlib.begin() + z + 5 + size);
        z += 5 + size;
        ++blocks;
    }
    EXPECT_TRUE(last);
    EXPECT_GE(blocks, 2);
    ASSERT_EQ(z + 4, zlib.size());
    EXPECT_EQ(Adler32(raw.data(), raw.size()), BigEndian(zlib, z));

    const std::vector<std::uint8_t> rgb = canvas.Rgb();
    ASSERT_EQ(raw.size(), 120u * (1 + 200 * 3));
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < 120; ++y) {
        EXPECT_EQ(raw[y * 601], 0) << "filter of row " << y;
        pixels.insert(pixels.end(), raw.begin() + y * 601 + 1, raw.begin() + (y + 1) * 601);
    }
    EXPECT_EQ(pixels, rgb);
    // Red is written as red: R first.
    EXPECT_EQ(rgb[0], 255);
    EXPECT_EQ(rgb[1], 0);
    EXPECT_EQ(rgb[2], 0);
}

TEST(PictureFiles, ChecksumsMatchKnownValues) {
    const std::uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc32(text, 9), 0xCBF43926u);
    const std::uint8_t wiki[] = {'W', 'i', 'k', 'i', 'p', 'e', 'd', 'i', 'a'};
    EXPECT_EQ(Adler32(wiki, 9), 0x11E60398u);
}

TEST(PictureFiles, PpmHasHeaderAndPixels) {
    RasterCanvas canvas(3, 2);
    canvas.FillSolid(CanvasRect{0, 0, 1, 1}, Red);
    const std::string path = std::string(TONOLOT_ARTIFACT_DIR) + "/raster-check.ppm";
    std::filesystem::create_directories(TONOLOT_ARTIFACT_DIR);
    ASSERT_TRUE(canvas.SavePpm(path));
    const std::vector<std::uint8_t> file = ReadFile(path);
    const std::string header = "P6\n3 2\n255\n";
    ASSERT_EQ(file.size(), header.size() + 18);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), file.begin()));
    EXPECT_EQ(file[header.size()], 255);
    EXPECT_EQ(file[header.size() + 3], 255);
    EXPECT_EQ(file[header.size() + 4], 255);

    EXPECT_FALSE(WritePng(path, 3, 2, std::vector<std::uint8_t>(5)));
    EXPECT_FALSE(canvas.SavePng(std::string(TONOLOT_ARTIFACT_DIR) + "/no/such/folder/x.png"));
}

} // namespace
