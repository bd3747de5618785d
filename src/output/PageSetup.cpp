#include "output/PageSetup.h"

#include "settings/Registry.h"
#include "settings/SettingsStore.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace tessel {

namespace {
constexpr double kMmPerInch = 25.4;
const char *const kMargins[4] = {"MarginTop", "MarginBottom", "MarginLeft", "MarginRight"};

double *margin(TPageSetup &s, int i) {
    double *m[4] = {&s.MarginTop, &s.MarginBottom, &s.MarginLeft, &s.MarginRight};
    return m[i];
}

// A double as the registry keeps it: its 8 bytes, little-endian.
QByteArray encodeDouble(double v) {
    quint64 bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    QByteArray b(8, '\0');
    qToLittleEndian(bits, b.data());
    return b;
}

std::optional<double> decodeDouble(const QByteArray &b) {
    if (b.size() != 8)
        return std::nullopt;
    const quint64 bits = qFromLittleEndian<quint64>(b.constData());
    double v = 0;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}
} // namespace

double RoundMargin(double value, int unit) {
    // Steps per unit: 20 twentieths of an inch, or whole millimetres. The
    // product is rounded to a few decimals first, so that 0.025 inch counts
    // as the half it means and goes to the even step.
    const double steps = unit == muInches ? 20.0 : 1.0;
    const double scaled = std::nearbyint(value * steps * 1e6) / 1e6;
    const double r = std::nearbyint(scaled) / steps;
    return std::clamp(r, 0.0, kMaxMargin);
}

double ConvertMargin(double value, int fromUnit, int toUnit) {
    if (fromUnit == toUnit)
        return RoundMargin(value, toUnit);
    const double v = toUnit == muInches ? value / kMmPerInch : value * kMmPerInch;
    return RoundMargin(v, toUnit);
}

double MarginInches(double value, int unit) { return unit == muMillimeters ? value / kMmPerInch : value; }

QString PageSetupKey() { return TPAppSettings().KeyName() + QStringLiteral("\\PageSetup"); }

bool LoadPageSetup(TPageSetup &s, const QString &key) {
    const TPRegistry reg;
    if (!reg.KeyExists(key))
        return false;
    if (auto t = reg.ReadString(key, QStringLiteral("FriendlyHeader")))
        s.FriendlyHeader = *t;
    if (auto t = reg.ReadString(key, QStringLiteral("FriendlyFooter")))
        s.FriendlyFooter = *t;
    if (auto u = reg.ReadInteger(key, QStringLiteral("MeasureUnit")); u && (*u == muInches || *u == muMillimeters))
        s.MeasureUnit = *u;
    for (int i = 0; i < 4; ++i)
        if (auto b = reg.ReadBinary(key, QLatin1String(kMargins[i])))
            if (auto v = decodeDouble(*b))
                *margin(s, i) = *v;
    if (auto o = reg.ReadInteger(key, QStringLiteral("Orientation")); o && (*o == poPortrait || *o == poLandscape))
        s.Orientation = *o;
    if (auto t = reg.ReadInteger(key, QStringLiteral("DataTable")); t && (*t == ptProperties || *t == ptParameters))
        s.DataTable = *t;
    return true;
}

void SavePageSetup(const TPageSetup &setup, const QString &key) {
    TPageSetup s = setup;
    TPRegistry reg;
    reg.CreateKey(key);
    reg.WriteString(key, QStringLiteral("FriendlyHeader"), s.FriendlyHeader);
    reg.WriteString(key, QStringLiteral("FriendlyFooter"), s.FriendlyFooter);
    reg.WriteInteger(key, QStringLiteral("MeasureUnit"), s.MeasureUnit);
    for (int i = 0; i < 4; ++i)
        reg.WriteBinary(key, QLatin1String(kMargins[i]), encodeDouble(*margin(s, i)));
    reg.WriteInteger(key, QStringLiteral("Orientation"), s.Orientation);
    reg.WriteInteger(key, QStringLiteral("DataTable"), s.DataTable);
    reg.Flush();
}

} // namespace tessel
