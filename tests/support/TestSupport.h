#pragma once

#include <QString>
#include <QTemporaryDir>

namespace tessel::test {

// Path of a file in the source tree ("resources/Tessel.ini").
QString SourcePath(const QString &relative);
void WriteTextFile(const QString &path, const QString &text);
QString ReadTextFile(const QString &path);

// A fresh folder per test, removed afterwards; also redirects the settings
// store and the program folder into it.
class TestDir {
public:
    TestDir();
    ~TestDir();
    QString path(const QString &name = {}) const;

private:
    QTemporaryDir m_dir;
};

} // namespace tessel::test
