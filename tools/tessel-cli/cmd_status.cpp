// tessel-cli status: one "WD" poll.
#include "DeviceLink.h"

#include <QJsonObject>

namespace tessel::cli {
namespace {

int runBody(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Identify the instrument, poll its status once, print code and text."));
    AddLinkOptions(p);
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("status"), args, io); rc != kContinue)
        return rc;
    int rc = kExitOk;
    auto session = OpenIdentifiedSession(p, QStringLiteral("status"), io, rc);
    if (!session)
        return rc;
    const TDeviceStatus s = session->Commands().GetStatus();
    if (p.isSet(QStringLiteral("json")))
        PrintJson(io, QJsonDocument(QJsonObject{{"code", int(s)}, {"text", StatusText(s)}}));
    else
        io.out << int(s) << ' ' << StatusText(s) << '\n';
    // The error replies count as a failed poll, as they do in the main window.
    const bool failed = s == stNoReply || s >= stTE;
    if (s != stNoReply && failed)
        io.err << "The instrument reports " << StatusText(s) << '\n';
    else if (s == stNoReply && !ReportLost(session->Link(), io))
        io.err << "No status reply\n";
    return failed ? kExitFailed : kExitOk;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("status"), QStringLiteral("Poll the instrument's status once"), run});

} // namespace
} // namespace tessel::cli
