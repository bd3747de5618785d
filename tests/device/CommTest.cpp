#include "device/Comm.h"
#include "LinkTestSupport.h"
#include "support/MemoryCommPort.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::WaitUntil;

namespace {

struct Fixture {
    TMemoryCommPort *port = nullptr;
    std::unique_ptr<TComm> comm;
    Fixture() {
        auto p = std::make_unique<TMemoryCommPort>();
        port = p.get();
        comm = std::make_unique<TComm>(std::move(p));
    }
};

} // namespace

TEST(Comm, OpenAppliesSettingsAndLineChangesApplyAtOnceWhileOpen) {
    Fixture f;
    f.comm->SetDeviceName("/dev/ttyX");
    f.comm->SetMonitorEvents({evRxChar, evTxEmpty, evCts});
    f.comm->SetBaudRate(br14400);
    EXPECT_EQ(f.port->SetStateCalls(), 0); // stored while closed
    f.comm->Open();
    EXPECT_EQ(f.port->OpenedName(), "/dev/ttyX");
    TCommTimeouts expected;
    expected.ReadIntervalTimeout = 0xFFFFFFFFu;
    EXPECT_EQ(f.port->Timeouts(), expected);
    EXPECT_EQ(f.port->EventMask(), commev::RxChar | commev::TxEmpty | commev::Cts);
    EXPECT_EQ(f.port->State().BaudRate, 14400u);
    const int calls = f.port->SetStateCalls();
    f.comm->SetBaudRate(br14400); // unchanged: no rewrite
    EXPECT_EQ(f.port->SetStateCalls(), calls);
    f.comm->SetBaudRate(br256000);
    f.comm->SetDatabits(da7);
    f.comm->SetParity(paMark);
    f.comm->SetStopbits(sb15);
    f.comm->EventChars().SetEvtChar('\r');
    const TDcb d = f.port->State();
    EXPECT_EQ(std::make_tuple(d.BaudRate, d.ByteSize, d.Parity, d.StopBits, d.EvtChar),
              std::make_tuple(256000u, uint8_t(7), uint8_t(3), uint8_t(1), uint8_t('\r')));
    EXPECT_EQ(f.port->SetStateCalls(), calls + 5);
    f.comm->Close();
    EXPECT_FALSE(f.port->IsOpenNow());
}

TEST(Comm, OpenFailuresRaiseExactMessageAndCode) {
    struct Case {
        const char *name;
        std::function<void(Fixture &)> inject;
        QString text;
        int32_t code;
        bool staysOpen;
    };
    const Case cases[] = {
        {"device", [](Fixture &f) { f.port->SetOpenError(2); }, "Error accessing specified device", 2, false},
        {"notchar", [](Fixture &f) { f.port->SetCharDevice(false); }, "Invalid device handle, access denied", -1,
         false},
        {"timeouts", [](Fixture &f) { f.port->SetTimeoutsError(87); }, "Error updating CommTimeouts", 87, true},
        {"dcb", [](Fixture &f) { f.port->SetStateError(31); }, "Error updating DataControlBlock", 31, true},
        {"queues", [](Fixture &f) { f.port->SetQueuesError(12); }, "Error initializing Read/Write Buffers", 12, true},
        {"already open", [](Fixture &f) { f.comm->Open(); }, "Port already assigned (open)", -1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f;
        c.inject(f);
        EXPECT_COMM_ERROR(f.comm->Open(), c.text, c.code);
        EXPECT_EQ(f.comm->IsOpen(), c.staysOpen);
        EXPECT_EQ(f.port->IsOpenNow(), c.staysOpen);
    }
    // A forbidden node says how to get in: the group is read from the node
    // itself (/dev/null's, here).
    Fixture f;
    f.comm->SetDeviceName("/dev/null");
    f.port->SetOpenError(EACCES);
    try {
        f.comm->Open();
        ADD_FAILURE() << "opened";
    } catch (const ECommError &e) {
        EXPECT_EQ(e.ErrorCode(), EACCES);
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Error accessing specified device (Error: %1) Permission "
                                                          "denied on /dev/null: it belongs to the group \"")
                                               .arg(EACCES)))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("sudo usermod -aG ")) << e.message().toStdString();
    }
}

TEST(Comm, FlagWordFollowsFlowControlThenOptions) {
    using namespace dcb;
    constexpr uint32_t kPort = Binary | OutX | Null | AbortOnError | (1u << 12), kDtr = 1u << 4;
    struct Case {
        const char *name;
        TFlowControl flow;
        TCommOptions options;
        uint32_t initial, expected;
    };
    const Case cases[] = {
        {"none, null strip", fcNone, {coNullStrip}, kPort, Binary | Null},
        // The port's own bits stay; option bits follow Options.
        {"default", fcDefault, {coParityCheck}, kPort, Binary | OutX | AbortOnError | (1u << 12) | Parity},
        {"cts", fcCTS, {}, kPort, Binary | OutX | AbortOnError | OutxCtsFlow | RtsHandshake},
        {"dtr", fcDTR, {coDsrSensitivity}, Binary | kDtr, Binary | OutxDsrFlow | DtrHandshake | DsrSensitivity},
        {"software",
         fcSoftware,
         {coIgnoreXOff, coErrorChar},
         Binary,
         Binary | OutX | InX | TxContinueOnXoff | ErrorChar},
    };
    for (const Case &c : cases) {
        Fixture f;
        TDcb initial;
        initial.Flags = c.initial;
        f.port->SetInitialState(initial);
        f.comm->SetReadBufSize(8192);
        f.comm->SetFlowControl(c.flow);
        f.comm->SetOptions(c.options);
        f.comm->Open();
        const TDcb d = f.port->State();
        EXPECT_EQ(d.Flags, c.expected) << c.name << std::hex << " " << d.Flags;
        EXPECT_EQ(std::make_pair(d.XonLim, d.XoffLim), std::make_pair(uint16_t(2048), uint16_t(2048))) << c.name;
    }
}

TEST(Comm, EventsReachTheMainThreadInFixedOrder) {
    Fixture f;
    QStringList seen;
    const Qt::HANDLE mainThread = QThread::currentThreadId();
    bool allInMain = true;
    auto note = [&](const char *what) {
        return [&, what](TCustomComm *) {
            allInMain = allInMain && QThread::currentThreadId() == mainThread;
            seen << what;
        };
    };
    const std::pair<TNotifyEvent TCustomComm::*, const char *> events[] = {
        {&TComm::OnBreak, "break"},    {&TComm::OnCts, "cts"},   {&TComm::OnDsr, "dsr"},
        {&TComm::OnRing, "ring"},      {&TComm::OnRlsd, "rlsd"}, {&TComm::OnRxFlag, "rxflag"},
        {&TComm::OnTxEmpty, "txempty"}};
    for (const auto &[event, name] : events)
        (*f.comm).*event = note(name);
    uint32_t errors = 0;
    f.comm->OnError = [&](TCustomComm *, uint32_t e) {
        errors = e;
        seen << "error";
    };
    f.comm->OnRxChar = [&](TCustomComm *, int32_t count) { seen << QStringLiteral("rx%1").arg(count); };
    f.comm->Open();
    f.port->FeedReceived("1234");
    ASSERT_TRUE(WaitUntil([&] { return !seen.isEmpty(); }));
    EXPECT_EQ(seen, QStringList{"rx4"});
    seen.clear();
    f.port->RaiseEvents(0x1FF, commerr::Frame | commerr::Overrun);
    ASSERT_TRUE(WaitUntil([&] { return seen.size() >= 9; }));
    EXPECT_EQ(seen, (QStringList{"break", "cts", "dsr", "error", "ring", "rlsd", "rx4", "rxflag", "txempty"}));
    EXPECT_EQ(errors, commerr::Frame | commerr::Overrun);
    EXPECT_TRUE(allInMain);
}

TEST(Comm, CloseWhileAnEventWaitsForTheMainThread) {
    Fixture f;
    int rx = 0;
    f.comm->OnRxChar = [&](TCustomComm *, int32_t) { ++rx; };
    // The event thread has posted the event and now waits for the main thread
    // to run it: close right there, before it is delivered.
    struct CloseOnHandOver : QObject {
        TComm *comm = nullptr;
        bool closed = false;
        bool eventFilter(QObject *, QEvent *e) override {
            if (e->type() == QEvent::MetaCall && !closed) {
                comm->Close(); // must not wait for that hand-over
                closed = true;
            }
            return false;
        }
    } filter;
    filter.comm = f.comm.get();
    f.comm->installEventFilter(&filter);
    f.comm->Open();
    f.port->FeedReceived("x");
    ASSERT_TRUE(WaitUntil([&] { return filter.closed; }));
    EXPECT_FALSE(f.comm->IsOpen());
    EXPECT_EQ(rx, 0); // the event that came after the close is dropped
}
