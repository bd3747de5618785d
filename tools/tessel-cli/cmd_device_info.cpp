// tessel-cli device-info: what the "Device Info" window shows for the
// instrument on a port.
#include "DeviceLink.h"

#include "app/CommonObjs.h"
#include "app/InstrumentConfig.h"

#include <QJsonObject>

namespace tessel::cli {
namespace {

QJsonObject boundJson(const TTimingBound &b) { return QJsonObject{{"Limit", b.Limit}, {"IsError", b.IsError}}; }

QJsonObject recordJson(const TDeviceInfoRecord &r) {
    QJsonArray bounds;
    for (int i = 0; i < kOutputLines; ++i) {
        const TLineBounds &l = r.Bounds[size_t(i)];
        bounds.append(QJsonObject{{"Line", i},
                                  {"SpaceMin", boundJson(l.SpaceMin)},
                                  {"SpaceMax", boundJson(l.SpaceMax)},
                                  {"PulseMin", boundJson(l.PulseMin)},
                                  {"PulseMax", boundJson(l.PulseMax)}});
    }
    return QJsonObject{{"TimerBits", r.TimerBits},
                       {"TimeBase", r.TimeBase},
                       {"MinTimer", r.MinTimer},
                       {"TimePropagation", r.TimePropagation},
                       {"MaxEvents", r.MaxEvents},
                       {"MaxASamples", r.MaxASamples},
                       {"MaxBSamples", r.MaxBSamples},
                       {"BitResA", r.BitResA},
                       {"MoChA", r.MoChA},
                       {"SamplesPerEventA", r.SamplesPerEventA},
                       {"SampleDistanceA", r.SampleDistanceA},
                       {"BitResB", r.BitResB},
                       {"MoChB", r.MoChB},
                       {"SamplesPerEventB", r.SamplesPerEventB},
                       {"SampleDistanceB", r.SampleDistanceB},
                       {"Bounds", bounds}};
}

void printText(CliIO &io, const TDeviceInfoRecord &r) {
    io.out << "Timer Parameters\n";
    for (const TDeviceInfoItem &i : TimerItems(r))
        io.out << "  " << i.label << ' ' << i.text << '\n';
    io.out << "Channels\n";
    for (const TDeviceInfoItem &i : ChannelItems(r))
        io.out << "  " << i.label << ' ' << i.text << '\n';
    io.out << BoundsHeader().join('\t') << '\n';
    for (int line = 0; line < kOutputLines; ++line)
        io.out << BoundsRow(r, line).join('\t') << '\n';
}

int runBody(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Identify the instrument, read its device information and print the Device Info values."));
    AddLinkOptions(p);
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("device-info"), args, io); rc != kContinue)
        return rc;
    int rc = kExitOk;
    QString found;
    auto session = OpenIdentifiedSession(p, QStringLiteral("device-info"), io, rc, &found);
    if (!session)
        return rc;
    TCommunication &link = session->Link();
    session->ReadConfiguration();
    const TInstrumentSession::TDeviceInfoRead read = session->ReadDeviceInfo();
    if (read == TInstrumentSession::TDeviceInfoRead::Failed) {
        if (!ReportLost(link, io))
            io.err << "Unable to get device information: " << session->Connection().DeviceInfoError() << '\n';
        return kExitFailed;
    }
    const bool fromInstrument = read == TInstrumentSession::TDeviceInfoRead::Applied;
    const TDeviceInfoRecord shown = TCommonObjs::DeviceInfoOf(session->Configuration());
    if (p.isSet(QStringLiteral("json"))) {
        QJsonObject j = recordJson(shown);
        j["device"] = QString::fromLatin1(DeviceInfo(link.Device()).name);
        j["source"] = fromInstrument ? QStringLiteral("instrument") : QStringLiteral("ini");
        PrintJson(io, QJsonDocument(j));
    } else {
        io.out << found << '\n';
        printText(io, shown);
    }
    return kExitOk;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("device-info"),
                     QStringLiteral("Read and print the instrument's device information"), run});

} // namespace
} // namespace tessel::cli
