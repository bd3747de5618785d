#include "data/analysis/LightCurveFit.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/LevenbergMarquardt>

#include <algorithm>
#include <array>
#include <cmath>

namespace tessel {

QString LightCurveModelName(TLightCurveModel m) {
    switch (m) {
    case TLightCurveModel::EilersPeeters:
        return QStringLiteral("EilersPeeters");
    case TLightCurveModel::JassbyPlatt:
        return QStringLiteral("JassbyPlatt");
    case TLightCurveModel::Platt:
        break;
    }
    return QStringLiteral("Platt");
}

std::optional<TLightCurveModel> LightCurveModelFromName(const QString &name) {
    for (TLightCurveModel m : kLightCurveModels)
        if (name.trimmed().compare(LightCurveModelName(m), Qt::CaseInsensitive) == 0)
            return m;
    return std::nullopt;
}

namespace {

using Eigen::MatrixXd;
using Eigen::VectorXd;

// Coefficients: Platt (Ps, alpha, beta), Eilers-Peeters (a, b, c),
// Jassby-Platt (Pm, alpha).
int coefficientCount(TLightCurveModel m) { return m == TLightCurveModel::JassbyPlatt ? 2 : 3; }

// The model at one PAR, and its gradient by the coefficients when asked.
double model(TLightCurveModel m, const double *x, double I, double *grad) {
    switch (m) {
    case TLightCurveModel::Platt: {
        const double ps = x[0], a = x[1], b = x[2];
        const double A = a * I / ps, B = b * I / ps, ea = std::exp(-A), eb = std::exp(-B);
        if (grad) {
            grad[0] = (1 - ea) * eb * (1 + B) - A * ea * eb;
            grad[1] = I * ea * eb;
            grad[2] = -I * (1 - ea) * eb;
        }
        return ps * (1 - ea) * eb;
    }
    case TLightCurveModel::EilersPeeters: {
        const double d = x[0] * I * I + x[1] * I + x[2];
        if (grad) {
            grad[0] = -I * I * I / (d * d);
            grad[1] = -I * I / (d * d);
            grad[2] = -I / (d * d);
        }
        return I / d;
    }
    case TLightCurveModel::JassbyPlatt: {
        const double pm = x[0], a = x[1], u = a * I / pm, t = std::tanh(u), s2 = 1 - t * t;
        if (grad) {
            grad[0] = t - u * s2;
            grad[1] = I * s2;
        }
        return pm * t;
    }
    }
    return 0;
}

// alpha, ETRmax, Ik and beta from the coefficients; NaN where undefined.
std::array<double, 4> derived(TLightCurveModel m, const VectorXd &x) {
    const double nan = std::nan("");
    switch (m) {
    case TLightCurveModel::Platt: {
        const double ps = x[0], a = x[1], b = std::max(x[2], 0.0);
        // The curve's maximum: Ps (a / (a + b)) (b / (a + b))^(b / a).
        const double pm = b == 0 ? ps : ps * (a / (a + b)) * std::pow(b / (a + b), b / a);
        return {a, pm, pm / a, x[2]};
    }
    case TLightCurveModel::EilersPeeters: {
        const double a = x[0], b = x[1], c = x[2];
        if (a < 0 || c <= 0)
            return {c > 0 ? 1 / c : nan, nan, nan, nan};
        const double den = b + 2 * std::sqrt(a * c);
        return {1 / c, 1 / den, c / den, nan};
    }
    case TLightCurveModel::JassbyPlatt:
        return {x[1], x[0], x[0] / x[1], nan};
    }
    return {nan, nan, nan, nan};
}

struct Residuals : Eigen::DenseFunctor<double> {
    Residuals(TLightCurveModel m, const std::vector<std::pair<double, double>> &p, std::vector<bool> fixed,
              VectorXd full)
        : DenseFunctor<double>(int(std::count(fixed.begin(), fixed.end(), false)), int(p.size())), model(m), points(p),
          fixed(std::move(fixed)), full(std::move(full)) {}
    TLightCurveModel model;
    const std::vector<std::pair<double, double>> &points;
    std::vector<bool> fixed; // coefficients held at their value in `full`
    VectorXd full;

    VectorXd expand(const InputType &x) const {
        VectorXd f = full;
        for (int i = 0, k = 0; i < int(fixed.size()); ++i)
            if (!fixed[size_t(i)])
                f[i] = x[k++];
        return f;
    }
    int operator()(const InputType &x, ValueType &fvec) const {
        const VectorXd f = expand(x);
        for (size_t i = 0; i < points.size(); ++i)
            fvec[Eigen::Index(i)] = tessel::model(model, f.data(), points[i].first, nullptr) - points[i].second;
        return 0;
    }
    int df(const InputType &x, JacobianType &jac) const {
        const VectorXd f = expand(x);
        double g[3];
        for (size_t i = 0; i < points.size(); ++i) {
            tessel::model(model, f.data(), points[i].first, g);
            for (int c = 0, k = 0; c < int(fixed.size()); ++c)
                if (!fixed[size_t(c)])
                    jac(Eigen::Index(i), k++) = g[c];
        }
        return 0;
    }
};

struct Solution {
    VectorXd x;
    std::vector<bool> fixed;
    bool ok = false;
};

Solution solve(TLightCurveModel m, const std::vector<std::pair<double, double>> &p, VectorXd start,
               std::vector<bool> fixed) {
    Residuals f(m, p, fixed, start);
    VectorXd x(f.inputs());
    for (int i = 0, k = 0; i < int(fixed.size()); ++i)
        if (!fixed[size_t(i)])
            x[k++] = start[i];
    Eigen::LevenbergMarquardt<Residuals> lm(f);
    lm.setMaxfev(400);
    const auto status = lm.minimize(x);
    Solution s{f.expand(x), std::move(fixed), false};
    s.ok = status != Eigen::LevenbergMarquardtSpace::ImproperInputParameters && s.x.allFinite();
    return s;
}

// The first guess: the steepest ETR / PAR for alpha, the largest ETR for the
// maximum; Eilers-Peeters from its linear form PAR / ETR = a I² + b I + c.
VectorXd startFor(TLightCurveModel m, const std::vector<std::pair<double, double>> &p) {
    double alpha = 0, pmax = 0;
    for (const auto &[I, P] : p) {
        if (I > 0)
            alpha = std::max(alpha, P / I);
        pmax = std::max(pmax, P);
    }
    switch (m) {
    case TLightCurveModel::Platt:
        return (VectorXd(3) << pmax, alpha, alpha * 1e-3).finished();
    case TLightCurveModel::JassbyPlatt:
        return (VectorXd(2) << pmax, alpha).finished();
    case TLightCurveModel::EilersPeeters: {
        std::vector<std::pair<double, double>> use;
        for (const auto &[I, P] : p)
            if (I > 0 && P > 0)
                use.emplace_back(I, I / P);
        VectorXd x = (VectorXd(3) << 0.0, 1 / pmax, 1 / alpha).finished();
        if (use.size() >= 3) {
            MatrixXd A(Eigen::Index(use.size()), 3);
            VectorXd y(Eigen::Index(use.size()));
            for (size_t i = 0; i < use.size(); ++i) {
                A.row(Eigen::Index(i)) << use[i].first * use[i].first, use[i].first, 1.0;
                y[Eigen::Index(i)] = use[i].second;
            }
            const VectorXd lin = A.colPivHouseholderQr().solve(y);
            if (lin.allFinite() && lin[2] > 0)
                x = lin;
        }
        return x;
    }
    }
    return {};
}

} // namespace

double TLightCurveFit::Evaluate(double par) const {
    if (!Ok() || int(Coefficients.size()) != coefficientCount(Model))
        return std::nan("");
    return model(Model, Coefficients.data(), par, nullptr);
}

TLightCurveFit FitLightCurve(const std::vector<std::pair<double, double>> &input, TLightCurveModel m) {
    TLightCurveFit fit;
    fit.Model = m;
    std::vector<std::pair<double, double>> p;
    for (const auto &pt : input)
        if (std::isfinite(pt.first) && std::isfinite(pt.second))
            p.push_back(pt);
    fit.Points = int(p.size());
    const int n = coefficientCount(m);
    std::vector<double> levels;
    for (const auto &pt : p)
        levels.push_back(pt.first);
    std::sort(levels.begin(), levels.end());
    const auto distinct = std::unique(levels.begin(), levels.end()) - levels.begin();
    if (distinct < n) {
        fit.Problem = QStringLiteral("a fit needs %1 light levels, the curve has %2").arg(n).arg(distinct);
        return fit;
    }
    if (std::none_of(p.begin(), p.end(), [](const auto &pt) { return pt.first > 0 && pt.second > 0; })) {
        fit.Problem = QStringLiteral("no positive ETR under light");
        return fit;
    }

    Solution s = solve(m, p, startFor(m, p), std::vector<bool>(size_t(n), false));
    // Photoinhibition and the Eilers-Peeters curvature cannot be negative:
    // such a fit is repeated with that coefficient held at 0.
    const int bounded = m == TLightCurveModel::Platt ? 2 : m == TLightCurveModel::EilersPeeters ? 0 : -1;
    if (s.ok && bounded >= 0 && s.x[bounded] < 0) {
        VectorXd start = s.x;
        start[bounded] = 0;
        std::vector<bool> fixed(size_t(n), false);
        fixed[size_t(bounded)] = true;
        s = solve(m, p, start, fixed);
    }
    const std::array<double, 4> d = s.ok ? derived(m, s.x) : std::array<double, 4>{};
    if (!s.ok || !std::isfinite(d[0]) || !std::isfinite(d[1]) || !std::isfinite(d[2]) || d[0] <= 0 || d[1] <= 0) {
        fit.Problem = QStringLiteral("the fit does not converge");
        return fit;
    }

    // Residuals, R² and the covariance s² (JᵀJ)⁻¹ of the free coefficients.
    Residuals f(m, p, s.fixed, s.x);
    VectorXd free(f.inputs());
    for (int i = 0, k = 0; i < n; ++i)
        if (!s.fixed[size_t(i)])
            free[k++] = s.x[i];
    VectorXd r(f.values());
    f(free, r);
    MatrixXd J(f.values(), f.inputs());
    f.df(free, J);
    double mean = 0;
    for (const auto &pt : p)
        mean += pt.second / double(p.size());
    double sst = 0;
    for (const auto &pt : p)
        sst += (pt.second - mean) * (pt.second - mean);
    const double ssr = r.squaredNorm();
    fit.R2 = sst > 0 ? 1 - ssr / sst : (ssr == 0 ? 1 : 0);
    const int dof = int(p.size()) - f.inputs();
    MatrixXd cov = MatrixXd::Zero(n, n);
    bool haveSE = false;
    if (dof > 0) {
        const Eigen::FullPivLU<MatrixXd> lu(J.transpose() * J);
        if (lu.isInvertible()) {
            const MatrixXd c = lu.inverse() * (ssr / dof);
            for (int i = 0, a = 0; i < n; ++i) {
                if (s.fixed[size_t(i)])
                    continue;
                for (int j = 0, b = 0; j < n; ++j)
                    if (!s.fixed[size_t(j)])
                        cov(i, j) = c(a, b++);
                ++a;
            }
            haveSE = cov.allFinite();
        }
    }
    // Standard errors of the derived values by the delta method, with a
    // numerical gradient by the coefficients.
    std::array<std::optional<double>, 4> se;
    if (haveSE) {
        MatrixXd grad(4, n);
        for (int i = 0; i < n; ++i) {
            const double h = std::max(std::abs(s.x[i]) * 1e-6, 1e-12);
            VectorXd up = s.x, down = s.x;
            up[i] += h;
            down[i] -= h;
            const std::array<double, 4> du = derived(m, up), dd = derived(m, down);
            for (int k = 0; k < 4; ++k)
                grad(k, i) = s.fixed[size_t(i)] ? 0.0 : (du[size_t(k)] - dd[size_t(k)]) / (2 * h);
        }
        for (int k = 0; k < 4; ++k) {
            const double v = grad.row(k) * cov * grad.row(k).transpose();
            if (std::isfinite(v) && v >= 0)
                se[size_t(k)] = std::sqrt(v);
        }
    }
    fit.Alpha = {d[0], se[0]};
    fit.EtrMax = {d[1], se[1]};
    fit.Ik = {d[2], se[2]};
    if (m == TLightCurveModel::Platt)
        fit.Beta = {std::max(d[3], 0.0), s.fixed[2] ? std::nullopt : se[3]};
    fit.Coefficients.assign(s.x.data(), s.x.data() + n);
    return fit;
}

} // namespace tessel
