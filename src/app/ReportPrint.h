#pragma once

#include "support/DialogControls.h"
#include "chart/ReportPage.h"

class DialogProcedure;

// "Bericht drucken…": the report page (chart/ReportPage.h) printed from the chart's context menu,
// by the same rules as "Audiogramm speichern…": greyed during a run, and a run holds while the
// print dialog is open.

constexpr const char* PrintReportMenuItem = "Bericht drucken\x85"; // cp1252
constexpr const char* PrintReportFailed = "Der Bericht konnte nicht gedruckt werden.";

// What the page shows at this moment: the name field's text, the chart's three records and the
// chart's size on the screen.
ReportContent ReportContentNow(WindowHandle dialog, DialogControls& controls,
                               const DialogProcedure& procedure, int chartWidth, int chartHeight);
