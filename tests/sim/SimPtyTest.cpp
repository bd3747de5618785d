// The real executable on its pseudo-terminal, as the program and run.sh use it.
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

QString SimPath() { return qEnvironmentVariable("TESSEL_BIN_DIR") + QStringLiteral("/tessel-sim"); }
QString IniPath() { return tessel::test::SourcePath(QStringLiteral("resources/Tessel.ini")); }

struct Sim {
    QProcess Process;
    QString Terminal;
    explicit Sim(QStringList args) {
        args << QStringLiteral("--ini") << IniPath();
        Process.setProcessChannelMode(QProcess::SeparateChannels);
        Process.start(SimPath(), args);
        if (Process.waitForStarted(5000) && Process.waitForReadyRead(5000))
            Terminal = QString::fromUtf8(Process.readLine()).trimmed();
    }
    ~Sim() {
        Process.terminate();
        if (!Process.waitForFinished(5000))
            Process.kill();
    }
};

struct Line {
    int Fd = -1;
    explicit Line(const QString &path) { Fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY); }
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

TEST(SimExecutable, PrintsTheTerminalAndAnswersOnlyAtItsBaudRate) {
    tessel::test::TestDir dir;
    const QString link = dir.path(QStringLiteral("ttyTessel"));
    Sim sim({QStringLiteral("--baud"), QStringLiteral("19200"), QStringLiteral("--link"), link});
    ASSERT_TRUE(sim.Terminal.startsWith(QStringLiteral("/dev/"))) << sim.Terminal.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.Terminal);

    Line line(link);
    ASSERT_GE(line.Fd, 0);
    line.SetSpeed(B9600);
    EXPECT_EQ(line.Ask("WH", 8, 400), "");
    line.SetSpeed(B19200);
    EXPECT_EQ(line.Ask(std::string(200, '\xAA') + "WH", 8, 2000), "ModelT  ");
    EXPECT_EQ(line.Ask("VER", 4, 2000), std::string("\x01\x02\x01\x0A", 4));
    EXPECT_EQ(line.Ask("WD", 2, 2000), "FR");

    sim.Process.terminate();
    ASSERT_TRUE(sim.Process.waitForFinished(5000));
    EXPECT_EQ(sim.Process.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link goes with the instrument";
}

TEST(SimExecutable, ActsAsTheChosenTypeAndLogsEveryExchange) {
    tessel::test::TestDir dir;
    const QString log = dir.path(QStringLiteral("sim.log"));
    Sim sim({QStringLiteral("--device"), QStringLiteral("ModelB2"), QStringLiteral("--log"), log});
    Line line(sim.Terminal);
    ASSERT_GE(line.Fd, 0);
    line.SetSpeed(B115200);
    EXPECT_EQ(line.Ask("WH", 8, 2000), "ModelB  ");
    EXPECT_EQ(line.Ask("VER", 4, 2000), std::string("\x01\x09\x00\x00", 4));
    const QString text = tessel::test::ReadTextFile(log);
    EXPECT_TRUE(text.contains(QStringLiteral("> WH"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("< ModelB  "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("< 01 09 00 00"))) << text.toStdString();
}

TEST(SimExecutable, PacedRepliesTakeAsLongAsTheLine) {
    Sim sim({QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--pace")});
    Line line(sim.Terminal);
    ASSERT_GE(line.Fd, 0);
    line.SetSpeed(B9600);
    const auto start = Clock::now();
    const std::string record = line.Ask("DI", 406, 5000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(record.size(), 406u);
    EXPECT_GT(seconds, 0.9 * 406 * 10 / 9600.0);
}

TEST(SimExecutable, PacedUploadIsTakenAtTheLineSpeed) {
    Sim sim({QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--pace")});
    Line line(sim.Terminal);
    ASSERT_GE(line.Fd, 0);
    line.SetSpeed(B9600);
    // One block of 1000 bytes: the "OK" can only come once all of it crossed the line.
    std::string load = std::string("LDP") + char(0xE8) + char(0x03) + char(0);
    std::string block(1000, '\x01');
    block += char(1000 % 256);
    const auto start = Clock::now();
    const std::string ok = line.Ask(load + block, 2, 5000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_EQ(ok, "OK");
    EXPECT_GT(seconds, 0.9 * 1008 * 10 / 9600.0);
    EXPECT_LT(seconds, 2.0);
}

TEST(SimExecutable, RefusesUnknownOptionsAndDevices) {
    for (const QStringList &args :
         {QStringList{QStringLiteral("--device"), QStringLiteral("ModelZ")},
          QStringList{QStringLiteral("--speed"), QStringLiteral("0")}, QStringList{QStringLiteral("--colour")}}) {
        QProcess p;
        p.start(SimPath(), args);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    }
}

TEST(SimExecutable, EndsWithItsParent) {
    tessel::test::TestDir dir;
    const QString link = dir.path(QStringLiteral("ttyParent"));
    QProcess parent;
    parent.start(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("\"$0\" --exit-with-parent --link \"$1\" --ini \"$2\" & sleep 1"), SimPath(), link,
                  IniPath()});
    ASSERT_TRUE(parent.waitForStarted(5000));
    bool appeared = false;
    for (int i = 0; i < 50 && !appeared; ++i) {
        appeared = QFileInfo(link).isSymLink();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(appeared);
    ASSERT_TRUE(parent.waitForFinished(5000));
    bool gone = false;
    for (int i = 0; i < 150 && !gone; ++i) {
        gone = !QFileInfo(link).isSymLink();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(gone) << "the instrument outlived the process that started it";
}

} // namespace
