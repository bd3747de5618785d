// "Update BIOS" and "Update Firmware" against the virtual instrument
// in-process: the file dialog, the status texts, the blocks, the programming
// answer and the result dialog, with the instrument's faults.
#include "SimBridge.h"
#include "app/FirmwareUpload.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "settings/EnvSetup.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

QByteArray Image(int size) {
    QByteArray b(size, 0);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 37 + 11) & 0xFF);
    return b;
}

QString WriteFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

// The instrument, a polling status timer, the folder memory and recorded dialogs.
struct UploadBench {
    test::TestDir dir;
    RecordingMessageService messages;
    ScopedMessageService messageScope{&messages};
    RecordingFileDialogService files;
    ScopedFileDialogService fileScope{&files};
    test::SimBridge bridge;
    QTimer timer;
    TEnvSetup env;
    QStringList statuses;
    QList<bool> timerWhileBusy; // the timer's state at every block and while programming
    int32_t lastSent = -1;
    TFirmwareUpload upload;

    UploadBench(const char *device, bool connect = true, std::function<void(sim::TSimFaults &)> faults = {})
        : bridge(Options(device, faults)),
          upload(*bridge.Link, &timer, &env,
                 TUploadHost{[this](const QString &t) {
                                 statuses << t;
                                 if (t.startsWith("Programming"))
                                     timerWhileBusy << timer.isActive();
                             },
                             {},
                             [this](int32_t sent, int32_t) {
                                 lastSent = sent;
                                 timerWhileBusy << timer.isActive();
                             }}) {
        timer.setInterval(3600 * 1000);
        if (connect)
            EXPECT_TRUE(bridge.Link->Connect(false, false));
        timer.start();
        env.LastDir = dir.path("images");
        QDir().mkpath(env.LastDir);
    }
    static sim::TSimOptions Options(const char *device, const std::function<void(sim::TSimFaults &)> &faults) {
        sim::TSimOptions o;
        o.Device = device;
        o.IniPath = test::SourcePath("resources/Tessel.ini").toStdString();
        if (faults)
            faults(o.Faults);
        return o;
    }
};

struct Case {
    const char *what;
    const char *device;
    TImageKind kind;
    int size;
    std::function<void(sim::TSimFaults &)> faults;
    TUploadResult result;
    MsgType type;
    const char *message;
};

} // namespace

TEST(FirmwareUpload, OutcomesAgainstTheInstrument) {
    const Case cases[] = {
        {"boot image programmed", "ModelU", TImageKind::Boot, 10000, {}, TUploadResult::Programmed,
         MsgType::Information, "Programming completed successfully."},
        {"firmware programmed", "ModelR1", TImageKind::Firmware, 5000, {}, TUploadResult::Programmed,
         MsgType::Information, "Programming completed successfully."},
        {"second block refused", "ModelS2", TImageKind::Firmware, 9000,
         [](sim::TSimFaults &f) { f.RefuseUploadBlocks = {2}; }, TUploadResult::UploadFailed, MsgType::Error,
         "Upload failed."},
        {"flash not written", "ModelU", TImageKind::Boot, 3000, [](sim::TSimFaults &f) { f.ProgramFails = true; },
         TUploadResult::ProgrammingFailed, MsgType::Error, "Programming failed."},
        {"device not programmed", "ModelR2", TImageKind::Firmware, 3000,
         [](sim::TSimFaults &f) { f.ProgramFails = true; }, TUploadResult::ProgrammingFailed, MsgType::Error,
         "Programming failed."},
        // The file goes out as it is; this instrument refuses to program nothing.
        {"empty file", "ModelS1", TImageKind::Firmware, 0, {}, TUploadResult::ProgrammingFailed, MsgType::Error,
         "Programming failed."},
    };
    for (const Case &c : cases) {
        UploadBench b(c.device, true, c.faults);
        const QByteArray image = Image(c.size);
        const QString path = WriteFile(b.dir.path("images/new.bin"), image);
        b.env.LastDir = b.dir.path("elsewhere");
        QDir().mkpath(b.env.LastDir);
        b.files.answer(path);

        EXPECT_EQ(b.upload.Run(c.kind), c.result) << c.what;

        ASSERT_EQ(b.files.requests.size(), 1u) << c.what;
        EXPECT_EQ(b.files.requests[0].filter, "Bin File (*.bin)|*.bin") << c.what;
        EXPECT_EQ(b.files.requests[0].dir, b.dir.path("elsewhere")) << c.what;
        EXPECT_EQ(QDir(b.env.LastDir), QDir(b.dir.path("images"))) << c.what;
        ASSERT_EQ(b.messages.entries.size(), 1u) << c.what;
        EXPECT_EQ(b.messages.entries[0].type, c.type) << c.what;
        EXPECT_EQ(b.messages.entries[0].text, c.message) << c.what;

        const bool loaded = c.result != TUploadResult::UploadFailed;
        QStringList expected{"Uploading program..."};
        if (loaded)
            expected << ProgrammingText(c.kind);
        expected << "";
        EXPECT_EQ(b.statuses, expected) << c.what;
        EXPECT_FALSE(b.timerWhileBusy.isEmpty()) << c.what;
        EXPECT_FALSE(b.timerWhileBusy.contains(true)) << c.what << ": no poll between the blocks";
        EXPECT_TRUE(b.timer.isActive()) << c.what << ": polling resumes whatever the outcome";
        EXPECT_EQ(b.messages.busyDepth, 0) << c.what;

        char size[48];
        std::snprintf(size, sizeof size, "> LDP %02X %02X %02X (%d bytes)", c.size % 4096 & 0xFF,
                      (c.size % 4096) >> 8, c.size / 4096, c.size);
        EXPECT_TRUE(b.bridge.Logged(size)) << c.what;
        if (loaded) {
            char sum[64];
            std::snprintf(sum, sizeof sum, "image of %d bytes loaded, checksum %02X", c.size,
                          TCommunication::Checksum(image.constData(), int32_t(image.size())));
            EXPECT_TRUE(b.bridge.Logged(sum)) << c.what;
            EXPECT_EQ(b.lastSent, c.size > 0 ? c.size : -1) << c.what;
        }
        const char *program = c.kind == TImageKind::Boot ? "> PF" : "> PX";
        EXPECT_EQ(b.bridge.Logged(program), loaded) << c.what;
    }
}

TEST(FirmwareUpload, WithoutAnInstrumentNoDialogOpens) {
    UploadBench b("ModelU", false);
    for (TImageKind kind : {TImageKind::Boot, TImageKind::Firmware})
        EXPECT_EQ(b.upload.Run(kind), TUploadResult::NotRun);
    EXPECT_TRUE(b.files.requests.empty());
    EXPECT_TRUE(b.messages.entries.empty());
    EXPECT_TRUE(b.statuses.isEmpty());
}

TEST(FirmwareUpload, CancelChangesNothing) {
    UploadBench b("ModelU");
    const QString before = b.env.LastDir;
    b.files.answer(QString());
    EXPECT_EQ(b.upload.Run(TImageKind::Boot), TUploadResult::Cancelled);
    ASSERT_EQ(b.files.requests.size(), 1u);
    EXPECT_EQ(b.files.requests[0].title, "Update BIOS");
    EXPECT_EQ(b.env.LastDir, before);
    EXPECT_TRUE(b.messages.entries.empty());
    EXPECT_TRUE(b.statuses.isEmpty());
    EXPECT_FALSE(b.bridge.Logged("> LDP"));
}

TEST(FirmwareUpload, UnreadableFileIsReportedAndNothingIsSent) {
    UploadBench b("ModelR1");
    const QString missing = b.dir.path("images/missing.bin");
    EXPECT_EQ(b.upload.UploadFile(TImageKind::Firmware, missing), TUploadResult::Unreadable);
    ASSERT_EQ(b.messages.entries.size(), 1u);
    EXPECT_EQ(b.messages.entries[0].type, MsgType::Error);
    EXPECT_TRUE(b.messages.entries[0].text.startsWith("Cannot open file \"" + missing + "\". "))
        << b.messages.entries[0].text.toStdString();
    EXPECT_FALSE(b.bridge.Logged("> LDP"));
    EXPECT_TRUE(b.statuses.isEmpty());
    EXPECT_TRUE(b.timer.isActive());
}

TEST(FirmwareUpload, NameWithoutExtensionFindsTheBinFile) {
    UploadBench b("ModelU");
    WriteFile(b.dir.path("images/boot.bin"), Image(700));
    b.files.answer(b.dir.path("images/boot"));
    EXPECT_EQ(b.upload.Run(TImageKind::Boot), TUploadResult::Programmed);
    EXPECT_TRUE(b.bridge.Logged("image of 700 bytes loaded"));
    // A name that exists as typed is taken as it is.
    WriteFile(b.dir.path("images/plain"), Image(10));
    EXPECT_EQ(WithDefaultExtension(b.dir.path("images/plain"), "bin"), b.dir.path("images/plain"));
    EXPECT_EQ(WithDefaultExtension(b.dir.path("images/none"), "bin"), b.dir.path("images/none"));
}
