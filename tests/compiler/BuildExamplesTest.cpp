// Every shipped protocol builds into a program for every shipped instrument
// type, with that type's configuration and include folder.
#include "CompilerTestSupport.h"
#include "app/InstrumentConfig.h"
#include "compiler/Events.h"
#include "compiler/ProgramImage.h"
#include "device/DeviceTypes.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

TEST(BuildExamples, EveryProtocolForEveryShippedType) {
    TestDir dir; // the work file goes to its program folder
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    auto previous = SetCompilerLibrary(LoadCompilerLibrary(qEnvironmentVariable("TESSEL_BIN_DIR")));
    ASSERT_NE(CompilerLibrary(), nullptr);
    int types = 0;
    {
        TCompiler c;
        for (int d = 0; d < kDeviceCount; ++d) {
            const TDeviceInfo &info = DeviceInfo(TDevice(d));
            const QString folder = SourcePath(QString::asprintf("resources/include/%s_%4.4x/",
                                                                QByteArray(info.identification).trimmed().constData(),
                                                                unsigned(info.version)));
            if (!QFileInfo(folder).isDir())
                continue;
            ++types;
            const TInstrumentConfig config =
                ReadInstrumentConfig(SourcePath("resources/Tessel.ini"), DeviceTextOf(TDevice(d)));
            c.Constants = config.Compiler;
            c.IncludeDir = folder;
            for (const char *file :
                 {"resources/include/Default.1st", "resources/protocols/FvFm.p", "resources/protocols/Induction.p",
                  "resources/protocols/Quenching.p", "resources/protocols/LightCurve.p"}) {
                QStringList log;
                const QStringList source = ReadTextFile(SourcePath(file)).split('\n');
                const int32_t result = c.CompileProtocol(source, log, nullptr);
                EXPECT_EQ(result, kBuildOk) << info.name << " " << file << "\n" << log.join('\n').toStdString();
                if (result != kBuildOk)
                    continue;
                // No line is reset twice (a hint) or left on before the closing events.
                for (const QString &l : log)
                    EXPECT_FALSE(l.startsWith("Error") || l.startsWith("Warning") || l.startsWith("Hint"))
                        << info.name << " " << file << ": " << l.toStdString();
                EXPECT_EQ(c.Events.At(c.Events.Count() - 3).Code & ~kRestState, 0u) << info.name << " " << file;
                const TProgramImage img =
                    BuildProgramImage(c, TProgramTarget{TDevice(d), config.DacAliases, config.MaxDAValue});
                EXPECT_EQ(img.Result, kSendOk) << info.name << " " << file << ": " << img.Error.toStdString();
                EXPECT_EQ(img.Timers.size(), c.Events.Count() * TimerEntryWidth(config.Compiler.TimerBits));
            }
        }
    }
    EXPECT_EQ(types, 17);
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('\n').toStdString();
    SetCompilerLibrary(std::move(previous));
}

} // namespace
