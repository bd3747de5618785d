#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tessel {

// Menus and toolbars of the main window.
enum class MainMenu { Experiment, View, ViewToolbars, System, TestKeys, Setup, Window, Help, None };
enum class MainToolbar { None, Main, Graph, Protocol, Window, Control };

// One command of the main window: where it sits, its caption, shortcut and
// tool tip, and whether it belongs to the document controls that follow the
// experiment list.
struct MainCommand {
    const char *id;       // object name of the action, e.g. "mniNew"
    MainMenu menu;        // None: toolbar only
    const char *caption;  // menu caption with accelerator
    const char *shortcut; // portable text form, "" for none
    MainToolbar toolbar;  // None: menu only
    const char *hint;     // tool tip of the toolbar button
    const char *icon;     // icon name (theme name or bundled drawing)
    bool documentControl; // enabled only while an experiment exists
    bool separatorBefore; // a menu separator precedes the item
    bool checkable;
};

const std::vector<MainCommand> &MainCommands();
const MainCommand *FindMainCommand(const QString &id);
// Captions of the menus in menu-bar order.
QString MenuCaption(MainMenu m);
QString ToolbarCaption(MainToolbar t);
// Object names of the five toolbars ("tbMain", ...).
QString ToolbarName(MainToolbar t);

// What a command's enabled state depends on.
struct TCommandInputs {
    bool AnyExperiment = false;    // the experiment list is not empty
    bool ActiveExperiment = false; // an experiment window (or its editor) is the active child
    bool Suppressed = false;       // held off while something else owns it
    bool RunOff = false;           // switched off by the run's idle or measuring state
};
// Whether a command of the main window, or one of the Control toolbar's
// buttons ("btnStart", "btnAbort", which follow the run alone), is enabled.
// Unknown ids are not.
bool CommandEnabled(const QString &id, const TCommandInputs &in);

} // namespace tessel
