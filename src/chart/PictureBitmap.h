#pragma once

#include "chart/Canvas.h"

#include <cstdint>
#include <vector>

// An off-screen bitmap the chart is drawn into for a picture file, white to begin with (a GDI
// memory bitmap on Windows, a cairo image surface on Linux), and the platform's own PNG encoder.
class PictureBitmap {
public:
    virtual ~PictureBitmap() = default;

    // The canvas that draws into the bitmap, with the font and colours of the chart on the screen.
    virtual Canvas& Drawing() = 0;
    // What was drawn, as the bytes of a PNG file; false when the encoder fails.
    virtual bool EncodePng(std::vector<std::uint8_t>& png) = 0;
};
