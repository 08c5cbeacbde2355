// The dialog template is the one part of the dialog that no handler test sees: these tests read
// the resource script the program is built from and check what a user sees of the dialog.

#include "app/DialogTemplate.h"
#include "support/ControlIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ResourceScriptPath() {
    std::string here = __FILE__;
    return here.substr(0, here.find_last_of("/\\") + 1) + "../../src/app/win32/tonolot.rc";
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// A quoted resource string as the bytes it compiles to: octal escapes, \\, \" and "".
std::string Unquote(const std::string& token) {
    std::string text = Trim(token);
    EXPECT_GE(text.size(), 2u) << token;
    EXPECT_EQ(text.front(), '"') << token;
    EXPECT_EQ(text.back(), '"') << token;
    std::string bytes;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size()) {
            if (text[i + 1] >= '0' && text[i + 1] <= '7') {
                int value = 0;
                std::size_t digits = 0;
                while (digits < 3 && text[i + 1] >= '0' && text[i + 1] <= '7') {
                    value = value * 8 + (text[++i] - '0');
                    ++digits;
                }
                bytes.push_back(static_cast<char>(value));
            } else {
                bytes.push_back(text[++i]);
            }
        } else if (text[i] == '"' && text[i + 1] == '"') {
            bytes.push_back('"');
            ++i;
        } else {
            bytes.push_back(text[i]);
        }
    }
    return bytes;
}

// Splits at commas outside quotes.
std::vector<std::string> SplitArguments(const std::string& text) {
    std::vector<std::string> parts(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        }
        if (c == ',' && !quoted) {
            parts.emplace_back();
        } else {
            parts.back().push_back(c);
        }
    }
    for (std::string& part : parts) {
        part = Trim(part);
    }
    return parts;
}

std::set<std::string> StyleFlags(const std::string& expression) {
    std::set<std::string> flags;
    std::stringstream stream(expression);
    std::string flag;
    while (std::getline(stream, flag, '|')) {
        flags.insert(Trim(flag));
    }
    return flags;
}

struct ControlLine {
    std::string caption;
    int id;
    std::string windowClass;
    std::set<std::string> style;
    int x, y, width, height;
};

struct DialogScript {
    std::string header; // "x, y, width, height" of the template
    std::set<std::string> style;
    std::string caption;
    std::string font;
    std::vector<ControlLine> controls;
};

DialogScript ReadMainDialog() {
    std::ifstream file(ResourceScriptPath(), std::ios::binary);
    EXPECT_TRUE(file.is_open()) << ResourceScriptPath();
    DialogScript script;
    std::string line;
    bool inDialog = false;
    bool inBody = false;
    while (std::getline(file, line)) {
        line = Trim(line);
        if (!inDialog) {
            if (line.rfind("103 DIALOG ", 0) == 0) {
                inDialog = true;
                script.header = Trim(line.substr(std::string("103 DIALOG ").size()));
            }
            continue;
        }
        if (line.rfind("STYLE ", 0) == 0) {
            script.style = StyleFlags(line.substr(6));
        } else if (line.rfind("CAPTION ", 0) == 0) {
            script.caption = Unquote(line.substr(8));
        } else if (line.rfind("FONT ", 0) == 0) {
            std::vector<std::string> parts = SplitArguments(line.substr(5));
            script.font = parts.at(0) + " " + Unquote(parts.at(1));
        } else if (line == "BEGIN") {
            inBody = true;
        } else if (line == "END") {
            break;
        } else if (inBody && line.rfind("CONTROL ", 0) == 0) {
            std::vector<std::string> parts = SplitArguments(line.substr(8));
            EXPECT_EQ(parts.size(), 8u) << line;
            if (parts.size() != 8) {
                continue;
            }
            script.controls.push_back({Unquote(parts[0]), std::stoi(parts[1]), Unquote(parts[2]),
                                       StyleFlags(parts[3]), std::stoi(parts[4]),
                                       std::stoi(parts[5]), std::stoi(parts[6]),
                                       std::stoi(parts[7])});
        } else if (inBody && !line.empty() && line.rfind("//", 0) != 0) {
            ADD_FAILURE() << "unexpected line in the dialog: " << line;
        }
    }
    return script;
}

} // namespace

TEST(DialogTemplate, HasTheCaptionFontPlaceAndFrameOfTheMainDialog) {
    const DialogScript script = ReadMainDialog();
    EXPECT_EQ(script.header, "22, 17, 310, 229");
    EXPECT_EQ(script.caption, "Tonolot 0.8");
    EXPECT_EQ(script.font, "8 Arial");
    EXPECT_EQ(script.style,
              (std::set<std::string>{"WS_VISIBLE", "WS_CAPTION", "WS_SYSMENU", "DS_MODALFRAME"}));
}

TEST(DialogTemplate, HoldsEachControlWithItsIdCaptionPlaceAndKind) {
    struct Expected {
        int id;
        const char* caption;
        const char* windowClass;
        std::set<std::string> style;
        int x, y, width, height;
    };
    const std::vector<Expected> expected = {
        {IdClose,
         "Schlie\xDF"
         "en",
         "Button",
         {"BS_DEFPUSHBUTTON", "WS_TABSTOP"},
         258,
         54,
         48,
         15},
        {IdNewTest, "Neuer Test", "Button", {"BS_PUSHBUTTON", "WS_TABSTOP"}, 126, 30, 50, 14},
        {IdName,
         "",
         "Edit",
         {"ES_LEFT", "ES_AUTOHSCROLL", "WS_BORDER", "WS_TABSTOP"},
         6,
         6,
         108,
         12},
        {IdChart, "Graf", "Button", {"BS_OWNERDRAW", "WS_TABSTOP"}, 6, 78, 300, 144},
        {IdStartLeft, "Start links", "Button", {"BS_PUSHBUTTON", "WS_TABSTOP"}, 6, 30, 50, 14},
        {IdStartRight, "Start rechts", "Button", {"BS_PUSHBUTTON", "WS_TABSTOP"}, 6, 54, 50, 14},
        {IdHeard, "Geh\xF6rt", "Button", {"BS_PUSHBUTTON", "WS_TABSTOP"}, 66, 30, 48, 38},
        {IdStatusLine, "", "Static", {"SS_LEFT"}, 126, 60, 42, 8},
        {IdAidCheck,
         "Orientierungshilfe",
         "Button",
         {"BS_AUTOCHECKBOX", "WS_TABSTOP"},
         126,
         48,
         73,
         10},
        {IdRecordList,
         "",
         "ComboBox",
         {"CBS_DROPDOWNLIST", "WS_VSCROLL", "WS_TABSTOP"},
         186,
         6,
         120,
         265},
        {IdStore,
         "\xDC"
         "bernehmen",
         "Button",
         {"BS_PUSHBUTTON", "WS_TABSTOP"},
         126,
         6,
         50,
         14},
        {IdComparison, "Vergleich", "Button", {"BS_AUTOCHECKBOX", "WS_TABSTOP"}, 186, 30, 120, 12},
    };

    const DialogScript script = ReadMainDialog();
    ASSERT_EQ(script.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ControlLine& control = script.controls[i];
        const Expected& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(want.id));
        EXPECT_EQ(control.id, want.id);
        EXPECT_EQ(control.caption, want.caption);
        EXPECT_EQ(control.windowClass, want.windowClass);
        EXPECT_EQ(control.style, want.style);
        EXPECT_EQ(control.x, want.x);
        EXPECT_EQ(control.y, want.y);
        EXPECT_EQ(control.width, want.width);
        EXPECT_EQ(control.height, want.height);
    }
}

TEST(DialogTemplate, NeverReusesAnIdOrTheInternalNoticeId) {
    const DialogScript script = ReadMainDialog();
    std::set<int> ids;
    for (const ControlLine& control : script.controls) {
        EXPECT_TRUE(ids.insert(control.id).second) << "id " << control.id << " twice";
        EXPECT_NE(control.id, IdLevelNotice) << "the level notice must not come from a control";
        EXPECT_NE(control.id, IdCancel);
    }
}

// The native program builds its window from the table in the code: it must be the same dialog.
TEST(DialogTemplate, TheTableInTheCodeIsTheResourceScriptsDialog) {
    const DialogScript script = ReadMainDialog();
    const DialogTemplate& table = MainDialogTemplate();
    EXPECT_EQ(script.caption, table.caption);
    EXPECT_EQ(script.header, std::to_string(table.x) + ", " + std::to_string(table.y) + ", " +
                                 std::to_string(table.width) + ", " + std::to_string(table.height));
    EXPECT_EQ(script.font, std::to_string(table.fontPoints) + " " + table.fontName);
    ASSERT_EQ(script.controls.size(), static_cast<std::size_t>(table.controlCount));
    for (int i = 0; i < table.controlCount; ++i) {
        const ControlLine& line = script.controls[static_cast<std::size_t>(i)];
        const ControlTemplate& control = table.controls[i];
        SCOPED_TRACE("control " + std::to_string(line.id));
        EXPECT_EQ(line.id, control.id);
        EXPECT_EQ(line.caption, control.caption);
        EXPECT_EQ(std::vector<int>({line.x, line.y, line.width, line.height}),
                  std::vector<int>({control.x, control.y, control.width, control.height}));
        const bool checkBox = line.style.count("BS_AUTOCHECKBOX") > 0;
        EXPECT_EQ(checkBox, control.kind == ControlKind::CheckBox);
        EXPECT_EQ(line.style.count("BS_DEFPUSHBUTTON") > 0,
                  control.kind == ControlKind::DefaultButton);
        EXPECT_EQ(line.style.count("BS_OWNERDRAW") > 0, control.kind == ControlKind::Chart);
        EXPECT_EQ(line.windowClass == "ComboBox", control.kind == ControlKind::DropList);
        EXPECT_EQ(line.windowClass == "Edit", control.kind == ControlKind::Edit);
        EXPECT_EQ(line.windowClass == "Static", control.kind == ControlKind::Static);
    }
}
