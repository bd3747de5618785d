#include "app/KeyTest.h"

#include <QEventLoop>
#include <QTimer>

namespace tessel {

namespace {
constexpr int kLevelPauseMs = 100;

void EventLoopWait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QString Seconds(int32_t ms) { return QString::number(ms / 1000.0); }
} // namespace

const std::array<TKeyLevel, kKeyLevelCount> &KeyLevels() {
    static const std::array<TKeyLevel, kKeyLevelCount> levels = {{
        {"ScrB1", "Measuring Flash", "M", 1},
        {"ScrB2", "Actinic Flash", "F", 2},
        {"ScrB3", "Actinic Light 1", "A", 3},
        {"ScrB5", "Actinic Light 2", "", 5},
        {"ScrB6", "IR Light", "", 6},
    }};
    return levels;
}

const std::array<TKeySignal, kKeySignalCount> &KeySignals() {
    static const std::array<TKeySignal, kKeySignalCount> signals_ = {{
        {"Button1", "&Actinic Flash", "BF1"},
        {"Button2", "Measuring &Flash 2", "BF2"},
        {"Button3", "&Measuring Flash 1", "SF1"},
        {"BtnAx1", "Aux &1", "AX1"},
        {"BtnAx2", "Aux &2", "AX2"},
        {"BtnAx3", "&IR Light", "AX3"},
        {"BtnAx4", "Aux &4", "AX4"},
        {"BtnAx5", "Aux &5", "AX5"},
        {"BtnAx6", "&Stirrer", "AX6"},
    }};
    return signals_;
}

bool IsKeySignal(const QString &command) {
    for (const TKeySignal &s : KeySignals())
        if (command.compare(QLatin1String(s.command), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool SendKeySignal(TCommandSet &link, const QString &command) {
    const QString c = command.toUpper();
    if (c == QLatin1String("BF1"))
        return link.ActinicFlash();
    if (c == QLatin1String("BF2"))
        return link.Flash2();
    if (c == QLatin1String("SF1"))
        return link.MeasuringFlash();
    if (c.size() == 3 && c.startsWith(QLatin1String("AX")) && c[2] >= QLatin1Char('1') && c[2] <= QLatin1Char('6'))
        return link.Aux(c[2].digitValue());
    return false;
}

QString KeyLevelText(int position) {
    // Tenths of a per cent, rounded to nearest; 1023 is odd, so there are no ties.
    const int tenths = (position * 2000 + kKeyLevelMax) / (2 * kKeyLevelMax);
    return QString::number(tenths / 10.0, 'g', 15) + QStringLiteral(" %");
}

TKeyTest::TKeyTest(TCommandSet &link, Wait wait) : m_link(link), m_wait(std::move(wait)) {
    if (!m_wait)
        m_wait = EventLoopWait;
}

void TKeyTest::SetLevel(int index, int position) {
    if (index >= 0 && index < kKeyLevelCount)
        m_levels[size_t(index)] = std::clamp(position, 0, kKeyLevelMax);
}

bool TKeyTest::LevelAvailable(int index) const {
    return !HostSetsOutputs(m_link.Link().Device()) || KeyLevels()[size_t(index)].output <= 3;
}

bool TKeyTest::sendOnce() {
    bool ok = true;
    if (HostSetsOutputs(m_link.Link().Device())) {
        for (int i = 0; i < 3; ++i) {
            ok = m_link.SetVoltage(KeyLevels()[size_t(i)].output, m_levels[size_t(i)]) && ok;
            m_wait(kLevelPauseMs);
        }
        return ok;
    }
    for (int i = 0; i < kKeyLevelCount; ++i)
        ok = m_link.SetVoltage(KeyLevels()[size_t(i)].output, m_levels[size_t(i)]) && ok;
    m_wait(kLevelPauseMs);
    return ok;
}

bool TKeyTest::SendVoltages() {
    // A slider dragged during the pause asks again; the levels go out once
    // more afterwards instead of interleaving two sends.
    if (m_sending) {
        m_again = true;
        return true;
    }
    m_sending = true;
    bool ok = sendOnce();
    while (m_again) {
        m_again = false;
        ok = sendOnce();
    }
    m_sending = false;
    return ok;
}

bool TKeyTest::Show() {
    bool ok = true;
    if (m_link.NeedsResetMacros())
        ok = m_link.SendResetMacros();
    return SendVoltages() && ok;
}

bool TKeyTest::ResetFlashLevels() {
    for (int i = 0; i < 3; ++i)
        m_levels[size_t(i)] = 0;
    return SendVoltages();
}

TSelfTestNote SelfTestNote(TTestEnd end, const TWaitBounds &bounds) {
    switch (end) {
    case TTestEnd::Aborted:
        return {QStringLiteral("Self test broken off."), false};
    case TTestEnd::Silent:
        return {QStringLiteral("The instrument stopped sending its report: nothing came for %1 s. "
                               "The self test did not finish.")
                    .arg(Seconds(bounds.TestSilenceMs)),
                true};
    case TTestEnd::TooLong:
        return {QStringLiteral("The report did not end within %1 s, so the self test was stopped.")
                    .arg(Seconds(bounds.TestTotalMs)),
                true};
    case TTestEnd::Empty:
        return {QStringLiteral("The instrument ended the self test without a report. The self test did not pass."),
                true};
    case TTestEnd::LineLost:
        return {QStringLiteral("The line to the instrument was lost during the self test. The self test did not "
                               "finish."),
                true};
    case TTestEnd::NotSent:
    case TTestEnd::Complete:
        break;
    }
    return {};
}

} // namespace tessel
