#include "app/FirmwareUpload.h"

#include "common/Errors.h"
#include "common/FileDialogService.h"
#include "common/Finally.h"
#include "common/MessageService.h"
#include "settings/EnvSetup.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace tessel {

bool TakesImage(TDevice device, TImageKind kind) {
    return kind == TImageKind::Boot ? TakesBootImage(device) : TakesFirmware(device);
}

QString ProgrammingText(TImageKind kind) {
    return kind == TImageKind::Boot ? QStringLiteral("Programming flash...") : QStringLiteral("Programming device...");
}

QString WithDefaultExtension(const QString &path, const QString &extension) {
    const QFileInfo f(path);
    if (!f.suffix().isEmpty() || f.exists())
        return path;
    const QString withExt = path + QLatin1Char('.') + extension;
    return QFileInfo::exists(withExt) ? withExt : path;
}

TFirmwareUpload::TFirmwareUpload(TCommandSet &link, QTimer *statusTimer, TEnvSetup *env, TUploadHost host)
    : m_link(link), m_timer(statusTimer), m_env(env), m_host(std::move(host)) {}

QString TFirmwareUpload::DialogTitle(TImageKind kind) {
    return kind == TImageKind::Boot ? QStringLiteral("Update BIOS") : QStringLiteral("Update Firmware");
}

void TFirmwareUpload::status(const QString &text) {
    if (m_host.SetStatus)
        m_host.SetStatus(text);
    if (m_host.RepaintStatus)
        m_host.RepaintStatus();
}

TUploadResult TFirmwareUpload::Run(TImageKind kind) {
    if (m_link.Link().IsBusy())
        return TUploadResult::NotRun;
    const QString chosen =
        FileDialogs().getOpenFileName(DialogTitle(kind), m_env ? StartDir(*m_env) : QString(), DialogFilter());
    if (chosen.isEmpty())
        return TUploadResult::Cancelled;
    const QString path = WithDefaultExtension(chosen, QStringLiteral("bin"));
    if (m_env)
        RememberDir(*m_env, path);
    return UploadFile(kind, path);
}

TUploadResult TFirmwareUpload::UploadFile(TImageKind kind, const QString &path) {
    QByteArray image;
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            Messages().error(
                QStringLiteral("Cannot open file \"%1\". %2").arg(QFileInfo(path).absoluteFilePath(), f.errorString()));
            return TUploadResult::Unreadable;
        }
        image = f.readAll();
        if (f.error() != QFileDevice::NoError) {
            Messages().error(
                QStringLiteral("Cannot read file \"%1\". %2").arg(QFileInfo(path).absoluteFilePath(), f.errorString()));
            return TUploadResult::Unreadable;
        }
    }

    TUploadResult result = TUploadResult::UploadFailed;
    {
        BusyCursor busy;
        status(QStringLiteral("Uploading program..."));
        if (m_timer)
            m_timer->stop();
        // Whatever happens below, polling resumes and the status clears.
        Finally resume([this] {
            if (m_timer)
                m_timer->start();
            status(QString());
        });
        auto previous = m_link.Link().OnBlockSent;
        m_link.Link().OnBlockSent = m_host.Progress;
        Finally restore([&] { m_link.Link().OnBlockSent = previous; });
        try {
            if (m_link.LoadData("LDP", image)) {
                status(ProgrammingText(kind));
                const bool ok = kind == TImageKind::Boot ? m_link.ProgramFlash() : m_link.ProgramDevice();
                result = ok ? TUploadResult::Programmed : TUploadResult::ProgrammingFailed;
            }
        } catch (const ETesselError &e) {
            // The port failed under way (an adapter pulled out).
            Messages().error(e.message());
            return result;
        }
        switch (result) {
        case TUploadResult::Programmed:
            Messages().information(QStringLiteral("Programming completed successfully."));
            break;
        case TUploadResult::ProgrammingFailed:
            Messages().error(QStringLiteral("Programming failed."));
            break;
        default:
            Messages().error(QStringLiteral("Upload failed."));
            break;
        }
    }
    return result;
}

} // namespace tessel
