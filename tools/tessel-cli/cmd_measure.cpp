// tessel-cli measure: one measurement from a protocol file to an experiment
// file, with the program's own run: identify, build, download, start, poll
// once a second, fetch both channels, record.
#include "DeviceLink.h"

#include "app/InstrumentConfig.h"
#include "app/MDIList.h"
#include "app/MeasurementRun.h"
#include "app/ModelTarget.h"
#include "authoring/ProtocolDoc.h"
#include "common/MessageService.h"
#include "compiler/Compiler.h"
#include "compiler/CompilerLibrary.h"
#include "data/ExperimentFile.h"
#include "settings/EnvSetup.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tessel::cli {
namespace {

// Ctrl-C and SIGTERM reach the event loop through a socket pair, the one
// thing a signal handler may safely touch.
int g_signalFd = -1;

void OnSignal(int) {
    const char b = 1;
    if (g_signalFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_signalFd, &b, 1);
    }
}

class SignalWatch {
public:
    explicit SignalWatch(std::function<void()> onSignal) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds) != 0)
            return;
        g_signalFd = m_fds[0];
        m_notifier = std::make_unique<QSocketNotifier>(m_fds[1], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, onSignal] {
            char b[16];
            [[maybe_unused]] const ssize_t n = ::read(m_fds[1], b, sizeof b);
            onSignal();
        });
        struct sigaction sa = {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &sa, &m_oldInt);
        ::sigaction(SIGTERM, &sa, &m_oldTerm);
        m_installed = true;
    }
    ~SignalWatch() {
        if (m_installed) {
            ::sigaction(SIGINT, &m_oldInt, nullptr);
            ::sigaction(SIGTERM, &m_oldTerm, nullptr);
        }
        g_signalFd = -1;
        m_notifier.reset();
        for (int fd : m_fds)
            if (fd >= 0)
                ::close(fd);
    }
    SignalWatch(const SignalWatch &) = delete;
    SignalWatch &operator=(const SignalWatch &) = delete;

private:
    int m_fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldInt = {}, m_oldTerm = {};
    bool m_installed = false;
};

// Status panel 1 on standard error: a bar on a terminal, else one line per
// change.
class ProgressView {
public:
    ProgressView(QTextStream &err, bool bar) : m_err(err), m_bar(bar) {}
    ~ProgressView() { Done(); }
    void Show(const QString &text) {
        if (text == m_last)
            return;
        m_last = text;
        if (!m_bar) {
            m_err << text << Qt::endl;
            return;
        }
        const int percent = Percent(text);
        QString line;
        if (percent >= 0) {
            const int filled = percent * kWidth / 100;
            line = QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(kWidth - filled, QLatin1Char('.')) +
                   QStringLiteral("] %1%  ").arg(percent, 3);
        }
        line += text;
        m_err << '\r' << line.leftJustified(m_width) << Qt::flush;
        m_width = std::max(m_width, int(line.size()));
        m_open = true;
    }
    // Ends the bar's line before anything else is written.
    void Done() {
        if (m_open)
            m_err << Qt::endl;
        m_open = false;
    }

private:
    static constexpr int kWidth = 30;
    static int Percent(const QString &text) {
        static const QRegularExpression measuring(QStringLiteral("^Measuring \\((\\d+)%\\)$"));
        static const QRegularExpression received(QStringLiteral("^Received ([\\d.]+) of ([\\d.]+) KB$"));
        if (const auto m = measuring.match(text); m.hasMatch())
            return m.captured(1).toInt();
        if (const auto m = received.match(text); m.hasMatch()) {
            const double total = m.captured(2).toDouble();
            return total > 0 ? std::clamp(int(m.captured(1).toDouble() * 100 / total), 0, 100) : 100;
        }
        return -1;
    }
    QTextStream &m_err;
    bool m_bar;
    bool m_open = false;
    int m_width = 0;
    QString m_last;
};

QString ResultName(TRunOutcome o, bool aborted) {
    if (aborted)
        return QStringLiteral("aborted");
    switch (o) {
    case TRunOutcome::Measured:
        return QStringLiteral("measured");
    case TRunOutcome::NotConnected:
        return QStringLiteral("not connected");
    case TRunOutcome::DownloadError:
        return QStringLiteral("download error");
    case TRunOutcome::TooManyDataSets:
        return QStringLiteral("too many data sets");
    default:
        return QStringLiteral("failed");
    }
}

QJsonArray Channels(bool ch1, bool ch2) {
    QJsonArray a;
    if (ch1)
        a.append(1);
    if (ch2)
        a.append(2);
    return a;
}

// Builds the protocol for a type as the run will, with the configuration
// of the ini; on failure the log names the user's file. Prints the marks'
// warnings either way.
bool CheckBuild(const QString &text, const QString &userFile, TDevice device, const TInstrumentConfig &config,
                const QString &includeBase, CliIO &io) {
    TCompiler compiler;
    compiler.Constants = config.Compiler;
    TEnvSetup env;
    std::unique_ptr<TProtocolDoc> doc;
    {
        TKeptMessages quiet;
        ScopedMessageService scope(&quiet);
        doc = std::make_unique<TProtocolDoc>(compiler, env, includeBase, device);
    }
    doc->SetText(text);
    const int32_t result = doc->SyntaxCheck();
    if (result != kBuildOk) {
        for (const QString &line : UserBuildLog(doc->Log, userFile, text.split(u'\n'), doc->CheckIncludeDir()))
            io.err << line << '\n';
        return false;
    }
    for (const QString &w : MarkWarnings(compiler))
        io.err << w << '\n';
    return true;
}

// Where the experiment file goes must take it: checked before the
// instrument is touched. Empty when fine, else the reason.
QString OutputProblem(const QString &path, bool exists) {
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("cannot write '%1': no folder '%2'").arg(path, folder.filePath());
    if (!folder.isWritable())
        return QStringLiteral("cannot write '%1': the folder '%2' is not writable").arg(path, folder.filePath());
    if (exists && !info.isWritable())
        return QStringLiteral("cannot write '%1': the file is read-only").arg(path);
    return {};
}

int runBody(const QStringList &args, CliIO &io) {
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Measure a protocol on the instrument and record both channels into an experiment file: "
                       "identify, build, download, start, poll once a second, fetch. Ctrl-C aborts the run and "
                       "leaves the file as it was."));
    p.addPositionalArgument(QStringLiteral("PROTOCOL"), QStringLiteral("Protocol source file."));
    p.addOption({QStringLiteral("out"), QStringLiteral("Experiment file to write."), QStringLiteral("FILE.exp")});
    p.addOption({QStringLiteral("append"), QStringLiteral("Add the measurement to the existing experiment file.")});
    p.addOption({QStringLiteral("force"),
                 QStringLiteral("Replace an existing experiment file; the old one stays as FILE.exp~.")});
    p.addOption(
        {QStringLiteral("title"), QStringLiteral("Title of this measurement (the sample)."), QStringLiteral("TEXT")});
    p.addOption({QStringLiteral("note"), QStringLiteral("A note kept with this measurement."), QStringLiteral("TEXT")});
    p.addOption({QStringLiteral("set"),
                 QStringLiteral("Metadata of this measurement, e.g. leaf=3 or genotype=wt; repeatable."),
                 QStringLiteral("KEY=VALUE")});
    AddLinkOptions(p);
    p.addOption({QStringLiteral("wake"), QStringLiteral("Wake a sleeping instrument before the search.")});
    p.addOption({QStringLiteral("device"),
                 QStringLiteral("Instrument type the instrument must be, by name (e.g. ModelT2); the protocol "
                                "is then built before the port is opened."),
                 QStringLiteral("NAME")});
    p.addOption({QStringLiteral("include"),
                 QStringLiteral("Include folder (default: 'include' beside the program; the type's own folder "
                                "inside it when there is one)."),
                 QStringLiteral("DIR")});
    AddJsonOption(p);
    if (int rc = ParseArgs(p, QStringLiteral("measure"), args, io); rc != kContinue)
        return rc;
    const QStringList pos = p.positionalArguments();
    if (pos.size() != 1) {
        io.err << "tessel-cli measure: give exactly one protocol file\n\n" << Help(p);
        return kExitUsage;
    }
    if (!p.isSet(QStringLiteral("out"))) {
        io.err << "tessel-cli measure: --out is required\n";
        return kExitUsage;
    }
    TDevice expected = kStoredDefaultDevice;
    if (p.isSet(QStringLiteral("device")) && !DeviceFromName(p.value(QStringLiteral("device")), expected)) {
        io.err << "tessel-cli measure: unknown device '" << p.value(QStringLiteral("device")) << "'\n";
        return kExitUsage;
    }
    const QString outPath = p.value(QStringLiteral("out"));
    const bool append = p.isSet(QStringLiteral("append"));
    const bool force = p.isSet(QStringLiteral("force"));
    const bool json = p.isSet(QStringLiteral("json"));
    if (!p.isSet(QStringLiteral("port"))) {
        io.err << "tessel-cli measure: --port is required\n";
        return kExitUsage;
    }
    if (append && force) {
        io.err << "tessel-cli measure: --append and --force exclude each other\n";
        return kExitUsage;
    }
    TMetadata metadata;
    if (p.isSet(QStringLiteral("title")))
        metadata.emplace_back(kMetaTitle, p.value(QStringLiteral("title")));
    if (p.isSet(QStringLiteral("note")))
        metadata.emplace_back(kMetaNote, p.value(QStringLiteral("note")));
    for (const QString &pair : p.values(QStringLiteral("set"))) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq <= 0 || !IsMetadataKey(pair.left(eq))) {
            io.err << "tessel-cli measure: --set needs KEY=VALUE with a key of letters, digits, '_', '-' or '.', "
                      "not '"
                   << pair << "'\n";
            return kExitUsage;
        }
        metadata.emplace_back(pair.left(eq), pair.mid(eq + 1));
    }
    const bool exists = QFileInfo::exists(outPath);
    if (exists && !append && !force) {
        io.err << "tessel-cli measure: " << outPath << " exists; use --append to add to it or --force to replace it\n";
        return kExitUsage;
    }
    const QString ini = p.isSet(QStringLiteral("ini")) ? p.value(QStringLiteral("ini")) : AppPaths::iniPath();

    // Without an instrument the JSON result still comes, with what is known.
    QJsonObject result{{"result", QStringLiteral("failed")},
                       {"file", outPath},
                       {"written", false},
                       {"records", 0},
                       {"samplesA", 0},
                       {"samplesB", 0}};
    auto failed = [&](const QString &outcome) {
        result["result"] = outcome;
        if (json)
            PrintJson(io, QJsonDocument(result));
        return kExitFailed;
    };

    // Everything that can be checked before the instrument is touched.
    QFile source(pos.first());
    if (!source.open(QIODevice::ReadOnly)) {
        io.err << "tessel-cli measure: cannot read '" << pos.first() << "'\n";
        return failed(QStringLiteral("refused"));
    }
    const QString protocol = QString::fromUtf8(source.readAll());
    if (append && !exists) {
        io.err << "tessel-cli measure: no such file '" << outPath << "' to append to\n";
        return failed(QStringLiteral("refused"));
    }
    if (const QString problem = OutputProblem(outPath, exists); !problem.isEmpty()) {
        io.err << "tessel-cli measure: " << problem << '\n';
        return failed(QStringLiteral("refused"));
    }
    TExperimentModel existing;
    if (append && !LoadExperiment(existing, outPath, io))
        return failed(QStringLiteral("refused"));
    const TInstrumentConfig iniConfig = ReadInstrumentConfig(ini, DeviceTextOf(expected));
    TEnvSetup env;
    if (const int sets = ShownDataSetCount(existing, env.ExcludeCh); sets > iniConfig.MaxSignals) {
        io.err << "Too many Data Sets in experiment\n"
               << outPath << " holds " << sets << " data sets; \"MaxSignals\" in section [Main] of " << ini
               << " allows " << iniConfig.MaxSignals << ": raise it, or measure into a new file\n";
        return failed(QStringLiteral("too many data sets"));
    }
    const QString includeBase =
        p.isSet(QStringLiteral("include")) ? p.value(QStringLiteral("include")) : IncludeBaseDir(iniConfig);
    TCommandCompilerLibrary library;
    if (!library.Ensure())
        return failed(QStringLiteral("refused"));
    if (p.isSet(QStringLiteral("device")) && !CheckBuild(protocol, pos.first(), expected, iniConfig, includeBase, io))
        return failed(QStringLiteral("build error"));

    int rc = kExitOk;
    auto session =
        OpenIdentifiedSession(p, QStringLiteral("measure"), io, rc, nullptr, p.isSet(QStringLiteral("wake")));
    if (!session)
        return failed(QStringLiteral("not connected"));
    TCommunication &link = session->Link();
    result["device"] = QString::fromLatin1(DeviceInfo(link.Device()).name);
    if (p.isSet(QStringLiteral("device")) && link.Device() != expected) {
        io.err << "tessel-cli measure: the instrument is a " << DeviceInfo(link.Device()).name << ", not a "
               << DeviceInfo(expected).name << '\n';
        return failed(QStringLiteral("wrong device"));
    }

    // The instrument's configuration, as the program takes it when it connects.
    session->ReadConfiguration();
    if (session->ReadDeviceInfo() == TInstrumentSession::TDeviceInfoRead::Failed)
        Messages().error(QStringLiteral("Unable to get device information"));
    const TInstrumentConfig &config = session->Configuration();
    // Without --device the type is known only now; the build comes before
    // anything is sent.
    if (!p.isSet(QStringLiteral("device")) &&
        !CheckBuild(protocol, pos.first(), link.Device(), config, includeBase, io))
        return failed(QStringLiteral("build error"));
    auto model = std::make_unique<TExperimentModel>(
        TChannelScaling{config.MulA, config.MulB, config.YShiftA, config.YShiftB, ReadThickness(ini)});
    if (append) {
        if (!LoadExperiment(*model, outPath, io))
            return failed(QStringLiteral("refused"));
    } else {
        model->Title = QFileInfo(pos.first()).completeBaseName();
    }

    TCompiler &compiler = session->Compiler();
    std::unique_ptr<TProtocolDoc> doc;
    {
        // The editor's template is of no use here; its absence is no error.
        TKeptMessages quiet;
        ScopedMessageService scope(&quiet);
        doc = std::make_unique<TProtocolDoc>(compiler, env, includeBase, link.Device());
    }
    doc->SetText(protocol);
    TModelTarget target(*model, *doc);
    target.ExcludeEmptyChannels = env.ExcludeCh;
    TMDIList list;
    list.Add(&target);
    list.SetActive(&target);

    QEventLoop loop;
    ProgressView progress(io.Progress(), !json && ::isatty(STDERR_FILENO));
    QJsonArray states;
    bool aborted = false;
    TMeasurementHost host;
    host.SetPanel = [&](int panel, const QString &text) {
        if (panel == 1)
            progress.Show(text);
    };
    host.Polled = [&](TDeviceStatus s) {
        const QString text = StatusText(s);
        if (states.isEmpty() || states.last().toString() != text)
            states.append(text);
    };
    const TConditions conditions = session->ReadConditions();
    host.Conditions = [&] { return conditions; };
    host.Finished = [&](const TRunReport &) { loop.quit(); };
    const std::unique_ptr<TMeasurementRun> run = session->NewRun(list, host);
    SignalWatch watch([&] {
        aborted = true;
        loop.quit();
    });

    // The first poll: what the instrument is doing before the run.
    const TDeviceStatus before = session->Commands().GetStatus();
    host.Polled(before);
    run->SetInstrumentState(before);
    if (!aborted)
        run->Start();
    if (run->Report().Outcome == TRunOutcome::Started && !aborted)
        loop.exec();
    session->StatusTimer().stop();
    progress.Done();
    const TRunReport &report = run->Report();
    if (compiler.Status != kStatusReady)
        for (const QString &line : UserBuildLog(doc->Log, pos.first(), protocol.split(u'\n'), doc->CheckIncludeDir()))
            io.err << line << '\n';
    if (report.Outcome == TRunOutcome::TooManyDataSets)
        io.err << "\"MaxSignals\" in section [Main] of " << ini << " limits the data sets of an experiment\n";

    if (aborted) {
        // Right after "ST" no poll may have seen the run yet.
        const bool seen = run->InstrumentState() == stMeasuring || run->InstrumentState() == stWaiting;
        if (report.Outcome == TRunOutcome::Started && !seen && session->Commands().StopMeasurement())
            run->Host().Wait(50); // on the line before the reset macros purge the output
        run->Abort();
        io.err << "Measurement aborted; " << outPath << " was not written\n";
    }
    const bool measured = !aborted && report.Outcome == TRunOutcome::Measured;
    if (measured && report.LostData())
        io.err << "The measurement lost data; " << outPath << " was not written\n";
    ReportLost(link, io);
    bool written = false;
    if (measured && !report.LostData()) {
        // The sample's identity goes with the new measurement (record 1).
        for (const auto &[key, value] : metadata)
            SetMetadata(model->Record(1), key, value);
        // A replaced file stays beside the new one as FILE~.
        const QString backup = outPath + u'~';
        if (force && exists) {
            QFile::remove(backup);
            if (!QFile::copy(outPath, backup)) {
                io.err << "tessel-cli measure: cannot keep the old file as '" << backup << "'; " << outPath
                       << " was not written\n";
                return failed(QStringLiteral("refused"));
            }
        }
        written = SaveExperimentFile(*model, outPath);
        if (!written)
            io.err << "tessel-cli measure: cannot write '" << outPath << "'\n";
    }

    const double seconds = report.StartTime > 0 ? (report.EndTime - report.StartTime) * 86400.0 : 0.0;
    const int records = model->RecordCount() - 1;
    const int32_t samplesA = records > 0 ? model->Record(1).A.Set->Count() : 0;
    const int32_t samplesB = records > 0 ? model->Record(1).B.Set->Count() : 0;
    if (json) {
        result["result"] = ResultName(report.Outcome, aborted);
        result["written"] = written;
        result["records"] = written ? records : 0;
        result["samplesA"] = measured ? samplesA : 0;
        result["samplesB"] = measured ? samplesB : 0;
        result["plannedA"] = report.PlannedA;
        result["plannedB"] = report.PlannedB;
        result["outOfRange"] = Channels(report.OutOfRangeA, report.OutOfRangeB);
        result["failedChannels"] = Channels(report.LostA, report.LostB);
        result["states"] = states;
        result["duration"] = seconds;
        if (written)
            result["measurement"] = records; // numbered from the oldest
        PrintJson(io, QJsonDocument(result));
    } else if (written) {
        io.out << "Measured " << samplesA << " samples on channel A and " << samplesB << " on channel B in "
               << QString::number(seconds, 'f', 1) << " s; " << outPath << " holds " << records
               << (records == 1 ? " measurement\n" : " measurements\n");
    }
    return written ? kExitOk : kExitFailed;
}

int run(const QStringList &args, CliIO &io) {
    return Guarded(io, [&] { return runBody(args, io); });
}

const Registrar reg({QStringLiteral("measure"),
                     QStringLiteral("Measure a protocol and record it into an experiment file"), run});

} // namespace
} // namespace tessel::cli
