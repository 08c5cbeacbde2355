// The native program's picture file: the chart drawn off-screen and written by cairo's PNG
// writer comes back from the file pixel for pixel as the canvas drew it.
#include "chart/cairo/CairoPicture.h"
#include "chart/ChartFixtures.h"
#include "chart/cairo/OffscreenPicture.h"

#include <gtest/gtest.h>

namespace {

struct PngReader {
    const std::vector<std::uint8_t>& png;
    std::size_t at = 0;
};

cairo_status_t ReadBytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->png.size() - reader->at < length) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::copy_n(reader->png.begin() + static_cast<std::ptrdiff_t>(reader->at), length, data);
    reader->at += length;
    return CAIRO_STATUS_SUCCESS;
}

TEST(CairoPicture, ThePngHoldsExactlyWhatTheCanvasDrew) {
    const ChartScene scene = FiveCurveScene();
    const auto paint = [&scene](Canvas& canvas, const CanvasRect& item) {
        DrawAudiogramChart(canvas, item, scene.Records(), &TestFrequencyOf);
    };
    auto picture = CairoPicture::Create(450, 234, nullptr);
    ASSERT_NE(picture, nullptr);
    paint(picture->Drawing(), CanvasRect{0, 0, 450, 234});
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(picture->EncodePng(png));

    PngReader reader{png};
    cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(&ReadBytes, &reader);
    ASSERT_EQ(cairo_surface_status(decoded), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(decoded), 450);
    ASSERT_EQ(cairo_image_surface_get_height(decoded), 234);
    const RgbPicture drawn = PaintOffscreen(450, 234, nullptr, paint);
    int differing = 0;
    int red = 0;
    for (int y = 0; y < 234; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            cairo_image_surface_get_data(decoded) + y * cairo_image_surface_get_stride(decoded));
        for (int x = 0; x < 450; ++x) {
            const std::size_t at = (static_cast<std::size_t>(y) * 450 + x) * 3;
            const std::uint32_t expected =
                0xFF000000u | drawn.rgb[at] << 16 | drawn.rgb[at + 1] << 8 | drawn.rgb[at + 2];
            differing += row[x] != expected;
            red += row[x] == 0xFFFF0000u;
        }
    }
    cairo_surface_destroy(decoded);
    EXPECT_EQ(differing, 0);
    EXPECT_GT(red, 100) << "the current left curve is in the picture";

    EXPECT_EQ(CairoPicture::Create(0, 234, nullptr), nullptr);
}

} // namespace
