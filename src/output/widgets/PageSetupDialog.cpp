#include "output/widgets/PageSetupDialog.h"

#include "common/PrintDialogService.h"

#include <QButtonGroup>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace tessel {

namespace {

QGroupBox *partsGroup(const QString &title, QLineEdit *&left, QLineEdit *&centre, QLineEdit *&right) {
    auto *g = new QGroupBox(title);
    auto *f = new QFormLayout(g);
    left = new QLineEdit;
    centre = new QLineEdit;
    right = new QLineEdit;
    f->addRow(QStringLiteral("Left:"), left);
    f->addRow(QStringLiteral("Center:"), centre);
    f->addRow(QStringLiteral("Right:"), right);
    return g;
}

const char *const kLegend = "&l  left part       &c  centred part     &r  right part\n"
                            "&f  file name       &F  file name with path\n"
                            "&d  short date      &D  long date\n"
                            "&t  short time      &T  long time\n"
                            "&i  title           &p  page number      &&  one &";

} // namespace

TfrmPrintSetup::TfrmPrintSetup(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmPrintSetup"));
    setWindowTitle(QStringLiteral("Page Setup"));
    auto *top = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    top->addLayout(grid);
    grid->addWidget(partsGroup(QStringLiteral("Header"), edHeaderLeft, edHeaderCenter, edHeaderRight), 0, 0);
    grid->addWidget(partsGroup(QStringLiteral("Footer"), edFooterLeft, edFooterCenter, edFooterRight), 0, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    auto *legend = new QLabel(QString::fromLatin1(kLegend));
    QFont mono(QStringLiteral("Courier New"));
    mono.setStyleHint(QFont::TypeWriter);
    legend->setFont(mono);
    grid->addWidget(legend, 1, 0, 1, 2);

    auto *margins = new QGroupBox(QStringLiteral("Margins"));
    auto *mg = new QGridLayout(margins);
    rbInches = new QRadioButton(QStringLiteral("&Inches"));
    rbMillimeters = new QRadioButton(QStringLiteral("&Millimeters"));
    auto *units = new QButtonGroup(this);
    units->addButton(rbInches);
    units->addButton(rbMillimeters);
    mg->addWidget(rbInches, 0, 0);
    mg->addWidget(rbMillimeters, 0, 1);
    const char *names[4] = {"Top:", "Bottom:", "Left:", "Right:"};
    QDoubleSpinBox **fields[4] = {&edTop, &edBottom, &edLeft, &edRight};
    for (int i = 0; i < 4; ++i) {
        auto *e = new QDoubleSpinBox;
        e->setRange(0, kMaxMargin);
        // As wide as inches (two decimals) need, so switching to whole
        // millimetres does not move the boxes.
        e->setDecimals(2);
        e->setMinimumWidth(e->sizeHint().width());
        *fields[i] = e;
        mg->addWidget(new QLabel(QLatin1String(names[i])), 1 + i / 2, (i % 2) * 2);
        mg->addWidget(e, 1 + i / 2, (i % 2) * 2 + 1);
        // Leaving a field rounds it for the unit shown.
        connect(e, &QDoubleSpinBox::editingFinished, this,
                [this, e] { e->setValue(RoundMargin(e->value(), rbInches->isChecked() ? muInches : muMillimeters)); });
    }
    connect(rbInches, &QRadioButton::toggled, this, [this] { unitChanged(); });
    grid->addWidget(margins, 2, 0);

    auto *side = new QVBoxLayout;
    auto *orientation = new QGroupBox(QStringLiteral("Orientation"));
    auto *ol = new QVBoxLayout(orientation);
    rbPortrait = new QRadioButton(QStringLiteral("Portrait"));
    rbLandscape = new QRadioButton(QStringLiteral("Landscape"));
    ol->addWidget(rbPortrait);
    ol->addWidget(rbLandscape);
    side->addWidget(orientation);
    auto *fonts = new QGroupBox(QStringLiteral("Fonts"));
    auto *fl = new QHBoxLayout(fonts);
    btnHeaderFont = new QPushButton(QStringLiteral("Header..."));
    btnFooterFont = new QPushButton(QStringLiteral("Footer..."));
    fl->addWidget(btnHeaderFont);
    fl->addWidget(btnFooterFont);
    side->addWidget(fonts);
    auto *table = new QGroupBox(QStringLiteral("Data table lists"));
    auto *tl = new QVBoxLayout(table);
    rbTableProperties = new QRadioButton(QStringLiteral("Data set &properties"));
    rbTableParameters = new QRadioButton(QStringLiteral("P&arameters (Fv/Fm, PhiPSII, NPQ ...)"));
    tl->addWidget(rbTableProperties);
    tl->addWidget(rbTableParameters);
    side->addWidget(table);
    grid->addLayout(side, 2, 1);

    auto *buttons = new QHBoxLayout;
    btnPrinter = new QPushButton(QStringLiteral("&Printer..."));
    btnOK = new QPushButton(QStringLiteral("OK"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"));
    btnOK->setDefault(true);
    buttons->addWidget(btnPrinter);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    top->addLayout(buttons);

    ChooseFont = [this](const QFont &f, const QString &title) -> std::optional<QFont> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, f, this, title);
        return ok ? std::optional<QFont>(chosen) : std::nullopt;
    };
    connect(btnHeaderFont, &QPushButton::clicked, this, [this] {
        if (auto f = ChooseFont(m_form.HeaderFont, QStringLiteral("Header Font")))
            m_form.HeaderFont = *f;
    });
    connect(btnFooterFont, &QPushButton::clicked, this, [this] {
        if (auto f = ChooseFont(m_form.FooterFont, QStringLiteral("Footer Font")))
            m_form.FooterFont = *f;
    });
    connect(btnPrinter, &QPushButton::clicked, this, [this] {
        if (OnPrinter)
            OnPrinter();
    });
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QDoubleSpinBox *TfrmPrintSetup::margin(int i) const {
    QDoubleSpinBox *const all[4] = {edTop, edBottom, edLeft, edRight};
    return all[i];
}

void TfrmPrintSetup::SetForm(const TPageSetupForm &form) {
    m_filling = true;
    m_form = form;
    edHeaderLeft->setText(form.Header.Left);
    edHeaderCenter->setText(form.Header.Center);
    edHeaderRight->setText(form.Header.Right);
    edFooterLeft->setText(form.Footer.Left);
    edFooterCenter->setText(form.Footer.Center);
    edFooterRight->setText(form.Footer.Right);
    (form.Unit == muInches ? rbInches : rbMillimeters)->setChecked(true);
    (form.Orientation == poLandscape ? rbLandscape : rbPortrait)->setChecked(true);
    (form.DataTable == ptParameters ? rbTableParameters : rbTableProperties)->setChecked(true);
    showMargins();
    m_filling = false;
}

double TfrmPrintSetup::marginValue(int i) const {
    const double given = m_form.Margins[size_t(i)];
    const double scale = std::pow(10.0, margin(i)->decimals());
    const double shown = std::round(std::clamp(given, 0.0, kMaxMargin) * scale) / scale;
    return std::abs(margin(i)->value() - shown) < 0.5 / scale ? given : margin(i)->value();
}

void TfrmPrintSetup::showMargins() {
    for (int i = 0; i < 4; ++i) {
        margin(i)->setDecimals(m_form.Unit == muInches ? 2 : 0);
        margin(i)->setSingleStep(m_form.Unit == muInches ? 0.05 : 1);
        margin(i)->setValue(m_form.Margins[size_t(i)]);
    }
}

void TfrmPrintSetup::unitChanged() {
    if (m_filling)
        return;
    for (int i = 0; i < 4; ++i)
        m_form.Margins[size_t(i)] = marginValue(i);
    SwitchUnit(m_form, rbInches->isChecked() ? muInches : muMillimeters);
    showMargins();
}

TPageSetupForm TfrmPrintSetup::Form() const {
    TPageSetupForm f = m_form;
    f.Header = {edHeaderLeft->text().trimmed(), edHeaderCenter->text().trimmed(), edHeaderRight->text().trimmed()};
    f.Footer = {edFooterLeft->text().trimmed(), edFooterCenter->text().trimmed(), edFooterRight->text().trimmed()};
    f.Unit = rbInches->isChecked() ? muInches : muMillimeters;
    for (int i = 0; i < 4; ++i)
        f.Margins[size_t(i)] = marginValue(i);
    f.Orientation = rbLandscape->isChecked() ? poLandscape : poPortrait;
    f.DataTable = rbTableParameters->isChecked() ? ptParameters : ptProperties;
    return f;
}

bool TPageSetupDlg::Execute(TPagePrinter &prn, QPrinter *printer, QWidget *parent) {
    TfrmPrintSetup dlg(parent);
    dlg.SetForm(PageSetupFormOf(prn));
    dlg.OnPrinter = [printer] {
        if (printer)
            PrintDialogs().printerSetup(*printer);
    };
    if (dlg.exec() != QDialog::Accepted)
        return false;
    ApplyPageSetupForm(dlg.Form(), prn);
    return true;
}

} // namespace tessel
