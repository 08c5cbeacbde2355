#pragma once

// Ids of the main dialog's controls and of its internal commands. They are part of the dialog
// template and of the messages the audio thread posts, so they never change.
enum ControlId : int {
    IdClose = 1,              // "Schließen", the default button
    IdCancel = 2,             // Escape / system close button
    IdNewTest = 1000,         // "Neuer Test"
    IdStatusLine = 1001,      // static text of the orientation aid
    IdLevelNotice = 1002,     // not a control: a tone was chosen or a buffer produced
    IdOutputStalled = 1003,   // not a control: the sound output stopped taking the tone
    IdRecordsSaved = 1004,    // not a control: the record store's writer finished a save
    IdOutputSilent = 1015,    // not a control: the sound output was muted or turned to 0
    IdRecoveredNotice = 1013, // not a control: the window is up with a recovered measurement
    IdName = 1005,            // edit field with the person's name
    IdChart = 1006,           // owner-drawn button that shows the audiogram
    IdStartLeft = 1007,       // "Start links"
    IdStartRight = 1008,      // "Start rechts"
    IdHeard = 1009,           // "Gehört", also the automatic press
    IdAidCheck = 1010,        // "Orientierungshilfe"
    IdRecordList = 1011,      // drop-down list of stored persons
    IdStore = 1012,           // "Übernehmen"
    IdComparison = 1014,      // "Vergleich"
};

// Notification codes of a drop-down list: its selection changed (CBN_SELCHANGE), its list opened
// (CBN_DROPDOWN) or closed again (CBN_CLOSEUP).
constexpr int ListSelectionChanged = 1;
constexpr int ListOpened = 7;
constexpr int ListClosed = 8;
