// tessel-cli info: what an experiment file holds.
#include "Cli.h"

#include "common/NumberText.h"
#include "data/ExperimentFile.h"
#include "device/DeviceTypes.h"

#include <QJsonArray>
#include <QJsonObject>
#include <cmath>
#include <optional>

namespace tessel::cli {
namespace {

template <size_t N> QString NameOf(const char *const (&names)[N], unsigned v) {
    return v < N ? QString::fromLatin1(names[v]) : QString::number(v);
}

QString ColourText(TColor c) { return QStringLiteral("$%1").arg(c, 6, 16, QLatin1Char('0')).toUpper(); }

QJsonValue Num(double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(FormatShortest(v)); }

QJsonObject Pair(const TLinTransformation &t) { return {{"MulKoef", Num(t.MulKoef)}, {"AddKoef", Num(t.AddKoef)}}; }

QJsonObject XPair(const TVector &x) {
    const auto *t = dynamic_cast<const TLinTransformation *>(x.Transformation());
    return t ? Pair(*t) : QJsonObject{{"MulKoef", 1.0}, {"AddKoef", 0.0}};
}

// The smallest or largest displayed value; null for an empty set.
QJsonValue Extreme(const TVector &v, bool largest) {
    std::optional<double> found;
    for (int32_t i = 0; i < v.Count(); ++i) {
        const double x = v.Value(i);
        if (std::isfinite(x) && (!found || (largest ? x > *found : x < *found)))
            found = x;
    }
    return found ? Num(*found) : QJsonValue(QJsonValue::Null);
}

QJsonObject ChannelJson(const TChannel &ch) {
    const TDependency &d = *ch.Set;
    static const char *const draw[] = {"dsAvg", "dsMinMax", "dsPoint"};
    static const char *const pen[] = {"psSolid",      "psDash",  "psDot",        "psDashDot",
                                      "psDashDotDot", "psClear", "psInsideFrame"};
    static const char *const point[] = {"ptDot",          "ptCircle",  "ptSquare", "ptTriangleUp",
                                        "ptTriangleDown", "ptDiamond", "ptStar"};
    static const char *const brush[] = {"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                        "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
    return {{"Caption", d.Caption},
            {"Color", ColourText(d.Color)},
            {"BrushColor", ColourText(d.Brush.Color)},
            {"BrushStyle", NameOf(brush, d.Brush.Style)},
            {"DrawStyle", NameOf(draw, d.DrawStyle)},
            {"LineStyle", NameOf(pen, d.LineStyle)},
            {"PointStyle", NameOf(point, d.PointStyle)},
            {"PointSize", d.PointSize},
            {"Thickness", d.Thickness},
            {"Visible", d.Visible},
            {"Count", d.Count()},
            {"Capacity", d.PlannedCount()},
            {"XCount", d.X->Count()},
            {"XCapacity", d.X->Capacity()},
            {"XTransformation", XPair(*d.X)},
            {"YShift", Pair(*ch.Shift)},
            {"YMultiply", Pair(*ch.Mul)},
            {"YBase", Pair(*ch.Base)},
            {"MinX", Extreme(*d.X, false)},
            {"MaxX", Extreme(*d.X, true)},
            {"MinY", Extreme(*d.Y, false)},
            {"MaxY", Extreme(*d.Y, true)}};
}

QJsonObject InfoJson(const TExperimentModel &m) {
    QJsonArray measurements;
    // Oldest first, as in the file: measurement 1 is the oldest.
    for (int n = 1; n < m.RecordCount(); ++n) {
        const TMeasurementRecord &r = m.Record(RecordOfMeasurement(m, n));
        QJsonObject meta;
        for (const auto &[key, value] : Metadata(r))
            meta[key] = value;
        const std::optional<QDateTime> t = DateTimeFromDays(r.Time);
        const TConditions &c = r.Conditions;
        measurements.append(QJsonObject{{"Measurement", n},
                                        {"Metadata", meta},
                                        {"Time", t ? QJsonValue(t->toString(Qt::ISODateWithMs)) : QJsonValue::Null},
                                        {"TimeDays", Num(r.Time)},
                                        {"DeviceType", int(r.DeviceType)},
                                        {"Device", r.DeviceType < kDeviceCount
                                                       ? QString::fromLatin1(DeviceInfo(TDevice(r.DeviceType)).name)
                                                       : QString()},
                                        {"Conditions", QJsonObject{{"LogX", int(c.LogX)},
                                                                   {"SensA", int(c.SensA)},
                                                                   {"SensB", int(c.SensB)},
                                                                   {"GainA", int(c.GainA)},
                                                                   {"OffsetA", int(c.OffsetA)},
                                                                   {"GainB", int(c.GainB)},
                                                                   {"OffsetB", int(c.OffsetB)}}},
                                        {"A", ChannelJson(r.A)},
                                        {"B", ChannelJson(r.B)},
                                        {"ProtocolLines", int(r.Protocol.size())},
                                        {"Variables", int(r.VarNames.size())}});
    }
    return {{"Title", m.Title},
            {"Description", QJsonArray::fromStringList(m.Description)},
            {"N", m.RecordCount()},
            {"MeasurementCount", m.RecordCount() - 1},
            {"Measurements", measurements},
            {"ProtocolLines", int(m.Protocol.size())},
            {"LogarithmicX", m.LogarithmicX},
            {"MeasurementCounter", m.MeasurementCounter}};
}

QString Text(const QJsonValue &v) {
    if (v.isNull())
        return QStringLiteral("-");
    if (v.isDouble())
        return FormatShortest(v.toDouble());
    if (v.isBool())
        return v.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    return v.toString();
}

void PrintText(CliIO &io, const QJsonObject &j) {
    io.out << "Title: " << j["Title"].toString() << '\n' << "Description:\n";
    for (const QJsonValue &line : j["Description"].toArray())
        io.out << "  " << line.toString() << '\n';
    io.out << "Measurements: " << j["MeasurementCount"].toInt() << '\n';
    for (const QJsonValue &mv : j["Measurements"].toArray()) {
        const QJsonObject m = mv.toObject();
        const QJsonObject c = m["Conditions"].toObject();
        io.out << "\nMeasurement " << m["Measurement"].toInt() << '\n';
        const QJsonObject meta = m["Metadata"].toObject();
        for (const QString &key : {kMetaTitle, kMetaNote})
            if (meta.contains(key))
                io.out << "  " << key.left(1).toUpper() + key.mid(1) << ": " << meta[key].toString() << '\n';
        for (auto it = meta.begin(); it != meta.end(); ++it)
            if (it.key() != kMetaTitle && it.key() != kMetaNote)
                io.out << "  " << it.key() << " = " << it.value().toString() << '\n';
        io.out << "  Time: " << Text(m["Time"]) << '\n'
               << "  Device: " << m["DeviceType"].toInt() << " (" << m["Device"].toString() << ")\n"
               << "  Conditions: LogX " << c["LogX"].toInt() << ", SensA " << c["SensA"].toInt() << ", SensB "
               << c["SensB"].toInt() << ", GainA " << c["GainA"].toInt() << ", OffsetA " << c["OffsetA"].toInt()
               << ", GainB " << c["GainB"].toInt() << ", OffsetB " << c["OffsetB"].toInt() << '\n';
        for (const char *ch : {"A", "B"}) {
            const QJsonObject d = m[QLatin1String(ch)].toObject();
            auto pair = [&](const char *k) {
                const QJsonObject p = d[QLatin1String(k)].toObject();
                return Text(p["MulKoef"]) + QLatin1String(" * v + ") + Text(p["AddKoef"]);
            };
            io.out << "  Channel " << ch << ": \"" << d["Caption"].toString() << "\"\n"
                   << "    Color " << d["Color"].toString() << ", brush " << d["BrushColor"].toString() << ' '
                   << d["BrushStyle"].toString() << ", " << d["DrawStyle"].toString() << ", "
                   << d["LineStyle"].toString() << ", " << d["PointStyle"].toString() << " size "
                   << d["PointSize"].toInt() << ", thickness " << d["Thickness"].toInt() << ", visible "
                   << Text(d["Visible"]) << '\n'
                   << "    Count " << d["Count"].toInt() << ", capacity " << d["Capacity"].toInt() << '\n'
                   << "    x: " << pair("XTransformation") << "; y: shift " << pair("YShift") << ", multiply "
                   << pair("YMultiply") << ", base " << pair("YBase") << '\n'
                   << "    x " << Text(d["MinX"]) << " .. " << Text(d["MaxX"]) << ", y " << Text(d["MinY"]) << " .. "
                   << Text(d["MaxY"]) << " (smallest .. largest)\n";
        }
    }
    io.out << "\nProtocol lines: " << j["ProtocolLines"].toInt() << '\n'
           << "Measurement counter: " << j["MeasurementCounter"].toInt() << '\n';
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Describe an experiment file."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Experiment file (.exp)."));
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("info"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1) {
        io.err << "tessel-cli info: give exactly one experiment file\n\n" << Help(p);
        return kExitUsage;
    }
    TExperimentModel model;
    if (!LoadExperiment(model, pos.first(), io))
        return kExitFailed;
    const QJsonObject j = InfoJson(model);
    if (p.isSet(QStringLiteral("json")))
        PrintJson(io, QJsonDocument(j));
    else
        PrintText(io, j);
    return kExitOk;
}

const Registrar reg({QStringLiteral("info"), QStringLiteral("Describe an experiment file"), run});

} // namespace
} // namespace tessel::cli
