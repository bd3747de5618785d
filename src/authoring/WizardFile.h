#pragma once

#include "common/Errors.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace tessel {

// Errors of a wizard file; messages begin "Wizard error: ".
class EWizardFileError : public ETesselError {
public:
    using ETesselError::ETesselError;
};

enum class TWizardVarType { None = 0, Real = 1, Int = 2, Bool = 3 };
enum class TTriggerAction { None = 0, Set = 1, Error = 2 };

struct TWizardTrigger {
    QString Condition = QStringLiteral("1");
    TTriggerAction Action = TTriggerAction::None;
    QString Target;     // set: the variable changed, blanks trimmed
    QString Expression; // set: the value assigned
    QString Message;    // error: the text shown
};

struct TWizardVariable {
    TWizardVarType Type = TWizardVarType::None;
    QString Name;
    QString Caption;
    int XPosition = -1;
    int YPosition = -1;
    double Value = 0;
    double Minimum = -2147483647.0;
    double Maximum = 2147483647.0;
    bool ReadOnly = false;
    bool NoDisplay = false;
    QObject *Control = nullptr; // the dialog's input field; not owned
    std::vector<TWizardTrigger> Triggers;
};

struct TWizardGroup {
    QString Caption;
    int Column = 0;
    int YPosition = -1;
    std::vector<TWizardVariable> Variables;
    QObject *Frame = nullptr; // the dialog's group box; not owned
};

// What a trigger pass reads and writes: the dialog's input field of each
// displayed variable. The dialog implements it on its controls; the
// command-line tool on plain values (TWizardFieldValues).
class IWizardFields {
public:
    virtual ~IWizardFields() = default;
    // The field's value as the dialog reads it (within the limits, int whole,
    // bool 1 or 0).
    virtual double FieldValue(const TWizardVariable &var) const = 0;
    // What a set action does to the field: real takes the value, int the
    // value rounded, bool is checked when the value is non-zero.
    virtual void SetFieldValue(const TWizardVariable &var, double value) = 0;
};

// The wizard's dialog as Execute drives it: its fields, shown modally.
class IWizardDialog : public IWizardFields {
public:
    // Shows the dialog until the user closes it; true for OK.
    virtual bool ShowModal() = 0;
};

// How the dialog's numeric fields keep a value: within [minimum, maximum],
// int fields whole (ties to even) within the rounded limits, bool 1 or 0.
double LimitToField(const TWizardVariable &var, double value);
// The value a field shows when filled from the stored value: bool is checked
// only when the value is exactly 1.
double FieldFromStored(const TWizardVariable &var);

// A wizard file: the dialog's groups and variables and a protocol template
// with %name% references and %if/%else/%endif directives.
class TWizardFile {
public:
    explicit TWizardFile(const QString &fileName);

    // Reads and checks the file; EWizardFileError for its content,
    // ETesselError when it cannot be read. Discards a dialog already built.
    void Load();
    // The same for text already in memory (tests, fuzzing).
    void LoadLines(const QStringList &lines);

    TWizardVariable *FindVariable(const QString &name);
    const TWizardVariable *FindVariable(const QString &name) const;

    // Produces OutputLines from the template and the current values;
    // EWizardFileError or an evaluator error.
    void Expand();

    // One trigger pass over all triggers of all variables, every condition
    // and expression seeing the values at the start of the pass. Error
    // actions raise EWizardFileError only while armed.
    void TriggerPass(IWizardFields &fields);
    // The dialog's OK check: armed trigger passes, one per displayed variable
    // with triggers, each failure collected; then every displayed variable
    // takes its field's value. Returns the messages (empty when valid).
    QStringList CheckAndStore(IWizardFields &fields);

    // Shows the dialog filled from the stored values until the user cancels
    // or accepts values that pass the OK check (each failure shown in an
    // error box, then the dialog again). True when accepted: the variables
    // hold the accepted values. After Cancel they are unchanged.
    // EWizardFileError without a dialog; errors of the passes run before the
    // dialog is shown propagate.
    bool Execute();

    const QString &FileName() const { return m_fileName; }
    const QStringList &FileLines() const { return m_fileLines; }
    const std::vector<TWizardGroup> &Groups() const { return m_groups; }
    std::vector<TWizardGroup> &Groups() { return m_groups; }
    const QStringList &TemplateLines() const { return m_templateLines; }
    const QStringList &OutputLines() const { return m_outputLines; }
    const QString &Title() const { return m_title; }

    bool ErrorActionsArmed = false;

    // The dialog built from the groups (by the window library); owned.
    IWizardDialog *Dialog() const { return m_dialog.get(); }
    void SetDialog(std::unique_ptr<IWizardDialog> dialog) { m_dialog = std::move(dialog); }

private:
    QString m_fileName;
    QStringList m_fileLines;
    std::vector<TWizardGroup> m_groups;
    QStringList m_templateLines;
    QStringList m_outputLines;
    QString m_title;
    std::unique_ptr<IWizardDialog> m_dialog;
};

// Field values without a dialog, for the command-line tool and tests: filled
// from the stored values, limited as the dialog's fields are. Refers to the
// wizard's variables: valid until the wizard is loaded again.
class TWizardFieldValues : public IWizardFields {
public:
    explicit TWizardFieldValues(const TWizardFile &wizard);
    double FieldValue(const TWizardVariable &var) const override;
    // Also what the user's typing does: the field limits the value.
    void SetFieldValue(const TWizardVariable &var, double value) override;

private:
    std::vector<std::pair<const TWizardVariable *, double>> m_values;
};

// Number text of a variable in generated protocols, always with ".":
// real as the shortest general form with up to 15 significant digits
// ("0.5", "120", "1E-7"), int and bool as the rounded whole number.
QString WizardValueText(TWizardVarType type, double value);

} // namespace tessel
