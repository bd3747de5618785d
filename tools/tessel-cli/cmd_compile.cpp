// tessel-cli compile: builds a protocol's event table with the configuration
// of one instrument type, as a measurement would, and optionally writes the
// program image exactly as it would be sent.
#include "Cli.h"

#include "app/InstrumentConfig.h"
#include "authoring/ProtocolDoc.h"
#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "compiler/ProgramImage.h"
#include "device/DeviceTypes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace tessel::cli {
namespace {

QString hex4(uint32_t v) { return QStringLiteral("%1").arg(v & 0xFFFFu, 4, 16, QLatin1Char('0')).toUpper(); }

QString hexBytes(const QByteArray &b) { return QString::fromLatin1(b.toHex(' ')).toUpper(); }

QString num(double v) { return FormatMachine(v); }

QJsonArray macrosJson(const TMacroList &list) {
    QJsonArray a;
    for (const TMacroRec &m : list)
        a.append(QJsonObject{{"time", m.Time}, {"bytes", hexBytes(m.Bytes)}});
    return a;
}

void printMacros(CliIO &io, const char *title, const TMacroList &list) {
    io.out << title << ": " << list.size() << '\n';
    for (const TMacroRec &m : list)
        io.out << "  " << num(m.Time) << " s  " << hexBytes(m.Bytes) << '\n';
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Writes the blocks SendProgram would send; blocks it would not send are
// removed so an older image cannot be mistaken for this one.
bool writeImage(const QString &dir, const TProgramImage &img, CliIO &io) {
    if (!QDir().mkpath(dir)) {
        io.err << "tessel-cli compile: cannot create '" << dir << "'\n";
        return false;
    }
    const QDir d(dir);
    QByteArray volts;
    for (size_t k = 0; k < kAnalogOutputs.size(); ++k)
        volts +=
            QByteArray("SA") + QByteArray::number(kAnalogOutputs[k]) + ' ' + QByteArray::number(img.Voltages[k]) + '\n';
    const struct {
        const char *name;
        const QByteArray &bytes;
        bool sent;
    } files[] = {{"events.bin", img.Events, true},
                 {"timers.bin", img.Timers, true},
                 {"macros.bin", img.Macros, img.SendsMacros},
                 {"counts.bin", img.Counts, img.SendsMacros},
                 {"voltages.txt", volts, img.SetsVoltages}};
    for (const auto &f : files) {
        const QString path = d.filePath(QLatin1String(f.name));
        if (!f.sent) {
            QFile::remove(path);
            continue;
        }
        if (!writeFile(path, f.bytes)) {
            io.err << "tessel-cli compile: cannot write '" << path << "'\n";
            return false;
        }
    }
    return true;
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Build a protocol's event table with the configuration of an "
                                               "instrument type and print it; --image writes the blocks the "
                                               "instrument loads."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Protocol source file."));
    p.addOption({QStringLiteral("device"), QStringLiteral("Instrument type by name (default: ModelF)."),
                 QStringLiteral("NAME")});
    p.addOption({QStringLiteral("ini"), QStringLiteral("Ini file (default: Tessel.ini beside the program)."),
                 QStringLiteral("PATH")});
    p.addOption({QStringLiteral("include"),
                 QStringLiteral("Include directory (default: the type's folder below the include folder)."),
                 QStringLiteral("DIR")});
    p.addOption({QStringLiteral("image"),
                 QStringLiteral("Write events.bin, timers.bin, macros.bin, counts.bin and voltages.txt to DIR."),
                 QStringLiteral("DIR")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("compile"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1) {
        io.err << "tessel-cli compile: give exactly one protocol file\n\n" << Help(p);
        return kExitUsage;
    }
    TDevice device = kStoredDefaultDevice;
    if (p.isSet(QStringLiteral("device")) && !DeviceFromName(p.value(QStringLiteral("device")), device)) {
        io.err << "tessel-cli compile: unknown device '" << p.value(QStringLiteral("device")) << "'\n";
        return kExitUsage;
    }
    const QString ini = p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini")) : AppPaths::iniPath();
    if (p.isSet(QStringLiteral("ini")) && !QFileInfo(ini).isFile()) {
        io.err << "tessel-cli compile: no such file '" << ini << "'\n";
        return kExitFailed;
    }
    QFile source(pos.first());
    if (!source.open(QIODevice::ReadOnly)) {
        io.err << "tessel-cli compile: cannot read '" << pos.first() << "'\n";
        return kExitFailed;
    }
    const QStringList lines = QString::fromUtf8(source.readAll()).split(QLatin1Char('\n'));

    const TInstrumentConfig config = ReadInstrumentConfig(ini, DeviceTextOf(device));
    TCommandCompilerLibrary library;
    if (!library.Ensure())
        return kExitFailed;

    TCompiler compiler;
    compiler.Constants = config.Compiler;
    if (p.isSet(QStringLiteral("include"))) {
        compiler.IncludeDir = p.value(QStringLiteral("include"));
    } else {
        compiler.IncludeDir = DeviceIncludeDir(IncludeBaseDir(config), device);
    }
    QStringList log;
    const int32_t result = compiler.CompileProtocol(lines, log, nullptr);
    log = UserBuildLog(log, pos.first(), lines, compiler.IncludeDir);
    const QStringList warnings = result == kBuildOk ? MarkWarnings(compiler) : QStringList();
    for (const QString &w : warnings)
        io.err << w << '\n';
    // The instrument runs until the last event of the table (the closing ones included).
    const double duration = compiler.Events.Count() > 0 ? compiler.Events.Last().Time : 0.0;

    const TProgramTarget target{device, config.DacAliases, config.MaxDAValue};
    TProgramImage img;
    if (result == kBuildOk)
        img = BuildProgramImage(compiler, target);

    if (p.isSet(QStringLiteral("json"))) {
        QJsonArray events, vars;
        for (int32_t i = 0; i < compiler.Events.Count(); ++i)
            events.append(QJsonObject{
                {"index", i}, {"time", compiler.Events.At(i).Time}, {"state", hex4(compiler.Events.At(i).Code)}});
        for (int32_t i = 0; i < compiler.Vars.Count(); ++i)
            vars.append(QJsonObject{{"name", compiler.Vars.Name(i)}, {"value", compiler.Vars.Value(i)}});
        QJsonObject j{{"device", QString::fromLatin1(DeviceInfo(device).name)},
                      {"result", result},
                      {"log", QJsonArray::fromStringList(log)},
                      {"warnings", QJsonArray::fromStringList(warnings)},
                      {"duration", duration},
                      {"events", events},
                      {"samplesA", compiler.SampleTimesA.Count()},
                      {"samplesB", compiler.SampleTimesB.Count()},
                      {"skippedA", compiler.SkippedA},
                      {"skippedB", compiler.SkippedB},
                      {"macros", macrosJson(compiler.Macros)},
                      {"initMacros", macrosJson(compiler.InitMacros)},
                      {"repeat", QJsonObject{{"count", compiler.RepeatCount},
                                             {"time", double(compiler.RepeatTime)},
                                             {"extra", double(compiler.RepeatExtra)}}},
                      {"variables", vars}};
        if (result == kBuildOk)
            j["image"] = QJsonObject{{"result", img.Result},
                                     {"events", hexBytes(img.Events)},
                                     {"timers", hexBytes(img.Timers)},
                                     {"macros", img.SendsMacros ? hexBytes(img.Macros) : QString()},
                                     {"counts", img.SendsMacros ? hexBytes(img.Counts) : QString()}};
        PrintJson(io, QJsonDocument(j));
    } else {
        for (const QString &l : log)
            io.out << l << '\n';
        io.out << "Result: " << result << '\n';
        if (result == kBuildOk) {
            io.out << "Events: " << compiler.Events.Count() << '\n';
            for (int32_t i = 0; i < compiler.Events.Count(); ++i)
                io.out << "  " << i << "  " << num(compiler.Events.At(i).Time) << " s  "
                       << hex4(compiler.Events.At(i).Code) << '\n';
            io.out << "Duration: " << num(duration) << " s (to the last event, the return to rest included)\n";
            io.out << "Samples A: " << compiler.SampleTimesA.Count() << "  skipped: " << compiler.SkippedA << '\n';
            io.out << "Samples B: " << compiler.SampleTimesB.Count() << "  skipped: " << compiler.SkippedB << '\n';
            if (compiler.SkippedA + compiler.SkippedB > 0)
                io.out << "  (skipped: sample slots the instrument clocks but does not keep, from actions that "
                          "do not record the channel or are 'unrecorded')\n";
            printMacros(io, "Macros", compiler.Macros);
            printMacros(io, "Initial macros", compiler.InitMacros);
            io.out << "Repeat: count " << compiler.RepeatCount << "  time " << num(double(compiler.RepeatTime))
                   << " s  extra " << num(double(compiler.RepeatExtra)) << '\n';
            io.out << "Variables: " << compiler.Vars.Count() << '\n';
            for (int32_t i = 0; i < compiler.Vars.Count(); ++i)
                io.out << "  " << compiler.Vars.Name(i) << " = " << num(compiler.Vars.Value(i)) << '\n';
        }
    }
    if (result != kBuildOk)
        return kExitFailed;
    if (img.Result != kSendOk) {
        io.err << img.Error << '\n';
        return kExitFailed;
    }
    if (p.isSet(QStringLiteral("image")) && !writeImage(p.value(QStringLiteral("image")), img, io))
        return kExitFailed;
    return kExitOk;
}

const Registrar reg({QStringLiteral("compile"),
                     QStringLiteral("Build a protocol's event table and program image for a device type"), run});

} // namespace
} // namespace tessel::cli
