#pragma once

// Shared by the subcommands that talk to an instrument: the common options
// (--port, --ini) and a link opened on the port with the ini's baud rates.

#include "Cli.h"

#include "common/AppPaths.h"
#include "device/Communication.h"
#include "device/PosixCommPort.h"

#include <QJsonArray>
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

// The opened link, or null after printing why (exit code in rc).
inline std::unique_ptr<TCommunication> OpenLink(const QCommandLineParser &p, const QString &command, CliIO &io,
                                                int &rc) {
    if (!p.isSet(QStringLiteral("port"))) {
        io.err << "tessel-cli " << command << ": --port is required\n";
        rc = kExitUsage;
        return nullptr;
    }
    auto link = std::make_unique<TCommunication>(std::make_unique<TPosixCommPort>(), p.value(QStringLiteral("port")));
    link->LoadBaudRates(p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini")) : AppPaths::iniPath());
    try {
        link->Open();
    } catch (const ECommError &e) {
        io.err << e.message() << '\n';
        rc = kExitFailed;
        return nullptr;
    }
    return link;
}

// Runs the identification; every message text goes to messages.
inline bool Identify(TCommunication &link, bool wake, QStringList &messages) {
    link.OnMessage = [&messages](TCustomComm *, const QString &msg) { messages.append(msg); };
    const bool ok = link.Connect(true, wake);
    link.OnMessage = nullptr;
    return ok;
}

// The opened link with the instrument identified, or null after printing why
// (exit code in rc); found receives the identification's result text.
inline std::unique_ptr<TCommunication> OpenIdentifiedLink(const QCommandLineParser &p, const QString &command,
                                                          CliIO &io, int &rc, QString *found = nullptr) {
    auto link = OpenLink(p, command, io, rc);
    if (!link)
        return nullptr;
    QStringList messages;
    if (!Identify(*link, false, messages)) {
        if (!ReportLost(*link, io))
            io.err << messages.value(messages.size() - 1) << '\n';
        rc = kExitFailed;
        return nullptr;
    }
    if (found)
        *found = messages.value(messages.size() - 1);
    return link;
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

inline QJsonArray VersionJson(const std::array<uint8_t, 4> &v) {
    return QJsonArray{v[0], v[1], v[2], v[3]};
}

} // namespace tessel::cli
