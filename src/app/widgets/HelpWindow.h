#pragma once

#include <QMainWindow>
#include <QString>

class QTextBrowser;

namespace tessel {

// The shipped user guide ("user-guide.html", else "user-guide.md") in the
// program's own window, so Help shows something without a help viewer.
class TfrmHelp : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmHelp(QWidget *parent = nullptr);
    // The guide in docDir, or an empty text when it is not there.
    static QString GuidePath(const QString &docDir);
    // Loads the guide; false when there is none.
    bool Load(const QString &docDir);
    QTextBrowser *Browser = nullptr;
};

} // namespace tessel
