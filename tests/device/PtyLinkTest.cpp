// The link over a real tty device node, for what only the operating system
// does: purge, hang-up, line speed, open errors and buffer limits. Framing
// and command bytes are pinned on the memory port.
#include "LinkTestSupport.h"
#include "PtyPeer.h"
#include "device/PosixCommPort.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Pattern;
using tessel::test::PtyPeer;
using tessel::test::WithSum;

namespace {

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

TEST_F(PtyLink, OutputPurgeNeverDropsWhatWasWrittenBefore) {
    // Every command purges the output first: that must not take away an "OK"
    // just written (as after a block), nor the command before it; closing
    // must not drop the last one.
    constexpr int kRounds = 100;
    QByteArray got;
    peer.Run([&](PtyPeer &p) { got = p.Receive(4 * kRounds + 3); });
    for (int i = 0; i < kRounds; ++i) {
        link->Write("OK", 2);
        ASSERT_TRUE(link->SendCommand({"WD"}));
    }
    ASSERT_TRUE(link->SendCommand({"AX3"}));
    link->Close();
    peer.Join();
    EXPECT_EQ(got, QByteArray("OKWD").repeated(kRounds) + "AX3");
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

// A real hang-up on the tty: the master side closes right after the request,
// with part of a block sent or not. However the link notices it, the port is
// closed when the exchange returns (a wait that ran into its time-out instead
// would return with the port still open) and the lost line is announced once.
TEST(PtyPort, HangUpEndsTheWaitingExchange) {
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
            p.HangUp();
        });
        char buffer[4096];
        const bool ok = partial ? link.SendCommand({"GD"}) && link.ReceiveBlock(buffer, 4096)
                                : link.SendCommand({"WD"}) && link.ReadData(buffer, 2);
        EXPECT_FALSE(ok) << partial;
        EXPECT_FALSE(link.IsOpen()) << partial;
        EXPECT_EQ(link.LostCode(), EIO) << partial;
        EXPECT_EQ(lost, 1) << partial;
        EXPECT_EQ(changed, 1) << partial;
        peer.Join();
    }
}
