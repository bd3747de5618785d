// tessel-cli start: asks the running program to start a measurement.
#include "Cli.h"

#include "app/StartServer.h"

#include <QFileInfo>
#include <QJsonObject>

namespace tessel::cli {
namespace {

int run(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Start a measurement in the running program, as its Start button does."));
    p.addOption(
        {QStringLiteral("socket"), QStringLiteral("Name of the program's start socket."), QStringLiteral("NAME")});
    p.addOption({QStringLiteral("open"), QStringLiteral("Open this experiment file instead of starting."),
                 QStringLiteral("FILE")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("start"), args, io); rc != kContinue)
        return rc;
    if (!p.positionalArguments().isEmpty()) {
        io.err << "tessel-cli start: unexpected argument '" << p.positionalArguments().at(0) << "'\n";
        return kExitUsage;
    }
    const QString name =
        p.isSet(QStringLiteral("socket")) ? p.value(QStringLiteral("socket")) : TStartServer::SocketName();
    QString reply;
    if (p.isSet(QStringLiteral("open"))) {
        const QString file = QFileInfo(p.value(QStringLiteral("open"))).absoluteFilePath();
        if (!TStartServer::SendOpen(file, &reply, name)) {
            io.err << "tessel-cli start: no running Tessel program answered\n";
            return kExitFailed;
        }
        const bool opened = reply == QLatin1String("opened");
        if (p.isSet(QStringLiteral("json")))
            PrintJson(io, QJsonDocument(QJsonObject{{"opened", opened}, {"file", file}}));
        else
            io.out << (opened ? "Opened " + file + "\n" : QStringLiteral("The program did not open the file\n"));
        return opened ? kExitOk : kExitFailed;
    }
    if (!TStartServer::Send(&reply, name)) {
        io.err << "tessel-cli start: no running Tessel program answered\n";
        return kExitFailed;
    }
    const bool started = reply == QLatin1String("started");
    if (p.isSet(QStringLiteral("json")))
        PrintJson(io, QJsonDocument(QJsonObject{{"started", started}}));
    else
        io.out << (started ? "Measurement started\n" : "Start is not enabled now; the request was ignored\n");
    return started ? kExitOk : kExitFailed;
}

const Registrar reg({QStringLiteral("start"), QStringLiteral("Start a measurement in the running program"), run});

} // namespace
} // namespace tessel::cli
