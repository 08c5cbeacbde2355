#include "app/ReportPrint.h"

#include "support/ControlIds.h"
#include "app/DialogProcedure.h"
#include "app/DialogTemplate.h"
#include "hearing/HearingTest.h"

ReportContent ReportContentNow(WindowHandle dialog, DialogControls& controls,
                               const DialogProcedure& procedure, int chartWidth, int chartHeight) {
    ReportContent content;
    char name[PersonRecord::NameSize] = {};
    controls.GetItemText(dialog, IdName, name, sizeof name);
    content.name = name;
    content.program = MainDialogTemplate().caption;
    const AudiogramRecords records = procedure.ChartRecords();
    content.standard = records.standard;
    content.comparison = records.comparison;
    content.current = records.current;
    content.frequencyOf = &HearingTest::FrequencyOf;
    content.chartWidth = chartWidth;
    content.chartHeight = chartHeight;
    return content;
}
