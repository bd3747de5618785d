#include "settings/widgets/EnvSetupDialog.h"

#include "common/Errors.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "settings/widgets/WindowGeometry.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace tessel {

const std::array<const char *, kEnvPrintColumns> &TEnvSetupDialog::ColumnCaptions() {
    static const std::array<const char *, kEnvPrintColumns> c = {
        "Index Number", "Show",  "Caption", "Style",   "Mark", "Mark Size",      "Line Style", "Thickness",
        "Color",        "Brush", "Points",  "Y Shift", "Time", "Multiplication", "Device"};
    return c;
}

TEnvSetupDialog::TEnvSetupDialog(TEnvSetup &env, TEnvSetupTargets targets, QWidget *parent)
    : QDialog(parent), m_env(env), m_targets(std::move(targets)) {
    setObjectName(QStringLiteral("EnvSetup"));
    setWindowTitle(QStringLiteral("Environment Options"));

    auto *options = new QGroupBox(QStringLiteral("Options"));
    auto *ol = new QVBoxLayout(options);
    auto box = [&](const char *caption) {
        auto *c = new QCheckBox(QString::fromLatin1(caption));
        ol->addWidget(c);
        return c;
    };
    cbAutoScale = box("Auto scale after measurement");
    cbCreateExp = box("Create blank experiment on startup");
    cbShowDialogs = box("Confirm actions");
    cbShowWizard = box("Show wizard on startup");
    cbPrintNotes = box("Print Notes");
    cbPrintData = box("Print Data");
    cbExcludeCh = box("Exclude sets without data");
    cbAutoReconnect = box("Auto reconnect control unit");
    ol->addStretch();

    auto *order = new QGroupBox(QStringLiteral("Ordering windows at startup"));
    auto *rl = new QVBoxLayout(order);
    const char *orders[] = {"None", "Tile", "Cascade", "Minimize"};
    for (int i = 0; i < 4; ++i) {
        rbReorder[i] = new QRadioButton(QString::fromLatin1(orders[i]));
        rl->addWidget(rbReorder[i]);
    }

    auto *data = new QGroupBox(QStringLiteral("Data"));
    auto *dl = new QGridLayout(data);
    for (int i = 0; i < kEnvPrintColumns; ++i) {
        cbColumns[i] = new QCheckBox(QString::fromLatin1(ColumnCaptions()[i]));
        dl->addWidget(cbColumns[i], i % 8, i / 8);
    }

    edThickness = new QSpinBox;
    edThickness->setRange(1, 20);
    edBootFile = new QLineEdit;
    auto *browse = new QToolButton;
    browse->setText(QStringLiteral("..."));
    connect(browse, &QToolButton::clicked, this, &TEnvSetupDialog::browseBootFile);

    auto *fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Thickness")), 0, 0);
    // A line width of one or two digits needs no more room than that.
    auto *thickness = new QHBoxLayout;
    thickness->addWidget(edThickness);
    thickness->addStretch(1);
    fields->addLayout(thickness, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Boot File:")), 1, 0);
    auto *boot = new QHBoxLayout;
    boot->addWidget(edBootFile);
    boot->addWidget(browse);
    fields->addLayout(boot, 1, 1);

    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    QPushButton *help = buttons->addButton(QStringLiteral("&Help"), QDialogButtonBox::HelpRole);
    help->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        Apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *left = new QVBoxLayout;
    left->addWidget(options);
    left->addWidget(order);
    auto *top = new QHBoxLayout;
    top->addLayout(left);
    top->addWidget(data);
    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addLayout(fields);
    main->addWidget(buttons);
}

void TEnvSetupDialog::LoadControls() {
    cbAutoScale->setChecked(m_env.AutoScaleAfterStop);
    cbCreateExp->setChecked(m_env.CreateExp);
    cbShowDialogs->setChecked(m_env.ShowDialogs);
    cbShowWizard->setChecked(m_env.ShowWizard);
    cbPrintNotes->setChecked(m_env.PrintNotes);
    cbPrintData->setChecked(m_env.PrintData);
    cbExcludeCh->setChecked(m_env.ExcludeCh);
    cbAutoReconnect->setChecked(m_env.AutoReconnect);
    rbReorder[qBound(0, m_env.ReorderOnNew, 3)]->setChecked(true);
    for (int i = 0; i < kEnvPrintColumns; ++i)
        cbColumns[i]->setChecked(m_targets.printColumns ? (*m_targets.printColumns)[i] : true);
    edThickness->setValue(m_targets.thickness ? *m_targets.thickness : 1);
    edBootFile->setText(m_env.BootFile);
}

int TEnvSetupDialog::Execute() {
    LoadControls();
    TPFormSettings pos(objectName(), TPFormSettings::Values::Position);
    pos.Restore();
    ApplyWindow(this, pos.Window(), false);
    const int result = exec();
    pos.SetWindow(CaptureWindow(this, false));
    pos.Save();
    return result;
}

void TEnvSetupDialog::Apply() {
    m_env.AutoScaleAfterStop = cbAutoScale->isChecked();
    m_env.CreateExp = cbCreateExp->isChecked();
    m_env.ShowDialogs = cbShowDialogs->isChecked();
    m_env.ShowWizard = cbShowWizard->isChecked();
    m_env.PrintNotes = cbPrintNotes->isChecked();
    m_env.PrintData = cbPrintData->isChecked();
    m_env.ExcludeCh = cbExcludeCh->isChecked();
    m_env.AutoReconnect = cbAutoReconnect->isChecked();
    m_env.BootFile = edBootFile->text();
    for (int i = 0; i < 4; ++i)
        if (rbReorder[i]->isChecked())
            m_env.ReorderOnNew = i;
    if (m_targets.printColumns)
        for (int i = 0; i < kEnvPrintColumns; ++i)
            (*m_targets.printColumns)[i] = cbColumns[i]->isChecked();
    if (m_targets.thickness)
        *m_targets.thickness = edThickness->value();
    if (!m_targets.saveIni)
        return;
    // The values above stay applied for this run even when the file refuses the write.
    try {
        m_targets.saveIni();
    } catch (const ETesselError &e) {
        Messages().error(e.message());
    }
}

void TEnvSetupDialog::browseBootFile() {
    const QString f = FileDialogs().getOpenFileName(QStringLiteral("Boot File"), StartDir(m_env),
                                                    QStringLiteral("Binary Files|*.bin|All Files|*.*"));
    if (!f.isEmpty())
        edBootFile->setText(f);
}

} // namespace tessel
