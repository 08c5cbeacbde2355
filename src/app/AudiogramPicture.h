#pragma once

#include "app/PicturePlatform.h"
#include "chart/Canvas.h"
#include "support/DialogControls.h"

#include <ctime>
#include <functional>

// "Audiogramm speichern…": the chart as a PNG picture, from the chart's context menu.

constexpr const char* SavePictureMenuItem = "Audiogramm speichern\x85"; // cp1252
constexpr const char* SavePictureTitle = "Audiogramm speichern";
constexpr const char* SavePictureFilterName = "PNG-Bild (*.png)";
constexpr const char* SavePicturePattern = "*.png";

// Paints the chart into the item rectangle, as the dialog's draw handler does.
using ChartPainter = std::function<void(Canvas&, const CanvasRect&)>;

// Asks for a file name (suggested from the name field) and writes the chart, as it shows at this
// moment, into it: painted into an off-screen bitmap of the chart's size, encoded as PNG by the
// platform, with the name field's text as "Title" and the time `now` gives as "Creation Time",
// asked for when the chart is painted, after the dialog closed, so both show one moment. The file
// is written under a temporary name beside the chosen one and then renamed, so the chosen name
// holds either its old content or the whole picture. Cancelling the dialog does nothing; a
// failure shows "Das Audiogramm konnte nicht gespeichert werden:" with the path. Nothing of the
// dialog or of the hearing test changes; a run holds while it is open (ModalPause).
void SaveAudiogramPicture(WindowHandle dialog, DialogControls& controls, PicturePlatform& platform,
                          const ChartPainter& paint, int width, int height,
                          const std::function<std::tm()>& now);

// The local time for `now` above.
std::tm LocalTimeNow();
