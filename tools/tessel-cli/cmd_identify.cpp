// tessel-cli identify: the baud-rate search for the instrument on a port.
#include "DeviceLink.h"

#include <QJsonObject>

namespace tessel::cli {
namespace {

int runBody(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Identify the instrument on a port; exit 0 when connected."));
    AddLinkOptions(p);
    p.addOption({QStringLiteral("wake"), QStringLiteral("Send the wake-up bytes before each identification.")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("identify"), args, io); rc != kContinue)
        return rc;
    int rc = kExitOk;
    auto link = OpenLink(p, QStringLiteral("identify"), io, rc);
    if (!link)
        return rc;
    QStringList messages;
    const bool connected = Identify(link->Connection, p.isSet(QStringLiteral("wake")), messages);
    if (p.isSet(QStringLiteral("json"))) {
        const TDevice d = link->Comm->Device();
        PrintJson(io,
                  QJsonDocument(QJsonObject{{"connected", connected},
                                            {"device", connected ? QString::fromLatin1(DeviceInfo(d).name) : QString()},
                                            {"deviceText", connected ? link->Connection.DeviceText() : QString()},
                                            {"blockSize", connected ? link->Comm->BlockSize() : 0},
                                            {"version", VersionJson(link->Comm->Version())},
                                            {"baudRate", BaudRateValue(link->Comm->BaudRate())},
                                            {"messages", QJsonArray::fromStringList(messages)}}));
    } else {
        for (const QString &m : messages)
            io.out << m << '\n';
    }
    if (!connected && !ReportLost(*link->Comm, io) &&
        messages.value(messages.size() - 1) == QLatin1String("Device not found"))
        io.err << NotFoundHelp(link->Connection) << '\n';
    return connected ? kExitOk : kExitFailed;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("identify"), QStringLiteral("Identify the instrument on a port"), run});

} // namespace
} // namespace tessel::cli
