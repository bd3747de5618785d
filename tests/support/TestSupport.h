#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>

class QWidget;

namespace tessel::test {

// Path of a file in the source tree ("resources/Tessel.ini").
QString SourcePath(const QString &relative);
void WriteTextFile(const QString &path, const QString &text);
QString ReadTextFile(const QString &path);
// The file's bytes; empty when it cannot be read.
QByteArray ReadBytes(const QString &path);

// Runs act on the next modal window (QApplication::activeModalWidget) once
// its event loop runs: the user's part in a dialog's exec().
void WhenModal(std::function<void(QWidget *)> act);

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

// Numbers with a decimal comma in LC_NUMERIC for the object's lifetime, from a
// locale built into dir (no installed German locale needed); back to "C" after.
class CommaLocale {
public:
    explicit CommaLocale(const QString &dir);
    ~CommaLocale();
    bool active = false;
};

} // namespace tessel::test
