// The real executable on its pseudo-terminal, as the program and run.sh use it.
#include "../device/SimProcess.h"

#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using tessel::test::SimProcess;

QString SimPath() { return qEnvironmentVariable("TESSEL_BIN_DIR") + QStringLiteral("/tessel-sim"); }

struct Line {
    int Fd = -1;
    Line(const QString &path, speed_t speed) : Fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY)) {
        SetSpeed(speed);
    }
    ~Line() {
        if (Fd >= 0)
            ::close(Fd);
    }
    void SetSpeed(speed_t speed) const {
        termios t{};
        tcgetattr(Fd, &t);
        cfmakeraw(&t);
        cfsetspeed(&t, speed);
        tcsetattr(Fd, TCSANOW, &t);
    }
    // Writes the request and collects what arrives until `count` bytes came
    // or `ms` passed.
    std::string Ask(const std::string &request, size_t count, int ms) const {
        if (!request.empty() && ::write(Fd, request.data(), request.size()) != ssize_t(request.size()))
            return "write failed";
        std::string in;
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (in.size() < count && Clock::now() < end) {
            pollfd p{Fd, POLLIN, 0};
            if (poll(&p, 1, 20) > 0) {
                char buf[1024];
                const ssize_t n = ::read(Fd, buf, sizeof buf);
                if (n > 0)
                    in.append(buf, size_t(n));
            }
        }
        return in;
    }
};

// Waits for a condition the test cannot be told of, with a bound far above
// what it takes on a loaded machine.
bool WaitUntil(const std::function<bool()> &condition, int ms = 20000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!condition() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
}

TEST(SimExecutable, PrintsTheTerminalLinksItAnswersAtItsBaudRateAndLogs) {
    tessel::test::TestDir dir;
    const QString link = dir.path(QStringLiteral("ttyTessel")), log = dir.path(QStringLiteral("sim.log"));
    SimProcess sim({"--baud", "19200", "--link", link, "--device", "ModelB2", "--log", log});
    ASSERT_TRUE(sim.Terminal.startsWith(QStringLiteral("/dev/"))) << sim.Terminal.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.Terminal);

    Line line(link, B9600);
    ASSERT_GE(line.Fd, 0);
    EXPECT_EQ(line.Ask("WH", 8, 400), "");
    line.SetSpeed(B19200);
    EXPECT_EQ(line.Ask(std::string(200, '\xAA') + "WH", 8, 10000), "ModelB  ");
    EXPECT_TRUE(tessel::test::ReadTextFile(log).contains("< ModelB  "));

    sim.Process.terminate();
    ASSERT_TRUE(sim.Process.waitForFinished(10000));
    EXPECT_EQ(sim.Process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link goes with the instrument";
}

// At 9600 baud a paced reply, or the "OK" to a block of 1000 bytes, comes no
// sooner than the line can carry the bytes.
TEST(SimExecutable, PacedTransfersTakeAsLongAsTheLine) {
    const std::string upload =
        std::string("LDP") + char(0xE8) + char(0x03) + char(0) + std::string(1000, '\x01') + char(1000 % 256);
    const std::tuple<std::string, size_t, size_t> cases[] = {{"DI", 406, 406}, {upload, 2, upload.size()}};
    for (const auto &[request, replySize, lineBytes] : cases) {
        SimProcess sim({"--baud", "9600", "--pace"});
        Line line(sim.Terminal, B9600);
        ASSERT_GE(line.Fd, 0);
        const auto start = Clock::now();
        const std::string reply = line.Ask(request, replySize, 20000);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        EXPECT_EQ(reply.size(), replySize);
        EXPECT_GT(seconds, 0.9 * double(lineBytes) * 10 / 9600.0) << replySize;
    }
}

TEST(SimExecutable, RefusesUnknownOptionsAndDevices) {
    for (const QStringList &args :
         {QStringList{"--device", "ModelZ"}, QStringList{"--speed", "0"}, QStringList{"--colour"}}) {
        QProcess p;
        p.start(SimPath(), args);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
    }
}

// The shell stays until its input closes; the instrument it started in the
// background must go with it.
TEST(SimExecutable, EndsWithItsParent) {
    tessel::test::TestDir dir;
    const QString link = dir.path(QStringLiteral("ttyParent"));
    QProcess parent;
    parent.start(QStringLiteral("/bin/sh"),
                 {"-c", "\"$0\" --exit-with-parent --link \"$1\" --ini \"$2\" & read x", SimPath(), link,
                  tessel::test::SourcePath(QStringLiteral("resources/Tessel.ini"))});
    ASSERT_TRUE(parent.waitForStarted(10000));
    EXPECT_TRUE(WaitUntil([&] { return QFileInfo(link).isSymLink(); }));
    parent.closeWriteChannel();
    ASSERT_TRUE(parent.waitForFinished(10000));
    EXPECT_TRUE(WaitUntil([&] { return !QFileInfo(link).isSymLink(); }))
        << "the instrument outlived the process that started it";
}

} // namespace
