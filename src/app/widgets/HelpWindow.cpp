#include "app/widgets/HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

namespace tessel {

TfrmHelp::TfrmHelp(QWidget *parent) : QMainWindow(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Tessel Help"));
    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    // Links into the guide stay here; web links go to the desktop's browser.
    Browser->setOpenExternalLinks(true);
    setCentralWidget(Browser);
    resize(820, 640);
}

QString TfrmHelp::GuidePath(const QString &docDir) {
    for (const char *name : {"user-guide.html", "user-guide.md"}) {
        const QString path = QDir(docDir).filePath(QLatin1String(name));
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

bool TfrmHelp::Load(const QString &docDir) {
    const QString path = GuidePath(docDir);
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(f.readAll());
    // Pictures are named relative to the guide.
    Browser->setSearchPaths({QFileInfo(path).absolutePath()});
    Browser->document()->setBaseUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath() + QLatin1Char('/')));
    if (path.endsWith(QLatin1String(".md")))
        Browser->setMarkdown(text);
    else
        Browser->setHtml(text);
    return true;
}

} // namespace tessel
