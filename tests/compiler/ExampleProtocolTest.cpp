// The shipped protocols parse, with every shipped include folder, to the
// callbacks their comments promise.
#include "CompilerTestSupport.h"
#include "compiler/Events.h"

#include <QDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace tessel;
using namespace tessel::test;

namespace {

struct Summary {
    int samplesA = 0, saturating = 0, actinicOn = 0, actinicOff = 0;
    QStringList macros;
    QStringList vars, marks;
};

Summary Summarise(const TCompilerRun &r) {
    Summary s;
    for (const TCompilerCall &c : r.calls) {
        if (c.kind == TCompilerCall::Action) {
            if ((c.code & ~0x00FF0000u) == 0x1) // with or without a mark
                ++s.samplesA;
            if (c.code == 0x4)
                ++s.saturating;
            if (c.code == 0x10)
                ++s.actinicOn;
            if (c.code == 0x10000010)
                ++s.actinicOff;
        } else if (c.kind == TCompilerCall::Macro) {
            s.macros << QString::fromLatin1(c.bytes.toHex(' '));
        } else if (c.kind == TCompilerCall::Variable) {
            const QString name = QString::fromUtf8(c.name);
            (name.startsWith("mark:") ? s.marks : s.vars) << name.mid(name.startsWith("mark:") ? 5 : 0);
        }
    }
    return s;
}

// Every switch-on of a line is followed by its switch-off before the next
// switch-on, with a positive pulse, when the actions are ordered by time.
void ExpectBalancedPulses(const TCompilerRun &r, const char *file) {
    std::vector<std::pair<long double, uint32_t>> acts;
    for (const TCompilerCall &c : r.calls)
        if (c.kind == TCompilerCall::Action)
            acts.emplace_back(c.time, c.code);
    std::stable_sort(acts.begin(), acts.end(), [](auto &a, auto &b) { return a.first < b.first; });
    bool on[16] = {};
    for (const auto &[t, code] : acts)
        for (int b = 0; b < 16; ++b) {
            if (!((code >> b) & 1) || b == 7)
                continue;
            const bool reset = code & (1u << 28);
            EXPECT_NE(on[b], !reset) << file << ": line " << b << " at " << double(t);
            on[b] = !reset;
        }
    for (int b = 0; b < 16; ++b)
        EXPECT_FALSE(on[b]) << file << ": line " << b << " left on";
}

// Every device folder builds them too (BuildExamples); here the general one.
TEST(ExampleProtocols, ParseWithTheGeneralFolderAndBalancePulses) {
    for (const char *file :
         {"resources/include/Default.1st", "resources/protocols/FvFm.p", "resources/protocols/Induction.p",
          "resources/protocols/Quenching.p", "resources/protocols/LightCurve.p"}) {
        const TCompilerRun r = RunCompiler(RealCompiler(), SourcePath(file), SourcePath("resources/include/"));
        ASSERT_TRUE(r.ok) << file << ": " << r.errorMsg.toStdString() << " " << r.errorLine << ":" << r.errorColumn;
        ExpectBalancedPulses(r, file);
    }
}

TEST(ExampleProtocols, DeviceFoldersFollowTheInstrumentTable) {
    const std::set<QString> expected{"ModelE_0000", "ModelF_0000", "ModelG_0101", "ModelG_0102", "ModelG_0103",
                                     "ModelH_0100", "ModelJ_0000", "ModelN_0100", "ModelR_0100", "ModelR_0101",
                                     "ModelS_0100", "ModelS_0101", "ModelT_0101", "ModelT_0102", "ModelU_0100",
                                     "ModelV_0100", "ModelW_0000"};
    const QStringList dirs = QDir(SourcePath("resources/include")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(std::set<QString>(dirs.begin(), dirs.end()), expected);
}

TEST(ExampleProtocols, EachDoesWhatItsCommentsSay) {
    const QString inc = SourcePath("resources/include/ModelG_0101/");
    auto run = [&](const char *f) { return RunCompiler(RealCompiler(), SourcePath(f), inc); };

    const Summary fvfm = Summarise(run("resources/protocols/FvFm.p"));
    EXPECT_EQ(fvfm.saturating, 1);
    EXPECT_EQ(fvfm.vars, (QStringList{"MeasuringLevel", "FlashLevel"}));
    EXPECT_GT(fvfm.samplesA, 500);
    EXPECT_EQ(fvfm.marks, (QStringList{"Fo", "Fm"}));

    const TCompilerRun ind = run("resources/protocols/Induction.p");
    const Summary induction = Summarise(ind);
    EXPECT_EQ(induction.actinicOn, 1);
    EXPECT_EQ(induction.actinicOff, 1);
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
    EXPECT_EQ(q.actinicOn, 1);
    EXPECT_EQ(q.actinicOff, 1);
    EXPECT_EQ(q.marks, (QStringList{"Fo", "Fm", "Fs", "Fm'", "Fo'", "Fm''"}));

    const TCompilerRun curve = run("resources/protocols/LightCurve.p");
    const Summary lc = Summarise(curve);
    EXPECT_EQ(lc.saturating, 7);
    EXPECT_EQ(lc.marks, (QStringList{"Fs", "Fm'"}));
    // "SA3" and the level of 10 % of 4095 (409.5 rounds to 410), ...; the last restores 5 %.
    ASSERT_EQ(lc.macros.size(), 7);
    EXPECT_EQ(lc.macros.front(), "53 41 33 9a 01");
    EXPECT_EQ(lc.macros.back(), "53 41 33 cd 00");
    // The instrument runs each timed macro when the macro line rises.
    const auto edges = std::count_if(curve.calls.begin(), curve.calls.end(), [](const TCompilerCall &c) {
        return c.kind == TCompilerCall::Action && (c.code & 0x8000u) && !(c.code & kResetBit);
    });
    EXPECT_EQ(edges, lc.macros.size());
}

} // namespace
