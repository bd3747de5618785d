#include "output/widgets/ExportDialog.h"

#include "common/FileDialogService.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tessel {
namespace {
// Kept between uses of the dialog within one run, never stored.
TExportOptions g_lastOptions;
} // namespace

TfrmExport::TfrmExport(QWidget *parent) : QDialog(parent) {
    auto *sets = new QGroupBox(QStringLiteral("Which Data Sets"), this);
    rbAllSets = new QRadioButton(ExportSetsText(TExportSets::All), sets);
    rbVisibleSets = new QRadioButton(ExportSetsText(TExportSets::Visible), sets);
    auto *setsLayout = new QVBoxLayout(sets);
    setsLayout->addWidget(rbAllSets);
    setsLayout->addWidget(rbVisibleSets);

    auto *data = new QGroupBox(QStringLiteral("Which Data"), this);
    rbAllData = new QRadioButton(ExportRangeText(TExportRange::All), data);
    rbGraphData = new QRadioButton(ExportRangeText(TExportRange::GraphVisible), data);
    rbCursorData = new QRadioButton(ExportRangeText(TExportRange::BetweenCursors), data);
    auto *dataLayout = new QVBoxLayout(data);
    dataLayout->addWidget(rbAllData);
    dataLayout->addWidget(rbGraphData);
    dataLayout->addWidget(rbCursorData);

    cbHeader = new QCheckBox(QStringLiteral("Include Header"), this);
    btnExport = new QPushButton(QStringLiteral("&Export"), this);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnHelp = new QPushButton(QStringLiteral("Help"), this);
    btnExport->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnExport);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnHelp);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(sets);
    layout->addWidget(data);
    layout->addWidget(cbHeader);
    layout->addLayout(buttons);

    connect(btnExport, &QPushButton::clicked, this, [this] {
        if (btnExportClick())
            accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    setOptions(g_lastOptions);
}

void TfrmExport::setOptions(const TExportOptions &o) {
    (o.Sets == TExportSets::All ? rbAllSets : rbVisibleSets)->setChecked(true);
    (o.Range == TExportRange::All ? rbAllData : o.Range == TExportRange::GraphVisible ? rbGraphData : rbCursorData)
        ->setChecked(true);
    cbHeader->setChecked(o.IncludeHeader);
}

TExportOptions TfrmExport::Options() const {
    TExportOptions o;
    o.Sets = rbVisibleSets->isChecked() ? TExportSets::Visible : TExportSets::All;
    o.Range = rbGraphData->isChecked()    ? TExportRange::GraphVisible
              : rbCursorData->isChecked() ? TExportRange::BetweenCursors
                                          : TExportRange::All;
    o.IncludeHeader = cbHeader->isChecked();
    return o;
}

void TfrmExport::SetExperiment(const TExperimentModel &model, const QString &fileName,
                               const QString &windowCaption, double rangeMin, double rangeMax,
                               std::optional<std::pair<double, double>> cursors) {
    m_model = &model;
    m_fileName = fileName;
    m_rangeMin = rangeMin;
    m_rangeMax = rangeMax;
    m_cursors = cursors;
    setWindowTitle(QStringLiteral("Data Export - ") + windowCaption);
    setOptions(g_lastOptions);
    // Without both cursors on the graph there is nothing between them.
    rbCursorData->setEnabled(m_cursors.has_value());
    rbCursorData->setToolTip(m_cursors ? QStringLiteral("From the left-most to the right-most cursor")
                                       : QStringLiteral("Place both cursors on the graph first"));
    if (!m_cursors && rbCursorData->isChecked())
        rbAllData->setChecked(true);
}

int TfrmExport::Show(const TExperimentModel &model, const QString &fileName, const QString &windowCaption,
                     double rangeMin, double rangeMax, std::optional<std::pair<double, double>> cursors) {
    SetExperiment(model, fileName, windowCaption, rangeMin, rangeMax, cursors);
    const int rc = exec();
    g_lastOptions = Options();
    m_model = nullptr;
    return rc;
}

bool TfrmExport::btnExportClick() {
    g_lastOptions = Options();
    if (!m_model)
        return false;
    const QString path = FileDialogs().getSaveFileName(QStringLiteral("Export"), QString(),
                                                       QStringLiteral("Text File|*.txt"), QStringLiteral("txt"));
    if (path.isEmpty())
        return false;
    TAsciiExport exp(*m_model, m_fileName);
    exp.Options = Options();
    exp.RangeMin = m_rangeMin;
    exp.RangeMax = m_rangeMax;
    exp.Cursors = m_cursors;
    return exp.WriteFile(path);
}

} // namespace tessel
