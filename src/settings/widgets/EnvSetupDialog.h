#pragma once

#include "settings/EnvSetup.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace tessel {

constexpr int kEnvPrintColumns = 15;

// What the dialog edits besides the environment options.
struct TEnvSetupTargets {
    std::array<bool, 17> *printColumns = nullptr; // flags 0..14 have check boxes
    int32_t *thickness = nullptr;
    // Writes the print columns and the thickness to Tessel.ini; may raise ETesselError.
    std::function<void()> saveIni;
};

// "Environment Options": edits TEnvSetup, the print columns and the data set
// thickness. OK copies every control back and writes Tessel.ini; Cancel
// changes nothing.
class TEnvSetupDialog : public QDialog {
    Q_OBJECT
public:
    TEnvSetupDialog(TEnvSetup &env, TEnvSetupTargets targets, QWidget *parent = nullptr);

    // Fills the controls from the current values and shows the dialog modally.
    int Execute();
    // Copies the controls back and writes the ini file (the OK button).
    void Apply();
    void LoadControls();

    QCheckBox *cbAutoScale, *cbCreateExp, *cbShowDialogs, *cbShowWizard, *cbPrintNotes, *cbPrintData, *cbExcludeCh,
        *cbAutoReconnect;
    std::array<QRadioButton *, 4> rbReorder{};
    std::array<QCheckBox *, kEnvPrintColumns> cbColumns{};
    QSpinBox *edThickness;
    QLineEdit *edBootFile;

    static const std::array<const char *, kEnvPrintColumns> &ColumnCaptions();

private:
    void browseBootFile();
    TEnvSetup &m_env;
    TEnvSetupTargets m_targets;
};

} // namespace tessel
