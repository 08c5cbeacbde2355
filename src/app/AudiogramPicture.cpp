#include "app/AudiogramPicture.h"

#include "app/PictureFileName.h"
#include "app/PngTexts.h"
#include "records/PersonRecord.h"
#include "support/ControlIds.h"
#include "support/Cp1252.h"
#include "support/FileCalls.h"
#include "support/FileSave.h"
#include "support/MessageBoxes.h"
#include "support/ModalPause.h"
#include "support/TextString.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

void ShowFailure(WindowHandle dialog, const std::string& path) {
    TextString shown;
    Utf8ToCp1252(path.c_str(), shown);
    ShowMessageFor(dialog, "Das Audiogramm konnte nicht gespeichert werden:\r\n%s", shown.Text());
}

bool FileExists(const std::string& path) {
    const FileHandle file = FileOpen(path.c_str(), FileOpenRead);
    if (file == FileError) {
        return false;
    }
    FileClose(file);
    return true;
}

// The dialog asked before overwriting the name it returned; a name that only gets its ".png"
// here has not been asked about yet.
bool MayWrite(WindowHandle dialog, const std::string& chosen, const std::string& path) {
    if (path == chosen || !FileExists(path)) {
        return true;
    }
    TextString shown;
    Utf8ToCp1252(path.c_str(), shown);
    return ShowMessageStyled(MessageYesNo, dialog,
                             "%s ist bereits vorhanden.\r\nM\xF6"
                             "chten Sie die Datei ersetzen?",
                             shown.Text()) == AnswerYes;
}

// The picture is written the way the data file is (FileSaveWhole): into a copy beside the chosen
// name that then takes the name, so the name holds either its old content or the whole picture;
// where the folder allows no copy, over an existing picture in place.
bool WriteBeside(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    return FileSaveWhole(path.c_str(), bytes.data(), bytes.size()).outcome ==
           FileSaveResult::Outcome::Saved;
}

std::string CreationTime(const std::tm& now) {
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &now);
    return std::string(text, length);
}

} // namespace

void SaveAudiogramPicture(WindowHandle dialog, DialogControls& controls, PicturePlatform& platform,
                          const ChartPainter& paint, int width, int height,
                          const std::function<std::tm()>& now) {
    // The file dialog and the boxes after it are modal: a run holds until saving is over.
    ModalPause pause;
    char name[PersonRecord::NameSize] = {};
    controls.GetItemText(dialog, IdName, name, sizeof name);

    std::string chosen;
    if (!platform.AskSavePath(dialog, SuggestedPictureName(name), chosen)) {
        return;
    }
    const std::string path = WithPngExtension(chosen);
    if (IsReservedDeviceName(path)) {
        TextString shown;
        Utf8ToCp1252(path.c_str(), shown);
        ShowMessageFor(dialog,
                       "Das Audiogramm konnte nicht gespeichert werden:\r\n%s\r\nDer Name ist "
                       "unter Windows einem Ger\xE4t vorbehalten (CON, PRN, AUX, NUL, COM1 bis "
                       "COM9, LPT1 bis LPT9). Bitte w\xE4hlen Sie einen anderen Namen.",
                       shown.Text());
        return;
    }
    if (!MayWrite(dialog, chosen, path)) {
        return;
    }

    // The time is taken together with the pixels, not when the dialog opened.
    const std::vector<PngText> texts = {{"Title", Cp1252ToLatin1(name)},
                                        {"Creation Time", CreationTime(now())}};
    std::vector<std::uint8_t> png;
    bool made = false;
    if (std::unique_ptr<PictureBitmap> bitmap = platform.NewBitmap(width, height)) {
        paint(bitmap->Drawing(), CanvasRect{0, 0, width, height});
        made = bitmap->EncodePng(png) && AddPngTexts(png, texts);
    }
    if (!made || !WriteBeside(path, png)) {
        ShowFailure(dialog, path);
    }
}

std::tm LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    // Only the user-interface thread asks, so the shared result of localtime is safe here.
    const std::tm* local = std::localtime(&now);
    return local != nullptr ? *local : std::tm{};
}
