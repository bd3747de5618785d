#pragma once

#include "output/DataExport.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

namespace tessel {

// Asks which data sets and which time range of one experiment to export, in
// which format (text, CSV with its delimiter and decimal separator, JSON),
// and writes the file. The choices stay for the next use within the run.
class TfrmExport : public QDialog {
    Q_OBJECT
public:
    explicit TfrmExport(QWidget *parent = nullptr);

    // Shows the dialog modally for an experiment whose window has the given
    // caption; fileName is its file container's name, rangeMin/rangeMax the
    // graph's current x range, cursors the x values of the graph's two
    // cursors when both are placed ("Data Between Cursors Only" needs them).
    int Show(const TExperimentModel &model, const QString &fileName, const QString &windowCaption, double rangeMin,
             double rangeMax, std::optional<std::pair<double, double>> cursors = {});

    // What Show does before it runs the dialog.
    void SetExperiment(const TExperimentModel &model, const QString &fileName, const QString &windowCaption,
                       double rangeMin, double rangeMax, std::optional<std::pair<double, double>> cursors = {});
    TExportOptions Options() const;
    TExportFormat Format() const;
    TCsvStyle CsvStyle() const;

    QRadioButton *rbAllSets, *rbVisibleSets;
    QRadioButton *rbAllData, *rbGraphData, *rbCursorData;
    QCheckBox *cbHeader;
    QComboBox *cbFormat, *cbDelimiter, *cbDecimal;
    QPushButton *btnExport, *btnCancel, *btnHelp;

    // Asks for the file and writes it; true when a file was written.
    bool btnExportClick();

private:
    void setOptions(const TExportOptions &o);
    void remember() const;
    void formatChanged();

    const TExperimentModel *m_model = nullptr;
    QString m_fileName;
    double m_rangeMin = 0, m_rangeMax = 0;
    std::optional<std::pair<double, double>> m_cursors;
};

} // namespace tessel
