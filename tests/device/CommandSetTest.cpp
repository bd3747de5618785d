// The command set on the serial test double: request bytes, replies, header
// rules, the self-test stream and the bounded waits.
#include "LinkTestSupport.h"
#include "ScriptedPeer.h"
#include "common/Log.h"
#include "device/MemoryCommPort.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::ScriptedPeer;
using tessel::test::TestLink;

namespace {

QByteArray Hex(const char *hex) {
    return QByteArray::fromHex(hex);
}

QByteArray WithSum(const QByteArray &block) {
    return block + char(TCommunication::Checksum(block.constData(), int32_t(block.size())));
}

QByteArray Pattern(int size, int seed) {
    QByteArray b(size, 0);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 11 + seed) & 0xFF);
    return b;
}

struct Link {
    test::TestDir dir;
    TMemoryCommPort *port = nullptr;
    std::unique_ptr<TestLink> link;
    explicit Link(TDevice device = ModelA) {
        OpenLog(dir.path("logfile.txt"));
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        link = std::make_unique<TestLink>(std::move(p));
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

using Op = std::function<bool(TCommunication &)>;
struct RequestCase {
    const char *name;
    Op op;
    QByteArray bytes; // empty: refused without writing
};

} // namespace

TEST(CommandSet, RequestBytes) {
    const QByteArray macro = Hex("03a1b2c3");
    const RequestCase cases[] = {
        {"ST", [](TCommunication &c) { return c.StartMeasurement(); }, "ST"},
        {"SP", [](TCommunication &c) { return c.StopMeasurement(); }, "SP"},
        {"MS", [](TCommunication &c) { return c.MonitorStop(); }, "MS"},
        {"BF1", [](TCommunication &c) { return c.ActinicFlash(); }, "BF1"},
        {"BF2", [](TCommunication &c) { return c.Flash2(); }, "BF2"},
        {"SF1", [](TCommunication &c) { return c.MeasuringFlash(); }, "SF1"},
        {"AX1", [](TCommunication &c) { return c.Aux(1); }, "AX1"},
        {"AX6", [](TCommunication &c) { return c.Aux(6); }, "AX6"},
        {"AX7", [](TCommunication &c) { return c.Aux(7); }, ""},
        {"DI", [](TCommunication &c) { return c.RequestDeviceInfo(); }, "DI"},
        {"SA5", [](TCommunication &c) { return c.SetVoltage(5, 1023); }, Hex("534135ff03")},
        {"SA1 mod 65536", [](TCommunication &c) { return c.SetVoltage(1, 65536 + 0x1234); }, Hex("5341313412")},
        {"SA4", [](TCommunication &c) { return c.SetVoltage(4, 1); }, ""},
        {"MO", [](TCommunication &c) { return c.MonitorOn(1); }, Hex("4d4f0100")},
        {"SG", [](TCommunication &c) { return c.SetGain(35, 2); }, Hex("53472302")},
        {"SO", [](TCommunication &c) { return c.SetOffset(100, 1); }, Hex("534f6401")},
        {"SW", [](TCommunication &c) { return c.SetApd(7, 2); }, Hex("53570702")},
        {"EC", [&](TCommunication &c) { return c.SendMacro(macro); }, Hex("454303a1b2c3")},
        {"EC short record", [](TCommunication &c) { return c.SendMacro(Hex("05a1")); }, ""},
        {"EC too long", [](TCommunication &c) { return c.SendMacro(QByteArray(1, char(98)) + QByteArray(98, 'x')); },
         ""},
    };
    for (const RequestCase &c : cases) {
        Link l;
        EXPECT_EQ(c.op(*l.link), !c.bytes.isEmpty()) << c.name;
        EXPECT_EQ(l.port->TakeWritten().toHex(), c.bytes.toHex()) << c.name;
    }
}

TEST(CommandSet, RefusedWhileNotConnectedExceptTheMacro) {
    const Op ops[] = {
        [](TCommunication &c) { return c.StartMeasurement(); },
        [](TCommunication &c) { return c.MonitorStop(); },
        [](TCommunication &c) { return c.SetVoltage(2, 3); },
        [](TCommunication &c) { return c.SetGain(1, 1); },
        [](TCommunication &c) { return c.LoadData("LDE", QByteArray(10, 'x')); },
        [](TCommunication &c) { return c.SendResetMacros(); },
        [](TCommunication &c) { return c.ProgramFlash(); },
    };
    Link l;
    l.link->SetConnected(false);
    for (const Op &op : ops)
        EXPECT_FALSE(op(*l.link));
    EXPECT_EQ(l.link->GetIdentity(), "");
    EXPECT_EQ(l.link->GetStatus(), stNoReply);
    EXPECT_TRUE(l.port->TakeWritten().isEmpty());
    // The macro goes straight to the port.
    EXPECT_TRUE(l.link->SendMacro(Hex("0150")));
    EXPECT_EQ(l.port->TakeWritten().toHex(), "45430150");
}

TEST(CommandSet, PurgeBeforeDropsStaleInput) {
    Link l;
    ScriptedPeer peer(*l.port);
    peer.Replies({Hex("0a0b0c0d"), Hex("2122")});
    l.port->FeedReceived("junk");
    int ga = -1, gb = -1, oa = -1, ob = -1;
    ASSERT_TRUE(l.link->GetGains(ga, gb, oa, ob));
    EXPECT_EQ((std::array{ga, gb, oa, ob}), (std::array{10, 11, 12, 13}));
    l.port->FeedReceived("x");
    int a1 = -1, a2 = -1;
    ASSERT_TRUE(l.link->GetApd(a1, a2));
    EXPECT_EQ(a1, 0x21);
    EXPECT_EQ(a2, 0x22);
    EXPECT_EQ(l.port->TakeWritten(), "SDSX");
}

TEST(CommandSet, MissingRepliesLeaveValuesAndGiveDefaults) {
    Link l;
    int a1 = 5, a2 = 6;
    EXPECT_FALSE(l.link->GetApd(a1, a2));
    EXPECT_EQ(a1, 5);
    EXPECT_EQ(a2, 6);
    EXPECT_EQ(l.link->GetIdentity(), "");
    EXPECT_EQ(l.link->GetVersion(), (std::array<uint8_t, 4>{}));
}

TEST(CommandSet, StatusReplies) {
    const std::pair<QByteArray, TDeviceStatus> cases[] = {
        {"ND", stReady}, {"EM", stDataReady}, {"BB", stMeasuring},  {"WE", stWaiting}, {"WT", stWaiting},
        {"FR", stEmpty}, {"TT", stTesting},   {"TE", stTE},         {"E1", stE1},      {"E2", stE2},
        {"E3", stE3},    {"ER", stError},     {"SA", stOutOfRange}, {"XX", stNoReply},
    };
    for (const auto &[reply, code] : cases)
        EXPECT_EQ(StatusFromReply(reply), code) << reply.constData();
    Link l;
    ScriptedPeer peer(*l.port);
    peer.Replies({"WT", ""});
    EXPECT_EQ(l.link->GetStatus(), stWaiting);
    EXPECT_EQ(l.link->GetStatus(), stNoReply); // silent
    EXPECT_EQ(l.port->TakeWritten(), "WDWD");
    EXPECT_EQ(l.LogLines().filter("WD: "), QStringList({"WD: WT", "WD: __"}));
}

TEST(CommandSet, ChannelDataHeaderRules) {
    const QByteArray data = Pattern(10000, 3);
    struct Case {
        const char *name;
        bool channelB;
        QByteArray header;
        bool ok;
    } cases[] = {
        {"A", false, Hex("534441100702"), true},
        {"B answers SDA", true, Hex("534441100702"), true},
        {"B answering SDB", true, Hex("534442100702"), false},
        {"size mismatch", false, Hex("534441110702"), false},
    };
    for (const Case &c : cases) {
        Link l;
        ScriptedPeer peer(*l.port);
        peer.Replies({c.header + WithSum(data.left(4096)), WithSum(data.mid(4096, 4096)), WithSum(data.mid(8192))});
        QByteArray buf(10000, 0);
        const bool ok = c.channelB ? l.link->GetDataB(buf.data(), 10000) : l.link->GetDataA(buf.data(), 10000);
        EXPECT_EQ(ok, c.ok) << c.name;
        const QByteArray written = l.port->TakeWritten();
        EXPECT_EQ(written.left(6).toHex(), (c.channelB ? Hex("474442100702") : Hex("474441100702")).toHex()) << c.name;
        if (c.ok) {
            EXPECT_EQ(buf, data) << c.name;
            EXPECT_EQ(written.mid(6), "OKOKOK") << c.name;
        } else {
            EXPECT_EQ(written.size(), 6) << c.name; // no block answered
        }
        EXPECT_EQ(l.link->Expected(), 10000);
    }
}

TEST(CommandSet, SizesBeyondTheBlockCountByteAreRefused) {
    Link l;
    QByteArray buf(10, 0);
    EXPECT_FALSE(l.link->GetDataA(buf.data(), 256 * 4096));
    EXPECT_FALSE(l.link->LoadData("LDE", QByteArray(256 * 4096, 0)));
    EXPECT_TRUE(l.port->TakeWritten().isEmpty());
}

TEST(CommandSet, BlockLoadAndLdpLog) {
    const QByteArray image = Pattern(5000, 9);
    for (const bool accept : {true, false}) {
        Link l;
        ScriptedPeer peer(*l.port);
        peer.Replies({"", "OK", accept ? "OK" : "ER"});
        EXPECT_EQ(l.link->LoadData("LDP", image), accept);
        const QByteArray w = l.port->TakeWritten();
        EXPECT_EQ(w.left(6).toHex(), "4c4450880301");
        EXPECT_EQ(w.mid(6), WithSum(image.left(4096)) + WithSum(image.mid(4096)));
        EXPECT_EQ(l.LogLines(), QStringList({"Entering LDP", "Sending params", "BlockSize 4096", "Sending data",
                                             "IsOk received \"OK\"",
                                             accept ? "IsOk received \"OK\"" : "IsOk received \"ER\"", "Exiting LDP"}));
    }
}

TEST(CommandSet, ResetMacros) {
    Link l;
    EXPECT_TRUE(l.link->SendResetMacros());
    EXPECT_EQ(l.port->TakeWritten().toHex(), "454305a4010b0fff454307a401071024412045430320004045430272"
                                             "00");
}

namespace {
struct StreamCase {
    const char *name;
    QByteArray stream;
    QStringList lines;
    bool complete;
};
} // namespace

TEST(CommandSet, SelfTestStream) {
    const StreamCase cases[] = {
        {"number then text", Hex("212a00234f4b007e"), {"42OK"}, true},
        {"negative 16 and 32 bit", Hex("21feff23200022feffffff7e"), {"-2 -2"}, true},
        {"dollar token", Hex("2401212c01237801007e"), {"300x\x01"}, true},
        {"dollar without number", Hex("240102237a007e"), {"z"}, true},
        {"lines", QByteArray("#Lamp OK\r\nDetector OK\r\n") + char(0) + "~", {"Lamp OK", "Detector OK"}, true},
        {"silent after a piece", Hex("23414243"), {"ABC"}, false},
    };
    for (const StreamCase &c : cases) {
        Link l;
        l.link->WaitBounds().TestSilenceMs = 200;
        ScriptedPeer peer(*l.port);
        peer.Replies({c.stream});
        QStringList lines{"old"};
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(l.link->TestUnit(lines), c.complete) << c.name;
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_LT(t.elapsed(), 3000) << c.name;
        // The link is free and answers again.
        ScriptedPeer next(*l.port);
        next.Replies({"ND"});
        EXPECT_EQ(l.link->GetStatus(), stReady) << c.name;
    }
}

TEST(CommandSet, SelfTestFloodEndsAtTheTotalBound) {
    Link l;
    l.link->WaitBounds().TestTotalMs = 300;
    ScriptedPeer peer(*l.port, 1);
    // Text that never ends: every write of the link is answered, and a timer
    // keeps feeding while the stream runs.
    QTimer flood;
    QObject::connect(&flood, &QTimer::timeout, [&] { l.port->FeedReceived(QByteArray(64, 'A')); });
    peer.Replies({"#"});
    flood.start(5);
    QStringList lines;
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(l.link->TestUnit(lines));
    flood.stop();
    EXPECT_LT(t.elapsed(), 3000);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith("AAAA"));
    EXPECT_FALSE(l.link->Busy());
}

TEST(CommandSet, ProgramFlashReplyAndBound) {
    struct Case {
        QByteArray reply;
        bool ok;
    } cases[] = {{"OK flash written, 5000 bytes", true}, {"ER no image to write", false}, {"", false}};
    for (const Case &c : cases) {
        Link l;
        l.link->WaitBounds().ProgramFlashMs = 300;
        ScriptedPeer peer(*l.port);
        peer.Replies({c.reply});
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(l.link->ProgramFlash(), c.ok) << c.reply.constData();
        EXPECT_LT(t.elapsed(), 2000);
        const QStringList log = l.LogLines();
        if (c.reply.isEmpty())
            EXPECT_EQ(log.last(), "PF: no reply within 300 ms");
        else
            EXPECT_EQ(log.last(), QString::fromLatin1(c.reply.leftJustified(41, ' ')));
        EXPECT_FALSE(l.link->Busy());
    }
}

TEST(CommandSet, ProgramDeviceAnswerAndBound) {
    struct Case {
        std::vector<QByteArray> replies;
        bool ok;
        const char *last;
    } cases[] = {
        {{"IMG 5000 SUM 1234 " + QByteArray("OK")}, true, "Received OK"},
        {{"IMG 5000 SUM 1234 ER"}, false, "Received ER"},
        {{"IMG 5000 SUM 1234 "}, false, "PX: no answer within 1500 ms"},
    };
    for (const Case &c : cases) {
        Link l;
        l.link->WaitBounds().ProgramDeviceMs = 1500;
        ScriptedPeer peer(*l.port);
        peer.Replies(c.replies);
        QElapsedTimer t;
        t.start();
        EXPECT_EQ(l.link->ProgramDevice(), c.ok) << c.last;
        EXPECT_LT(t.elapsed(), 4000);
        const QStringList log = l.LogLines();
        EXPECT_EQ(log.mid(0, 3), QStringList({"Sending PX", "Received IMG 5000 SUM 1234 ", "Waiting for OK..."}));
        EXPECT_EQ(log.last(), c.last);
    }
}
