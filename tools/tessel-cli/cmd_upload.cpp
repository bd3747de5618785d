// tessel-cli upload: a boot or firmware image into the instrument, as
// "Update BIOS" and "Update Firmware" do.
#include "DeviceLink.h"

#include "app/FirmwareUpload.h"

#include <QFileInfo>
#include <QJsonObject>

namespace tessel::cli {
namespace {

QString ResultText(TUploadResult r) {
    switch (r) {
    case TUploadResult::NotRun:
        return QStringLiteral("not connected");
    case TUploadResult::Cancelled:
        return QStringLiteral("cancelled");
    case TUploadResult::Unreadable:
        return QStringLiteral("unreadable");
    case TUploadResult::UploadFailed:
        return QStringLiteral("upload failed");
    case TUploadResult::ProgrammingFailed:
        return QStringLiteral("programming failed");
    case TUploadResult::Programmed:
        return QStringLiteral("programmed");
    }
    return {};
}

QString RefusalText(TDevice d, TImageKind kind) {
    const QString name = QLatin1String(DeviceInfo(d).name);
    return kind == TImageKind::Boot
               ? name + QStringLiteral(" takes no boot image; BIOS updates are for ") + DeviceNamesWith(capBootImage)
               : name + QStringLiteral(" takes no firmware image; firmware updates are for ") +
                     DeviceNamesWith(capFirmware);
}

int runBody(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Identify the instrument, load a boot image (--bios) or a firmware image (--firmware) with \"LDP\" and "
        "let the instrument program it. Progress and the result go to standard error."));
    AddLinkOptions(p);
    p.addOption({QStringLiteral("bios"),
                 QStringLiteral("Boot image to write into the flash (%1).").arg(DeviceNamesWith(capBootImage)),
                 QStringLiteral("FILE")});
    p.addOption(
        {QStringLiteral("firmware"),
         QStringLiteral("Device program to install (%1).").arg(DeviceNamesWith(capFirmware, QStringLiteral(", "))),
         QStringLiteral("FILE")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("upload"), args, io); rc != kContinue)
        return rc;
    const bool bios = p.isSet(QStringLiteral("bios")), firmware = p.isSet(QStringLiteral("firmware"));
    if (bios == firmware) {
        io.err << "tessel-cli upload: give either --bios FILE or --firmware FILE\n\n" << Help(p);
        return kExitUsage;
    }
    const TImageKind kind = bios ? TImageKind::Boot : TImageKind::Firmware;
    const QString file = p.value(bios ? QStringLiteral("bios") : QStringLiteral("firmware"));
    const bool json = p.isSet(QStringLiteral("json"));

    int rc = kExitOk;
    auto session = OpenIdentifiedSession(p, QStringLiteral("upload"), io, rc);
    if (!session)
        return rc;
    const TDevice device = session->Link().Device();
    QString result;
    int32_t bytes = 0;
    if (!TakesImage(device, kind)) {
        // Nothing of the image goes out to an instrument that cannot take it.
        io.err << RefusalText(device, kind) << '\n';
        result = QStringLiteral("refused");
        rc = kExitFailed;
    } else {
        int lastTenth = -1;
        TUploadHost host;
        host.SetStatus = [&io](const QString &text) {
            if (!text.isEmpty())
                io.err << text << Qt::endl;
        };
        host.Progress = [&](int32_t sent, int32_t total) {
            bytes = sent;
            // One line per tenth of the image.
            const int tenth = total > 0 ? int(int64_t(sent) * 10 / total) : 10;
            if (tenth == lastTenth)
                return;
            lastTenth = tenth;
            io.err << "Sent " << sent << " of " << total << " bytes (" << tenth * 10 << " %)" << Qt::endl;
        };
        TFirmwareUpload upload(session->Commands(), nullptr, nullptr, std::move(host));
        const TUploadResult r = upload.UploadFile(kind, file);
        result = ResultText(r);
        rc = r == TUploadResult::Programmed ? kExitOk : kExitFailed;
    }
    if (json)
        PrintJson(io, QJsonDocument(QJsonObject{{"device", QLatin1String(DeviceInfo(device).name)},
                                                {"image", bios ? "bios" : "firmware"},
                                                {"file", QFileInfo(file).absoluteFilePath()},
                                                {"size", QFileInfo(file).size()},
                                                {"sent", bytes},
                                                {"result", result}}));
    else
        io.out << result << '\n';
    return rc;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("upload"), QStringLiteral("Install a boot or firmware image"), run});

} // namespace
} // namespace tessel::cli
