#pragma once

// The program folder as it ships (Tessel.ini and the include files), for tests
// that run the whole program.

#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace tessel::test {

inline void InstallResources(const QString &to) {
    const QString from = SourcePath(QStringLiteral("resources"));
    QFile::copy(from + QStringLiteral("/Tessel.ini"), to + QStringLiteral("/Tessel.ini"));
    QDirIterator it(from + QStringLiteral("/include"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(file, target);
    }
}

} // namespace tessel::test
