#pragma once

#include "data/Dependency.h"
#include "data/Vector.h"
#include "data/analysis/LightCurveFit.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QTableWidget;

namespace tessel {

class TExperimentModel;
class TXYGraph;

// The parameters section of the experiment window's data page: the table of
// every measurement's fluorescence parameters and, for a light curve, ETR
// against PAR. Recomputed when shown after the experiment changed.
class TParametersView : public QWidget {
    Q_OBJECT
public:
    // iniPath and includeBase as the analysis needs them (TMeasurementAnalyser).
    TParametersView(const TExperimentModel &model, QString iniPath, QString includeBase, QWidget *parent = nullptr);
    ~TParametersView() override;

    QTableWidget *Table = nullptr;
    TXYGraph *EtrGraph = nullptr;
    // The light-curve model the fit uses; the choice is remembered in the
    // settings store ("AppSettings", "LightCurveModel") and overrides Tessel.ini.
    QComboBox *FitModel = nullptr;

    // The model chosen in FitModel, for the printout's parameters.
    std::optional<TLightCurveModel> ChosenModel() const;

    // The measurements changed: recompute now when visible, else when shown.
    void Invalidate();
    void Refresh();

protected:
    void showEvent(QShowEvent *e) override;

private:
    struct TCurve {
        TDoubleVector X, Y;
        TDependency Set{&X, &Y};
    };
    const TExperimentModel &m_model;
    QString m_ini, m_includeBase;
    std::vector<std::unique_ptr<TCurve>> m_curves;
    QWidget *m_etrPane = nullptr;
    bool m_dirty = true;
};

} // namespace tessel
