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
    auto session = OpenSession(p, QStringLiteral("identify"), io, rc);
    if (!session)
        return rc;
    QStringList messages;
    const bool connected = Identify(*session, p.isSet(QStringLiteral("wake")), messages);
    if (p.isSet(QStringLiteral("json"))) {
        const TDevice d = session->Link().Device();
        PrintJson(io,
                  QJsonDocument(QJsonObject{{"connected", connected},
                                            {"device", connected ? QString::fromLatin1(DeviceInfo(d).name) : QString()},
                                            {"deviceText", connected ? session->Connection().DeviceText() : QString()},
                                            {"blockSize", connected ? session->Link().BlockSize() : 0},
                                            {"version", VersionJson(session->Link().Version())},
                                            {"baudRate", BaudRateValue(session->Link().BaudRate())},
                                            {"messages", QJsonArray::fromStringList(messages)}}));
    } else {
        for (const QString &m : messages)
            io.out << m << '\n';
    }
    if (!connected && !ReportLost(session->Link(), io) &&
        messages.value(messages.size() - 1) == QLatin1String("Device not found"))
        io.err << NotFoundHelp(session->Connection()) << '\n';
    return connected ? kExitOk : kExitFailed;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("identify"), QStringLiteral("Identify the instrument on a port"), run});

} // namespace
} // namespace tessel::cli
