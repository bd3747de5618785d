#include "output/widgets/ExportDialog.h"

#include "common/FileDialogService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tessel {
namespace {
// Kept between uses of the dialog within one run, never stored.
TExportOptions g_lastOptions;
int g_lastFormat = 0, g_lastDelimiter = 0, g_lastDecimal = 0;

// Combo box rows, in order.
constexpr TExportFormat kFormats[] = {TExportFormat::Text, TExportFormat::Csv, TExportFormat::Json,
                                      TExportFormat::Long};
constexpr char16_t kDelimiters[] = {u',', u';', u'\t'};
constexpr char16_t kDecimals[] = {u'.', u','};
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

    auto *format = new QGroupBox(QStringLiteral("Format"), this);
    cbFormat = new QComboBox(format);
    cbFormat->addItems({QStringLiteral("Text (tab-separated)"), QStringLiteral("CSV"), QStringLiteral("JSON"),
                        QStringLiteral("CSV, one row per sample")});
    cbDelimiter = new QComboBox(format);
    cbDelimiter->addItems({QStringLiteral("Comma"), QStringLiteral("Semicolon"), QStringLiteral("Tab")});
    cbDecimal = new QComboBox(format);
    cbDecimal->addItems({QStringLiteral("Point"), QStringLiteral("Comma")});
    auto *formatLayout = new QFormLayout(format);
    formatLayout->addRow(QStringLiteral("File &type:"), cbFormat);
    formatLayout->addRow(QStringLiteral("&Delimiter:"), cbDelimiter);
    formatLayout->addRow(QStringLiteral("Decimal &separator:"), cbDecimal);
    connect(cbFormat, &QComboBox::currentIndexChanged, this, [this] { formatChanged(); });
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
    layout->addWidget(format);
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
    (o.Range == TExportRange::All            ? rbAllData
     : o.Range == TExportRange::GraphVisible ? rbGraphData
                                             : rbCursorData)
        ->setChecked(true);
    cbHeader->setChecked(o.IncludeHeader);
    cbFormat->setCurrentIndex(g_lastFormat);
    cbDelimiter->setCurrentIndex(g_lastDelimiter);
    cbDecimal->setCurrentIndex(g_lastDecimal);
    formatChanged();
}

void TfrmExport::formatChanged() {
    // The header belongs to the text file; CSV alone has the two choices.
    const TExportFormat f = Format();
    cbHeader->setEnabled(f == TExportFormat::Text);
    cbDelimiter->setEnabled(f == TExportFormat::Csv);
    cbDecimal->setEnabled(f == TExportFormat::Csv);
}

void TfrmExport::remember() const {
    g_lastOptions = Options();
    g_lastFormat = cbFormat->currentIndex();
    g_lastDelimiter = cbDelimiter->currentIndex();
    g_lastDecimal = cbDecimal->currentIndex();
}

TExportFormat TfrmExport::Format() const { return kFormats[std::max(0, cbFormat->currentIndex())]; }

TCsvStyle TfrmExport::CsvStyle() const {
    return {QChar(kDelimiters[std::max(0, cbDelimiter->currentIndex())]),
            QChar(kDecimals[std::max(0, cbDecimal->currentIndex())])};
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

void TfrmExport::SetExperiment(const TExperimentModel &model, const QString &fileName, const QString &windowCaption,
                               double rangeMin, double rangeMax, std::optional<std::pair<double, double>> cursors) {
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
    remember();
    m_model = nullptr;
    return rc;
}

bool TfrmExport::btnExportClick() {
    remember();
    if (!m_model)
        return false;
    static const QString filters[] = {QStringLiteral("Text File|*.txt"), QStringLiteral("CSV File|*.csv"),
                                      QStringLiteral("JSON File|*.json"), QStringLiteral("CSV File|*.csv")};
    static const QString extensions[] = {QStringLiteral("txt"), QStringLiteral("csv"), QStringLiteral("json"),
                                         QStringLiteral("csv")};
    const int f = int(Format());
    const QString path = FileDialogs().getSaveFileName(QStringLiteral("Export"), QString(), filters[f], extensions[f]);
    if (path.isEmpty())
        return false;
    const std::unique_ptr<TDataExport> exp = MakeExport(Format(), *m_model, m_fileName, CsvStyle());
    exp->Options = Options();
    exp->RangeMin = m_rangeMin;
    exp->RangeMax = m_rangeMax;
    exp->Cursors = m_cursors;
    return exp->WriteFile(path);
}

} // namespace tessel
