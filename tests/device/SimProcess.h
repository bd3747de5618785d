#pragma once

// The virtual instrument as a child process on its own pseudo-terminal.

#include "support/TestSupport.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace tessel::test {

struct SimProcess {
    QProcess Process;
    QString Terminal;
    explicit SimProcess(QStringList args) {
        // Replies leave at once, before the program's write may have returned:
        // no reply may be lost for coming early.
        args << QStringLiteral("--ini") << SourcePath(QStringLiteral("resources/Tessel.ini"))
             << QStringLiteral("--latency") << QStringLiteral("0");
        Process.setProcessChannelMode(QProcess::SeparateChannels);
        Process.setStandardErrorFile(qEnvironmentVariableIsSet("TESSEL_SIM_LOG")
                                         ? qEnvironmentVariable("TESSEL_SIM_LOG")
                                         : QProcess::nullDevice(),
                                     QIODevice::Append);
        Process.start(qEnvironmentVariable("TESSEL_BIN_DIR") + QStringLiteral("/tessel-sim"), args);
        if (Process.waitForStarted(5000) && Process.waitForReadyRead(5000))
            Terminal = QString::fromUtf8(Process.readLine()).trimmed();
    }
    ~SimProcess() {
        Process.terminate();
        if (!Process.waitForFinished(5000))
            Process.kill();
    }
};

} // namespace tessel::test
