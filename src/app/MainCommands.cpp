#include "app/MainCommands.h"

namespace tessel {

namespace {
using M = MainMenu;
using T = MainToolbar;
// clang-format off
const std::vector<MainCommand> kCommands = {
    // Experiment menu
    {"mniNew",          M::Experiment, "&New",             "",       T::Main,    "New experiment",        "document-new",    false, false, false},
    {"mniOpen",         M::Experiment, "&Open...",         "F3",     T::Main,    "Open experiment",       "document-open",   false, false, false},
    {"mniSave",         M::Experiment, "&Save",            "F2",     T::Main,    "Save experiment",       "document-save",   true,  false, false},
    {"mniSaveAs",       M::Experiment, "Save &As...",      "",       T::None,    "",                      "document-save-as",false, false, false},
    {"mniClose",        M::Experiment, "&Close",           "",       T::None,    "",                      "",                false, true,  false},
    {"mniCloseAll",     M::Experiment, "Close A&ll",       "",       T::None,    "",                      "",                false, false, false},
    {"mniExport",       M::Experiment, "&Export...",       "",       T::None,    "",                      "",                false, true,  false},
    {"mniPrint",        M::Experiment, "&Print...",        "",       T::Main,    "Print experiment",      "document-print",  true,  true,  false},
    {"mniPreview",      M::Experiment, "Pre&view...",      "",       T::Main,    "Print preview",         "document-print-preview", true, false, false},
    {"mniPrintSetup",   M::Experiment, "P&rint Setup...",  "",       T::None,    "",                      "",                false, false, false},
    {"mniPageSetup",    M::Experiment, "Pa&ge Setup...",   "",       T::None,    "",                      "",                false, false, false},
    {"mniExit",         M::Experiment, "E&xit",            "Alt+X",  T::None,    "",                      "application-exit",false, true,  false},
    // View menu
    {"mniGraph",        M::View,       "&Graph",           "F5",     T::Window,  "Graph",                 "view-graph",      true,  false, false},
    {"mniData",         M::View,       "&Data",            "F6",     T::Window,  "Data sets",             "view-data",       true,  false, false},
    {"mniProtocol",     M::View,       "&Protocol",        "F7",     T::Window,  "Protocol",              "view-protocol",   true,  false, false},
    {"mniDescription",  M::View,       "D&escription",     "F8",     T::Window,  "Notes",                 "view-notes",      true,  false, false},
    {"mniSignals",      M::View,       "&Signals",         "F4",     T::Window,  "Show signals",          "view-signals",    true,  false, true},
    {"btnGraphAB",      M::None,       "Graph A/B",        "",       T::Window,  "Graph A/B",             "view-graph-ab",   true,  false, false},
    {"mniTbMain",       M::ViewToolbars,"&Main",           "",       T::None,    "",                      "",                false, false, true},
    {"mniTbGraph",      M::ViewToolbars,"&Graph",          "",       T::None,    "",                      "",                false, false, true},
    {"mniTbWindow",     M::ViewToolbars,"&Window",         "",       T::None,    "",                      "",                false, false, true},
    {"mniTbControl",    M::ViewToolbars,"&Control",        "",       T::None,    "",                      "",                false, false, true},
    // System menu
    {"mniMonitor",      M::System,     "System &Monitor...","Ctrl+M",T::None,    "",                      "",                false, false, false},
    {"mniStart",        M::System,     "&Start",           "F9",     T::Control, "Start measurement",     "media-playback-start", false, true, false},
    {"mniAbort",        M::System,     "&Abort",           "",       T::Control, "Abort measurement",     "media-playback-stop",  false, false, false},
    {"mniDeviceID",     M::System,     "Device &ID",       "Ctrl+I", T::None,    "",                      "",                false, true,  false},
    {"mniDeviceInfo",   M::System,     "Device I&nfo",     "",       T::None,    "",                      "",                false, false, false},
    {"mniSetDevice",    M::System,     "Set &Device",      "",       T::None,    "",                      "",                false, false, false},
    {"mniUpdateBIOS",   M::System,     "&Update BIOS",     "",       T::None,    "",                      "",                false, true,  false},
    {"mniUpdateFirmware",M::System,    "Update &Firmware", "",       T::None,    "",                      "",                false, false, false},
    {"mniTestUnit",     M::System,     "&Test Unit",       "",       T::None,    "",                      "",                false, false, false},
    // Test Keys submenu of the System menu
    {"mniActFlash1",    M::TestKeys,   "Actinic Flash &1", "Ctrl+F1",T::None,    "",                      "",                false, false, false},
    {"mniActFlash2",    M::TestKeys,   "Actinic Flash &2", "Ctrl+F2",T::None,    "",                      "",                false, false, false},
    // Ctrl+M belongs to System Monitor; two items cannot share one key here.
    {"mniMeasFlash",    M::TestKeys,   "&Measuring Flash", "",       T::None,    "",                      "",                false, false, false},
    {"mniAux1",         M::TestKeys,   "AUX &1",           "Ctrl+1", T::None,    "",                      "",                false, true,  false},
    {"mniAux2",         M::TestKeys,   "AUX &2",           "Ctrl+2", T::None,    "",                      "",                false, false, false},
    {"mniAux3",         M::TestKeys,   "AUX &3",           "Ctrl+3", T::None,    "",                      "",                false, false, false},
    {"mniAux4",         M::TestKeys,   "AUX &4",           "Ctrl+4", T::None,    "",                      "",                false, false, false},
    {"mniAux5",         M::TestKeys,   "AUX &5",           "Ctrl+5", T::None,    "",                      "",                false, false, false},
    {"mniAux6",         M::TestKeys,   "AUX &6",           "Ctrl+6", T::None,    "",                      "",                false, false, false},
    {"mniStirrer",      M::TestKeys,   "&Stirrer On/Off",  "",       T::None,    "",                      "",                false, true,  false},
    // Setup menu
    {"mniCommunication",M::Setup,      "&Communication...","",       T::None,    "",                      "",                false, false, false},
    {"mniEnvOptions",   M::Setup,      "&Environment Options...","", T::None,    "",                      "",                false, false, false},
    // Window menu
    {"mniNavigator",    M::Window,     "&Navigator...",    "F11",    T::Window,  "Navigator",             "view-navigator",  false, false, false},
    {"mniWizard",       M::Window,     "Protocol &Wizard...","",     T::Window,  "Protocol wizard",       "tools-wizard",    false, false, false},
    {"mniTestKeys",     M::Window,     "Test &Keys ...",   "Ctrl+T", T::None,    "",                      "",                false, false, false},
    {"mniTile",         M::Window,     "&Tile",            "",       T::None,    "",                      "",                false, true,  false},
    {"mniCascade",      M::Window,     "&Cascade",         "",       T::None,    "",                      "",                false, false, false},
    {"mniMakeActive",   M::Window,     "Make &Active",     "",       T::None,    "",                      "",                false, false, false},
    {"btnMacro",        M::None,       "",                 "",       T::Window,  "Send macro",            "macro-send",      false, false, false},
    // Help menu
    {"mniContents",     M::Help,       "&Contents",        "",       T::None,    "",                      "",                false, false, false},
    {"mniSearchHelp",   M::Help,       "&Search for Help On...","",  T::None,    "",                      "",                false, false, false},
    {"mniHowToUse",     M::Help,       "&How to Use Help", "",       T::None,    "",                      "",                false, false, false},
    {"mniAbout",        M::Help,       "&About...",        "",       T::None,    "",                      "help-about",      false, true,  false},
    {"btnHelp",         M::None,       "Help",             "",       T::Main,    "Help",                  "help-contents",   false, false, false},
    // Graph toolbar
    {"btnUndo",         M::None,       "Undo",             "",       T::Graph,   "Undo zoom",             "edit-undo",       true,  false, false},
    {"btnAutoScaleX",   M::None,       "Auto Scale X",     "",       T::Graph,   "Auto scale X",          "scale-x",         true,  false, false},
    {"btnAutoScaleY",   M::None,       "Auto Scale Y",     "",       T::Graph,   "Auto scale Y",          "scale-y",         true,  false, false},
    {"btnAutoScaleXY",  M::None,       "Auto Scale XY",    "",       T::Graph,   "Auto scale XY",         "scale-xy",        true,  false, false},
    {"btnShowAll",      M::None,       "Show All",         "",       T::Graph,   "Show all data sets",    "show-all",        true,  false, false},
    {"btnHideAll",      M::None,       "Hide All",         "",       T::Graph,   "Hide all data sets",    "hide-all",        true,  false, false},
    {"btnSelectSignal", M::None,       "Select Signal",    "",       T::Graph,   "Select signal",         "select-signal",   true,  false, false},
    // Protocol toolbar
    {"btnSaveProtocol", M::None,       "Save Protocol",    "",       T::Protocol,"Save protocol",         "protocol-save",   true,  false, false},
    {"btnLoadProtocol", M::None,       "Load Protocol",    "",       T::Protocol,"Load protocol",         "protocol-open",   true,  false, false},
    {"btnCheck",        M::None,       "Check",            "",       T::Protocol,"Check protocol",        "protocol-check",  true,  false, false},
    {"btnClearProtocol",M::None,       "Clear Protocol",   "",       T::Protocol,"Clear protocol",        "protocol-clear",  true,  false, false},
    {"btnPrintProtocol",M::None,       "Print Protocol",   "",       T::Protocol,"Print protocol",        "protocol-print",  true,  false, false},
    {"btnCopyProtocol", M::None,       "Copy to Current Protocol","",T::Protocol,"Copy to current protocol","protocol-copy", true,  false, false},
};
// clang-format on

// Commands that act on the active experiment, not on the list.
const char *const kNeedActive[] = {"mniClose", "mniSave",    "mniSaveAs",    "mniExport",
                                   "mniPrint", "mniPreview", "mniMakeActive"};
} // namespace

const std::vector<MainCommand> &MainCommands() { return kCommands; }

const MainCommand *FindMainCommand(const QString &id) {
    for (const MainCommand &c : kCommands)
        if (id == QLatin1String(c.id))
            return &c;
    return nullptr;
}

QString MenuCaption(MainMenu m) {
    switch (m) {
    case MainMenu::Experiment:
        return QStringLiteral("&Experiment");
    case MainMenu::View:
        return QStringLiteral("&View");
    case MainMenu::ViewToolbars:
        return QStringLiteral("&Toolbars");
    case MainMenu::System:
        return QStringLiteral("&System");
    case MainMenu::TestKeys:
        return QStringLiteral("Test &Keys");
    case MainMenu::Setup:
        return QStringLiteral("Set&up");
    case MainMenu::Window:
        return QStringLiteral("&Window");
    case MainMenu::Help:
        return QStringLiteral("&Help");
    case MainMenu::None:
        break;
    }
    return {};
}

QString ToolbarCaption(MainToolbar t) {
    switch (t) {
    case MainToolbar::Main:
        return QStringLiteral("Main");
    case MainToolbar::Graph:
        return QStringLiteral("Graph");
    case MainToolbar::Protocol:
        return QStringLiteral("Protocol");
    case MainToolbar::Window:
        return QStringLiteral("Window");
    case MainToolbar::Control:
        return QStringLiteral("Control");
    case MainToolbar::None:
        break;
    }
    return {};
}

QString ToolbarName(MainToolbar t) { return QStringLiteral("tb") + ToolbarCaption(t); }

bool CommandEnabled(const QString &id, const TCommandInputs &in) {
    // The Control toolbar's buttons have states of their own during a run.
    if (id == QLatin1String("btnStart") || id == QLatin1String("btnAbort"))
        return !in.RunOff;
    const MainCommand *c = FindMainCommand(id);
    if (!c || in.Suppressed || in.RunOff)
        return false;
    if (c->documentControl && !in.AnyExperiment)
        return false;
    for (const char *a : kNeedActive)
        if (id == QLatin1String(a))
            return in.ActiveExperiment;
    return true;
}

} // namespace tessel
