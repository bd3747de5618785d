#pragma once

#include "authoring/WizardFile.h"
#include "authoring/WizardLayout.h"

#include <QDialog>
#include <QLineEdit>

class QPushButton;

namespace tessel {

// Numeric input field of a real or int variable: its value stays within the
// variable's limits (int fields whole, ties to even) whenever it is read or
// set; text that is no number gives back the last value.
class TWizardNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    TWizardNumberEdit(const TWizardVariable &var, QWidget *parent = nullptr);

    // The typed value within the limits; a replaced value shows in the field.
    double Value();
    void SetValue(double value);

signals:
    // The user entered, left or clicked the field. Focus that comes and goes
    // with the window's activation (a message box) does not count.
    void Touched();

protected:
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;

private:
    const TWizardVariable &m_var;
    double m_value = 0;
};

// The dialog a wizard file describes: one frame per group, a label and a
// numeric field per real or int variable, a check box per bool variable,
// placed by LayoutWizardDialog. Controls of variables with triggers run the
// wizard's trigger pass; errors of those passes are shown and the dialog
// stays open.
class TWizardDialog : public QDialog, public IWizardDialog {
    Q_OBJECT
public:
    explicit TWizardDialog(TWizardFile &wizard, QWidget *parent = nullptr);

    double FieldValue(const TWizardVariable &var) const override;
    void SetFieldValue(const TWizardVariable &var, double value) override;
    // Centred on the screen, modal.
    bool ShowModal() override;

    const TWizardLayout &Layout() const { return m_layout; }
    // The trigger pass bound to the controls; ignores other senders.
    void TriggerPassFrom(QObject *sender);

    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;

private:
    TWizardFile &m_wizard;
    TWizardLayout m_layout;
    bool m_inPass = false;
};

// Builds the wizard's dialog and hands it to the wizard, which owns it.
void BuildWizardDialog(TWizardFile &wizard);

} // namespace tessel
