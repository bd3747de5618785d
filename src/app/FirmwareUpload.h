#pragma once

#include "device/CommandSet.h"

#include <QString>
#include <functional>

class QTimer;

namespace tessel {

struct TEnvSetup;

// The two images an instrument can be given: its boot program, written into
// its flash ("PF"), or a new device program ("PX").
enum class TImageKind { Boot, Firmware };

// Which types take which image is a column of the instrument table.
bool TakesImage(TDevice device, TImageKind kind);
// Status text while the instrument programs the image.
QString ProgrammingText(TImageKind kind);

enum class TUploadResult {
    NotRun,            // the link was busy, closed or not connected
    Cancelled,         // the file dialog was cancelled
    Unreadable,        // the file could not be read; nothing was sent
    UploadFailed,      // "LDP" or one of its blocks was refused
    ProgrammingFailed, // the image arrived, programming it failed
    Programmed,
};

// What the upload shows while it runs.
struct TUploadHost {
    std::function<void(const QString &text)> SetStatus; // status panel 1
    std::function<void()> RepaintStatus;
    std::function<void(int32_t sent, int32_t total)> Progress; // after every accepted block
};

// "Update BIOS" and "Update Firmware": the file dialog, the whole file loaded
// with "LDP", then the programming command, with the status texts and the
// result dialog. The status timer is stopped for the whole upload, so that
// no poll interleaves with the blocks, and runs again whatever the outcome.
class TFirmwareUpload {
public:
    // statusTimer and env may be null (the command line has neither).
    TFirmwareUpload(TCommandSet &link, QTimer *statusTimer, TEnvSetup *env, TUploadHost host = {});

    // The menu command: nothing while the link is unavailable; otherwise the
    // file dialog in the last used folder, then UploadFile.
    TUploadResult Run(TImageKind kind);
    // Reads the file whole, loads it and programs it; ends in one dialog.
    TUploadResult UploadFile(TImageKind kind, const QString &path);

    static QString DialogFilter() { return QStringLiteral("Bin File (*.bin)|*.bin"); }
    static QString DialogTitle(TImageKind kind);

private:
    void status(const QString &text);

    TCommandSet &m_link;
    QTimer *m_timer;
    TEnvSetup *m_env;
    TUploadHost m_host;
};

// A chosen file name without an extension gets ".bin" when only that file
// exists, as the dialog's default extension would.
QString WithDefaultExtension(const QString &path, const QString &extension);

} // namespace tessel
