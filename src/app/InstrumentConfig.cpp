#include "app/InstrumentConfig.h"

#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "common/NumberText.h"

#include <QDir>
#include <QStringList>
#include <algorithm>

namespace tessel {

TProcessConfig &Config() {
    static TProcessConfig c;
    return c;
}

TLineBounds ParseLineBounds(const QString &value) {
    const QStringList f = value.split(';');
    auto field = [&](int i) { return i < f.size() ? f[i].trimmed() : QString(); };
    auto number = [&](int i) { return ParseFloat(field(i)).value_or(0.0); };
    const QString flags = field(4);
    auto isError = [&](int k) { return flags.size() >= k && flags[k - 1] == 'E'; };
    TLineBounds b;
    b.SpaceMin = {number(0), isError(1)};
    b.SpaceMax = {number(1), isError(2)};
    b.PulseMin = {number(2), isError(3)};
    b.PulseMax = {number(3), isError(4)};
    return b;
}

TInstrumentConfig ReadInstrumentConfig(const QString &iniPath, const QString &deviceText) {
    TInstrumentConfig c;
    c.DeviceText = deviceText;
    TIniFile2 ini(iniPath);
    ini.Report = true;
    const QString consts = deviceText + QStringLiteral("Consts");
    auto f = [&](const char *key, double def) { return ini.ReadFloat(consts, QLatin1String(key), def); };
    auto i = [&](const char *key, int32_t def) { return ini.ReadInteger(consts, QLatin1String(key), def); };

    c.MoChA = f("MoChA", 1.0);
    c.MoChB = f("MoChB", 1.0);
    c.BitResA = std::clamp(i("BitResA", 1), 1, 64);
    c.BitResB = std::clamp(i("BitResB", 1), 1, 64);
    TCompilerConstants &k = c.Compiler;
    k.SamplesPerEventA = k.SamplesPerEventB = std::max(1, i("SamplesPerEvent", 1));
    k.SampleDistanceA = k.SampleDistanceB = f("SampleDistance", 1.0);
    k.TimePropagation = f("TimePropagation", 4e-7);
    k.TimeBase = f("TimeBase", 1e-7);
    k.MaxEvents = i("MaxEvents", 32768);
    k.MaxASamples = i("MaxASamples", 32768);
    k.MaxBSamples = i("MaxBSamples", 32768);
    k.MinTimer = f("MinTimer", 0);
    k.TimerBits = i("TimerBits", 22);
    c.MulA = f("MulA", 1.0);
    c.MulB = f("MulB", 1.0);
    c.YShiftA = f("YShiftA", 0);
    c.YShiftB = f("YShiftB", 0);
    c.MaxDAValue = i("MaxDAValue", 1);
    c.DetectorAUnsigned =
        ini.ReadString(consts, QStringLiteral("DetectorA"), QStringLiteral("signed")) == QLatin1String("unsigned");
    c.DetectorBUnsigned =
        ini.ReadString(consts, QStringLiteral("DetectorB"), QStringLiteral("signed")) == QLatin1String("unsigned");

    const QString bounds = deviceText + QStringLiteral("EventBounds");
    for (int b = 0; b < kOutputLines; ++b)
        k.Bounds[b] = ParseLineBounds(ini.ReadString(bounds, QStringLiteral("Bit%1").arg(b), QString()));

    for (size_t a = 0; a < kDacKeys.size(); ++a)
        c.DacAliases[a] = ini.ReadString(QStringLiteral("Aliases"), kDacKeys[a], kDacKeys[a]);

    const QString main = QStringLiteral("Main");
    c.MaxSignals = ini.ReadInteger(main, QStringLiteral("MaxSignals"), 10);
    c.IncludeDir = ini.ReadString(main, QStringLiteral("IncludeDir"), QString());
    c.SignalUnit = ini.ReadString(main, QStringLiteral("SignalUnit"), QStringLiteral("V")).trimmed();
    for (int col = 0; col < kPrintColumns; ++col)
        c.DePrnCol[col] = ini.ReadBool(main, QStringLiteral("DePrnCol%1").arg(col), true);
    return c;
}

TGraphBounds ReadGraphBounds(const QString &iniPath, const QString &section) {
    TIniFile2 ini(iniPath);
    TGraphBounds d;
    TGraphBounds b;
    auto f = [&](const char *key, double def) { return ini.ReadFloat(section, QLatin1String(key), def); };
    b.XLinCeil = f("XLinCeil", d.XLinCeil);
    b.XLinFloor = f("XLinFloor", d.XLinFloor);
    b.XLinMinRange = f("XLinMinRange", d.XLinMinRange);
    b.YLinCeil = f("YLinCeil", d.YLinCeil);
    b.YLinFloor = f("YLinFloor", d.YLinFloor);
    b.YLinMinRange = f("YLinMinRange", d.YLinMinRange);
    b.XLogCeil = f("XLogCeil", d.XLogCeil);
    b.XLogFloor = f("XLogFloor", d.XLogFloor);
    b.XLogMinRange = f("XLogMinRange", d.XLogMinRange);
    return b;
}

int32_t ReadThickness(const QString &iniPath) {
    return TIniFile2(iniPath).ReadInteger(QStringLiteral("DataSet"), QStringLiteral("Thickness"), 1);
}

void SavePrintColumns(const QString &iniPath, const std::array<bool, kPrintColumns> &cols) {
    TIniFile2 ini(iniPath);
    ini.BeginUpdate();
    for (int col = 0; col < kPrintColumns; ++col)
        ini.WriteBool(QStringLiteral("Main"), QStringLiteral("DePrnCol%1").arg(col), cols[col]);
    ini.EndUpdate();
}

void SaveThickness(const QString &iniPath, int32_t thickness) {
    TIniFile2(iniPath).WriteInteger(QStringLiteral("DataSet"), QStringLiteral("Thickness"), thickness);
}

QString IncludeBaseDir(const TInstrumentConfig &c) {
    QString dir = c.IncludeDir.isEmpty() ? QStringLiteral("include/") : c.IncludeDir;
    dir.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return QDir::isAbsolutePath(dir) ? dir : AppPaths::dataDir() + dir;
}

} // namespace tessel
