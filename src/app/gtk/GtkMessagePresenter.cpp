#include "app/gtk/GtkMessagePresenter.h"

#include "app/gtk/GtkDialogWindow.h"
#include "support/Cp1252.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int AnswerOk = 1; // IDOK

std::string WithLineBreaks(const std::string& text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue; // the LF that follows breaks the line
        }
        result.push_back(text[i]);
    }
    return result;
}

void Trace(const std::string& utf8) {
    if (std::getenv("TONOLOT_TRACE_MESSAGES") == nullptr) {
        return;
    }
    std::string line = "tonolot: message box: \"";
    for (char c : utf8) {
        switch (c) {
        case '\r':
            line += "\\r";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\\':
            line += "\\\\";
            break;
        case '"':
            line += "\\\"";
            break;
        default:
            line.push_back(c);
        }
    }
    line += "\"\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace

int GtkMessagePresenter::Present(WindowHandle owner, const char* text, const char* caption,
                                 unsigned style) {
    const std::string utf8 = Cp1252ToUtf8(text);
    Trace(utf8);
    if (!gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "%s\n", utf8.c_str()); // no display: the text is all we can give
        return 0;
    }
    GtkWindow* parent = nullptr;
    if (GtkDialogWindow* dialog = DialogOf(owner); dialog != nullptr && dialog->alive) {
        parent = GTK_WINDOW(dialog->window);
    }
    GtkWidget* box = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                            GTK_BUTTONS_NONE, "%s", WithLineBreaks(utf8).c_str());
    gtk_window_set_title(GTK_WINDOW(box), Cp1252ToUtf8(caption).c_str());
    gtk_window_set_position(GTK_WINDOW(box),
                            parent != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
    const bool question = (style & 0xFu) == MessageYesNo;
    if (question) {
        gtk_dialog_add_buttons(GTK_DIALOG(box), "_Ja", GTK_RESPONSE_YES, "_Nein", GTK_RESPONSE_NO,
                               nullptr);
        gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_YES);
        gtk_window_set_deletable(GTK_WINDOW(box), FALSE);
    } else {
        gtk_dialog_add_button(GTK_DIALOG(box), "OK", GTK_RESPONSE_OK);
        gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    }
    int answer = 0;
    for (;;) {
        const int response = gtk_dialog_run(GTK_DIALOG(box));
        if (response == GTK_RESPONSE_YES) {
            answer = AnswerYes;
        } else if (response == GTK_RESPONSE_NO) {
            answer = AnswerNo;
        } else if (!question) {
            answer = AnswerOk;
        } else if (response == GTK_RESPONSE_NONE) {
            answer = 0; // the box went away unanswered
        } else {
            continue; // a question waits for its answer
        }
        break;
    }
    gtk_widget_destroy(box);
    return answer;
}
