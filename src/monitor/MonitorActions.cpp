#include "monitor/MonitorActions.h"

#include "common/Finally.h"

#include <algorithm>
#include <cmath>

namespace tessel {

TSerialActions::TSerialActions() : m_alive(std::make_shared<bool>(true)) {}

TSerialActions::~TSerialActions() { *m_alive = false; }

void TSerialActions::Run(int key, std::function<void()> action) {
    if (m_running) {
        auto same = std::find_if(m_waiting.begin(), m_waiting.end(), [key](const auto &w) { return w.first == key; });
        if (same != m_waiting.end())
            same->second = std::move(action);
        else
            m_waiting.emplace_back(key, std::move(action));
        return;
    }
    const std::shared_ptr<bool> alive = m_alive;
    m_running = true;
    Finally done([this, alive] {
        if (*alive)
            m_running = false;
    });
    action();
    while (*alive && !m_waiting.empty()) {
        std::function<void()> next = std::move(m_waiting.front().second);
        m_waiting.pop_front();
        next();
    }
}

std::vector<TMeterMark> MeterMarks(double min, double max, int majors) {
    std::vector<TMeterMark> marks;
    const double span = max - min;
    if (!(span > 0) || !std::isfinite(span) || majors < 1)
        return marks;
    // Round step: 1, 2 or 5 times a power of ten, the one nearest to the
    // wanted step on a logarithmic scale.
    const double raw = span / majors;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    double step = decade;
    for (double m : {2.0, 5.0, 10.0})
        if (std::fabs(std::log(m * decade / raw)) < std::fabs(std::log(step / raw)))
            step = m * decade;
    const int decimals = std::max(0, -int(std::floor(std::log10(step) + 1e-9)));
    const double minor = step / 5;
    const long long first = (long long)std::ceil(min / minor - 1e-9);
    const long long last = (long long)std::floor(max / minor + 1e-9);
    for (long long k = first; k <= last && marks.size() < 1000; ++k) {
        const double v = double(k) * minor;
        TMeterMark m;
        m.Value = std::fabs(v) < minor * 1e-6 ? 0.0 : v;
        m.Position = (m.Value - min) / span;
        if (k % 5 == 0)
            m.Label = QString::number(m.Value, 'f', decimals);
        marks.push_back(m);
    }
    return marks;
}

} // namespace tessel
