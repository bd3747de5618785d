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
        args << QStringLiteral("--ini") << SourcePath(QStringLiteral("resources/Tessel.ini"));
        Process.setProcessChannelMode(QProcess::SeparateChannels);
        Process.setStandardErrorFile(QProcess::nullDevice());
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
