// tessel-cli status: one "WD" poll.
#include "DeviceLink.h"

namespace tessel::cli {
namespace {

int runBody(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Identify the instrument, poll its status once, print code and text."));
    AddLinkOptions(p);
    if (int rc = ParseArgs(p, QStringLiteral("status"), args, io); rc != kContinue)
        return rc;
    int rc = kExitOk;
    auto link = OpenIdentifiedLink(p, QStringLiteral("status"), io, rc);
    if (!link)
        return rc;
    const TDeviceStatus s = link->GetStatus();
    io.out << int(s) << ' ' << StatusText(s) << '\n';
    return s == stNoReply ? kExitFailed : kExitOk;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("status"), QStringLiteral("Poll the instrument's status once"), run});

} // namespace
} // namespace tessel::cli
