// The shipped protocols parse, with the general include folder, to the
// flashes, light and marks their comments promise (every device folder:
// BuildExamplesTest).
#include "CompilerTestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

TEST(ExampleProtocols, EachDoesWhatItsCommentsSay) {
    const struct {
        const char *file;
        int saturating, actinicOn, actinicOff;
        QStringList marks;
    } cases[] = {
        {"FvFm.p", 1, 0, 0, {"Fo", "Fm"}},
        {"Induction.p", 0, 1, 1, {"Fo"}},
        {"Quenching.p", 1 + 15 + 6, 1, 1, {"Fo", "Fm", "Fs", "Fm'", "Fo'", "Fm''"}}, // dark, light, relaxation
        {"LightCurve.p", 7, 1, 1, {"Fs", "Fm'"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const TCompilerRun r = RunCompiler(RealCompiler(), SourcePath(QStringLiteral("resources/protocols/") + c.file),
                                           SourcePath("resources/include/"));
        ASSERT_TRUE(r.ok) << r.errorMsg.toStdString() << " " << r.errorLine << ":" << r.errorColumn;
        int saturating = 0, on = 0, off = 0, macroRises = 0, timedMacros = 0;
        QStringList marks;
        for (const TCompilerCall &call : r.calls) {
            saturating += call.kind == TCompilerCall::Action && call.code == 0x4;
            on += call.kind == TCompilerCall::Action && call.code == 0x10;
            off += call.kind == TCompilerCall::Action && call.code == (kResetBit | 0x10);
            // The instrument runs each timed macro when the macro line rises.
            macroRises += call.kind == TCompilerCall::Action && (call.code & 0x8000u) && !(call.code & kResetBit);
            timedMacros += call.kind == TCompilerCall::Macro && call.time >= 0;
            if (call.kind == TCompilerCall::Variable && call.name.startsWith("mark:"))
                marks << QString::fromUtf8(call.name.mid(5));
        }
        EXPECT_EQ(QList({saturating, on, off}), QList({c.saturating, c.actinicOn, c.actinicOff}));
        EXPECT_EQ(macroRises, timedMacros);
        EXPECT_EQ(marks, c.marks);
    }
}

} // namespace
