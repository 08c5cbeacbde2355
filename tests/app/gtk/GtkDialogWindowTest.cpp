// The native dialog with real GTK widgets: what a user types and reads passes the UTF-8 boundary
// intact, and the window has the template's proportions. Needs a display (the test command runs
// the unit tests under a virtual one); skipped without.
#include "app/ControlIds.h"
#include "app/DialogProcedure.h"
#include "app/DialogTemplate.h"
#include "app/gtk/DialogWindowBuilder.h"
#include "app/gtk/GtkDialogControls.h"
#include "fakes/QuietWaveOut.h"
#include "fakes/VirtualClock.h"
#include "hearing/HearingTest.h"

#include <gtest/gtest.h>

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
    ASSERT_EQ(test.records.count, 2u);
    EXPECT_STREQ(test.records.items[1].name, "Erika M\xFCller");
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

} // namespace
