#include "app/gtk/DialogWindowBuilder.h"

#include "app/DialogProcedure.h"
#include "app/gtk/AudiogramSaveDialog.h"
#include "app/gtk/FontBaseUnits.h"
#include "chart/cairo/CairoCanvas.h"
#include "support/ControlIds.h"
#include "support/Cp1252.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Notification code of a clicked button (BN_CLICKED).
constexpr int ButtonClicked = 0;

// GTK's themes pad controls for touch screens; the template's controls are tighter.
constexpr const char* CompactStyle = R"(
#tonolot-dialog button { padding: 0 4px; min-height: 0; min-width: 0; }
#tonolot-dialog entry { padding: 0 3px; min-height: 0; }
#tonolot-dialog combobox button { padding: 0 4px; min-height: 0; }
#tonolot-dialog checkbutton { padding: 0; min-height: 0; }
#tonolot-dialog check { min-width: 12px; min-height: 12px; margin: 0 4px 0 0; }
)";

struct ItemEvent {
    GtkDialogWindow* dialog;
    int id;
};

GtkDialogWindow* Of(gpointer data) {
    return static_cast<GtkDialogWindow*>(data);
}

void SendCommand(GtkDialogWindow* dialog, int id, int code) {
    if (dialog->alive && !dialog->quiet) {
        dialog->procedure->OnCommand(dialog, MakeCommandParam(id, code), 0);
    }
}

void OnClicked(GtkWidget*, gpointer data) {
    const auto* event = static_cast<const ItemEvent*>(data);
    SendCommand(event->dialog, event->id, ButtonClicked);
}

void OnListChanged(GtkComboBox*, gpointer data) {
    const auto* event = static_cast<const ItemEvent*>(data);
    SendCommand(event->dialog, event->id, ListSelectionChanged);
}

void OnListShown(GObject* list, GParamSpec*, gpointer data) {
    const auto* event = static_cast<const ItemEvent*>(data);
    gboolean shown = FALSE;
    g_object_get(list, "popup-shown", &shown, nullptr);
    SendCommand(event->dialog, event->id, shown ? ListOpened : ListClosed);
}

void FreeItemEvent(gpointer data, GClosure*) {
    delete static_cast<ItemEvent*>(data);
}

gboolean OnDrawChart(GtkWidget* chart, cairo_t* context, gpointer data) {
    GtkDialogWindow* dialog = Of(data);
    CairoCanvas canvas(context, dialog->font);
    const CanvasRect item{0, 0, gtk_widget_get_allocated_width(chart),
                          gtk_widget_get_allocated_height(chart)};
    dialog->procedure->OnDrawItem(IdChart, canvas, item);
    return TRUE;
}

gboolean OnDeleteWindow(GtkWidget*, GdkEvent*, gpointer data) {
    GtkDialogWindow* dialog = Of(data);
    dialog->procedure->OnClose(dialog);
    return TRUE; // the procedure destroys the window when the user may go
}

gboolean OnKey(GtkWidget*, GdkEventKey* key, gpointer data) {
    // Alt+F4 closes the window like its close button, also where no window manager does it.
    if (key->keyval == GDK_KEY_F4 && (key->state & GDK_MOD1_MASK) != 0) {
        GtkDialogWindow* dialog = Of(data);
        dialog->procedure->OnClose(dialog);
        return TRUE;
    }
    return FALSE;
}

void OnDestroyWindow(GtkWidget*, gpointer data) {
    GtkDialogWindow* dialog = Of(data);
    const bool wasAlive = dialog->alive.exchange(false);
    dialog->visible = false;
    dialog->items.clear();
    if (wasAlive) {
        dialog->procedure->OnDestroy(dialog);
    }
}

void OnMapped(GtkWidget*, gpointer data) {
    Of(data)->visible = true;
}

void OnUnmapped(GtkWidget*, gpointer data) {
    Of(data)->visible = false;
}

// Names a screen reader reads for controls whose caption says nothing (cp1252); the others are
// named by their captions.
const char* AccessibleNameOf(int id) {
    switch (id) {
    case IdName:
        return "Name der Person";
    case IdRecordList:
        return "Gespeicherte Personen";
    case IdChart:
        return "Audiogramm";
    default:
        return nullptr;
    }
}

// The drop-down list hands the keyboard focus to a button inside it, which a screen reader
// announces on Tab instead of the list: that button carries the list's name and its choice.
void FindInnerButton(GtkWidget* child, gpointer found) {
    if (GTK_IS_TOGGLE_BUTTON(child)) {
        *static_cast<GtkWidget**>(found) = child;
    } else if (GTK_IS_CONTAINER(child)) {
        gtk_container_forall(GTK_CONTAINER(child), FindInnerButton, found);
    }
}

void NameListButton(GtkComboBox* list, gpointer) {
    GtkWidget* button = nullptr;
    gtk_container_forall(GTK_CONTAINER(list), FindInnerButton, &button);
    if (button == nullptr) {
        return;
    }
    std::string name = Cp1252ToUtf8(AccessibleNameOf(IdRecordList));
    if (gchar* chosen = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(list))) {
        name = name + ": " + chosen;
        g_free(chosen);
    }
    atk_object_set_name(gtk_widget_get_accessible(button), name.c_str());
}

void NameForScreenReaders(GtkWidget* widget, int id) {
    AtkObject* accessible = gtk_widget_get_accessible(widget);
    if (const char* name = AccessibleNameOf(id)) {
        atk_object_set_name(accessible, Cp1252ToUtf8(name).c_str());
    }
    if (id == IdChart) {
        atk_object_set_role(accessible, ATK_ROLE_CHART);
    }
    if (id == IdRecordList) {
        NameListButton(GTK_COMBO_BOX(widget), nullptr);
        g_signal_connect(widget, "changed", G_CALLBACK(NameListButton), nullptr);
    }
}

// A long name must not widen its control and with it the window: the list and the comparison's
// caption show it shortened with an ellipsis, at the template's width (the list keeps the whole
// name).
void ShortenLongTexts(GtkWidget* widget, ControlKind kind) {
    if (kind == ControlKind::DropList) {
        GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(widget));
        for (GList* cell = cells; cell != nullptr; cell = cell->next) {
            g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
            gtk_cell_renderer_set_fixed_size(GTK_CELL_RENDERER(cell->data), 1, -1);
        }
        g_list_free(cells);
    } else if (kind == ControlKind::CheckBox) {
        ShortenLongCaption(widget);
    }
}

// The template's order is the Windows dialog's tab order, which starts with "Schließen". Here the
// controls go into the window, and so into Tab's and a screen reader's order, as they are laid
// out: by rows from the top, each row from the left.
std::vector<const ControlTemplate*> InLayoutOrder(const DialogTemplate& layout) {
    std::vector<const ControlTemplate*> ordered;
    for (int i = 0; i < layout.controlCount; ++i) {
        ordered.push_back(&layout.controls[i]);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const ControlTemplate* a, const ControlTemplate* b) {
                         return a->y != b->y ? a->y < b->y : a->x < b->x;
                     });
    return ordered;
}

void ApplyCompactStyle() {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, CompactStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(),
                                              GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
}

GtkWidget* MakeControl(GtkDialogWindow& dialog, const ControlTemplate& control) {
    const std::string caption = Cp1252ToUtf8(control.caption);
    GtkWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::DefaultButton:
    case ControlKind::Button:
        widget = gtk_button_new_with_label(caption.c_str());
        break;
    case ControlKind::CheckBox:
        widget = gtk_check_button_new_with_label(caption.c_str());
        break;
    case ControlKind::Edit:
        widget = gtk_entry_new();
        gtk_entry_set_width_chars(GTK_ENTRY(widget), 1);
        gtk_entry_set_text(GTK_ENTRY(widget), caption.c_str());
        break;
    case ControlKind::Static:
        widget = gtk_label_new(caption.c_str());
        gtk_label_set_xalign(GTK_LABEL(widget), 0.0F);
        gtk_label_set_yalign(GTK_LABEL(widget), 0.0F);
        break;
    case ControlKind::DropList:
        widget = gtk_combo_box_text_new();
        break;
    case ControlKind::Chart:
        widget = gtk_drawing_area_new();
        gtk_widget_set_can_focus(widget, TRUE);
        g_signal_connect(widget, "draw", G_CALLBACK(OnDrawChart), &dialog);
        AttachChartMenu(dialog, widget);
        break;
    }
    auto* event = new ItemEvent{&dialog, control.id};
    if (control.kind == ControlKind::DropList) {
        g_signal_connect_data(widget, "changed", G_CALLBACK(OnListChanged), event, FreeItemEvent,
                              GConnectFlags{});
        // Opening and closing the list are told as the platform's list tells them.
        g_signal_connect_data(widget, "notify::popup-shown", G_CALLBACK(OnListShown),
                              new ItemEvent{&dialog, control.id}, FreeItemEvent, GConnectFlags{});
    } else if (GTK_IS_BUTTON(widget)) {
        // A check box reports its click like a push button.
        g_signal_connect_data(widget, "clicked", G_CALLBACK(OnClicked), event, FreeItemEvent,
                              GConnectFlags{});
    } else {
        delete event;
    }
    return widget;
}

} // namespace

bool BuildDialogWindow(GtkDialogWindow& dialog, const DialogTemplate& layout,
                       DialogProcedure& procedure) {
    ApplyCompactStyle();
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    if (window == nullptr) {
        return false;
    }
    gtk_widget_set_name(window, "tonolot-dialog");
    gtk_window_set_title(GTK_WINDOW(window), Cp1252ToUtf8(layout.caption).c_str());
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_icon_name(GTK_WINDOW(window), "tonolot");

    // The desktop's font stands in for the template's: the window follows the theme and scaling.
    PangoFontDescription* font = nullptr;
    gtk_style_context_get(gtk_widget_get_style_context(window), GTK_STATE_FLAG_NORMAL, "font",
                          &font, nullptr);
    if (font == nullptr) {
        font = pango_font_description_from_string("Sans 9");
    }
    const FontBaseUnits base = MeasureBaseUnits(window, font);

    dialog.window = window;
    dialog.procedure = &procedure;
    dialog.font = font;
    dialog.alive = true;

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, HorizontalPixels(layout.width, base.width),
                                VerticalPixels(layout.height, base.height));
    gtk_container_add(GTK_CONTAINER(window), fixed);

    std::vector<GtkWidget*> tabOrder;
    for (const ControlTemplate* placed : InLayoutOrder(layout)) {
        const ControlTemplate& control = *placed;
        GtkWidget* widget = MakeControl(dialog, control);
        NameForScreenReaders(widget, control.id);
        ShortenLongTexts(widget, control.kind);
        int height = VerticalPixels(control.height, base.height);
        if (control.kind == ControlKind::DropList) {
            // Closed, the list is one line high; the template's height is the open list's.
            height = VerticalPixels(12, base.height) + 2;
        }
        gtk_widget_set_size_request(widget, HorizontalPixels(control.width, base.width), height);
        gtk_fixed_put(GTK_FIXED(fixed), widget, HorizontalPixels(control.x, base.width),
                      VerticalPixels(control.y, base.height));
        dialog.items[control.id] = widget;
        if (control.kind != ControlKind::Static) {
            tabOrder.push_back(widget);
        }
    }
    GList* chain = nullptr;
    for (auto it = tabOrder.rbegin(); it != tabOrder.rend(); ++it) {
        chain = g_list_prepend(chain, *it);
    }
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_container_set_focus_chain(GTK_CONTAINER(fixed), chain);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_list_free(chain);

    g_signal_connect(window, "delete-event", G_CALLBACK(OnDeleteWindow), &dialog);
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKey), &dialog);
    g_signal_connect(window, "destroy", G_CALLBACK(OnDestroyWindow), &dialog);
    g_signal_connect(window, "map", G_CALLBACK(OnMapped), &dialog);
    g_signal_connect(window, "unmap", G_CALLBACK(OnUnmapped), &dialog);

    gtk_window_move(GTK_WINDOW(window), HorizontalPixels(layout.x, base.width),
                    VerticalPixels(layout.y, base.height));
    gtk_widget_show_all(fixed);
    // The dialog's first message, before it shows; its true asks for the default focus: the
    // first control in the tab order.
    if (procedure.OnInitDialog(&dialog) && !tabOrder.empty()) {
        gtk_widget_grab_focus(tabOrder.front());
    }
    dialog.DescribeChart();
    gtk_widget_show(window);
    return true;
}
