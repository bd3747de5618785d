// tessel-cli selftest: the instrument's self test and its report.
#include "DeviceLink.h"

namespace tessel::cli {
namespace {

int runBody(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Identify the instrument, run its self test and print the report."));
    AddLinkOptions(p);
    if (int rc = ParseArgs(p, QStringLiteral("selftest"), args, io); rc != kContinue)
        return rc;
    int rc = kExitOk;
    auto link = OpenIdentifiedLink(p, QStringLiteral("selftest"), io, rc);
    if (!link)
        return rc;
    QStringList lines;
    const bool complete = link->TestUnit(lines);
    for (const QString &l : lines)
        io.out << l << '\n';
    if (!complete)
        io.err << "Self test did not finish\n";
    return complete ? kExitOk : kExitFailed;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("selftest"), QStringLiteral("Run the instrument's self test"), run});

} // namespace
} // namespace tessel::cli
