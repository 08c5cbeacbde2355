#pragma once

#include "chart/PictureBitmap.h"
#include "chart/win32/GdiCanvas.h"

#include <windows.h>

#include <memory>

// The chart's picture bitmap on Windows: a 24-bit top-down DIB section selected into a memory
// device context, white to begin with, with the given font (the chart control's, so the labels
// look as on the screen) and the context's default black pen and text. The PNG comes from the
// Windows Imaging Component's encoder, written into memory.
class GdiPicture : public PictureBitmap {
public:
    // Null when the context or the bitmap cannot be made. The font is not owned and must
    // outlive the picture; null keeps the context's default font.
    static std::unique_ptr<GdiPicture> Create(int width, int height, HFONT font);
    ~GdiPicture() override;
    GdiPicture(const GdiPicture&) = delete;
    GdiPicture& operator=(const GdiPicture&) = delete;

    Canvas& Drawing() override { return canvas; }
    bool EncodePng(std::vector<std::uint8_t>& png) override;

private:
    GdiPicture(HDC dc, HBITMAP bitmap, void* bits, int width, int height);

    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ originalBitmap;
    HGDIOBJ originalFont = nullptr;
    void* bits;
    int width;
    int height;
    GdiCanvas canvas;
};
