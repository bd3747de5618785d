#include "LinkTestSupport.h"
#include "common/Log.h"
#include "support/MemoryCommPort.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

QByteArray Hex(const char *hex) { return QByteArray::fromHex(hex); }

QByteArray Pattern(int size, int seed) {
    QByteArray b(size, 0);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + seed) & 0xFF);
    return b;
}

QByteArray WithSum(const QByteArray &block, int delta = 0) {
    return block + char(TCommunication::Checksum(block.constData(), int32_t(block.size())) + delta);
}

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
    EXPECT_GE(ms, 450);
    EXPECT_LT(ms, 1500);
    EXPECT_TRUE(l.link->TimedOut()); // stays set until the next wait starts
    EXPECT_FALSE(l.link->Busy());
    EXPECT_EQ(l.LogLines(), QStringList{"IsOk received \"__\""});

    l.port->FeedReceived("OK");
    EXPECT_TRUE(l.link->IsOk());
    EXPECT_FALSE(l.link->TimedOut());
}

TEST(CommunicationExchange, AbortEndsTheWaitAndReadsNothing) {
    Link l;
    l.link->SetProcessEvents([&] {
        l.port->FeedReceived("x");
        l.link->Abort();
    });
    char buf[4];
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(l.link->ReadData(buf, 4));
    EXPECT_LT(t.elapsed(), 400);
    EXPECT_EQ(l.link->InQueCount(), 1);
}

TEST(CommunicationExchange, ReadDataCountsProgressAndLeavesSurplusQueued) {
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
}

namespace {
// Collects written blocks of the expected sizes (data + checksum byte) and
// answers each with "OK".
struct UploadPeer {
    TMemoryCommPort *port;
    QList<int> sizes;
    QList<QByteArray> blocks;
    QByteArray pending;
    void OnWrite(const QByteArray &bytes) {
        pending += bytes;
        while (blocks.size() < sizes.size() && pending.size() >= sizes[blocks.size()] + 1) {
            const int n = sizes[blocks.size()] + 1;
            blocks << pending.left(n);
            pending.remove(0, n);
            port->FeedReceived("OK");
        }
    }
};
} // namespace

TEST(CommunicationUpload, SplitsIntoFullBlocksAndRest) {
    struct Case {
        int size;
        QList<int> blocks;
    };
    const Case cases[] = {{2 * 4096, {4096, 4096}}, {2 * 4096 + 5, {4096, 4096, 5}}, {10, {10}}, {0, {}}};
    for (const Case &c : cases) {
        Link l;
        UploadPeer peer{l.port, c.blocks, {}, {}};
        l.port->SetOnWrite([&](const QByteArray &b) { peer.OnWrite(b); });
        const QByteArray data = Pattern(c.size, 3);
        EXPECT_TRUE(l.link->SendBlocks(data.constData(), int32_t(data.size()))) << c.size;
        ASSERT_EQ(peer.blocks.size(), c.blocks.size()) << c.size;
        EXPECT_TRUE(peer.pending.isEmpty()) << c.size; // no empty extra block
        int offset = 0;
        for (int i = 0; i < c.blocks.size(); ++i) {
            EXPECT_EQ(peer.blocks[i], WithSum(data.mid(offset, c.blocks[i]))) << c.size << " block " << i;
            offset += c.blocks[i];
        }
    }
}

TEST(CommunicationUpload, FirstFailureEndsTheUploadWithItsLogLine) {
    struct Case {
        const char *name;
        int size;
        // Sets up the fault of the next write, given how many writes went out.
        std::function<void(TMemoryCommPort &, int writes)> fault;
        int answered;
        QString log;
    };
    const auto none = [](TMemoryCommPort &, int) {};
    const Case cases[] = {
        {"rejected", 3 * 4096, none, 2, "IsOk received \"ER\""},
        {"shortblock", 4096 + 5, [](TMemoryCommPort &p, int n) { p.SetWriteLimit(n == 0 ? 100 : -1); }, 0,
         "Error writing data block 0"},
        {"stalledcrc", 2 * 4096, [](TMemoryCommPort &p, int n) { p.SetWriteStalled(n == 3); }, 1,
         "Error writing CRC of block 1"},
        {"shortlast", 4096 + 5, [](TMemoryCommPort &p, int n) { p.SetWriteLimit(n == 2 ? 1 : -1); }, 1,
         "Error writing last data block"},
        {"stalledlastcrc", 4096 + 5, [](TMemoryCommPort &p, int n) { p.SetWriteStalled(n == 3); }, 1,
         "Error writing last CRC"},
    };
    for (const Case &c : cases) {
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
            EXPECT_EQ(e.ErrorCode(), ETIMEDOUT) << c.name;
        }
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(answered, c.answered) << c.name;
        EXPECT_EQ(l.LogLines().last(), c.log) << c.name;
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
    EXPECT_LT(t.elapsed(), bound + 1000);
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

namespace {
// Sends download blocks: each answer "OK"/"ER" releases the next frame. A
// chunked peer sends each frame in two halves, the second one pass later.
struct DownloadPeer {
    DownloadPeer(TMemoryCommPort *p, QList<QByteArray> f) : port(p), frames(std::move(f)) {}
    TMemoryCommPort *port;
    QList<QByteArray> frames;
    QByteArray answers;
    bool chunked = false;
    QByteArray second;
    void Next() {
        if (frames.isEmpty())
            return;
        const QByteArray f = frames.takeFirst();
        const qsizetype half = chunked ? f.size() / 2 : f.size();
        port->FeedReceived(f.left(half));
        second = f.mid(half);
    }
    void Pass() {
        if (!second.isEmpty())
            port->FeedReceived(std::exchange(second, {}));
    }
    void OnWrite(const QByteArray &b) {
        answers += b;
        Next();
    }
};
} // namespace

TEST(CommunicationDownload, BlocksRestAndLoneChecksum) {
    Link l;
    const QByteArray a = Pattern(4096, 1), b = Pattern(4096, 2);
    DownloadPeer peer{l.port, {WithSum(a), WithSum(b), QByteArray(1, '\0')}};
    l.port->SetOnWrite([&](const QByteArray &w) { peer.OnWrite(w); });
    peer.Next();
    QByteArray buf(2 * 4096, 0);
    EXPECT_TRUE(l.link->ReceiveBlocks(buf.data(), 2, 0));
    EXPECT_EQ(buf, a + b);
    EXPECT_EQ(peer.answers, "OKOKOK");
    EXPECT_FALSE(l.link->BlockMode());
}

TEST(CommunicationDownload, BadChecksumIsRetriedAndProgressRewound) {
    Link l;
    const QByteArray a = Pattern(4096, 5), rest = Pattern(100, 9);
    DownloadPeer peer{l.port, {WithSum(a, 1), WithSum(a), WithSum(rest, -1), WithSum(rest, 7), WithSum(rest)}};
    peer.chunked = true;
    l.link->SetProcessEvents([&] { peer.Pass(); });
    QList<int32_t> progressAtAnswer;
    l.port->SetOnWrite([&](const QByteArray &w) {
        progressAtAnswer << l.link->Received();
        peer.OnWrite(w);
    });
    l.link->SetProgress(1000, 0);
    peer.Next();
    QByteArray buf(4096 + 100, 0);
    EXPECT_TRUE(l.link->ReceiveBlocks(buf.data(), 1, 100));
    EXPECT_EQ(buf, a + rest);
    EXPECT_EQ(peer.answers, "EROKEREROK");
    // After "ER" the counter is back at the block's start; after "OK" it has
    // moved on by the whole block (its checksum not counted).
    ASSERT_GE(progressAtAnswer.size(), 2);
    EXPECT_EQ(progressAtAnswer[0], 1000);
    EXPECT_EQ(progressAtAnswer[1], 1000 + 4096);
}

TEST(CommunicationDownload, ThreeBadAttemptsFailTheTransfer) {
    for (bool inRest : {false, true}) {
        Link l;
        const QByteArray a = Pattern(4096, 5), r = Pattern(10, 1);
        QList<QByteArray> frames;
        if (inRest)
            frames << WithSum(a);
        for (int i = 0; i < 4; ++i)
            frames << (inRest ? WithSum(r, 1) : WithSum(a, 1));
        DownloadPeer peer{l.port, frames};
        l.port->SetOnWrite([&](const QByteArray &w) { peer.OnWrite(w); });
        peer.Next();
        QByteArray buf(4096 + 10, 0);
        EXPECT_FALSE(l.link->ReceiveBlocks(buf.data(), 1, 10));
        EXPECT_EQ(peer.answers, inRest ? "OKERERER" : "ERERER");
        EXPECT_EQ(peer.frames.size(), 0); // the fourth frame went out but was never read
    }
}

TEST(CommunicationWakeUp, SendsTwoHundredAaBytesThenPauses) {
    Link l;
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(l.link->WakeUp());
    EXPECT_GE(t.elapsed(), 450);
    EXPECT_EQ(l.port->Written(), QByteArray(200, char(0xAA)));
    EXPECT_FALSE(l.link->Busy());
    l.port->SetWriteLimit(199);
    EXPECT_FALSE(l.link->WakeUp());
}

TEST(CommunicationBadPeer, DownloadFailsWithinItsBoundAndTheLinkStaysUsable) {
    const QByteArray block = Pattern(4096, 4);
    const QByteArray garbage = Pattern(4097, 99).replace(4096, 1, QByteArray(1, char(0x5A)));
    struct Case {
        const char *name;
        QByteArray frame; // sent for the request and again after every answer
        QByteArray answers;
        int maxMs;
    };
    const Case cases[] = {
        {"nothing", {}, "", 3000},
        {"toofew", block.left(1000), "", 4000},
        {"toomany", block + QByteArray(40, char(~TCommunication::Checksum(block.constData(), 4096))), "ERERER", 2000},
        {"garbage", garbage, "ERERER", 2000},
    };
    for (const Case &c : cases) {
        Link l;
        QByteArray answers;
        l.port->SetOnWrite([&](const QByteArray &w) {
            answers += w;
            l.port->FeedReceived(c.frame);
        });
        l.port->FeedReceived(c.frame);
        QByteArray buf(4096, 0);
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(l.link->ReceiveBlocks(buf.data(), 1, 0)) << c.name;
        EXPECT_LT(t.elapsed(), c.maxMs) << c.name;
        EXPECT_EQ(answers, c.answers) << c.name;
        EXPECT_FALSE(l.link->Busy()) << c.name;
        EXPECT_FALSE(l.link->BlockMode()) << c.name;
        // What is left of a block cut short is dropped and the progress rewound.
        EXPECT_EQ(l.link->Received(), 0) << c.name;
        if (c.answers.isEmpty()) // else the peer has sent the block again
            EXPECT_EQ(l.link->InQueCount(), 0) << c.name;
        l.port->SetOnWrite(nullptr);
        l.link->PurgeIn(); // as every command with a reply does first
        l.port->FeedReceived("OK");
        EXPECT_TRUE(l.link->IsOk()) << c.name;
    }
}
