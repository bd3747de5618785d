// tessel-cli config: the instrument configuration read for one device type.
#include "Cli.h"

#include "app/InstrumentConfig.h"
#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "device/DeviceTypes.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace tessel::cli {
namespace {

QJsonObject boundsJson(const TGraphBounds &b) {
    return QJsonObject{{"XLinCeil", b.XLinCeil}, {"XLinFloor", b.XLinFloor}, {"XLinMinRange", b.XLinMinRange},
                       {"YLinCeil", b.YLinCeil}, {"YLinFloor", b.YLinFloor}, {"YLinMinRange", b.YLinMinRange},
                       {"XLogCeil", b.XLogCeil}, {"XLogFloor", b.XLogFloor}, {"XLogMinRange", b.XLogMinRange}};
}

QJsonObject timingJson(const TTimingBound &b) { return QJsonObject{{"Limit", b.Limit}, {"IsError", b.IsError}}; }

QJsonObject configJson(const TInstrumentConfig &c, const TGraphBounds &graph, const TGraphBounds &signal,
                       int32_t thickness) {
    const TCompilerConstants &k = c.Compiler;
    QJsonObject consts{{"MoChA", c.MoChA},
                       {"MoChB", c.MoChB},
                       {"BitResA", c.BitResA},
                       {"BitResB", c.BitResB},
                       {"SamplesPerEventA", k.SamplesPerEventA},
                       {"SamplesPerEventB", k.SamplesPerEventB},
                       {"SampleDistanceA", k.SampleDistanceA},
                       {"SampleDistanceB", k.SampleDistanceB},
                       {"TimePropagation", k.TimePropagation},
                       {"TimeBase", k.TimeBase},
                       {"MaxEvents", k.MaxEvents},
                       {"MaxASamples", k.MaxASamples},
                       {"MaxBSamples", k.MaxBSamples},
                       {"MinTimer", k.MinTimer},
                       {"TimerBits", k.TimerBits},
                       {"MulA", c.MulA},
                       {"MulB", c.MulB},
                       {"YShiftA", c.YShiftA},
                       {"YShiftB", c.YShiftB},
                       {"MaxDAValue", c.MaxDAValue},
                       {"DetectorA", c.DetectorAUnsigned ? "unsigned" : "signed"},
                       {"DetectorB", c.DetectorBUnsigned ? "unsigned" : "signed"}};
    QJsonArray lines;
    for (int b = 0; b < kOutputLines; ++b) {
        const TLineBounds &l = k.Bounds[b];
        lines.append(QJsonObject{{"Line", b},
                                 {"SpaceMin", timingJson(l.SpaceMin)},
                                 {"SpaceMax", timingJson(l.SpaceMax)},
                                 {"PulseMin", timingJson(l.PulseMin)},
                                 {"PulseMax", timingJson(l.PulseMax)}});
    }
    QJsonObject aliases;
    for (size_t a = 0; a < kDacKeys.size(); ++a)
        aliases[kDacKeys[a]] = c.DacAliases[a];
    QJsonArray cols;
    for (bool on : c.DePrnCol)
        cols.append(on);
    QJsonObject main{{"MaxSignals", c.MaxSignals}, {"IncludeDir", c.IncludeDir}, {"DePrnCol", cols}};
    return QJsonObject{{"DeviceText", c.DeviceText},
                       {"Consts", consts},
                       {"EventBounds", lines},
                       {"Aliases", aliases},
                       {"Main", main},
                       {"Thickness", thickness},
                       {"GraphBounds", boundsJson(graph)},
                       {"SignalBounds", boundsJson(signal)}};
}

QString num(double v) { return FormatShortest(v); }

void printBound(CliIO &io, const char *name, const TTimingBound &b) {
    io.out << "  " << name << '=' << num(b.Limit) << (b.IsError ? " (error)" : " (warning)");
}

void printText(CliIO &io, const QJsonObject &j, const TInstrumentConfig &c) {
    io.out << "Device text: \"" << c.DeviceText << "\"\n\n[Consts]\n";
    const QJsonObject consts = j["Consts"].toObject();
    for (auto it = consts.begin(); it != consts.end(); ++it)
        io.out << it.key() << " = " << (it->isString() ? it->toString() : num(it->toDouble())) << '\n';
    io.out << "\n[EventBounds]\n";
    for (int b = 0; b < kOutputLines; ++b) {
        const TLineBounds &l = c.Compiler.Bounds[b];
        io.out << "Bit" << b << ':';
        printBound(io, "SpaceMin", l.SpaceMin);
        printBound(io, "SpaceMax", l.SpaceMax);
        printBound(io, "PulseMin", l.PulseMin);
        printBound(io, "PulseMax", l.PulseMax);
        io.out << '\n';
    }
    io.out << "\n[Aliases]\n";
    for (size_t a = 0; a < kDacKeys.size(); ++a)
        io.out << kDacKeys[a] << " = " << c.DacAliases[a] << '\n';
    io.out << "\n[Main]\nMaxSignals = " << c.MaxSignals << "\nIncludeDir = " << c.IncludeDir << '\n';
    for (int col = 0; col < kPrintColumns; ++col)
        io.out << "DePrnCol" << col << " = " << (c.DePrnCol[col] ? 1 : 0) << '\n';
    io.out << "\n[DataSet]\nThickness = " << j["Thickness"].toInt() << '\n';
    for (const char *section : {"GraphBounds", "SignalBounds"}) {
        io.out << "\n[" << section << "]\n";
        const QJsonObject b = j[QLatin1String(section)].toObject();
        for (auto it = b.begin(); it != b.end(); ++it)
            io.out << it.key() << " = " << num(it->toDouble()) << '\n';
    }
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Print the instrument configuration read from Tessel.ini."));
    p.addOption({QStringLiteral("ini"), QStringLiteral("Ini file (default: Tessel.ini beside the program)."),
                 QStringLiteral("PATH")});
    p.addOption({QStringLiteral("device-text"), QStringLiteral("Section prefix, e.g. \"ModelF  /$0000/\"."),
                 QStringLiteral("TEXT")});
    p.addOption(
        {QStringLiteral("device"), QStringLiteral("Instrument type by name, e.g. ModelF."), QStringLiteral("NAME")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("config"), args, io); rc != kContinue)
        return rc;
    if (!p.positionalArguments().isEmpty()) {
        io.err << "tessel-cli config: unexpected argument '" << p.positionalArguments().at(0) << "'\n";
        return kExitUsage;
    }
    QString deviceText = DeviceTextOf(kStoredDefaultDevice);
    if (p.isSet(QStringLiteral("device-text")) && p.isSet(QStringLiteral("device"))) {
        io.err << "tessel-cli config: give either --device-text or --device\n";
        return kExitUsage;
    }
    if (p.isSet(QStringLiteral("device-text")))
        deviceText = p.value(QStringLiteral("device-text"));
    if (p.isSet(QStringLiteral("device"))) {
        TDevice d;
        if (!DeviceFromName(p.value(QStringLiteral("device")), d)) {
            io.err << "tessel-cli config: unknown device '" << p.value(QStringLiteral("device")) << "'\n";
            return kExitUsage;
        }
        deviceText = DeviceTextOf(d);
    }
    const QString ini = p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini")) : AppPaths::iniPath();
    if (p.isSet(QStringLiteral("ini")) && !QFileInfo(ini).isFile()) {
        io.err << "tessel-cli config: no such file '" << ini << "'\n";
        return kExitFailed;
    }
    const TInstrumentConfig c = ReadInstrumentConfig(ini, deviceText);
    const TGraphBounds graph = ReadGraphBounds(ini, QStringLiteral("GraphBounds"));
    const TGraphBounds signal = ReadGraphBounds(ini, QStringLiteral("SignalBounds"));
    const QJsonObject j = configJson(c, graph, signal, ReadThickness(ini));
    if (p.isSet(QStringLiteral("json")))
        PrintJson(io, QJsonDocument(j));
    else
        printText(io, j, c);
    return kExitOk;
}

const Registrar reg({QStringLiteral("config"), QStringLiteral("Print the instrument configuration of a device type"),
                     run});

} // namespace
} // namespace tessel::cli
