#pragma once

#include "app/PicturePlatform.h"

#include <windows.h>

// Saving the audiogram on Windows: GetSaveFileNameW as the save dialog, so any path works, and
// GdiPicture bitmaps with the chart control's font. The caller has COM set up for the thread.
class Win32PicturePlatform : public PicturePlatform {
public:
    explicit Win32PicturePlatform(HFONT chartFont) : chartFont(chartFont) {}

    bool AskSavePath(WindowHandle owner, const std::string& suggestedName,
                     std::string& path) override;
    std::unique_ptr<PictureBitmap> NewBitmap(int width, int height) override;

private:
    HFONT chartFont;
};
