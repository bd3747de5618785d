#pragma once

// Light-response curves: ETR against PAR fitted by least squares
// (Levenberg-Marquardt) with the models physiologists cite, giving the
// initial slope alpha, the maximal rate ETRmax, the saturation parameter Ik
// and, for Platt's model, the photoinhibition beta, each with its standard
// error, and the fit's R².

#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace tessel {

enum class TLightCurveModel {
    Platt,         // P = Ps (1 - exp(-a I / Ps)) exp(-b I / Ps)       Platt, Gallegos & Harrison 1980
    EilersPeeters, // P = I / (a I² + b I + c)                        Eilers & Peeters 1988
    JassbyPlatt,   // P = Pm tanh(a I / Pm)                           Jassby & Platt 1976
};
inline constexpr TLightCurveModel kLightCurveModels[] = {TLightCurveModel::Platt, TLightCurveModel::EilersPeeters,
                                                         TLightCurveModel::JassbyPlatt};
// "Platt", "EilersPeeters", "JassbyPlatt": the names of the configuration and
// of tessel-cli; matched without regard to case.
QString LightCurveModelName(TLightCurveModel m);
std::optional<TLightCurveModel> LightCurveModelFromName(const QString &name);

struct TFitValue {
    double Value = 0;
    std::optional<double> SE; // none with as many points as coefficients
};

struct TLightCurveFit {
    TLightCurveModel Model = TLightCurveModel::Platt;
    QString Problem; // why there is no fit; the values below are then unset
    int Points = 0;
    TFitValue Alpha, EtrMax, Ik, Beta; // Beta: Platt only
    double R2 = 0;
    std::vector<double> Coefficients; // the model's own, as in the formulas above
    bool Ok() const { return Problem.isEmpty(); }
    // The fitted ETR at a PAR.
    double Evaluate(double par) const;
};

// points: (PAR, ETR). Points that are not finite are left out; the fit
// needs more points at distinct PAR than the model has coefficients.
TLightCurveFit FitLightCurve(const std::vector<std::pair<double, double>> &points, TLightCurveModel model);

} // namespace tessel
