#pragma once

#include "device/DeviceTypes.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace tessel {

class TCompiler;
struct TEnvSetup;

// Folder of a device type's include files below base ("ModelG_0101/"), or base
// itself when that folder does not exist. Shared with tessel-cli compile.
QString DeviceIncludeDir(const QString &base, TDevice d);

// A text range in characters.
struct TTextRange {
    int32_t start = 0;
    int32_t length = 0;
};

// Range of line `line` (from 1) of text without its line break; empty at the
// end of the text when the line does not exist.
TTextRange LineRange(const QString &text, int32_t line);

// "%3d: %3d" of the caret at character index pos of text.
QString CaretText(const QString &text, int32_t pos);

enum class TFindMode { Find, Replace, ReplaceAll };

// One search of the find or replace dialog; start is kept between searches.
struct TFindRequest {
    QString search, replacement;
    bool wholeWord = false, matchCase = false;
    TFindMode mode = TFindMode::Find;
};

struct TFindState {
    int32_t start = 0;
};

// Searches text from state.start; replaces when asked. Returns the selection
// (the match, or the replacement) of the last hit, or nothing when no match
// was found (the user is told and the next search starts at 0). Returns
// whether anything was found; text changes only on replacement.
bool FindInText(QString &text, const TFindRequest &req, TFindState &state, TTextRange &selection);

// The protocol a measurement was built from, as the last check left it.
struct TProtocolSnapshot {
    QStringList Text;
    std::vector<std::pair<QString, QString>> Variables;
};

// Document state of an experiment's protocol editor: the current text, the
// description face, the results of the last syntax check and the flags the
// measurement run reads. Windows show it; the logic lives here.
class TProtocolDoc {
public:
    // includeBase: the program's folder followed by the configured include folder.
    TProtocolDoc(TCompiler &compiler, TEnvSetup &env, QString includeBase, TDevice device);

    QString Title, Description;
    QString Text;             // the current protocol
    QStringList CompiledText; // the lines at the start of the last check
    QStringList Log;          // messages of the last check
    std::vector<std::pair<QString, QString>> Variables{{QString(), QString()}};
    bool Modified = true, CheckDone = false, ChangedSinceCheck = true;
    TProtocolSnapshot Snapshot() const { return {CompiledText, Variables}; }

    QString IncludeBase;
    // The instrument type whose include folder the next check uses; when
    // CurrentDevice is set, every check asks it first (the type changes
    // with the connected instrument, not with the experiment).
    TDevice Device;
    std::function<TDevice()> CurrentDevice;
    // Result of the last check (kBuildOk when none ran).
    int32_t CheckResult = 0;
    // Called after every check, whoever ran it (menu, toolbar or a Start).
    std::function<void()> OnChecked;

    // Replaces the text as an edit of the user would.
    void SetText(const QString &text);
    // Asks "Clear Current ?" when dialogs are on; on Yes (or without asking)
    // loads "Default.1st". False when the user declined.
    bool ClearCurrent();
    // Loads "Default.1st" without asking (the state at creation).
    void LoadDefault();

    // Include folder the next check hands the compiler.
    QString CheckIncludeDir();
    // Builds the current text; fills Log and Variables and sets the flags.
    // Returns the builder's result; ErrorRange is the offending line after -1.
    int32_t SyntaxCheck();
    TTextRange ErrorRange;

    // Protocol files: plain text lines. Failures are reported to the user.
    static bool LoadFile(const QString &path, QString &text);
    static bool SaveFile(const QString &path, const QString &text);
    // The "Load Protocol" / "Save Protocol" dialogs on the shown text.
    bool OpenDialog(QString &text);
    bool SaveAsDialog(const QString &text);

    // "Checked" or "Errors" while the text is as the last check saw it.
    QString CheckText() const;

    // "Copy to Current": a measurement's text becomes the current one.
    void CopyToCurrent(const QString &sheetText) { SetText(sheetText); }

private:
    TCompiler &m_compiler;
    TEnvSetup &m_env;
};

} // namespace tessel
