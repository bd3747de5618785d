#include "LinkBytes.h"
#include "LinkTestSupport.h"
#include "common/Log.h"
#include "support/MemoryCommPort.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Hex;
using tessel::test::Pattern;
using tessel::test::WithSum;

// The link's reply time-out (one tick). Upper bounds on waits are several
// ticks, so that a loaded machine cannot fail them.
constexpr int kTickMs = 500;

namespace {

struct Link {
    test::TestDir dir;
    TMemoryCommPort *port = nullptr;
    std::unique_ptr<TCommunication> link;
    explicit Link(TDevice device = ModelA) {
        OpenLog(dir.path("logfile.txt"));
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        link = std::make_unique<TCommunication>(std::move(p));
        link->SetDeviceType(device);
        link->Open();
        link->SetConnected(true);
    }
    ~Link() { CloseLog(); }
    QStringList LogLines() const {
        QStringList lines = test::ReadTextFile(dir.path("logfile.txt")).split('\n', Qt::SkipEmptyParts);
        lines.removeFirst();
        return lines;
    }
};

} // namespace

TEST(CommunicationFraming, ItemsBecomeBytes) {
    struct Case {
        TCmdItems items;
        QByteArray bytes;
    };
    const Case cases[] = {
        {{"SG", 50, 0, 1, 0}, Hex("53473201")},
        {{"X", 300, 1}, Hex("582c01")},
        {{"GDA", 10000 % 4096, 1, 10000 / 4096, 0}, Hex("474441100702")},
        {{"MO", 1, 1}, Hex("4d4f0100")},
        {{"A", 7}, "A"},                      // a last integer puts nothing
        {{"A", 7, 2, "B"}, "AB"},             // unknown width code puts nothing
        {{"A", 7, "B", 1, 0}, Hex("414201")}, // an integer before a text puts nothing
        {{}, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TCommunication::FrameCommand(c.items).toHex(), c.bytes.toHex());
}

TEST(CommunicationExchange, RefusedWhenNotConnectedClosedOrBusy) {
    Link l;
    l.link->SetConnected(false);
    EXPECT_FALSE(l.link->SendCommand({"ST"}));
    char buf[2];
    EXPECT_FALSE(l.link->ReadData(buf, 2));
    EXPECT_FALSE(l.link->WakeUp());
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

    l.link->Close();
    EXPECT_FALSE(l.link->SendCommand({"ST"}));
    EXPECT_FALSE(l.link->Busy()); // refusals leave the state as it was
}

TEST(CommunicationExchange, SendCommandPurgesWritesAndReportsShortWrites) {
    Link l;
    EXPECT_TRUE(l.link->SendCommand({"SG", 35, 0, 2, 0}));
    EXPECT_EQ(l.port->TakeWritten(), Hex("53472302"));
    l.port->SetWriteLimit(3);
    EXPECT_FALSE(l.link->SendCommand({"SA5", 1023, 1}));
    l.port->SetWriteLimit(-1);
    l.port->SetWriteStalled(true); // a stalled line fails within its bound, not never
    EXPECT_COMM_ERROR(l.link->SendCommand({"ST"}), "Write error", ETIMEDOUT);
    EXPECT_FALSE(l.link->Busy());
}

TEST(CommunicationExchange, SilentPeerTimesOutAfterOneTick) {
    Link l;
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(l.link->IsOk());
    const qint64 ms = t.elapsed();
    EXPECT_GE(ms, kTickMs - 50);
    EXPECT_LT(ms, 6 * kTickMs);
    EXPECT_TRUE(l.link->TimedOut()); // stays set until the next wait starts
    EXPECT_FALSE(l.link->Busy());
    EXPECT_EQ(l.LogLines(), QStringList{"IsOk received \"__\""});

    l.port->FeedReceived("OK");
    EXPECT_TRUE(l.link->IsOk());
    EXPECT_FALSE(l.link->TimedOut());
}

TEST(CommunicationExchange, ReadDataCountsProgressLeavesSurplusAndEndsOnAbort) {
    Link l;
    l.link->SetProgress(100, 0);
    int calls = 0;
    l.link->SetProcessEvents([&] {
        if (++calls <= 3)
            l.port->FeedReceived("ab");
    });
    char buf[5];
    EXPECT_TRUE(l.link->ReadData(buf, 5));
    EXPECT_EQ(QByteArray(buf, 5), "ababa");
    EXPECT_EQ(l.link->Received(), 105); // base + the bytes read, not the surplus
    EXPECT_EQ(l.link->InQueCount(), 1);
    // An abort ends the wait before the count is reached and reads nothing.
    l.link->SetProcessEvents([&] {
        l.port->FeedReceived("x");
        l.link->Abort();
    });
    EXPECT_FALSE(l.link->ReadData(buf, 4));
    EXPECT_FALSE(l.link->TimedOut());
    EXPECT_EQ(l.link->InQueCount(), 2);
}

// Full blocks, then the rest (no empty extra block); the first failure ends
// the upload with its log line.
TEST(CommunicationUpload, BlocksThenRestAndTheFirstFailureEndsIt) {
    struct Case {
        const char *name;
        int size;
        // Sets up the fault of the next write, given how many writes went out.
        std::function<void(TMemoryCommPort &, int writes)> fault;
        bool ok;
        int answered;
        QString log;
    };
    const auto none = [](TMemoryCommPort &, int) {};
    const QString okLine = "IsOk received \"OK\"";
    const Case cases[] = {
        {"two blocks", 2 * 4096, none, true, 2, okLine},
        {"blocks and rest", 2 * 4096 + 5, none, true, 3, okLine},
        {"rest only", 10, none, true, 1, okLine},
        {"nothing", 0, none, true, 0, ""},
        {"rejected", 3 * 4096, none, false, 2, "IsOk received \"ER\""},
        {"shortblock", 4096 + 5, [](TMemoryCommPort &p, int n) { p.SetWriteLimit(n == 0 ? 100 : -1); }, false, 0,
         "Error writing data block 0"},
        {"stalledcrc", 2 * 4096, [](TMemoryCommPort &p, int n) { p.SetWriteStalled(n == 3); }, false, 1,
         "Error writing CRC of block 1"},
        {"shortlast", 4096 + 5, [](TMemoryCommPort &p, int n) { p.SetWriteLimit(n == 2 ? 1 : -1); }, false, 1,
         "Error writing last data block"},
        {"stalledlastcrc", 4096 + 5, [](TMemoryCommPort &p, int n) { p.SetWriteStalled(n == 3); }, false, 1,
         "Error writing last CRC"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Link l;
        int writes = 0;
        int answered = 0;
        l.port->SetOnWrite([&](const QByteArray &) {
            ++writes;
            c.fault(*l.port, writes);
            if (writes % 2 == 0) { // a checksum went out: answer the block
                ++answered;
                l.port->FeedReceived(std::string(c.name) == "rejected" && answered == 2 ? "ER" : "OK");
            }
        });
        c.fault(*l.port, 0);
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
        EXPECT_EQ(l.LogLines().value(l.LogLines().size() - 1), c.log);
        QByteArray blocks;
        for (int offset = 0; offset < c.size; offset += 4096)
            blocks += WithSum(data.mid(offset, 4096));
        if (c.ok)
            EXPECT_EQ(l.port->TakeWritten(), blocks);
    }
}

TEST(CommunicationUpload, OutputQueueThatNeverDrainsFailsPastTheBound) {
    Link l;
    l.link->SetBaudRate(br256000);
    l.port->SetOutQueueStuck(5);
    const QByteArray data = Pattern(10, 0);
    const int32_t bound = l.link->OutQueueBound(11);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(l.link->SendBlocks(data.constData(), 10));
    EXPECT_GE(t.elapsed(), bound);
    EXPECT_LT(t.elapsed(), 5 * bound);
    EXPECT_EQ(l.LogLines(), QStringList{QStringLiteral("Output queue not empty after %1 ms").arg(bound)});
}

TEST(CommunicationUpload, QueueBoundCoversTheLineTimeOfABlockAtEveryRate) {
    TCommunication link(std::make_unique<TMemoryCommPort>());
    for (TStopbits stop : {sb10, sb20}) {
        link.SetStopbits(stop);
        link.SetParity(stop == sb20 ? paEven : paNone);
        const int bits = stop == sb20 ? 12 : 10;
        for (int r = br110; r <= br256000; ++r) {
            link.SetBaudRate(TBaudrate(r));
            const double lineMs = 16385.0 * bits * 1000 / BaudRateValue(TBaudrate(r));
            const int32_t bound = link.OutQueueBound(16385);
            EXPECT_GT(bound, lineMs * 1.5) << r;
            EXPECT_LT(bound, lineMs * 2 + 1001) << r;
        }
    }
}

// Each frame is released by the answer before it (the first by the request)
// and comes in two halves, the second one event pass later. Whatever the peer
// does, the download ends within a few ticks and the link is usable after it.
TEST(CommunicationDownload, ChecksumsDecideOkErAndABadPeerFailsWithinItsBound) {
    const QByteArray a = Pattern(4096, 5), b = Pattern(4096, 2), r = Pattern(100, 9);
    const QByteArray lone(1, '\0'); // the rest block of 0 bytes: its checksum alone
    const QByteArray tooMany = a + QByteArray(40, char(~TCommunication::Checksum(a.constData(), 4096)));
    const QByteArray garbage = Pattern(4097, 99).replace(4096, 1, QByteArray(1, char(0x5A)));
    struct Case {
        const char *name;
        int blocks, rest;
        QList<QByteArray> frames;
        QByteArray answers;
        bool ok;
        QList<int32_t> progress; // at each answer, from a base of 1000
        int ticks;               // the waits it takes; the bound is three times that
    };
    const Case cases[] = {
        {"blocks and lone checksum", 2, 0, {WithSum(a), WithSum(b), lone}, "OKOKOK", true, {5096, 9192, 9192}, 1},
        // After "ER" the counter is back at the block's start; after "OK" it
        // has moved on by the whole block (its checksum not counted).
        {"retried",
         1,
         100,
         {WithSum(a, 1), WithSum(a), WithSum(r, -1), WithSum(r, 7), WithSum(r)},
         "EROKEREROK",
         true,
         {1000, 5096, 5096, 5096, 5196},
         1},
        {"three bad blocks", 1, 100, QList<QByteArray>(4, WithSum(a, 1)), "ERERER", false, {1000, 1000, 1000}, 1},
        {"three bad rests",
         1,
         100,
         QList<QByteArray>{WithSum(a)} + QList<QByteArray>(4, WithSum(r, 1)),
         "OKERERER",
         false,
         {5096, 5096, 5096, 5096},
         1},
        {"nothing", 1, 0, {}, "", false, {}, 3},
        {"too few", 1, 0, {a.left(1000)}, "", false, {}, 6},
        {"too many", 1, 0, QList<QByteArray>(4, tooMany), "ERERER", false, {1000, 1000, 1000}, 1},
        {"garbage", 1, 0, QList<QByteArray>(4, garbage), "ERERER", false, {1000, 1000, 1000}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Link l;
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
        EXPECT_LT(t.elapsed(), 3 * c.ticks * kTickMs);
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

// In block mode a tick without bytes ends the wait, not the tick itself: a
// block trickling in over several ticks arrives; outside block mode the
// same trickle ends after one tick.
TEST(CommunicationDownload, TrickleLongerThanATickPassesOnlyInBlockMode) {
    const QByteArray block = Pattern(40, 4);
    for (const bool blockMode : {true, false}) {
        Link l;
        QByteArray rest = WithSum(block);
        QTimer trickle;
        QObject::connect(&trickle, &QTimer::timeout, [&] {
            if (!rest.isEmpty())
                l.port->FeedReceived(QByteArray(1, rest.front()));
            rest.remove(0, 1);
        });
        trickle.start(40); // 41 bytes: about four ticks
        QByteArray buf(40, 0);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(blockMode ? l.link->ReceiveBlock(buf.data(), 40) : l.link->ReadData(buf.data(), 40), blockMode);
        if (blockMode) {
            EXPECT_GT(t.elapsed(), 2 * kTickMs);
            EXPECT_EQ(buf, block);
            EXPECT_EQ(l.port->TakeWritten(), "OK");
        } else {
            EXPECT_TRUE(l.link->TimedOut());
        }
    }
}

TEST(CommunicationWakeUp, SendsTwoHundredAaBytesThenPauses) {
    Link l;
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(l.link->WakeUp());
    EXPECT_GE(t.elapsed(), kTickMs - 50);
    EXPECT_EQ(l.port->Written(), QByteArray(200, char(0xAA)));
    EXPECT_FALSE(l.link->Busy());
    l.port->SetWriteLimit(199);
    EXPECT_FALSE(l.link->WakeUp());
}
