#pragma once

#include <span>

// The main window's buttons, one row each, in the order of the window's action manager. The window
// builds its actions, its five tool bars and what each button does from these rows, and the launch
// table starts out as the rows' designed commands (launch/default_launch_table.h). A new button is a
// new row. Texts are Windows-1252.

// The five tool bars, from the top of the window down.
enum class PanelBar
{
    Hauptmenue,
    NcBereich,
    ZweiDBereich,
    Lizensierung,
    Allgemein
};

// What pressing a button does.
enum class PanelDeed
{
    Launch,       // starts the program of its launch key
    OpenSettings, // opens the settings window
    CloseWindow   // closes the main window, which ends the program
};

struct PanelButton
{
    const char* action;    // the action's name; the window's handler for it is <action>Execute
    const char* category;  // the action's category
    PanelBar bar;          // the tool bar the button stands on ...
    int position;          // ... and its place there, from 1 on the left
    const char* caption;   // the button's caption, "&" before the accelerator letter; the action's
                           // caption is the same without the "&"
    const char* hint;      // "" for none
    int glyph;             // the image of the window's image list
    const char* launchKey; // passed to the launcher exactly so; nullptr for a button that starts nothing
    const char* command;   // the launch table's designed "Name=Command" line for the key
    PanelDeed deed = PanelDeed::Launch;
};

std::span<const PanelButton> PanelButtons();

// The row of an action; nullptr for a name no button has.
const PanelButton* FindPanelButton(const char* action);
