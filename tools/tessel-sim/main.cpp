// tessel-sim: the virtual instrument on a pseudo-terminal. Prints the
// terminal's path as the first line of standard output, then serves it until
// terminated (or, with --exit-with-parent, until its parent ends).
#include "SimInstrument.h"
#include "SimLine.h"
#include "common/AppPaths.h"
#include "common/ProgramInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

using namespace tessel::sim;

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

std::string UsageText() {
    using tessel::HelpOption;
    const QList<HelpOption> options = {
        {"--device NAME", "instrument type to act as (ModelA ... ModelW; default ModelT2)"},
        {"--baud N", "line speed the instrument answers at (default 115200)"},
        {"--link PATH", "also make PATH a symbolic link to the terminal"},
        {"--exit-with-parent", "end when the process that started it ends"},
        {"--speed FACTOR", "run downloaded programs FACTOR times faster than real time (default 1)"},
        {"--log FILE", "write the exchange log to FILE instead of standard error"},
        {"--ini FILE", "Tessel.ini with the type's constants (default: the shipped one)"},
        {"--seed N", "seed of the noise (default 1)"},
        {"--trigger-wait S", "wait S seconds for a trigger after \"ST\" (default 0)"},
        {"--monitor-rate HZ", "monitor samples per second (default 25)"},
        {"--model NAME=V,...", "fluorescence model parameters (see docs/virtual-instrument.md)"},
        {"--latency MS", "turnaround before a reply leaves (default 3; 0: at once, in the pass that read the request)"},
    };
    const QList<HelpOption> faults = {
        {"--bad-checksum LIST", "download blocks (counted from 1) sent with a wrong checksum"},
        {"--bad-checksum-rate P", "any download block sent with a wrong checksum with chance P (0 to 1)"},
        {"--drop-reply LIST", "commands (counted from 1) whose reply is not sent"},
        {"--truncate-reply LIST", "commands whose reply is cut in half"},
        {"--silent-after N", "answer nothing after the first N commands"},
        {"--garbage-every N", "send 4 stray bytes after every Nth reply"},
        {"--hangup-after BYTES", "stop in the middle of the first data transfer that passes BYTES bytes"},
        {"--refuse-block LIST", "upload blocks (counted from 1 over every load) answered \"ER\""},
        {"--program-fails", "\"PF\" and \"PX\" report that programming failed"},
        {"--ignore-block LIST", "upload blocks (counted from 1 over every load) not answered at all"},
        {"--bad-info-checksum", "the device-information record goes out with a wrong checksum"},
        {"--status-reply XX", "answer every \"WD\" with XX (WE, TE, E1, E2, E3, ER, SA, ...)"},
        {"--noise RATE", "stray bytes on the line, RATE a second, all the time"},
        {"--need-wakeup", "asleep until 100 wake-up bytes (0xAA) come; dozes off after 10 s of quiet"},
        {"--hangup-in CMD[:N]",
         "drop the line (close the terminal) once N bytes (default 0) crossed after the first command CMD"},
        {"--come-back S", "after a hang-up, come back S seconds later on a new terminal (same --link path; the new "
                          "path is printed as another line); else exit"},
        {"--pace", "carry bytes no faster than the line speed allows (10 bits a byte)"},
        {"--deaf-after N",
         "stop reading the terminal after the first N commands: the program's writes back up and never drain"},
    };
    return tessel::HelpText("tessel-sim", "[options]",
                            "A virtual instrument on a pseudo-terminal; prints the terminal's path first.",
                            {{"options", options}, {"fault injection", faults}})
        .toStdString();
}

[[noreturn]] void Usage(const std::string &error) {
    std::fprintf(stderr, "tessel-sim: %s\n\n%s", error.c_str(), UsageText().c_str());
    std::exit(2);
}

double ToDouble(const std::string &opt, const std::string &v) {
    char *end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    if (v.empty() || *end)
        Usage(opt + " needs a number, not \"" + v + "\"");
    return d;
}

long ToInt(const std::string &opt, const std::string &v) {
    char *end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end || n < 0)
        Usage(opt + " needs a whole number, not \"" + v + "\"");
    return n;
}

std::set<int> ToList(const std::string &opt, const std::string &v) {
    std::set<int> out;
    size_t at = 0;
    while (at <= v.size()) {
        const size_t comma = std::min(v.find(',', at), v.size());
        out.insert(int(ToInt(opt, v.substr(at, comma - at))));
        at = comma + 1;
    }
    return out;
}

struct Args {
    TSimOptions Sim;
    std::string Link, LogFile;
    bool ExitWithParent = false;
    bool Pace = false;
    double Latency = 0.003;
    double ComeBack = -1.0; // seconds until the instrument returns after a hang-up; < 0: it does not
    int64_t DeafAfter = -1; // stop reading the terminal after this many commands; < 0: never
};

Args Parse(int argc, char **argv) {
    Args a;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                Usage(opt + " needs a value");
            return argv[++i];
        };
        if (opt == "--help" || opt == "-h") {
            std::fputs(UsageText().c_str(), stdout);
            std::exit(0);
        } else if (opt == "--version") {
            std::fputs(tessel::VersionText("tessel-sim").toStdString().c_str(), stdout);
            std::exit(0);
        } else if (opt == "--device") {
            a.Sim.Device = value();
            if (!FindSimDevice(a.Sim.Device))
                Usage("unknown device \"" + a.Sim.Device + "\"");
        } else if (opt == "--baud") {
            a.Sim.Baud = int32_t(ToInt(opt, value()));
        } else if (opt == "--link") {
            a.Link = value();
        } else if (opt == "--exit-with-parent") {
            a.ExitWithParent = true;
        } else if (opt == "--speed") {
            a.Sim.Speed = ToDouble(opt, value());
            if (a.Sim.Speed <= 0)
                Usage("--speed must be above 0");
        } else if (opt == "--log") {
            a.LogFile = value();
        } else if (opt == "--ini") {
            a.Sim.IniPath = value();
        } else if (opt == "--seed") {
            a.Sim.Seed = uint32_t(ToInt(opt, value()));
        } else if (opt == "--trigger-wait") {
            a.Sim.TriggerWait = ToDouble(opt, value());
        } else if (opt == "--monitor-rate") {
            a.Sim.MonitorRate = ToDouble(opt, value());
            if (a.Sim.MonitorRate <= 0)
                Usage("--monitor-rate must be above 0");
        } else if (opt == "--model") {
            const std::string v = value();
            size_t at = 0;
            while (at < v.size()) {
                const size_t comma = std::min(v.find(',', at), v.size());
                const std::string item = v.substr(at, comma - at);
                const size_t eq = item.find('=');
                if (eq == std::string::npos || !a.Sim.Model.Set(item.substr(0, eq), ToDouble(opt, item.substr(eq + 1))))
                    Usage("unknown model parameter \"" + item + "\"");
                at = comma + 1;
            }
        } else if (opt == "--bad-checksum") {
            a.Sim.Faults.BadChecksumBlocks = ToList(opt, value());
        } else if (opt == "--bad-checksum-rate") {
            a.Sim.Faults.BadChecksumRate = ToDouble(opt, value());
            if (a.Sim.Faults.BadChecksumRate < 0 || a.Sim.Faults.BadChecksumRate > 1)
                Usage("--bad-checksum-rate must lie between 0 and 1");
        } else if (opt == "--drop-reply") {
            a.Sim.Faults.DropReplies = ToList(opt, value());
        } else if (opt == "--truncate-reply") {
            a.Sim.Faults.TruncateReplies = ToList(opt, value());
        } else if (opt == "--silent-after") {
            a.Sim.Faults.SilentAfter = int(ToInt(opt, value()));
        } else if (opt == "--garbage-every") {
            a.Sim.Faults.GarbageEvery = int(ToInt(opt, value()));
        } else if (opt == "--hangup-after") {
            a.Sim.Faults.HangupAfter = ToInt(opt, value());
        } else if (opt == "--refuse-block") {
            a.Sim.Faults.RefuseUploadBlocks = ToList(opt, value());
        } else if (opt == "--program-fails") {
            a.Sim.Faults.ProgramFails = true;
        } else if (opt == "--ignore-block") {
            a.Sim.Faults.IgnoreUploadBlocks = ToList(opt, value());
        } else if (opt == "--bad-info-checksum") {
            a.Sim.Faults.BadInfoChecksum = true;
        } else if (opt == "--status-reply") {
            a.Sim.Faults.StatusReply = value();
            if (a.Sim.Faults.StatusReply.size() != 2)
                Usage("--status-reply needs two characters");
        } else if (opt == "--noise") {
            a.Sim.Faults.NoiseRate = ToDouble(opt, value());
            if (a.Sim.Faults.NoiseRate < 0)
                Usage("--noise must not be negative");
        } else if (opt == "--need-wakeup") {
            a.Sim.Faults.NeedWakeUp = true;
        } else if (opt == "--hangup-in") {
            const std::string v = value();
            const size_t colon = v.find(':');
            a.Sim.Faults.HangupCommand = v.substr(0, colon);
            if (a.Sim.Faults.HangupCommand.empty())
                Usage("--hangup-in needs a command");
            if (colon != std::string::npos)
                a.Sim.Faults.HangupBytes = ToInt(opt, v.substr(colon + 1));
        } else if (opt == "--deaf-after") {
            a.DeafAfter = ToInt(opt, value());
        } else if (opt == "--come-back") {
            a.ComeBack = ToDouble(opt, value());
            if (a.ComeBack < 0)
                Usage("--come-back must not be negative");
        } else if (opt == "--latency") {
            a.Latency = ToDouble(opt, value()) / 1000.0;
            if (a.Latency < 0)
                Usage("--latency must not be negative");
        } else if (opt == "--pace") {
            a.Pace = true;
        } else {
            Usage("unknown option \"" + opt + "\"");
        }
    }
    return a;
}

speed_t SpeedConstant(int32_t baud) {
    switch (baud) {
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B0;
    }
}

double Seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv); // for the ini reader only; no event loop runs
    Args args = Parse(argc, argv);
    if (args.Sim.IniPath.empty()) {
        const QString shipped = tessel::AppPaths::shippedIniPath();
        if (QFileInfo::exists(shipped))
            args.Sim.IniPath = shipped.toStdString();
    }
    // The handlers come before the terminal is linked: a signal in between
    // would end the process by default and leave a stale link behind.
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // A parent that ended before the death signal was asked for sends none.
    const pid_t parent = getppid();
    if (args.ExitWithParent && (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent))
        return 0;

    FILE *logFile = stderr;
    if (!args.LogFile.empty()) {
        logFile = std::fopen(args.LogFile.c_str(), "w");
        if (!logFile) {
            std::fprintf(stderr, "tessel-sim: cannot write the log %s: %s\n", args.LogFile.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    auto log = [logFile](const std::string &line) {
        std::fprintf(logFile, "%s\n", line.c_str());
        std::fflush(logFile);
    };

    // One terminal: the master end that the instrument drives, the slave end
    // it holds open itself, and the slave's path that the program opens.
    struct Line {
        int master = -1, slave = -1;
        std::string name;
    };
    auto openLine = [&](Line &l) -> bool {
        l.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (l.master < 0 || grantpt(l.master) != 0 || unlockpt(l.master) != 0) {
            std::fprintf(stderr, "tessel-sim: no pseudo-terminal: %s\n", std::strerror(errno));
            return false;
        }
        char slaveName[256];
        if (ptsname_r(l.master, slaveName, sizeof slaveName) != 0) {
            std::fprintf(stderr, "tessel-sim: no pseudo-terminal name: %s\n", std::strerror(errno));
            return false;
        }
        l.name = slaveName;
        // Holding the slave open keeps the line up between the program's opens and
        // lets us read the line settings it makes.
        l.slave = open(slaveName, O_RDWR | O_NOCTTY);
        if (l.slave < 0) {
            std::fprintf(stderr, "tessel-sim: cannot open %s: %s\n", slaveName, std::strerror(errno));
            return false;
        }
        termios raw{};
        tcgetattr(l.slave, &raw);
        cfmakeraw(&raw);
        if (const speed_t s = SpeedConstant(args.Sim.Baud); s != B0)
            cfsetspeed(&raw, s);
        tcsetattr(l.slave, TCSANOW, &raw);
        if (!args.Link.empty()) {
            unlink(args.Link.c_str());
            if (symlink(slaveName, args.Link.c_str()) != 0) {
                std::fprintf(stderr, "tessel-sim: cannot link %s: %s\n", args.Link.c_str(), std::strerror(errno));
                return false;
            }
        }
        std::printf("%s\n", slaveName);
        std::fflush(stdout);
        return true;
    };
    // Closing both ends hangs the program's end up, as a pulled cable or a
    // switched-off instrument does; the link path goes with it.
    auto closeLine = [&](Line &l) {
        if (!args.Link.empty())
            unlink(args.Link.c_str());
        if (l.slave >= 0)
            close(l.slave);
        if (l.master >= 0)
            close(l.master);
        l = Line{};
    };
    Line line;
    if (!openLine(line))
        return 1;
    int master = line.master;
    int slave = line.slave;

    int rc = 0;
    try {
        auto instrument = std::make_unique<TSimInstrument>(args.Sim, log);
        log("terminal " + line.name + (args.Pace ? ", paced at the line speed" : ""));
        std::vector<uint8_t> pending;
        double last = Seconds();
        double credit = 0.0;    // bytes the line may carry now, when paced
        double inCredit = 0.0;  // the same for the other direction
        bool inFlowing = false; // paced: bytes wait on the line for their turn
        double releaseAt = 0.0; // a reply waits for the turnaround time
        const auto lineBytesPerSecond = [&] { return (LineBaud(slave) > 0 ? LineBaud(slave) : args.Sim.Baud) / 10.0; };
        while (!g_stop) {
            if (args.ExitWithParent && getppid() != parent)
                break;
            TSimInstrument &sim = *instrument;
            if (sim.LineDown() && pending.empty()) {
                closeLine(line);
                log("hung up");
                if (args.ComeBack < 0)
                    break;
                for (const double back = Seconds() + args.ComeBack; !g_stop && Seconds() < back;)
                    usleep(10000);
                if (g_stop || !openLine(line)) {
                    rc = g_stop ? 0 : 1;
                    break;
                }
                master = line.master;
                slave = line.slave;
                // Switched on again: a fresh instrument, without the fault that
                // took it away.
                TSimOptions again = args.Sim;
                again.Faults.HangupCommand.clear();
                instrument = std::make_unique<TSimInstrument>(again, log);
                log("back on terminal " + line.name);
                last = Seconds();
                continue;
            }
            // While paced bytes are waiting, the line's speed decides when the
            // next ones are taken, not their arrival.
            const bool deaf = args.DeafAfter >= 0 && sim.CommandCount() >= args.DeafAfter;
            const bool holdInput = (args.Pace && inFlowing) || deaf;
            pollfd pfd{master, short(holdInput ? 0 : POLLIN), 0};
            if (!pending.empty())
                pfd.events |= POLLOUT;
            poll(&pfd, 1, pending.empty() && !(args.Pace && inFlowing) ? 5 : 1);
            const double now = Seconds();
            const double dt = now - last;
            last = now;
            size_t room = deaf ? 0 : SIZE_MAX;
            if (args.Pace) {
                // A short burst absorbs the loop's own jitter; an idle line banks nothing.
                inCredit = std::min(inCredit + dt * lineBytesPerSecond(), 64.0);
                room = size_t(inCredit);
            }
            uint8_t buf[4096];
            bool drained = false;
            while (room > 0) {
                const ssize_t n = read(master, buf, std::min(room, sizeof buf));
                if (n <= 0) {
                    drained = true;
                    break;
                }
                sim.Receive(buf, size_t(n), LineBaud(slave));
                room -= size_t(n);
                if (args.Pace)
                    inCredit -= double(n);
            }
            if (args.Pace) {
                inFlowing = !drained;
                if (drained)
                    inCredit = 0.0;
            }
            sim.Advance(dt);
            const std::vector<uint8_t> out = sim.TakeOutput();
            // A real instrument needs its turnaround; with 0 the reply goes out
            // in this pass, while the program may still be in its write.
            if (!out.empty() && pending.empty())
                releaseAt = now + args.Latency;
            pending.insert(pending.end(), out.begin(), out.end());
            if (pending.empty()) {
                credit = 0.0;
                continue;
            }
            if (now < releaseAt)
                continue;
            size_t allowed = pending.size();
            if (args.Pace) {
                credit = std::min(credit + dt * lineBytesPerSecond(), 64.0);
                allowed = std::min(allowed, size_t(credit));
            }
            if (allowed == 0)
                continue;
            const ssize_t w = write(master, pending.data(), allowed);
            if (w > 0) {
                pending.erase(pending.begin(), pending.begin() + w);
                if (args.Pace)
                    credit -= double(w);
            }
        }
        log("stopped");
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tessel-sim: %s\n", e.what());
        rc = 1;
    }
    closeLine(line);
    if (logFile != stderr)
        std::fclose(logFile);
    return rc;
}
