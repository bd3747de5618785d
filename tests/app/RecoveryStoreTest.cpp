#include "app/RecoveryStore.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <gtest/gtest.h>
#include <tuple>

using namespace tessel;

namespace {

bool WriteText(const QString &path, const QByteArray &text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

// Copies of live programs are never offered; those of ended ones are, once,
// to whichever program claims them first; two experiments of the same caption
// keep two copies.
TEST(RecoveryStore, OnlyEndedProgramsLeaveCopiesAndEachIsClaimedOnce) {
    test::TestDir dir;
    const QString folder = dir.path("recovery");
    auto crashed = std::make_unique<TRecoveryStore>(folder, "crashed");
    TRecoveryStore live(folder, "live");
    for (TRecoveryStore *s : {crashed.get(), &live})
        for (int i = 0; i < 2; ++i) {
            const int key = s->NewKey();
            ASSERT_TRUE(s->Write(key, "Experiment 1", i ? dir.path("a.exp") : QString(),
                                 [i](const QString &p) { return WriteText(p, QByteArray::number(i)); }));
        }
    TRecoveryStore other(folder, "other");
    EXPECT_TRUE(other.Leftovers().isEmpty()) << "both programs still run";

    // A stray temporary of a write that kill -9 interrupted.
    ASSERT_TRUE(WriteText(crashed->PathOf(1) + ".Xy12ab", "partial"));
    crashed.reset(); // the lock goes as it would with the process
    const QList<TRecoveryCopy> left = other.Leftovers();
    ASSERT_EQ(left.size(), 2);
    EXPECT_EQ(QSet<QString>({left[0].FileName, left[1].FileName}), QSet<QString>({QString(), dir.path("a.exp")}));

    TRecoveryStore rival(folder, "rival");
    const std::optional<TRecoveryCopy> mine = other.Claim(left[0], other.NewKey());
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine->FileName, left[0].FileName);
    EXPECT_FALSE(rival.Claim(left[0], rival.NewKey())) << "claimed twice";
    EXPECT_EQ(rival.Leftovers().size(), 1) << "a claimed copy belongs to a live program";
    rival.Discard(left[1]);
    EXPECT_TRUE(rival.Leftovers().isEmpty());
    other.Remove(1);
    // The ended program's lock file went with its last copy.
    EXPECT_EQ(
        QDir(folder).entryList(QDir::Files, QDir::Name),
        QStringList({"live-1.exp", "live-1.txt", "live-2.exp", "live-2.txt", "live.lock", "other.lock", "rival.lock"}));
}

// A program that gets the pid (and so the name) of one that died with copies
// must not adopt them: they stay leftovers.
TEST(RecoveryStore, ANameWithCopiesOfAnEndedProgramIsNotTakenAgain) {
    test::TestDir dir;
    const QString folder = dir.path("recovery");
    {
        TRecoveryStore crashed(folder, "1234");
        ASSERT_TRUE(crashed.Write(crashed.NewKey(), "E", {}, [](const QString &p) { return WriteText(p, "x"); }));
    }
    TRecoveryStore again(folder, "1234");
    EXPECT_FALSE(again.Write(again.NewKey(), "E", {}, [](const QString &p) { return WriteText(p, "y"); }));
    TRecoveryStore byPid(folder);
    EXPECT_TRUE(byPid.Owner().startsWith(QString::number(QCoreApplication::applicationPid()) + '.'));
    ASSERT_EQ(byPid.Leftovers().size(), 1);
}

TEST(RecoveryStore, RestoredFileKeepsItsNameUnlessTheFileIsNewerThanTheCopy) {
    test::TestDir dir;
    const QString saved = dir.path("saved.exp"), gone = dir.path("gone.exp");
    ASSERT_TRUE(WriteText(saved, "x"));
    const QDateTime t = QFileInfo(saved).lastModified();
    const QString unnamed = "Experiment 2 (restored)";
    const std::tuple<QString, QDateTime, QString> cases[] = {
        {{}, t, unnamed}, {saved, t.addSecs(60), saved}, {saved, t.addSecs(-60), unnamed}, {gone, t, gone}};
    for (const auto &[file, written, caption] : cases) {
        const TRecoveryCopy copy{"x.exp", "Experiment 2", file, written};
        EXPECT_EQ(RestoredCaption(copy), caption) << file.toStdString();
        EXPECT_EQ(RestoredFileName(copy), caption == unnamed ? QString() : file);
    }
    EXPECT_EQ(RestoredCaption({"x.exp", unnamed, {}, t}), unnamed) << "marked once";
}

} // namespace
