// The shipped protocols parse, with the general include folder, to the
// callbacks their comments promise (every device folder: BuildExamplesTest).
#include "CompilerTestSupport.h"
#include "compiler/Events.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct Summary {
    int samplesA = 0, saturating = 0, actinicOn = 0, actinicOff = 0, macroEdges = 0;
    QStringList macros, vars, marks;
};

Summary Summarise(const TCompilerRun &r) {
    EXPECT_TRUE(r.ok) << r.errorMsg.toStdString() << " " << r.errorLine << ":" << r.errorColumn;
    Summary s;
    for (const TCompilerCall &c : r.calls) {
        if (c.kind == TCompilerCall::Action) {
            s.samplesA += (c.code & ~0x00FF0000u) == 0x1; // with or without a mark
            s.saturating += c.code == 0x4;
            s.actinicOn += c.code == 0x10;
            s.actinicOff += c.code == 0x10000010;
            s.macroEdges += (c.code & 0x8000u) && !(c.code & kResetBit);
        } else if (c.kind == TCompilerCall::Macro) {
            s.macros << QString::fromLatin1(c.bytes.toHex(' '));
        } else if (c.kind == TCompilerCall::Variable) {
            const QString name = QString::fromUtf8(c.name);
            (name.startsWith("mark:") ? s.marks : s.vars) << name.mid(name.startsWith("mark:") ? 5 : 0);
        }
    }
    return s;
}

TEST(ExampleProtocols, EachDoesWhatItsCommentsSay) {
    auto run = [](const char *f) {
        return RunCompiler(RealCompiler(), SourcePath(f), SourcePath("resources/include/"));
    };
    const Summary fvfm = Summarise(run("resources/protocols/FvFm.p"));
    EXPECT_EQ(fvfm.saturating, 1);
    EXPECT_EQ(fvfm.vars, (QStringList{"MeasuringLevel", "FlashLevel"}));
    EXPECT_GT(fvfm.samplesA, 500);
    EXPECT_EQ(fvfm.marks, (QStringList{"Fo", "Fm"}));

    const TCompilerRun ind = run("resources/protocols/Induction.p");
    const Summary induction = Summarise(ind);
    EXPECT_EQ(std::pair(induction.actinicOn, induction.actinicOff), std::pair(1, 1));
    // Log-spaced: the gaps between the samples after light-on grow.
    std::vector<long double> after;
    for (const TCompilerCall &c : ind.calls)
        if (c.kind == TCompilerCall::Action && c.code == 0x1 && c.time > 0.0100001L)
            after.push_back(c.time);
    ASSERT_EQ(after.size(), 120u);
    EXPECT_NEAR(double(after.front()), 0.01015, 1e-9);
    EXPECT_NEAR(double(after.back()), 20.01, 1e-9);
    EXPECT_GT(after[119] - after[118], 100 * (after[1] - after[0]));

    const Summary q = Summarise(run("resources/protocols/Quenching.p"));
    EXPECT_EQ(q.saturating, 1 + 15 + 6); // dark, under light, relaxation
    EXPECT_EQ(std::pair(q.actinicOn, q.actinicOff), std::pair(1, 1));
    EXPECT_EQ(q.marks, (QStringList{"Fo", "Fm", "Fs", "Fm'", "Fo'", "Fm''"}));

    const Summary lc = Summarise(run("resources/protocols/LightCurve.p"));
    EXPECT_EQ(lc.saturating, 7);
    EXPECT_EQ(lc.marks, (QStringList{"Fs", "Fm'"}));
    // "SA3" and the level of 10 % of 4095 (409.5 rounds to 410), ...; the last restores 5 %.
    ASSERT_EQ(lc.macros.size(), 7);
    EXPECT_EQ(lc.macros.front(), "53 41 33 9a 01");
    EXPECT_EQ(lc.macros.back(), "53 41 33 cd 00");
    // The instrument runs each timed macro when the macro line rises.
    EXPECT_EQ(lc.macroEdges, lc.macros.size());
}

} // namespace
