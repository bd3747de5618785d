#pragma once

#include "output/PageSetupForm.h"

#include <QDialog>
#include <functional>
#include <optional>

class QDoubleSpinBox;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace tessel {

// "Page Setup": the header's and footer's left, centre and right parts, their
// fonts, the margins with their unit, the orientation and what the data
// table of the experiment printout lists.
class TfrmPrintSetup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPrintSetup(QWidget *parent = nullptr);

    void SetForm(const TPageSetupForm &form);
    TPageSetupForm Form() const;

    QLineEdit *edHeaderLeft, *edHeaderCenter, *edHeaderRight;
    QLineEdit *edFooterLeft, *edFooterCenter, *edFooterRight;
    QPushButton *btnHeaderFont, *btnFooterFont;
    QRadioButton *rbInches, *rbMillimeters;
    QDoubleSpinBox *edTop, *edBottom, *edLeft, *edRight;
    QRadioButton *rbPortrait, *rbLandscape;
    QRadioButton *rbTableProperties, *rbTableParameters; // what the printout's data table lists
    QPushButton *btnOK, *btnCancel, *btnPrinter;

    // The font dialog (font, title); none when cancelled. Tests replace it.
    std::function<std::optional<QFont>(const QFont &, const QString &)> ChooseFont;
    // "&Printer...": the platform's printer setup.
    std::function<void()> OnPrinter;

private:
    void unitChanged();
    void showMargins();
    QDoubleSpinBox *margin(int i) const;
    // The margin as set, unless the field now shows another value than it
    // was given: the field's own rounding is no edit.
    double marginValue(int i) const;

    TPageSetupForm m_form;
    bool m_filling = false;
};

// Runs the dialog on a page printer: OK applies it, Cancel leaves the
// printer as it was. The "&Printer..." button sets up printer.
class TPageSetupDlg {
public:
    static bool Execute(TPagePrinter &prn, QPrinter *printer, QWidget *parent = nullptr);
};

} // namespace tessel
