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

    UploadBench(const char *device, bool connect, void (*faults)(sim::TSimFaults &) = nullptr)
        : bridge([&] {
              sim::TSimOptions o;
              o.Device = device;
              o.IniPath = test::SourcePath("resources/Tessel.ini").toStdString();
              if (faults)
                  faults(o.Faults);
              return o;
          }()) {
        if (connect)
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
        const char *what, *device;
        TImageKind kind;
        int size;
        void (*faults)(sim::TSimFaults &);
        MsgType type;
        const char *message;
        QStringList statuses;
    };
    const QStringList flash = {"Uploading program...", "Programming flash...", ""};
    const QStringList device = {"Uploading program...", "Programming device...", ""};
    const Case cases[] = {
        {"boot image",
         "ModelU",
         TImageKind::Boot,
         10000,
         {},
         MsgType::Information,
         "Programming completed successfully.",
         flash},
        {"firmware",
         "ModelR1",
         TImageKind::Firmware,
         5000,
         {},
         MsgType::Information,
         "Programming completed successfully.",
         device},
        {"second block refused",
         "ModelS2",
         TImageKind::Firmware,
         9000,
         [](sim::TSimFaults &f) { f.RefuseUploadBlocks = {2}; },
         MsgType::Error,
         "Upload failed.",
         {"Uploading program...", ""}},
        {"flash not written", "ModelU", TImageKind::Boot, 3000, [](sim::TSimFaults &f) { f.ProgramFails = true; },
         MsgType::Error, "Programming failed.", flash},
        // Sent and programmed as it is; this instrument refuses to program nothing.
        {"empty file", "ModelS1", TImageKind::Firmware, 0, nullptr, MsgType::Error, "Programming failed.", device},
    };
    for (const Case &c : cases) {
        UploadBench b(c.device, true, c.faults);
        const QString path = b.Image("images/new.bin", c.size);
        b.files.answer(b.dir.path("images/new")); // typed without its extension

        b.upload.Run(c.kind);

        ASSERT_EQ(b.files.requests.size(), 1u) << c.what;
        EXPECT_EQ(b.files.requests[0].filter, "Bin File (*.bin)|*.bin") << c.what;
        EXPECT_EQ(b.files.requests[0].dir, b.dir.path()) << c.what;
        EXPECT_EQ(QDir(b.env.LastDir), QDir(b.dir.path("images"))) << c.what;
        ASSERT_EQ(b.messages.entries.size(), 1u) << c.what;
        EXPECT_EQ(b.messages.entries[0].type, c.type) << c.what;
        EXPECT_EQ(b.messages.entries[0].text, c.message) << c.what;
        EXPECT_EQ(b.statuses, c.statuses) << c.what;
        EXPECT_FALSE(b.polling.isEmpty() || b.polling.contains(true)) << c.what << ": no poll between the blocks";
        EXPECT_TRUE(b.timer.isActive()) << c.what << ": polling resumes whatever the outcome";
        const bool loaded = c.statuses.size() == 3;
        char image[48];
        std::snprintf(image, sizeof image, "image of %d bytes loaded", c.size);
        EXPECT_EQ(b.bridge.Logged(image), loaded) << c.what;
        EXPECT_EQ(b.bridge.Logged(c.kind == TImageKind::Boot ? "> PF" : "> PX"), loaded) << c.what;
    }
}

TEST(FirmwareUpload, NothingIsSentWithoutInstrumentFileOrReadableFile) {
    {
        UploadBench b("ModelU", false);
        EXPECT_EQ(b.upload.Run(TImageKind::Boot), TUploadResult::NotRun);
        EXPECT_TRUE(b.files.requests.empty()) << "no dialog without an instrument";
    }
    UploadBench b("ModelU", true);
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
