// The command set on the serial test double: request bytes, replies, header
// rules, the self-test stream and the bounded waits.
#include "ScriptedPeer.h"

#include <QElapsedTimer>
#include <cerrno>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Hex;
using tessel::test::MemoryLink;
using tessel::test::Pattern;
using tessel::test::WithSum;

namespace {
using Op = std::function<bool(TCommandSet &)>;
} // namespace

TEST(CommandSet, RequestBytes) {
    const std::tuple<const char *, Op, QByteArray> cases[] = {
        {"MS", [](TCommandSet &c) { return c.MonitorStop(); }, "MS"},
        {"BF1", [](TCommandSet &c) { return c.ActinicFlash(); }, "BF1"},
        {"AX6", [](TCommandSet &c) { return c.Aux(6); }, "AX6"},
        {"AX7", [](TCommandSet &c) { return c.Aux(7); }, ""},
        {"SA5", [](TCommandSet &c) { return c.SetVoltage(5, 1023); }, Hex("534135ff03")},
        {"SA1 mod 65536", [](TCommandSet &c) { return c.SetVoltage(1, 65536 + 0x1234); }, Hex("5341313412")},
        {"SA4", [](TCommandSet &c) { return c.SetVoltage(4, 1); }, ""},
        {"MO", [](TCommandSet &c) { return c.MonitorOn(1); }, Hex("4d4f0100")},
        {"SG", [](TCommandSet &c) { return c.SetGain(35, 2); }, Hex("53472302")},
        {"SW", [](TCommandSet &c) { return c.SetApd(7, 2); }, Hex("53570702")},
        {"EC", [](TCommandSet &c) { return c.SendMacro(Hex("03a1b2c3ff")); }, Hex("454303a1b2c3")},
        {"EC short", [](TCommandSet &c) { return c.SendMacro(Hex("05a1")); }, ""},
        {"EC over 97", [](TCommandSet &c) { return c.SendMacro(QByteArray(1, char(98)) + QByteArray(98, 'x')); }, ""},
    };
    for (const auto &[name, op, bytes] : cases) {
        MemoryLink l;
        EXPECT_EQ(op(*l.cmd), !bytes.isEmpty()) << name;
        EXPECT_EQ(l.port->TakeWritten().toHex(), bytes.toHex()) << name;
    }
}

TEST(CommandSet, ChannelDataHeaderRulesAndProgress) {
    const QByteArray data = Pattern(10000, 3);
    const QByteArray a = WithSum(data.left(4096)), b = WithSum(data.mid(4096, 4096)), c = WithSum(data.mid(8192));
    const std::tuple<const char *, bool, std::vector<QByteArray>, bool> cases[] = {
        {"A queued ahead", false, {Hex("534441100702") + a + b + c}, true},
        {"B answers SDA", true, {Hex("534441100702") + a, b, c}, true},
        {"B answering SDB", true, {Hex("534442100702") + a, b, c}, false},
    };
    for (const auto &[name, channelB, replies, ok] : cases) {
        MemoryLink l;
        QList<int32_t> progress;
        size_t writes = 0;
        l.Peer({}).SetRule([&, replies = replies](const QByteArray &w) {
            if (w == "OK")
                progress << l.link->Received();
            return writes < replies.size() ? replies[writes++] : QByteArray();
        });
        QByteArray buf(10000, 0);
        EXPECT_EQ(channelB ? l.cmd->GetDataB(buf.data(), 10000) : l.cmd->GetDataA(buf.data(), 10000), ok) << name;
        const QByteArray w = l.port->TakeWritten();
        EXPECT_EQ(w.left(6).toHex(), channelB ? "474442100702" : "474441100702") << name;
        // A refused header is never answered; a good transfer acknowledges three blocks.
        EXPECT_EQ(w.mid(6), ok ? "OKOKOK" : "") << name;
        EXPECT_EQ(progress, ok ? QList<int32_t>({4096, 8192, 10000}) : QList<int32_t>()) << name;
        if (ok)
            EXPECT_EQ(buf, data) << name;
    }
    MemoryLink l;
    QByteArray buf(10, 0);
    EXPECT_FALSE(l.cmd->GetDataA(buf.data(), 256 * 4096)); // block count beyond one byte
    EXPECT_TRUE(l.port->TakeWritten().isEmpty());
}

TEST(CommandSet, BlockLoadAndLdpLog) {
    const QByteArray image = Pattern(5000, 3);
    for (const bool accept : {true, false}) {
        MemoryLink l;
        l.Peer({"", "OK", accept ? "OK" : "ER"});
        EXPECT_EQ(l.cmd->LoadData("LDP", image), accept);
        const QByteArray w = l.port->TakeWritten();
        EXPECT_EQ(w.left(6).toHex(), "4c4450880301");
        EXPECT_EQ(w.mid(6), WithSum(image.left(4096)) + WithSum(image.mid(4096)));
        EXPECT_EQ(l.Log(), QStringList({"Entering LDP", "Sending params", "BlockSize 4096", "Sending data",
                                        "IsOk received \"OK\"",
                                        accept ? "IsOk received \"OK\"" : "IsOk received \"ER\"", "Exiting LDP"}));
    }
}

TEST(CommandSet, SelfTestStream) {
    using E = TTestEnd;
    const std::tuple<const char *, QByteArray, QStringList, TTestEnd> cases[] = {
        {"number then text", Hex("212a00234f4b007e"), {"42OK"}, E::Complete},
        {"negative 16 and 32 bit", Hex("21feff23200022feffffff7e"), {"-2 -2"}, E::Complete},
        {"dollar token", Hex("2401212c01240102237a007e"), {"300z"}, E::Complete},
        {"lines", QByteArray("#Lamp OK\r\nDetector OK\r\n") + char(0) + "~", {"Lamp OK", "Detector OK"}, E::Complete},
        {"blank lines kept", QByteArray("#\na\r\rb\n") + char(0) + "~", {"", "a", "", "b"}, E::Complete},
        {"stray byte first: no report", Hex("7e212a00"), {}, E::Empty},
        {"silent after a piece", Hex("23414243"), {"ABC"}, E::Silent},
        {"silent inside a number", Hex("212a"), {"0"}, E::Silent},
    };
    for (const auto &[name, stream, expected, end] : cases) {
        const bool complete = end == E::Complete;
        MemoryLink l;
        l.link->WaitBounds().TestSilenceMs = 200;
        l.Peer({stream});
        QStringList lines{"old"};
        QStringList shown;
        EXPECT_EQ(l.cmd->TestUnit(lines, [&](const QStringList &now) { shown = now; }), complete) << name;
        EXPECT_EQ(lines, expected) << name;
        EXPECT_EQ(shown, expected) << name;
        EXPECT_EQ(l.cmd->LastTestEnd(), end) << name;
        // The link is free and answers again.
        l.Peer({"ND"});
        EXPECT_EQ(l.cmd->GetStatus(), stReady) << name;
    }
}

TEST(CommandSet, ProgramFlashAndProgramDeviceBounds) {
    const std::pair<QByteArray, bool> flash[] = {
        {"OK flash written, 5000 bytes", true}, {"ER no image", false}, {"", false}};
    for (const auto &[reply, ok] : flash) {
        MemoryLink l;
        l.link->WaitBounds().ProgramFlashMs = 300;
        l.Peer({reply});
        EXPECT_EQ(l.cmd->ProgramFlash(), ok) << reply.constData();
        EXPECT_EQ(l.port->TakeWritten(), "PF");
        EXPECT_EQ(l.Log().last(), reply.isEmpty() ? QString("PF: no reply within 300 ms")
                                                  : QString::fromLatin1(reply.leftJustified(41, ' ')));
    }
    const std::tuple<QByteArray, bool, const char *> device[] = {
        {"IMG 5000 SUM 1234 OK", true, "Received OK"},
        {"IMG 5000 SUM 1234 ", false, "PX: no answer within 1500 ms"},
    };
    for (const auto &[reply, ok, last] : device) {
        MemoryLink l;
        l.link->WaitBounds().ProgramDeviceMs = 1500;
        l.Peer({reply});
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(l.cmd->ProgramDevice(), ok) << last;
        EXPECT_EQ(l.port->TakeWritten(), "PX");
        EXPECT_LT(t.elapsed(), 10000); // several times the bound, far below the default
        EXPECT_EQ(l.Log().mid(0, 3), QStringList({"Sending PX", "Received IMG 5000 SUM 1234 ", "Waiting for OK..."}));
        EXPECT_EQ(l.Log().last(), last);
    }
}

// A line lost or a refused transfer inside an exchange ends it at once and
// leaves the link free; the link works afterwards.
TEST(LinkFaults, ALostLineOrAnErrorEndsEveryExchangeAndTheLinkRecovers) {
    enum Fault { HangUp, WriteError, ReadError };
    struct Case {
        const char *name;
        QByteArray reply; // to the request, which the fault follows
        Fault fault;
        std::function<bool(MemoryLink &)> op;
    };
    static char buffer[10000];
    const auto download = [](MemoryLink &l) { return l.cmd->GetDataA(buffer, 10000); };
    const auto selfTest = [](MemoryLink &l) {
        QStringList lines;
        return l.cmd->TestUnit(lines) || l.cmd->LastTestEnd() != TTestEnd::LineLost;
    };
    const Case cases[] = {
        {"download", Hex("534441100702") + Pattern(2000, 3), HangUp, download},
        {"self test", "#ABC", HangUp, selfTest},
        {"self test read", "#AB", ReadError, selfTest},
        {"download answer", Hex("534441100702") + Pattern(4096, 3), WriteError, download},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLink l;
        // A peer that missed the fault would leave the wait open for long.
        l.link->WaitBounds().TestSilenceMs = 20000;
        int lost = 0, writes = 0;
        l.link->OnLineLost = [&](TCustomComm *) { ++lost; };
        const auto fault = [&] {
            if (c.fault == WriteError)
                l.port->SetWriteError(EINVAL);
            else if (c.fault == ReadError) // the reply comes, but cannot be read
                l.port->SetReadError(EBADMSG);
            else // the self test's report is under way when the line goes
                QTimer::singleShot(std::string(c.name) == "self test" ? 60 : 0, [&] { l.port->HangUp(); });
        };
        l.Peer({}).SetRule([&](const QByteArray &) {
            if (++writes > 1)
                return QByteArray();
            fault();
            return c.reply;
        });
        QElapsedTimer t;
        t.start();
        // A port error that passes through counts as the exchange's failure.
        QString error;
        try {
            EXPECT_FALSE(c.op(l));
        } catch (const ECommError &e) {
            error = e.message();
        }
        EXPECT_LT(t.elapsed(), 10000);
        EXPECT_FALSE(l.link->InExchange());
        if (c.fault != HangUp) {
            EXPECT_FALSE(error.isEmpty());
            l.port->SetWriteError(0);
            l.port->SetReadError(0);
            l.Peer({"ND"});
            EXPECT_EQ(l.cmd->GetStatus(), stReady);
            continue;
        }
        EXPECT_FALSE(l.link->IsOpen());
        EXPECT_EQ(l.link->LostCode(), EIO);
        EXPECT_FALSE(l.link->Connected());
        EXPECT_EQ(l.connectedChanges, 1);
        EXPECT_EQ(lost, 1);
        // The instrument is back: identification (as the reconnect timer runs
        // it) opens the closed port again, and the link works.
        l.conn->SetBaudRates({br9600});
        l.Peer({"ModelF  ", "ND"});
        EXPECT_TRUE(l.conn->Connect(false, false));
        EXPECT_EQ(l.connectedChanges, 2);
        EXPECT_EQ(l.cmd->GetStatus(), stReady);
    }
}

TEST(LinkFaults, TransferRefusesPortAndTypeChanges) {
    MemoryLink l;
    bool setDevice = true, dialog = false;
    QString port;
    l.conn->SetupDialog = [&] { return dialog = true; };
    l.Peer({Hex("534441100702")}); // the header, then nothing: the download waits
    QTimer::singleShot(50, [&] {
        setDevice = l.conn->SetDevice(ModelB1);
        l.conn->ShowSetup();
        l.conn->ApplyPort("ttyOther");
        port = l.port->OpenedName();
        l.port->HangUp(); // ends the waiting download at once
    });
    static char buffer[10000];
    EXPECT_FALSE(l.cmd->GetDataA(buffer, 10000));
    EXPECT_FALSE(setDevice);
    EXPECT_FALSE(dialog);
    EXPECT_EQ(port, "ttyMem");
    EXPECT_EQ(l.link->Device(), ModelA);
    EXPECT_TRUE(l.conn->SetDevice(ModelB1)); // free again
}

TEST(LinkFaults, AHandlerThatRaisesDoesNotStopLaterEvents) {
    MemoryLink l;
    int calls = 0;
    l.link->OnRxChar = [&](TCustomComm *, int32_t) {
        ++calls;
        l.link->PurgeIn();
        throw ECommError("Read error", EBADMSG);
    };
    l.port->FeedReceived("a");
    ASSERT_TRUE(test::WaitUntil([&] { return calls == 1; }));
    l.port->FeedReceived("b");
    EXPECT_TRUE(test::WaitUntil([&] { return calls == 2; }));
}

// An instrument answers within its turnaround; on a busy machine the reply is
// queued before the write returns. No reply may be purged for coming early,
// while stale input from before the request is.
TEST(CommandSet, RepliesThatArriveDuringTheWriteAreKept) {
    const QByteArray data = Pattern(100, 3);
    static char buffer[100];
    const std::tuple<const char *, QByteArray, Op> cases[] = {
        {"SX", Hex("2122"),
         [](TCommandSet &c) {
             int a = 0, b = 0;
             return c.GetApd(a, b) && std::array{a, b} == std::array{0x21, 0x22};
         }},
        {"SD", Hex("0a0b0c0d"),
         [](TCommandSet &c) {
             int ga = 0, gb = 0, oa = 0, ob = 0;
             return c.GetGains(ga, gb, oa, ob) && std::array{ga, gb, oa, ob} == std::array{10, 11, 12, 13};
         }},
        {"GDA", Hex("534441640000") + WithSum(data), [](TCommandSet &c) { return c.GetDataA(buffer, 100); }},
    };
    for (const auto &[name, reply, op] : cases) {
        MemoryLink l;
        l.Peer({reply}, 0);
        l.port->FeedReceived("junk");
        EXPECT_TRUE(op(*l.cmd)) << name;
        EXPECT_TRUE(l.port->TakeWritten().startsWith(name)) << name;
    }
}
