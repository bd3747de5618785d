#include "common/UserIni.h"

#include "common/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace tessel {

namespace {
bool isHeader(const QString &t) { return t.startsWith('[') && t.contains(']'); }
bool isCommentOrBlank(const QString &t) { return t.isEmpty() || t.startsWith(';') || t.startsWith('#'); }

// The lines of one section as they ship: the comment lines right above its
// header, the header and its body without the comments that lead into the
// next section.
QStringList rawSection(const QStringList &lines, const QString &section) {
    int header = -1;
    for (int i = 0; i < lines.size() && header < 0; ++i) {
        const QString t = lines[i].trimmed();
        if (isHeader(t) && t.mid(1, t.indexOf(']') - 1).trimmed().compare(section, Qt::CaseInsensitive) == 0)
            header = i;
    }
    if (header < 0)
        return {};
    int first = header;
    while (first > 0 && lines[first - 1].trimmed().startsWith(';'))
        --first;
    int end = header + 1;
    while (end < lines.size() && !isHeader(lines[end].trimmed()))
        ++end;
    while (end > header + 1 && isCommentOrBlank(lines[end - 1].trimmed()))
        --end;
    return lines.mid(first, end - first);
}

QString readText(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool writeText(const QString &path, const QString &text) {
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0 && f.commit();
}
} // namespace

QString MergeShippedIni(const QString &userText, const QString &shippedText, const QString &previousShippedText) {
    IniDocument user(userText);
    const IniDocument shipped(shippedText);
    const IniDocument previous(previousShippedText);
    const QStringList shippedLines =
        QString(shippedText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split('\n');
    QStringList appended;
    for (const QString &section : shipped.sections()) {
        if (!user.hasSection(section)) {
            if (!previous.hasSection(section))
                appended << QString() << rawSection(shippedLines, section);
            continue;
        }
        for (const QString &key : shipped.keys(section))
            if (!user.value(section, key) && !previous.value(section, key))
                user.setValue(section, key, *shipped.value(section, key));
    }
    QString text = user.text();
    if (!appended.isEmpty()) {
        while (text.endsWith(QStringLiteral("\n\n")))
            text.chop(1);
        if (!text.isEmpty() && !text.endsWith('\n'))
            text += '\n';
        text += appended.join('\n').mid(text.isEmpty() ? 1 : 0) + '\n';
    }
    return text;
}

bool PrepareUserIni(const QString &shippedPath, const QString &userPath) {
    const QString shipped = readText(shippedPath);
    if (shipped.isEmpty())
        return true;
    const QString stampPath = userPath + QStringLiteral(".shipped");
    QDir().mkpath(QFileInfo(userPath).absolutePath());
    if (!QFileInfo::exists(userPath))
        return writeText(userPath, shipped) && writeText(stampPath, shipped);
    const QString previous = readText(stampPath);
    if (previous == shipped)
        return true;
    const QString user = readText(userPath);
    const QString merged = MergeShippedIni(user, shipped, previous);
    if (merged != user && !writeText(userPath, merged))
        return false;
    return writeText(stampPath, shipped);
}

} // namespace tessel
