#pragma once

// Shared by the subcommands that talk to an instrument: the common options
// (--port, --ini) and an instrument session whose link is opened on the port
// with the ini's baud rates.

#include "Cli.h"

#include "app/InstrumentSession.h"

#include "common/AppPaths.h"
#include "common/Log.h"
#include "device/ConnectionManager.h"
#include "device/PosixCommPort.h"

#include <QDir>
#include <QJsonArray>
#include <QRegularExpression>
#include <cstring>
#include <memory>

namespace tessel::cli {

inline void AddLinkOptions(QCommandLineParser &p) {
    p.addOption({QStringLiteral("port"), QStringLiteral("Serial port or pseudo-terminal of the instrument."),
                 QStringLiteral("PATH")});
    p.addOption({QStringLiteral("ini"),
                 QStringLiteral("Ini file with the baud rates (default: Tessel.ini beside the program)."),
                 QStringLiteral("PATH")});
}

// After a failed exchange: when the line went away (unplugged, hung up),
// says so on stderr and returns true.
inline bool ReportLost(const TCommunication &link, CliIO &io) {
    if (link.IsOpen() || link.LostCode() == 0)
        return false;
    io.err << "Connection lost on " << link.DeviceName() << " (Error: " << link.LostCode() << ")\n";
    return true;
}

// A port error as the system words it, then the port and the system's
// reason: "Error accessing specified device (Error: 2): /dev/ttyUSB7: No such
// file or directory"; a hint the link gave follows on its own line.
inline QString PortErrorText(const ECommError &e, const QString &port) {
    static const QRegularExpression form(QStringLiteral("^(.*\\(Error: -?\\d+\\)) ?(.*)$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = form.match(e.message());
    if (!m.hasMatch())
        return e.message() + QStringLiteral(": ") + port;
    QString text = m.captured(1) + QStringLiteral(": ") + port;
    if (e.ErrorCode() > 0)
        text += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(e.ErrorCode()));
    if (!m.captured(2).trimmed().isEmpty())
        text += u'\n' + m.captured(2).trimmed();
    return text;
}

// "Device not found" with what was tried and what to do next.
inline QString NotFoundHelp(const TConnectionManager &link) {
    QStringList rates;
    for (int b = br256000; b >= br110; --b)
        if (link.BaudRates().contains(TBaudrate(b)))
            rates << QString::number(BaudRateValue(TBaudrate(b)));
    return QStringLiteral("Tried %1 at %2 baud. Check that the instrument is switched on and its cable plugged "
                          "in, that you may use the port (its group, e.g. dialout), and the baud rates in the "
                          "ini; an instrument that sleeps needs waking with --wake (identify, measure)")
        .arg(link.Link().DeviceName(), rates.join(QStringLiteral(", ")));
}

// The session with its link opened, or null after printing why (exit code in rc).
inline std::unique_ptr<TInstrumentSession> OpenSession(const QCommandLineParser &p, const QString &command, CliIO &io,
                                                       int &rc) {
    if (!p.isSet(QStringLiteral("port"))) {
        io.err << "tessel-cli " << command << ": --port is required\n";
        rc = kExitUsage;
        return nullptr;
    }
    // The exchange goes to the per-user log, never into the program's folder.
    if (!LogEnabled() && QDir().mkpath(AppPaths::stateDir()))
        OpenLog(AppPaths::stateDir() + QStringLiteral("/tessel-cli.log"));
    auto session = std::make_unique<TInstrumentSession>(
        std::make_unique<TCommunication>(std::make_unique<TPosixCommPort>(), p.value(QStringLiteral("port"))),
        p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini")) : AppPaths::iniPath());
    try {
        session->Open();
    } catch (const ECommError &e) {
        io.err << PortErrorText(e, p.value(QStringLiteral("port"))) << '\n';
        rc = kExitFailed;
        return nullptr;
    }
    return session;
}

// Runs the identification; every message text goes to messages.
inline bool Identify(TInstrumentSession &session, bool wake, QStringList &messages) {
    TConnectionManager &link = session.Connection();
    link.OnMessage = [&messages](TCustomComm *, const QString &msg) { messages.append(msg); };
    const bool ok = session.Identify(wake);
    link.OnMessage = nullptr;
    return ok;
}

// The session with the instrument identified, or null after printing why
// (exit code in rc); found receives the identification's result text.
inline std::unique_ptr<TInstrumentSession> OpenIdentifiedSession(const QCommandLineParser &p, const QString &command,
                                                                 CliIO &io, int &rc, QString *found = nullptr,
                                                                 bool wake = false) {
    auto session = OpenSession(p, command, io, rc);
    if (!session)
        return nullptr;
    QStringList messages;
    if (!Identify(*session, wake, messages)) {
        if (!ReportLost(session->Link(), io)) {
            io.err << messages.value(messages.size() - 1) << '\n';
            if (messages.value(messages.size() - 1) == QLatin1String("Device not found"))
                io.err << NotFoundHelp(session->Connection()) << '\n';
        }
        rc = kExitFailed;
        return nullptr;
    }
    if (found)
        *found = messages.value(messages.size() - 1);
    return session;
}

// A port that fails under way (the device unplugged) raises; report it as a
// failed operation.
template <typename F> int Guarded(CliIO &io, F body) {
    try {
        return body();
    } catch (const ETesselError &e) {
        io.err << e.message() << '\n';
        return kExitFailed;
    }
}

inline QJsonArray VersionJson(const std::array<uint8_t, 4> &v) { return QJsonArray{v[0], v[1], v[2], v[3]}; }

} // namespace tessel::cli
