// tessel-cli selftest: the instrument's self test and its report.
#include "DeviceLink.h"

#include <QJsonObject>

namespace tessel::cli {
namespace {

QString EndText(TTestEnd end) {
    switch (end) {
    case TTestEnd::Complete:
        return QStringLiteral("complete");
    case TTestEnd::Aborted:
        return QStringLiteral("aborted");
    case TTestEnd::Silent:
        return QStringLiteral("silent");
    case TTestEnd::TooLong:
        return QStringLiteral("too long");
    case TTestEnd::Empty:
        return QStringLiteral("no report");
    case TTestEnd::LineLost:
        return QStringLiteral("line lost");
    case TTestEnd::NotSent:
        break;
    }
    return QStringLiteral("not sent");
}

int runBody(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Identify the instrument, run its self test and print the report."));
    AddLinkOptions(p);
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("selftest"), args, io); rc != kContinue)
        return rc;
    int rc = kExitOk;
    auto session = OpenIdentifiedSession(p, QStringLiteral("selftest"), io, rc);
    if (!session)
        return rc;
    QStringList lines;
    // Passed only with the end marker after a report: a stray byte that ends
    // the stream before any text is no result.
    const bool passed = session->Commands().TestUnit(lines);
    const TTestEnd end = session->Commands().LastTestEnd();
    if (p.isSet(QStringLiteral("json"))) {
        PrintJson(io, QJsonDocument(QJsonObject{
                          {"passed", passed}, {"end", EndText(end)}, {"lines", QJsonArray::fromStringList(lines)}}));
    } else {
        for (const QString &l : lines)
            io.out << l << '\n';
    }
    if (!passed && !ReportLost(session->Link(), io))
        io.err << "Self test did not pass: " << EndText(end) << '\n';
    return passed ? kExitOk : kExitFailed;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("selftest"), QStringLiteral("Run the instrument's self test"), run});

} // namespace
} // namespace tessel::cli
