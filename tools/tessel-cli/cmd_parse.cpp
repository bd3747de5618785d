// tessel-cli parse: runs a protocol through the compiler library, exactly as
// the program binds it, and prints every callback in order.
#include "Cli.h"

#include "common/AppPaths.h"
#include "common/NumberText.h"
#include "compiler/CompilerLibrary.h"
#include "compiler/CompilerRun.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace tessel::cli {
namespace {

QString hexCode(uint32_t code) {
    return QStringLiteral("0x%1").arg(code, 8, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
}

QString hexBytes(const QByteArray &b) {
    QStringList parts;
    for (char c : b)
        parts << QStringLiteral("%1").arg(uint8_t(c), 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

QString num(long double v) { return FormatMachine(static_cast<double>(v)); }

QJsonObject callJson(const TCompilerCall &c) {
    switch (c.kind) {
    case TCompilerCall::Action:
        return {{"kind", "action"}, {"time", double(c.time)}, {"code", hexCode(c.code)}};
    case TCompilerCall::Macro:
        return {{"kind", "macro"}, {"time", double(c.time)}, {"bytes", hexBytes(c.bytes)}};
    case TCompilerCall::Variable:
        return {{"kind", "variable"}, {"name", QString::fromUtf8(c.name)}, {"value", double(c.value)}};
    case TCompilerCall::End:
        break;
    }
    return {{"kind", "end"}};
}

void printCall(CliIO &io, const TCompilerCall &c) {
    switch (c.kind) {
    case TCompilerCall::Action:
        io.out << "action   " << num(c.time) << " s  " << hexCode(c.code) << '\n';
        break;
    case TCompilerCall::Macro:
        io.out << "macro    " << num(c.time) << " s  " << hexBytes(c.bytes) << '\n';
        break;
    case TCompilerCall::Variable:
        io.out << "variable " << QString::fromUtf8(c.name) << " = " << num(c.value) << '\n';
        break;
    case TCompilerCall::End:
        io.out << "end\n";
        break;
    }
}

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Compile a protocol with the compiler library and print its actions, "
                                               "macros and variables."));
    p.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Protocol source file."));
    p.addOption({QStringLiteral("include"),
                 QStringLiteral("Include directory (default: the include folder beside the program)."),
                 QStringLiteral("DIR")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("parse"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1) {
        io.err << "tessel-cli parse: give exactly one protocol file\n\n" << Help(p);
        return kExitUsage;
    }
    const QString includeDir = p.isSet(QStringLiteral("include"))
                                   ? p.value(QStringLiteral("include"))
                                   : QDir(AppPaths::dataDir()).filePath(QStringLiteral("include")) + QLatin1Char('/');

    // The library may already be installed (by the program or a test).
    ICompilerLibrary *lib = CompilerLibrary();
    std::unique_ptr<ICompilerLibrary> loaded;
    if (!lib) {
        loaded = LoadCompilerLibrary(AppPaths::libraryDir());
        if (!loaded)
            return kExitFailed;
        lib = loaded.get();
    }
    const TCompilerRun r = RunCompiler(*lib, pos.first(), includeDir);

    if (p.isSet(QStringLiteral("json"))) {
        QJsonArray calls;
        for (const TCompilerCall &c : r.calls)
            calls.append(callJson(c));
        QJsonObject j{{"ok", r.ok}, {"calls", calls}};
        if (!r.ok)
            j["error"] = QJsonObject{
                {"message", r.errorMsg}, {"file", r.errorFile}, {"line", r.errorLine}, {"column", r.errorColumn}};
        PrintJson(io, QJsonDocument(j));
    } else if (r.ok) {
        for (const TCompilerCall &c : r.calls)
            printCall(io, c);
    }
    if (!r.ok) {
        io.err << r.errorFile << ':' << r.errorLine << ':' << r.errorColumn << ": " << r.errorMsg << '\n';
        return kExitFailed;
    }
    return kExitOk;
}

const Registrar reg({QStringLiteral("parse"), QStringLiteral("Compile a protocol and print the library's callbacks"),
                     run});

} // namespace
} // namespace tessel::cli
