#include "app/gtk/ReportPrintOperation.h"

#include "app/AudiogramPicture.h"
#include "support/ControlIds.h"
#include "app/DialogProcedure.h"
#include "app/ReportPrint.h"
#include "app/gtk/GtkDialogControls.h"
#include "chart/cairo/CairoCanvas.h"
#include "support/Cp1252.h"
#include "support/MessageBoxes.h"
#include "support/ModalPause.h"
#include "support/TextString.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

void OnDrawPage(GtkPrintOperation*, GtkPrintContext* context, gint, gpointer data) {
    cairo_t* cairo = gtk_print_context_get_cairo_context(context);
    // The operation's unit is the millimetre; the page's is a tenth of it.
    cairo_scale(cairo, 0.1, 0.1);
    CairoCanvas canvas(cairo, nullptr);
    DrawReportPage(canvas, *static_cast<const ReportContent*>(data), LocalTimeNow());
}

// The export file is made here, exclusively and without following a link, so that GTK writes
// into a new file of ours and never over someone else's file in a shared folder.
bool CreateExportFile(const char* path) {
    const int file = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (file < 0) {
        return false;
    }
    close(file);
    return true;
}

void ShowFailure(GtkDialogWindow& dialog, const char* utf8Reason) {
    TextString reason;
    Utf8ToCp1252(utf8Reason, reason);
    ShowMessageFor(&dialog, "%s\r\n%s", PrintReportFailed, reason.Text());
}

} // namespace

void PrintReport(GtkDialogWindow& dialog) {
    GtkWidget* chart = dialog.Item(IdChart);
    if (chart == nullptr || dialog.procedure == nullptr) {
        return;
    }
    // The print dialog and any box after it are modal: a run holds until printing is over.
    ModalPause pause;
    GtkDialogControls controls;
    ReportContent content = ReportContentNow(&dialog, controls, *dialog.procedure,
                                             gtk_widget_get_allocated_width(chart),
                                             gtk_widget_get_allocated_height(chart));

    const char* exportPath = std::getenv("TONOLOT_PRINT_TO_PDF");
    if (exportPath != nullptr && !CreateExportFile(exportPath)) {
        TextString path;
        Utf8ToCp1252(exportPath, path);
        ShowMessageFor(&dialog, "%s\r\n%s ist bereits vorhanden oder kann nicht angelegt werden.",
                       PrintReportFailed, path.Text());
        return;
    }

    GtkPrintOperation* operation = gtk_print_operation_new();
    GtkPageSetup* setup = gtk_page_setup_new();
    GtkPaperSize* a4 = gtk_paper_size_new(GTK_PAPER_NAME_A4);
    gtk_page_setup_set_paper_size(setup, a4);
    gtk_page_setup_set_orientation(setup, GTK_PAGE_ORIENTATION_PORTRAIT);
    gtk_print_operation_set_default_page_setup(operation, setup);
    gtk_print_operation_set_n_pages(operation, 1);
    // The page is laid out from the paper's corner; its margins keep it inside a printer's.
    gtk_print_operation_set_use_full_page(operation, TRUE);
    gtk_print_operation_set_unit(operation, GTK_UNIT_MM);
    const std::string job = Cp1252ToUtf8(("Tonolot - " + content.name).c_str());
    gtk_print_operation_set_job_name(operation, job.c_str());
    // The operation is run to its end below, so the content outlives every page it draws.
    g_signal_connect(operation, "draw-page", G_CALLBACK(OnDrawPage), &content);
    if (exportPath != nullptr) {
        gtk_print_operation_set_export_filename(operation, exportPath);
    }

    GError* error = nullptr;
    // Not asynchronous: the dialog runs GTK's own loop, and the page is rendered and handed to
    // the print system in a loop of GTK's as well, so the window keeps answering meanwhile.
    const GtkPrintOperationResult result = gtk_print_operation_run(
        operation,
        exportPath != nullptr ? GTK_PRINT_OPERATION_ACTION_EXPORT
                              : GTK_PRINT_OPERATION_ACTION_PRINT_DIALOG,
        dialog.window != nullptr ? GTK_WINDOW(dialog.window) : nullptr, &error);
    if (result == GTK_PRINT_OPERATION_RESULT_ERROR) {
        ShowFailure(dialog, error != nullptr ? error->message : "");
    }
    if (error != nullptr) {
        g_error_free(error);
    }
    g_object_unref(operation);
    gtk_paper_size_free(a4);
    g_object_unref(setup);
}
