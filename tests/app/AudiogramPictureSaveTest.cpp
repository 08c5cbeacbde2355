// "Audiogramm speichern…" through the picture seam: the platform's dialog and encoder are fakes,
// the files are real, in a folder with an umlaut in its name.
#include "app/AudiogramPicture.h"
#include "chart/ChartFixtures.h"
#include "fakes/FakeDialogControls.h"
#include "fakes/ImageFile.h"
#include "fakes/RasterCanvas.h"
#include "fakes/ScriptedPresenter.h"
#include "support/ControlIds.h"
#include "support/ModalPause.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string Signature("\x89PNG\r\n\x1A\n", 8);
const std::string FailureText = "Das Audiogramm konnte nicht gespeichert werden:\r\n";

// What the platform's encoder would give: a PNG signature and a header for the size.
std::vector<std::uint8_t> HeaderOnlyPng(int width, int height) {
    std::vector<std::uint8_t> png(Signature.begin(), Signature.end());
    const std::uint8_t chunk[] = {0,
                                  0,
                                  0,
                                  13,
                                  'I',
                                  'H',
                                  'D',
                                  'R',
                                  0,
                                  0,
                                  static_cast<std::uint8_t>(width >> 8),
                                  static_cast<std::uint8_t>(width),
                                  0,
                                  0,
                                  static_cast<std::uint8_t>(height >> 8),
                                  static_cast<std::uint8_t>(height),
                                  8,
                                  2,
                                  0,
                                  0,
                                  0};
    png.insert(png.end(), std::begin(chunk), std::end(chunk));
    const std::uint32_t crc = Crc32(chunk + 4, sizeof chunk - 4);
    for (int shift = 24; shift >= 0; shift -= 8) {
        png.push_back(static_cast<std::uint8_t>(crc >> shift));
    }
    return png;
}

// A tEXt chunk as a reader finds it, CRC included.
std::string TextChunk(const std::string& keyword, const std::string& text) {
    const std::string body = "tEXt" + keyword + std::string(1, '\0') + text;
    const std::uint32_t length = static_cast<std::uint32_t>(body.size() - 4);
    const std::uint32_t crc =
        Crc32(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
    std::string chunk;
    for (std::uint32_t value : {length}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            chunk.push_back(static_cast<char>(value >> shift));
        }
    }
    chunk += body;
    for (int shift = 24; shift >= 0; shift -= 8) {
        chunk.push_back(static_cast<char>(crc >> shift));
    }
    return chunk;
}

class FakePicturePlatform : public PicturePlatform {
public:
    class Bitmap : public PictureBitmap {
    public:
        Bitmap(FakePicturePlatform& platform, int width, int height)
            : platform(platform), raster(width, height) {}
        Canvas& Drawing() override { return raster; }
        bool EncodePng(std::vector<std::uint8_t>& png) override {
            platform.redPixels = raster.Count(CurrentLeftColor);
            png = HeaderOnlyPng(raster.Width(), raster.Height());
            return !platform.encoderFails;
        }

    private:
        FakePicturePlatform& platform;
        RasterCanvas raster;
    };

    bool AskSavePath(WindowHandle, const std::string& suggestedName, std::string& path) override {
        suggested.push_back(suggestedName);
        heldWhileAsked = ModalPause::Held();
        path = answer;
        return !answer.empty();
    }
    std::unique_ptr<PictureBitmap> NewBitmap(int width, int height) override {
        sizes.emplace_back(width, height);
        return std::make_unique<Bitmap>(*this, width, height);
    }

    std::string answer;          // empty: the user cancels
    bool heldWhileAsked = false; // a run would be held while the dialog is open
    bool encoderFails = false;
    std::vector<std::string> suggested;
    std::vector<std::pair<int, int>> sizes;
    int redPixels = 0;
};

class SaveAudiogramPictureTest : public ::testing::Test {
protected:
    SaveAudiogramPictureTest() { controls.SetItemText(dialog, IdName, "Erika M\xFCller"); }

    void Save(const std::string& answer) {
        platform.answer = answer;
        const ChartScene scene = FiveCurveScene();
        SaveAudiogramPicture(
            dialog, controls, platform,
            [&scene](Canvas& canvas, const CanvasRect& item) {
                DrawAudiogramChart(canvas, item, scene.Records(), &TestFrequencyOf);
            },
            450, 234,
            [this] {
                timeAskedAfterDialog = platform.suggested.size() == 1;
                return now;
            });
    }
    std::string Cp1252Path(const std::string& file) const {
        return folder.Path(file).replace(folder.Path(file).find("\xC3\xBC"), 2, "\xFC");
    }

    WindowHandle dialog = reinterpret_cast<WindowHandle>(0x103);
    std::tm now = [] {
        std::tm time{};
        time.tm_year = 125; // 14 June 2025, 09:05:00
        time.tm_mon = 5;
        time.tm_mday = 14;
        time.tm_hour = 9;
        time.tm_min = 5;
        return time;
    }();
    bool timeAskedAfterDialog = false;
    ScratchFolder folder{"tonolot-Bilder-M\xC3\xBCller"};
    FakeDialogControls controls;
    FakePicturePlatform platform;
    ScriptedPresenter presenter;
};

TEST_F(SaveAudiogramPictureTest, WritesTheChartWithNameAndDateUnderTheChosenNameWithPng) {
    Save(folder.Path("test"));

    EXPECT_EQ(platform.suggested, std::vector<std::string>{"Erika M\xC3\xBCller.png"});
    EXPECT_EQ(platform.sizes, (std::vector<std::pair<int, int>>{{450, 234}}));
    EXPECT_GT(platform.redPixels, 100) << "the chart is painted into the bitmap";
    const std::vector<std::uint8_t> encoded = HeaderOnlyPng(450, 234);
    EXPECT_EQ(folder.Read("test.png"), std::string(encoded.begin(), encoded.end()) +
                                           TextChunk("Title", "Erika M\xFCller") +
                                           TextChunk("Creation Time", "2025-06-14T09:05:00"));
    EXPECT_TRUE(timeAskedAfterDialog) << "the time is the pixels' moment, not the dialog's";
    EXPECT_TRUE(platform.heldWhileAsked);
    EXPECT_FALSE(ModalPause::Held());
    EXPECT_EQ(folder.FileCount(), 1u) << "no temporary file stays behind";
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(SaveAudiogramPictureTest, CancellingDoesNothing) {
    Save("");
    EXPECT_EQ(platform.suggested.size(), 1u);
    EXPECT_TRUE(platform.sizes.empty());
    EXPECT_EQ(folder.FileCount(), 0u);
    EXPECT_EQ(presenter.Count(), 0u);
}

TEST_F(SaveAudiogramPictureTest, AFailureShowsThePathAndLeavesNoHalfWrittenFile) {
    folder.Write("test.png", "old picture");
    folder.Write("plain", "a file, not a folder");
    std::filesystem::create_directory(folder.Native("folder.png"));

    platform.encoderFails = true;
    Save(folder.Path("test.png"));
    platform.encoderFails = false;
    Save(folder.Path("plain/test.png")); // the folder cannot be written
    Save(folder.Path("folder.png"));     // the new file cannot take the name

    const auto shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, FailureText + Cp1252Path("test.png"));
    EXPECT_EQ(shown[0].owner, dialog);
    EXPECT_EQ(shown[1].text, FailureText + Cp1252Path("plain/test.png"));
    EXPECT_EQ(shown[2].text, FailureText + Cp1252Path("folder.png"));
    EXPECT_EQ(folder.Read("test.png"), "old picture");
    EXPECT_TRUE(std::filesystem::is_directory(folder.Native("folder.png")));
    EXPECT_EQ(folder.FileCount(), 3u) << "no temporary file stays behind";
}

TEST_F(SaveAudiogramPictureTest, NamesKeptForDevicesAreRefusedWithAMessage) {
    for (const char* name : {"con", "Lpt3.txt", "NUL .png", "aux.tar.PNG", "com9"}) {
        Save(folder.Path(name));
    }
    EXPECT_TRUE(platform.sizes.empty()) << "nothing is painted for a name that cannot be used";
    const auto shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 5u);
    EXPECT_EQ(shown[0].text.substr(0, FailureText.size() + Cp1252Path("con.png").size()),
              FailureText + Cp1252Path("con.png"));
    EXPECT_NE(shown[0].text.find("vorbehalten"), std::string::npos);
    EXPECT_EQ(shown[0].owner, dialog);

    for (const char* name : {"console", "com10", "lpt0", "nul_"}) {
        Save(folder.Path(name));
    }
    EXPECT_EQ(presenter.Count(), 0u);
    EXPECT_EQ(folder.FileCount(), 4u);
}

TEST_F(SaveAudiogramPictureTest, APngAddedToTheChosenNameAsksBeforeReplacingAFile) {
    folder.Write("test.png", "old picture");

    presenter.Answer(AnswerNo);
    Save(folder.Path("test"));
    EXPECT_EQ(folder.Read("test.png"), "old picture");
    EXPECT_TRUE(platform.sizes.empty());

    presenter.Answer(AnswerYes);
    Save(folder.Path("test"));
    EXPECT_EQ(folder.Read("test.png").substr(0, 8), Signature);

    const auto shown = presenter.TakeShown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].style, MessageYesNo);
    EXPECT_EQ(shown[0].text, Cp1252Path("test.png") + " ist bereits vorhanden.\r\nM\xF6"
                                                      "chten Sie die Datei ersetzen?");
}

} // namespace
