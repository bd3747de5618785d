// Light-curve fits: each model gives back the alpha, ETRmax and Ik of a
// curve computed from the cited papers' formulas, with standard errors that
// cover noisy data, and says why when the points cannot carry a fit.
#include "data/analysis/LightCurveFit.h"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

const std::vector<double> kPar = {0, 50, 100, 200, 300, 450, 600, 800, 1000, 1300, 1600};

struct ModelCase {
    TLightCurveModel model;
    double (*etr)(double);
    double alpha, etrMax, ik, beta; // by hand from the paper's definitions
};

// Platt et al. 1980 with Ps 150, alpha 0.3, beta 0.02: the curve's maximum
// Pm = Ps (a / (a + b)) (b / (a + b))^(b / a).
double platt(double I) { return 150 * (1 - std::exp(-0.3 * I / 150)) * std::exp(-0.02 * I / 150); }
const double kPlattPm = 150 * (0.3 / 0.32) * std::pow(0.02 / 0.32, 0.02 / 0.3);
// Eilers & Peeters 1988 with a 2e-5, b 5e-3, c 4: alpha 1/c, ETRmax
// 1 / (b + 2 sqrt(ac)), Ik c / (b + 2 sqrt(ac)).
double eilers(double I) { return I / (2e-5 * I * I + 5e-3 * I + 4); }
const double kEpDen = 5e-3 + 2 * std::sqrt(2e-5 * 4);
// Jassby & Platt 1976 with Pm 120, alpha 0.35.
double jassby(double I) { return 120 * std::tanh(0.35 * I / 120); }

const ModelCase kModels[] = {
    {TLightCurveModel::Platt, platt, 0.3, kPlattPm, kPlattPm / 0.3, 0.02},
    {TLightCurveModel::EilersPeeters, eilers, 0.25, 1 / kEpDen, 4 / kEpDen, std::nan("")},
    {TLightCurveModel::JassbyPlatt, jassby, 0.35, 120, 120 / 0.35, std::nan("")},
};

std::vector<std::pair<double, double>> curve(double (*etr)(double), double noise = 0) {
    std::vector<std::pair<double, double>> p;
    for (size_t i = 0; i < kPar.size(); ++i)
        p.emplace_back(kPar[i], etr(kPar[i]) + (i % 2 ? noise : -noise) * (i > 0));
    return p;
}

TEST(LightCurveFit, EachModelGivesBackItsParameters) {
    for (const ModelCase &k : kModels) {
        const std::string name = LightCurveModelName(k.model).toStdString();
        const TLightCurveFit f = FitLightCurve(curve(k.etr), k.model);
        ASSERT_TRUE(f.Ok()) << name << ": " << f.Problem.toStdString();
        EXPECT_THAT((std::vector{f.Alpha.Value / k.alpha, f.EtrMax.Value / k.etrMax, f.Ik.Value / k.ik}),
                    ::testing::Each(::testing::DoubleNear(1, 1e-5)));
        if (!std::isnan(k.beta))
            EXPECT_NEAR(f.Beta.Value, k.beta, 1e-5) << name;
        EXPECT_NEAR(f.R2, 1, 1e-9) << name;
        EXPECT_NEAR(f.Evaluate(700), k.etr(700), 1e-3) << name;
        EXPECT_EQ(LightCurveModelFromName(QString::fromStdString(name).toUpper()), k.model);

        // Noise of about 2 % of ETRmax: the standard errors cover the truth.
        const TLightCurveFit n = FitLightCurve(curve(k.etr, 0.02 * k.etrMax), k.model);
        ASSERT_TRUE(n.Ok()) << name;
        for (auto [v, truth] : {std::pair{n.Alpha, k.alpha}, {n.EtrMax, k.etrMax}, {n.Ik, k.ik}}) {
            ASSERT_TRUE(v.SE) << name;
            EXPECT_GT(*v.SE, 0) << name;
            EXPECT_LT(std::abs(v.Value - truth), 3 * *v.SE) << name;
        }
        EXPECT_LT(n.R2, 1) << name;
    }
}

TEST(LightCurveFit, DegenerateCurvesSayWhy) {
    const double nan = std::nan("");
    const struct {
        const char *name;
        std::vector<std::pair<double, double>> points;
        TLightCurveModel model;
        const char *problem;
    } cases[] = {
        {"two levels",
         {{100, 20}, {100, 21}, {400, 60}},
         TLightCurveModel::Platt,
         "a fit needs 3 light levels, the curve has 2"},
        {"not finite",
         {{100, 20}, {nan, 40}, {400, nan}},
         TLightCurveModel::JassbyPlatt,
         "a fit needs 2 light levels, the curve has 1"},
        {"no ETR", {{0, 0}, {100, 0}, {200, 0}, {400, 0}}, TLightCurveModel::Platt, "no positive ETR under light"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FitLightCurve(c.points, c.model).Problem.toStdString(), c.problem) << c.name;

    // As many levels as coefficients: a fit, but no standard error.
    const TLightCurveFit exact = FitLightCurve({{100, 25}, {400, 70}}, TLightCurveModel::JassbyPlatt);
    ASSERT_TRUE(exact.Ok()) << exact.Problem.toStdString();
    EXPECT_FALSE(exact.Alpha.SE);
}

} // namespace
