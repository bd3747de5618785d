#pragma once

// Reads printed PDF files back with poppler's tools, so that tests check
// what a PDF reader finds in them, not what the program meant to write.
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace tessel::test {

inline QString RunPdfTool(const QString &tool, const QStringList &args) {
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(tool, QString::fromLocal8Bit(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of the file (or of one page, counted from 1), laid out as on paper.
inline QString PdfText(const QString &pdf, int page = 0) {
    QStringList args{QStringLiteral("-layout")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    return RunPdfTool(QStringLiteral("pdftotext"), args << pdf << QStringLiteral("-"));
}

// One field of pdfinfo ("Pages", "Title", "Page size"), empty when missing.
inline QString PdfInfo(const QString &pdf, const QString &field) {
    const QString info = RunPdfTool(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpression re(QStringLiteral("^") + QRegularExpression::escape(field) + QStringLiteral(":\\s*(.*)$"),
                                QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = re.match(info);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

inline int PdfPages(const QString &pdf) { return PdfInfo(pdf, QStringLiteral("Pages")).toInt(); }

// One page rendered as a picture at the given resolution (pixels per inch);
// the PNG is left at pngPath.
inline QImage PdfPageImage(const QString &pdf, int page, int dpi, const QString &pngPath) {
    QString base = pngPath;
    base.chop(4); // pdftoppm adds ".png"
    RunPdfTool(QStringLiteral("pdftoppm"),
               {QStringLiteral("-png"), QStringLiteral("-singlefile"), QStringLiteral("-r"), QString::number(dpi),
                QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"), QString::number(page), pdf, base});
    return QImage(pngPath);
}

// Collapses runs of blanks, so that a test can look for "Page 1" in a
// laid-out line without knowing the spacing.
inline QString Simplified(const QString &text) { return text.simplified(); }

} // namespace tessel::test
