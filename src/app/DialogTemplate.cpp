#include "app/DialogTemplate.h"

#include "support/ControlIds.h"

namespace {

constexpr ControlTemplate Controls[] = {
    {IdClose, ControlKind::DefaultButton,
     "Schlie\xDF"
     "en",
     258, 54, 48, 15},
    {IdNewTest, ControlKind::Button, "Neuer Test", 126, 30, 50, 14},
    {IdName, ControlKind::Edit, "", 6, 6, 108, 12},
    {IdChart, ControlKind::Chart, "Graf", 6, 78, 300, 144},
    {IdStartLeft, ControlKind::Button, "Start links", 6, 30, 50, 14},
    {IdStartRight, ControlKind::Button, "Start rechts", 6, 54, 50, 14},
    {IdHeard, ControlKind::Button, "Geh\xF6rt", 66, 30, 48, 38},
    {IdStatusLine, ControlKind::Static, "", 126, 60, 42, 8},
    {IdAidCheck, ControlKind::CheckBox, "Orientierungshilfe", 126, 48, 73, 10},
    {IdRecordList, ControlKind::DropList, "", 186, 6, 120, 265},
    {IdStore, ControlKind::Button,
     "\xDC"
     "bernehmen",
     126, 6, 50, 14},
    {IdComparison, ControlKind::CheckBox, "Vergleich", 186, 30, 120, 12},
};

constexpr DialogTemplate Main = {"Tonolot 0.8",
                                 "Arial",
                                 8,
                                 22,
                                 17,
                                 310,
                                 229,
                                 Controls,
                                 static_cast<int>(sizeof Controls / sizeof Controls[0])};

} // namespace

const DialogTemplate& MainDialogTemplate() {
    return Main;
}
