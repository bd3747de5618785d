// The command link over a real tty device node: a pseudo-terminal whose master
// side is driven by a scripted peer.
#include "LinkTestSupport.h"
#include "PtyPeer.h"
#include "device/CommandSet.h"
#include "device/PosixCommPort.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::PtyPeer;

namespace {

QByteArray Pattern(int size, int seed) {
    QByteArray b(size, 0);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 13 + seed) & 0xFF);
    return b;
}

QByteArray WithSum(const QByteArray &block, int delta = 0) {
    return block + char(TCommunication::Checksum(block.constData(), int32_t(block.size())) + delta);
}

class PtyLink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok()) << "no pseudo-terminal available";
        auto p = std::make_unique<TPosixCommPort>();
        port = p.get();
        link = std::make_unique<TCommunication>(std::move(p), peer.SlaveName());
        link->SetDeviceType(ModelA); // block size 4096
        link->SetBaudRate(br115200);
        link->Open();
        link->SetConnected(true);
    }
    void TearDown() override {
        peer.Join();
        link.reset();
    }
    PtyPeer peer;
    TPosixCommPort *port = nullptr;
    std::unique_ptr<TCommunication> link;
};

} // namespace

TEST_F(PtyLink, CommandBytesAndAcknowledgement) {
    QByteArray got;
    peer.Run([&](PtyPeer &p) {
        got = p.Receive(6);
        p.Send("OK");
    });
    EXPECT_TRUE(link->SendCommand({"GDA", 10000 % 4096, 1, 10000 / 4096, 0}));
    EXPECT_TRUE(link->IsOk());
    peer.Join();
    EXPECT_EQ(got.toHex(), "474441100702");
}

TEST_F(PtyLink, BackToBackCommandsAndTheLastBeforeClosingAllArrive) {
    // Every command purges the output first; that must not drop the command
    // given just before it, nor may closing drop the last one.
    QByteArray got;
    peer.Run([&](PtyPeer &p) { got = p.Receive(28, 3000); });
    TCommandSet commands(*link);
    for (int n : {1, 2, 3, 5, 6})
        ASSERT_TRUE(commands.SetVoltage(n, 0x0100 + n));
    ASSERT_TRUE(commands.Aux(3));
    link->Close();
    peer.Join();
    EXPECT_EQ(got.toHex(), QByteArray("534131010153413202015341330301534135050153413606014158"
                                      "33"));
}

TEST_F(PtyLink, AcknowledgementSurvivesTheNextCommandsPurge) {
    // As after a block of data: "OK", then at once the next command, whose
    // output purge must not take the "OK" away from the instrument.
    constexpr int kRounds = 100;
    QByteArray received;
    peer.Run([&](PtyPeer &p) { received = p.Receive(4 * kRounds); });
    for (int i = 0; i < kRounds; ++i) {
        link->Write("OK", 2);
        ASSERT_TRUE(link->SendCommand({"WD"}));
    }
    peer.Join();
    EXPECT_EQ(received, QByteArray("OKWD").repeated(kRounds));
}

TEST_F(PtyLink, DownloadAnswersOkAndEr) {
    const QByteArray block = Pattern(4096, 1);
    QByteArray answers;
    peer.Run([&](PtyPeer &p) {
        p.Send(WithSum(block, 1)); // corrupted checksum
        answers += p.Receive(2);
        p.Send(WithSum(block));
        answers += p.Receive(2);
        p.Send(QByteArray(1, '\0')); // the rest block of 0 bytes: its checksum alone
        answers += p.Receive(2);
    });
    QByteArray buf(4096, 0);
    EXPECT_TRUE(link->ReceiveBlocks(buf.data(), 1, 0));
    peer.Join();
    EXPECT_EQ(answers, "EROKOK");
    EXPECT_EQ(buf, block);
}

TEST_F(PtyLink, UploadOfTwoBlocksSendsNoThird) {
    const QByteArray data = Pattern(2 * 4096, 3);
    QList<QByteArray> blocks;
    QByteArray after;
    peer.Run([&](PtyPeer &p) {
        for (int i = 0; i < 2; ++i) {
            blocks << p.Receive(4097);
            p.Send("OK");
        }
        after = p.ReceiveFor(300);
    });
    EXPECT_TRUE(link->SendBlocks(data.constData(), int32_t(data.size())));
    peer.Join();
    ASSERT_EQ(blocks.size(), 2);
    EXPECT_EQ(blocks[0], WithSum(data.left(4096)));
    EXPECT_EQ(blocks[1], WithSum(data.mid(4096)));
    EXPECT_TRUE(after.isEmpty());
}

TEST_F(PtyLink, SilentPeerTimesOutAndTheLinkStaysUsable) {
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(link->IsOk());
    EXPECT_GE(t.elapsed(), 450);
    EXPECT_LT(t.elapsed(), 1500);
    peer.Run([](PtyPeer &p) { p.Send("OK"); });
    EXPECT_TRUE(link->IsOk());
}

TEST_F(PtyLink, BlockTricklingInLongerThanATickSucceeds) {
    const QByteArray block = Pattern(40, 4);
    const QByteArray frame = WithSum(block);
    const auto trickle = [frame](PtyPeer &p) {
        for (char c : frame) {
            p.Send(QByteArray(1, c));
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        p.Receive(2, 3000);
    };
    peer.Run(trickle);
    QByteArray buf(40, 0);
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(link->ReceiveBlock(buf.data(), 40));
    EXPECT_GT(t.elapsed(), 1000); // more than two ticks: only block mode lets it through
    EXPECT_EQ(buf, block);
    peer.Join();

    // The same trickle outside block mode ends after one tick.
    peer.Run(trickle);
    t.restart();
    EXPECT_FALSE(link->ReadData(buf.data(), 40));
    EXPECT_LT(t.elapsed(), 1000);
}

TEST_F(PtyLink, GarbageAndSurplusLeaveTheLinkUsable) {
    peer.Run([](PtyPeer &p) { p.Send("XYZ12"); });
    EXPECT_FALSE(link->IsOk());
    peer.Join();
    link->PurgeIn();
    peer.Run([](PtyPeer &p) { p.Send("OK"); });
    EXPECT_TRUE(link->IsOk());
    peer.Join();

    // A block followed by surplus bytes: the first attempt fails, the rest of it
    // is dropped and the retry succeeds.
    const QByteArray block = Pattern(4096, 5);
    QByteArray answers;
    peer.Run([&](PtyPeer &p) {
        p.Send(block + QByteArray(50, char(~TCommunication::Checksum(block.constData(), 4096))));
        answers += p.Receive(2);
        p.Send(WithSum(block));
        answers += p.Receive(2);
    });
    QByteArray buf(4096, 0);
    EXPECT_FALSE(link->ReceiveBlock(buf.data(), 4096));
    EXPECT_TRUE(link->ReceiveBlock(buf.data(), 4096));
    peer.Join();
    EXPECT_EQ(answers, "EROK");
    EXPECT_EQ(buf, block);
}

TEST_F(PtyLink, EveryRateAndFlowControlReachesTheTty) {
    for (int r = br110; r <= br256000; ++r) {
        link->SetBaudRate(TBaudrate(r));
        TDcb d;
        ASSERT_EQ(port->GetState(d), 0);
        EXPECT_EQ(d.BaudRate, uint32_t(BaudRateValue(TBaudrate(r)))) << r;
    }
    // (A pseudo-terminal forces 8 data bits without parity, so the frame
    // settings cannot be read back here.)
    link->SetFlowControl(fcSoftware);
    TDcb d;
    ASSERT_EQ(port->GetState(d), 0);
    EXPECT_EQ(d.Flags & (dcb::OutX | dcb::InX), dcb::OutX | dcb::InX);
    link->SetFlowControl(fcNone);
    ASSERT_EQ(port->GetState(d), 0);
    EXPECT_EQ(d.Flags, dcb::Binary);
    EXPECT_THROW(link->SetDatabits(da4), ECommError); // no 4-bit frames on this system
}

TEST(PtyPort, OpenFailuresCarryTheSystemCode) {
    test::TestDir dir;
    test::WriteTextFile(dir.path("plain.txt"), "x");
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    TComm first(std::make_unique<TPosixCommPort>());
    first.SetDeviceName(peer.SlaveName());
    first.Open();

    struct Case {
        QString name;
        QString text;
        int32_t code;
        bool staysOpen;
    };
    const Case cases[] = {
        {dir.path("missing"), "Error accessing specified device", ENOENT, false},
        {dir.path("plain.txt"), "Invalid device handle, access denied", -1, false},
        {peer.SlaveName(), "Error accessing specified device", EBUSY, false}, // exclusive
        {"/dev/null", "Error updating DataControlBlock", ENOTTY, true},       // not a tty
    };
    for (const Case &c : cases) {
        TComm comm(std::make_unique<TPosixCommPort>());
        comm.SetDeviceName(c.name);
        EXPECT_COMM_ERROR(comm.Open(), c.text, c.code);
        EXPECT_EQ(comm.IsOpen(), c.staysOpen) << c.name.toStdString();
    }
    first.Close();
    TComm again(std::make_unique<TPosixCommPort>());
    again.SetDeviceName(peer.SlaveName());
    EXPECT_NO_THROW(again.Open());
}

TEST_F(PtyLink, LargestBlocksExceedTheTtyBufferAndStillCross) {
    link->SetDeviceType(ModelF); // block size 16384
    const QByteArray down = Pattern(16384, 6), up = Pattern(16384 + 7, 8);
    QByteArray answers, uploaded;
    peer.Run([&](PtyPeer &p) {
        p.Send(WithSum(down));
        answers += p.Receive(2);
        p.Send(QByteArray(1, '\0'));
        answers += p.Receive(2);
        uploaded += p.Receive(16385);
        p.Send("OK");
        uploaded += p.Receive(8);
        p.Send("OK");
    });
    QByteArray buf(16384, 0);
    EXPECT_TRUE(link->ReceiveBlocks(buf.data(), 1, 0));
    EXPECT_EQ(buf, down);
    EXPECT_TRUE(link->SendBlocks(up.constData(), int32_t(up.size())));
    peer.Join();
    EXPECT_EQ(answers, "OKOK");
    EXPECT_EQ(uploaded, WithSum(up.left(16384)) + WithSum(up.mid(16384)));
}

TEST_F(PtyLink, WriteBeyondTheTtyBufferWaitsOnTheDescriptor) {
    // The peer drains the line as fast as it can; the writer should follow
    // the room as it appears instead of idling until the event loop's next
    // turn. A writer that goes back to the event loop on every full queue
    // turns it far more often than once per pulse (10 ms).
    const QByteArray big = Pattern(64 * 1024, 3);
    QByteArray got;
    peer.Run([&](PtyPeer &p) { got = p.Receive(big.size()); });
    int turns = 0;
    link->SetProcessEvents([&] { ++turns; });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(link->Write(big.constData(), int32_t(big.size())), big.size());
    const qint64 ms = t.elapsed();
    peer.Join();
    EXPECT_EQ(got, big);
    EXPECT_LE(turns, ms / 10 + 1) << ms << " ms";
}

TEST(PtyPort, EventCharacterRaisesOnRxFlag) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    TComm comm(std::make_unique<TPosixCommPort>());
    comm.SetDeviceName(peer.SlaveName());
    comm.EventChars().SetEvtChar('#');
    int flags = 0, rx = 0;
    comm.OnRxFlag = [&](TCustomComm *) { ++flags; };
    comm.OnRxChar = [&](TCustomComm *, int32_t) { ++rx; };
    comm.Open();
    peer.Send("abc");
    ASSERT_TRUE(test::WaitUntil([&] { return rx == 1; }));
    EXPECT_EQ(flags, 0);
    peer.Send("d#e");
    ASSERT_TRUE(test::WaitUntil([&] { return flags == 1; }));
    EXPECT_EQ(comm.InQueCount(), 6);
}

// A real hang-up on the tty: the master side closes while the link waits for
// a reply, with part of a block already there. The port closes, the exchange
// fails at once and the lost line is announced, however it was noticed.
TEST(PtyPort, HangUpEndsTheWaitingExchangeAtOnce) {
    for (const bool partial : {false, true}) {
        PtyPeer peer;
        ASSERT_TRUE(peer.Ok());
        TCommunication link(std::make_unique<TPosixCommPort>(), peer.SlaveName());
        link.SetDeviceType(ModelA);
        link.Open();
        link.SetConnected(true);
        int lost = 0, changed = 0;
        link.OnLineLost = [&](TCustomComm *) { ++lost; };
        link.OnConnectedChanged = [&](TCustomComm *) { ++changed; };
        peer.Run([&](PtyPeer &p) {
            p.Receive(2, 2000); // the request
            if (partial)
                p.Send(Pattern(100, 1));
            QThread::msleep(100);
            p.HangUp();
        });
        char buffer[4096];
        QElapsedTimer t;
        t.start();
        const bool ok = partial ? link.SendCommand({"GD"}) && link.ReceiveBlock(buffer, 4096)
                                : link.SendCommand({"WD"}) && link.ReadData(buffer, 2);
        EXPECT_FALSE(ok) << partial;
        EXPECT_LT(t.elapsed(), 450) << partial; // before the first tick's time-out
        EXPECT_FALSE(link.IsOpen()) << partial;
        EXPECT_EQ(link.LostCode(), EIO) << partial;
        EXPECT_EQ(lost, 1) << partial;
        EXPECT_EQ(changed, 1) << partial;
        peer.Join();
    }
}
