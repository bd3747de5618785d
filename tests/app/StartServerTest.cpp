#include "app/StartServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace tessel;

namespace {
// The client blocks, so it runs on its own thread while the server's loop spins here.
QString sendFromThread(const QString &name, bool *delivered, const QString &open = {}) {
    QString reply;
    std::atomic<bool> done{false};
    std::thread t([&] {
        *delivered =
            open.isEmpty() ? TStartServer::Send(&reply, name, 2000) : TStartServer::SendOpen(open, &reply, name, 2000);
        done = true;
    });
    QDeadlineTimer deadline(5000);
    while (!done && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    t.join();
    QCoreApplication::processEvents();
    return reply;
}
} // namespace

TEST(StartServer, ConsumesEveryRequestStartsOnlyWhenEnabledAndOpensFiles) {
    bool enabled = false;
    int starts = 0;
    QStringList opened;
    TStartServer server([&] { return enabled; }, [&] { ++starts; });
    const QString name = QStringLiteral("TesselStartTest-%1").arg(QCoreApplication::applicationPid());
    QString reply;
    EXPECT_FALSE(TStartServer::Send(&reply, name, 300)) << "nobody listening";
    ASSERT_TRUE(server.Listen(name));

    bool delivered = false;
    EXPECT_EQ(sendFromThread(name, &delivered), "ignored");
    EXPECT_TRUE(delivered);
    EXPECT_EQ(starts, 0);
    enabled = true;
    EXPECT_EQ(sendFromThread(name, &delivered), "started");
    QCoreApplication::processEvents();
    EXPECT_EQ(starts, 1);

    // An open request names a file and never starts a measurement.
    EXPECT_EQ(sendFromThread(name, &delivered, "/data/leaf 3.exp"), "ignored");
    server.OnOpen = [&](const QString &f) { opened << f; };
    EXPECT_EQ(sendFromThread(name, &delivered, "/data/leaf 3.exp"), "opened");
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, QStringList{"/data/leaf 3.exp"});
    EXPECT_EQ(starts, 1);

    // A second program keeps its hands off the name the first one answers on.
    TStartServer second([] { return true; }, [] {});
    EXPECT_FALSE(second.Listen(name));
    EXPECT_EQ(sendFromThread(name, &delivered), "started");
}

TEST(StartServer, ASocketLeftByACrashedRunIsTakenOver) {
    const QString name = QStringLiteral("TesselStartStale-%1").arg(QCoreApplication::applicationPid());
    QFile stale(QDir::temp().filePath(name));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    TStartServer server([] { return true; }, [] {});
    EXPECT_TRUE(server.Listen(name));
}
