#include "ScriptedPeer.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::MemoryLink;
using tessel::test::Pattern;
using tessel::test::WithSum;

// The link's reply time-out (one tick). Upper bounds on waits are several
// ticks, so that a loaded machine cannot fail them.
constexpr int kTickMs = 500;

TEST(CommunicationExchange, RefusedWhenNotConnectedOrBusyAndFailedWhenShortOrStalled) {
    MemoryLink l;
    l.link->SetConnected(false);
    EXPECT_FALSE(l.link->SendCommand({"ST"}));
    char buf[2];
    EXPECT_TRUE(l.link->ReadData(buf, 0)); // nothing to wait for
    l.link->SetConnected(true);

    // A second exchange started from inside a wait is refused.
    bool inner = true;
    l.link->SetProcessEvents([&] {
        inner = l.link->SendCommand({"SP"}) || l.link->WakeUp() || l.link->ReadData(buf, 1);
        l.port->FeedReceived("OK");
    });
    EXPECT_TRUE(l.link->IsOk());
    EXPECT_FALSE(inner);
    EXPECT_TRUE(l.port->Written().isEmpty());

    l.port->SetWriteLimit(3);
    EXPECT_FALSE(l.link->SendCommand({"SA5", 1023, 1}));
    l.port->SetWriteLimit(-1);
    l.port->SetWriteStalled(true); // a stalled line fails within its bound, not never
    EXPECT_COMM_ERROR(l.link->SendCommand({"ST"}), "Write error", ETIMEDOUT);
    EXPECT_FALSE(l.link->Busy()); // failures and refusals leave the link free
}

TEST(CommunicationExchange, SilentPeerTimesOutAfterOneTick) {
    MemoryLink l;
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(l.link->IsOk());
    const qint64 ms = t.elapsed();
    EXPECT_GE(ms, kTickMs - 50);
    EXPECT_LT(ms, 6 * kTickMs);
    EXPECT_TRUE(l.link->TimedOut()); // stays set until the next wait starts
    EXPECT_EQ(l.Log(), QStringList{"IsOk received \"__\""});

    l.port->FeedReceived("OK");
    EXPECT_TRUE(l.link->IsOk());
    EXPECT_FALSE(l.link->TimedOut());
}

// Full blocks, then the rest (no empty extra block); the first failure ends
// the upload with its log line.
TEST(CommunicationUpload, BlocksThenRestAndTheFirstFailureEndsIt) {
    struct Case {
        const char *name;
        int size;
        int faultyWrite; // counted from 1 (0: none); it goes out short, or stalls
        bool stalls;
        bool ok;
        int answered;
        QString log;
    };
    const QString okLine = "IsOk received \"OK\"";
    const Case cases[] = {
        {"two blocks", 2 * 4096, 0, false, true, 2, okLine},
        {"blocks and rest", 2 * 4096 + 5, 0, false, true, 3, okLine},
        {"nothing", 0, 0, false, true, 0, ""},
        {"rejected", 3 * 4096, 0, false, false, 2, "IsOk received \"ER\""},
        {"short block", 4096 + 5, 1, false, false, 0, "Error writing data block 0"},
        {"stalled checksum", 2 * 4096, 4, true, false, 1, "Error writing CRC of block 1"},
        {"short last block", 4096 + 5, 3, false, false, 1, "Error writing last data block"},
        {"stalled last checksum", 4096 + 5, 4, true, false, 1, "Error writing last CRC"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLink l;
        int writes = 0;
        int answered = 0;
        const auto fault = [&] {
            const bool now = writes + 1 == c.faultyWrite;
            l.port->SetWriteStalled(now && c.stalls);
            l.port->SetWriteLimit(now && !c.stalls ? 1 : -1);
        };
        l.port->SetOnWrite([&](const QByteArray &) {
            ++writes;
            fault();
            if (writes % 2 == 0) { // a checksum went out: answer the block
                ++answered;
                l.port->FeedReceived(std::string(c.name) == "rejected" && answered == 2 ? "ER" : "OK");
            }
        });
        fault();
        const QByteArray data = Pattern(c.size, 1);
        // A stalled write raises the port's error past its bound.
        bool ok = true;
        try {
            ok = l.link->SendBlocks(data.constData(), int32_t(data.size()));
        } catch (const ECommError &e) {
            ok = false;
            EXPECT_EQ(e.ErrorCode(), ETIMEDOUT);
        }
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(answered, c.answered);
        EXPECT_EQ(l.Log().value(l.Log().size() - 1), c.log);
        QByteArray blocks;
        for (int offset = 0; offset < c.size; offset += 4096)
            blocks += WithSum(data.mid(offset, 4096));
        if (c.ok)
            EXPECT_EQ(l.port->TakeWritten(), blocks);
    }
}

TEST(CommunicationUpload, OutputQueueThatNeverDrainsFailsPastTheBound) {
    MemoryLink l;
    l.link->SetBaudRate(br256000);
    l.port->SetOutQueueStuck(5);
    const QByteArray data = Pattern(10, 0);
    const int32_t bound = l.link->OutQueueBound(11);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(l.link->SendBlocks(data.constData(), 10));
    EXPECT_GE(t.elapsed(), bound);
    EXPECT_LT(t.elapsed(), 5 * bound);
    EXPECT_EQ(l.Log(), QStringList{QStringLiteral("Output queue not empty after %1 ms").arg(bound)});
}

TEST(CommunicationDownload, ChecksumsDecideOkErAndABadPeerFailsWithinItsBound) {
    const QByteArray a = Pattern(4096, 5), b = Pattern(4096, 2), r = Pattern(100, 9);
    const QByteArray lone(1, '\0'); // the rest block of 0 bytes: its checksum alone
    struct Case {
        const char *name;
        int blocks, rest;
        QList<QByteArray> frames;
        QByteArray answers;
        bool ok;
        QList<int32_t> progress; // at each answer, from a base of 1000
    };
    const Case cases[] = {
        {"blocks and lone checksum", 2, 0, {WithSum(a), WithSum(b), lone}, "OKOKOK", true, {5096, 9192, 9192}},
        // After "ER" the counter is back at the block's start; after "OK" it
        // has moved on by the whole block (its checksum not counted).
        {"retried",
         1,
         100,
         {WithSum(a, 1), WithSum(a), WithSum(r, -1), WithSum(r, 7), WithSum(r)},
         "EROKEREROK",
         true,
         {1000, 5096, 5096, 5096, 5196}},
        {"three bad blocks", 1, 100, QList<QByteArray>(4, WithSum(a, 1)), "ERERER", false, {1000, 1000, 1000}},
        {"too few", 1, 0, {a.left(1000)}, "", false, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLink l;
        QList<QByteArray> frames = c.frames;
        QByteArray answers, second;
        QList<int32_t> progress;
        const auto next = [&] {
            if (frames.isEmpty())
                return;
            const QByteArray f = frames.takeFirst();
            l.port->FeedReceived(f.left(f.size() / 2));
            second = f.mid(f.size() / 2);
        };
        l.link->SetProcessEvents([&] {
            l.port->FeedReceived(std::exchange(second, {}));
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        });
        l.port->SetOnWrite([&](const QByteArray &w) {
            answers += w;
            progress << l.link->Received();
            next();
        });
        l.link->SetProgress(1000, 0);
        next();
        QByteArray buf(c.blocks * 4096 + c.rest, 0);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(l.link->ReceiveBlocks(buf.data(), c.blocks, c.rest), c.ok);
        EXPECT_LT(t.elapsed(), 20 * kTickMs); // three attempts of at most two ticks each, and room
        EXPECT_EQ(answers, c.answers);
        EXPECT_EQ(progress, c.progress);
        if (c.ok)
            EXPECT_EQ(buf, c.blocks == 2 ? a + b : a + r);
        EXPECT_FALSE(l.link->BlockMode());
        EXPECT_FALSE(l.link->Busy());
        if (c.ok)
            continue;
        // What is left of a block cut short is dropped and the progress
        // rewound to the failed block's start.
        EXPECT_EQ(l.link->Received(), c.progress.isEmpty() ? 1000 : c.progress.last());
        if (c.answers.isEmpty()) // else the peer has sent the block again
            EXPECT_EQ(l.link->InQueCount(), 0);
        l.port->SetOnWrite(nullptr);
        l.link->PurgeIn(); // as every command with a reply does first
        l.port->FeedReceived("OK");
        EXPECT_TRUE(l.link->IsOk());
    }
}

TEST(CommunicationWakeUp, SendsTwoHundredAaBytesThenPauses) {
    MemoryLink l;
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(l.link->WakeUp());
    EXPECT_GE(t.elapsed(), kTickMs - 50);
    EXPECT_EQ(l.port->Written(), QByteArray(200, char(0xAA)));
    l.port->SetWriteLimit(199);
    EXPECT_FALSE(l.link->WakeUp());
}
