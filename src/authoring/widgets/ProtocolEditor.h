#pragma once

#include "authoring/ProtocolDoc.h"

#include <QMainWindow>
#include <functional>
#include <vector>

class QAction;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;
class QStackedWidget;
class QTextEdit;

namespace tessel {

// What a measurement sheet shows: the protocol and variables it ran with.
struct TSheetContent {
    QString caption;
    QString text;
    std::vector<std::pair<QString, QString>> variables;
    // Who the sheet belongs to (its measurement): the shown sheet stays shown
    // across a rebuild by this, not by its place.
    const void *key = nullptr;
};

// The protocol face of an experiment's protocol editor: the current text with
// the variables of the last check, read-only measurement sheets, the check's
// messages below and the Edit and Protocol menus. State lives in TProtocolDoc.
class TfrmProtocol : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmProtocol(TProtocolDoc &doc, QWidget *parent = nullptr);

    void SetExperimentName(const QString &name);
    // Adds a read-only sheet after "Current" with the last checked text and variables.
    void AddMeasurementSheet(const QString &caption);
    // Replaces every measurement sheet, newest first (sheet i is measurement
    // record i); the page shown stays when it still exists.
    void SetMeasurementSheets(const std::vector<TSheetContent> &sheets);
    int SheetCount() const;
    QString SheetCaption(int index) const;
    void SetSheetCaption(int index, const QString &caption);
    QString SheetText(int index) const;

    // The two faces: the protocol, and the title with the description.
    void ShowProtocolFace();
    void ShowDescriptionFace();
    bool DescriptionShown() const;
    // Title and description show the document's again.
    void ReloadDescription();
    // The title was edited (the experiment's graph takes it as caption).
    std::function<void(const QString &)> OnTitleChanged;
    std::function<void()> OnDescriptionChanged;
    // A syntax check ran (the signals view shows its build).
    std::function<void()> OnChecked;
    // Shows the document's text again after it was changed from outside.
    void ReloadText();
    // The status panels and the commands' states show the document's flags
    // again (after the experiment was saved, for example).
    void RefreshState();

    QPlainTextEdit *memCurrent = nullptr;
    QTableWidget *grdVars = nullptr;
    QTabWidget *pgProtocol = nullptr;
    QListWidget *lbResults = nullptr;
    QStackedWidget *Faces = nullptr;
    QLineEdit *edTitle = nullptr;
    QTextEdit *memDescription = nullptr;
    // Status panels: caret, "Modified", the last check ("Checked"/"Errors").
    QLabel *pnlCaret = nullptr, *pnlModified = nullptr, *pnlCheck = nullptr;
    QAction *mniUndo, *mniCut, *mniCopy, *mniPaste, *mniDelete, *mniSelectAll, *mniFind, *mniReplace, *mniCopyToCurrent,
        *mniClear, *mniFont, *mniOpen, *mniSaveAs, *mniCheck, *mniPrint;

    void mniCheckClick();
    void mniFontClick();
    void mniClearClick();
    void mniOpenClick();
    void mniSaveAsClick();
    void mniCopyToCurrentClick();
    // Print dialog; on OK the current text goes out as a plain document, job "Protocol:".
    void mniPrintClick();
    // One routine for the find and the replace dialog, on the text shown;
    // a measurement sheet is searched but never changed.
    void FindReplace(TFindMode mode);
    QLineEdit *edFind = nullptr, *edReplace = nullptr;
    QCheckBox *cbWholeWord = nullptr, *cbMatchCase = nullptr;

private:
    QPlainTextEdit *shownText() const;
    // Runs an editing command on the shown text unless it is read-only.
    void editShown(const std::function<void(QPlainTextEdit *)> &edit);
    void showCheck();
    void showDialog(bool replace);
    void updateStatus();
    void fillVars(QTableWidget *grid, const std::vector<std::pair<QString, QString>> &rows);
    void updateCaption();
    void insertSheet(int pos, const QString &caption, const QString &text,
                     const std::vector<std::pair<QString, QString>> &vars);

    TProtocolDoc &m_doc;
    TFindState m_findState;
    QPlainTextEdit *m_findTarget = nullptr; // the text m_findState belongs to
    QDialog *m_findDialog = nullptr;
    QWidget *m_replaceRow = nullptr, *m_btnReplace = nullptr, *m_btnReplaceAll = nullptr;
    bool m_loading = false;
    QString m_name;
};

} // namespace tessel
