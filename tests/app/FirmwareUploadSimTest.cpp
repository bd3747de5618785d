// "Update BIOS" and "Update Firmware" against the virtual instrument
// in-process, with its faults.
#include "SimBridge.h"
#include "app/FirmwareUpload.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "settings/EnvSetup.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tessel;

namespace {
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
    QList<bool> polling; // the status timer's state at every block and while programming
    TFirmwareUpload upload{*bridge.Commands, &timer, &env,
                           TUploadHost{[this](const QString &t) {
                                           statuses << t;
                                           if (t.startsWith("Programming"))
                                               polling << timer.isActive();
                                       },
                                       {},
                                       [this](int32_t, int32_t) { polling << timer.isActive(); }}};

    UploadBench(const char *device, void (*faults)(sim::TSimFaults &) = nullptr)
        : bridge([&] {
              sim::TSimOptions o;
              o.Device = device;
              o.IniPath = test::SourcePath("resources/Tessel.ini").toStdString();
              if (faults)
                  faults(o.Faults);
              return o;
          }()) {
        EXPECT_TRUE(bridge.Connection->Connect(false, false));
        timer.start(3600 * 1000);
        env.LastDir = dir.path();
    }
    QString Image(const QString &name, int size) {
        QDir(dir.path()).mkpath(QFileInfo(name).path());
        QFile f(dir.path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < size; ++i)
            f.putChar(char(i * 37 + 11));
        return f.fileName();
    }
};
} // namespace

TEST(FirmwareUpload, OutcomesAgainstTheInstrument) {
    struct Case {
        const char *device;
        TImageKind kind;
        int size;
        void (*faults)(sim::TSimFaults &);
        MsgType type;
        QString message;
    };
    const QString done = "Programming completed successfully.";
    const Case cases[] = {
        {"ModelU", TImageKind::Boot, 10000, {}, MsgType::Information, done},
        {"ModelR1", TImageKind::Firmware, 5000, {}, MsgType::Information, done},
        {"ModelS2", TImageKind::Firmware, 9000, [](sim::TSimFaults &f) { f.RefuseUploadBlocks = {2}; }, MsgType::Error,
         "Upload failed."},
        {"ModelU", TImageKind::Boot, 3000, [](sim::TSimFaults &f) { f.ProgramFails = true; }, MsgType::Error,
         "Programming failed."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.message.toStdString() + " " + c.device);
        UploadBench b(c.device, c.faults);
        b.Image("images/new.bin", c.size);
        b.files.answer(b.dir.path("images/new")); // typed without its extension

        b.upload.Run(c.kind);

        ASSERT_EQ(b.files.requests.size(), 1u);
        EXPECT_EQ(b.files.requests[0].filter, "Bin File (*.bin)|*.bin");
        EXPECT_EQ(b.files.requests[0].dir, b.dir.path());
        EXPECT_EQ(QDir(b.env.LastDir), QDir(b.dir.path("images")));
        ASSERT_EQ(b.messages.entries.size(), 1u);
        EXPECT_EQ(b.messages.entries[0].type, c.type);
        EXPECT_EQ(b.messages.entries[0].text, c.message);
        const bool loaded = c.message != "Upload failed.";
        const bool boot = c.kind == TImageKind::Boot;
        EXPECT_EQ(b.statuses, loaded ? QStringList({"Uploading program...",
                                                    boot ? "Programming flash..." : "Programming device...", ""})
                                     : QStringList({"Uploading program...", ""}));
        EXPECT_FALSE(b.polling.isEmpty() || b.polling.contains(true)) << "no poll between the blocks";
        EXPECT_TRUE(b.timer.isActive()) << "polling resumes whatever the outcome";
        EXPECT_EQ(b.bridge.Logged("image of " + std::to_string(c.size) + " bytes loaded"), loaded);
        EXPECT_EQ(b.bridge.Logged(boot ? "> PF" : "> PX"), loaded);
    }
}

TEST(FirmwareUpload, NothingIsSentWithoutAReadableFile) {
    UploadBench b("ModelU");
    const QString before = b.env.LastDir;
    b.files.answer(QString());
    EXPECT_EQ(b.upload.Run(TImageKind::Boot), TUploadResult::Cancelled);
    EXPECT_EQ(b.env.LastDir, before);
    const QString missing = b.dir.path("gone/boot.bin");
    b.files.answer(missing);
    EXPECT_EQ(b.upload.Run(TImageKind::Boot), TUploadResult::Unreadable);
    ASSERT_EQ(b.messages.entries.size(), 1u);
    EXPECT_TRUE(b.messages.entries[0].text.startsWith("Cannot open file \"" + missing + "\". "));
    EXPECT_TRUE(b.statuses.isEmpty());
    EXPECT_TRUE(b.timer.isActive());
    EXPECT_FALSE(b.bridge.Logged("> LDP"));
}
