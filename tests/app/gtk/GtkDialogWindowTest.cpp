// The native dialog with real GTK widgets: what a user types and reads passes the UTF-8 boundary
// intact, and the window has the template's proportions. Needs a display (the test command runs
// the unit tests under a virtual one); skipped without.
#include "app/DialogProcedure.h"
#include "app/DialogTemplate.h"
#include "app/gtk/DialogWindowBuilder.h"
#include "app/gtk/GtkDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"
#include "support/ControlIds.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class GtkDialogWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gtk_init_check(nullptr, nullptr)) {
            GTEST_SKIP() << "no display";
        }
        test.LoadRecords("");
        ASSERT_TRUE(BuildDialogWindow(dialog, MainDialogTemplate(), procedure));
    }
    void TearDown() override {
        if (dialog.alive) {
            controls.DestroyDialog(&dialog);
        }
    }
    std::string Shown(int id) const {
        GtkWidget* item = dialog.Item(id);
        return GTK_IS_ENTRY(item) ? gtk_entry_get_text(GTK_ENTRY(item))
                                  : gtk_button_get_label(GTK_BUTTON(item));
    }
    // Lets the window be mapped and laid out, as the main loop would.
    void Settle() {
        while (!gtk_widget_get_mapped(dialog.window) || gtk_events_pending()) {
            gtk_main_iteration();
        }
    }
    std::string Read(int id, int maxCount = 128) {
        char buffer[128] = {};
        controls.GetItemText(&dialog, id, buffer, maxCount);
        return buffer;
    }

    QuietWaveOut device;
    GtkDialogControls controls;
    VirtualClock clock;
    HearingTest test{device, controls, clock};
    DialogProcedure procedure{test, controls};
    GtkDialogWindow dialog;
};

TEST_F(GtkDialogWindowTest, TextsCrossTheUtf8BoundaryBothWays) {
    EXPECT_EQ(Shown(IdName), "Neue Person");
    EXPECT_EQ(Shown(IdHeard), "Geh\xC3\xB6rt");
    EXPECT_FALSE(gtk_widget_get_sensitive(dialog.Item(IdHeard)));

    // Typed by the user: what cp1252 cannot hold becomes '?', the rest its byte.
    gtk_entry_set_text(GTK_ENTRY(dialog.Item(IdName)), "Zo\xC3\xAB \xE4\xB8\xAD \xE2\x82\xAC");
    EXPECT_EQ(Read(IdName), "Zo\xEB ? \x80");
    EXPECT_EQ(Read(IdName, 4), "Zo\xEB"); // at most maxCount - 1 characters
    controls.SetItemText(&dialog, IdName, "J\xFCrgen \xF7");
    EXPECT_EQ(Shown(IdName), "J\xC3\xBCrgen \xC3\xB7");
}

TEST_F(GtkDialogWindowTest, StoringATypedNameListsItAndNamesTheComparison) {
    for (int i = 0; i < PersonRecord::LevelCount; ++i) {
        test.current.left[i] = 100 + i;
        test.current.right[i] = 200 + i;
    }
    gtk_entry_set_text(GTK_ENTRY(dialog.Item(IdName)), "Erika M\xC3\xBCller");
    gtk_button_clicked(GTK_BUTTON(dialog.Item(IdStore)));
    ASSERT_EQ(test.store.records.count, 2u);
    EXPECT_STREQ(test.store.records.items[1].name, "Erika M\xFCller");
    GtkComboBoxText* list = GTK_COMBO_BOX_TEXT(dialog.Item(IdRecordList));
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(list)), 1);
    gchar* listed = gtk_combo_box_text_get_active_text(list);
    EXPECT_STREQ(listed, "Erika M\xC3\xBCller");
    g_free(listed);

    gtk_button_clicked(GTK_BUTTON(dialog.Item(IdComparison)));
    EXPECT_EQ(Shown(IdComparison), "Vergleich: Erika M\xC3\xBCller");
    EXPECT_EQ(test.comparison.left[0], 100);
}

TEST_F(GtkDialogWindowTest, KeepsTheTemplatesProportions) {
    GtkWidget* fixed = gtk_bin_get_child(GTK_BIN(dialog.window));
    int width = 0;
    int height = 0;
    gtk_widget_get_size_request(fixed, &width, &height);
    int chartWidth = 0;
    int chartHeight = 0;
    gtk_widget_get_size_request(dialog.Item(IdChart), &chartWidth, &chartHeight);
    // 310 x 229 dialog units for the dialog, 300 x 144 for the chart, within a pixel of rounding.
    EXPECT_NEAR(chartWidth * 310.0 / 300.0, width, 2.0);
    EXPECT_NEAR(chartHeight * 229.0 / 144.0, height, 2.0);
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(dialog.window)));
}

TEST_F(GtkDialogWindowTest, TabAndScreenReadersGoThroughTheControlsAsLaidOut) {
    GtkWidget* fixed = gtk_bin_get_child(GTK_BIN(dialog.window));
    AtkObject* tree = gtk_widget_get_accessible(fixed);
    std::string order;
    for (int i = 0; i < atk_object_get_n_accessible_children(tree); ++i) {
        AtkObject* child = atk_object_ref_accessible_child(tree, i);
        const char* name = atk_object_get_name(child);
        order += std::string(name != nullptr ? name : "") + "|";
        g_object_unref(child);
    }
    EXPECT_EQ(order, "Name der Person|\xC3\x9C"
                     "bernehmen|Gespeicherte Personen|Start links|"
                     "Geh\xC3\xB6rt|Neuer Test|Vergleich|Orientierungshilfe|Start rechts|"
                     "Schlie\xC3\x9F"
                     "en||Audiogramm|");
    AtkObject* chart = gtk_widget_get_accessible(dialog.Item(IdChart));
    EXPECT_EQ(atk_object_get_role(chart), ATK_ROLE_CHART);
    EXPECT_NE(std::string(atk_object_get_description(chart)).find("Links nicht gemessen"),
              std::string::npos);
    test.current.left[0] = 123;
    controls.InvalidateItem(&dialog, IdChart, false);
    EXPECT_NE(std::string(atk_object_get_description(chart)).find("Links (rot): 70 Hz 123,"),
              std::string::npos);

    // Tab from the first control, "Gehört" (disabled) left out, round to the first again.
    Settle();
    const int tabbed[] = {IdStore,    IdRecordList, IdStartLeft, IdNewTest, IdComparison,
                          IdAidCheck, IdStartRight, IdClose,     IdChart,   IdName};
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(dialog.window)), dialog.Item(IdName));
    for (int id : tabbed) {
        g_signal_emit_by_name(dialog.window, "move-focus", GTK_DIR_TAB_FORWARD);
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(dialog.window));
        EXPECT_TRUE(focus == dialog.Item(id) || gtk_widget_is_ancestor(focus, dialog.Item(id)))
            << "expected control " << id;
        // What a screen reader announces as the focus arrives: never a nameless control.
        const char* announced = atk_object_get_name(gtk_widget_get_accessible(focus));
        EXPECT_TRUE(announced != nullptr && *announced != '\0') << "control " << id;
        if (id == IdRecordList) {
            EXPECT_STREQ(announced, "Gespeicherte Personen: unbekannter Standard");
        }
    }
}

TEST_F(GtkDialogWindowTest, TheLongestNamesLeaveTheWindowAtItsDesignedSize) {
    int designedWidth = 0;
    int designedHeight = 0;
    gtk_window_get_size(GTK_WINDOW(dialog.window), &designedWidth, &designedHeight);
    // 127 characters, the most a record holds: wide letters, and umlauts of two UTF-8 bytes.
    PersonRecord wide{};
    std::memset(wide.name, 'W', PersonRecord::NameSize - 1);
    wide.left[0] = 50;
    PersonRecord umlauts = wide;
    std::memset(umlauts.name, '\xC4', PersonRecord::NameSize - 1);
    test.store.records.Add(wide);
    test.store.records.Add(umlauts);
    test.FillRecordList(&dialog);
    controls.ListSelect(&dialog, IdRecordList, 1);
    controls.SendCommand(&dialog, MakeCommandParam(IdRecordList, ListSelectionChanged), 0);
    gtk_button_clicked(GTK_BUTTON(dialog.Item(IdComparison)));
    controls.SetItemText(&dialog, IdName, umlauts.name);
    Settle();

    int minimum = 0;
    int natural = 0;
    gtk_widget_get_preferred_width(dialog.window, &minimum, &natural);
    EXPECT_EQ(natural, designedWidth);
    int width = 0;
    int height = 0;
    gtk_window_get_size(GTK_WINDOW(dialog.window), &width, &height);
    EXPECT_EQ(width, designedWidth);
    EXPECT_EQ(height, designedHeight);
    EXPECT_EQ(gtk_widget_get_allocated_width(dialog.Item(IdRecordList)),
              gtk_widget_get_allocated_width(dialog.Item(IdComparison)));
    // The list and the record keep the whole name.
    gchar* listed =
        gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(dialog.Item(IdRecordList)));
    EXPECT_EQ(std::string(listed), std::string(wide.name));
    g_free(listed);
    EXPECT_STREQ(test.store.records.items[1].name, wide.name);
}

} // namespace
