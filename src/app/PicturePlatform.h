#pragma once

#include "chart/PictureBitmap.h"
#include "support/WindowHandle.h"

#include <memory>
#include <string>

// What saving the audiogram as a picture needs of the platform: its own save dialog and an
// off-screen bitmap with its PNG encoder. Paths are UTF-8.
class PicturePlatform {
public:
    virtual ~PicturePlatform() = default;

    // The platform's save dialog, modal to `owner`: titled "Audiogramm speichern", with the one
    // filter "PNG-Bild (*.png)", opened in the user's pictures folder (else documents, else home)
    // with `suggestedName` filled in, and asking before an existing file is overwritten. True
    // with the chosen path; false when the user cancelled.
    virtual bool AskSavePath(WindowHandle owner, const std::string& suggestedName,
                             std::string& path) = 0;
    // A white bitmap of the given size; null when none can be made.
    virtual std::unique_ptr<PictureBitmap> NewBitmap(int width, int height) = 0;
};
