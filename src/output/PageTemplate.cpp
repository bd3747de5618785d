#include "output/PageTemplate.h"

#include <QFileInfo>

namespace tessel {

TTemplateParts SplitTemplate(const QString &text) {
    TTemplateParts out;
    QString *part = nullptr; // text before the first part code belongs to none
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('&') && i + 1 < text.size()) {
            const QChar code = text[i + 1];
            QString *next = code == QLatin1Char('l')   ? &out.Left
                            : code == QLatin1Char('c') ? &out.Center
                            : code == QLatin1Char('r') ? &out.Right
                                                       : nullptr;
            if (next) {
                part = next;
                ++i;
                continue;
            }
            // Any other code stays in the part as written, "&&" included.
            if (part)
                part->append(c).append(code);
            ++i;
            continue;
        }
        if (part)
            part->append(c);
    }
    out.Left = out.Left.trimmed();
    out.Center = out.Center.trimmed();
    out.Right = out.Right.trimmed();
    return out;
}

QString JoinTemplate(const TTemplateParts &p) {
    return QStringLiteral("&l ") + p.Left + QStringLiteral(" &c ") + p.Center + QStringLiteral(" &r ") + p.Right;
}

namespace {

QString placeholder(const QString &name, const TTemplateValues &v, bool *known) {
    *known = true;
    if (name == QLatin1String("PAGE"))
        return QString::number(v.Page);
    if (name == QLatin1String("LINE"))
        return QString::number(v.Line);
    if (name == QLatin1String("DATE"))
        return v.Locale.toString(v.Date.date(), QLocale::ShortFormat);
    if (name == QLatin1String("TIME"))
        return v.Locale.toString(v.Time.time(), QLocale::LongFormat);
    if (name == QLatin1String("TITLE"))
        return v.Title;
    *known = false;
    return {};
}

} // namespace

QString RenderTemplatePart(const QString &part, const TTemplateValues &v) {
    QString out;
    for (qsizetype i = 0; i < part.size(); ++i) {
        const QChar c = part[i];
        if (c == QLatin1Char('&') && i + 1 < part.size()) {
            const char code = part[i + 1].toLatin1();
            QString text;
            bool used = true;
            switch (code) {
            case 'f':
                text = QFileInfo(v.FileName).fileName();
                break;
            case 'F':
                text = v.FileName;
                break;
            case 'd':
                text = v.Locale.toString(v.Date.date(), QLocale::ShortFormat);
                break;
            case 'D':
                text = v.Locale.toString(v.Date.date(), QLocale::LongFormat);
                break;
            case 't':
                text = v.Locale.toString(v.Time.time(), QLocale::ShortFormat);
                break;
            case 'T':
                text = v.Locale.toString(v.Time.time(), QLocale::LongFormat);
                break;
            case 'i':
                text = v.Title;
                break;
            case 'p':
                text = QString::number(v.Page);
                break;
            case '&':
                text = QStringLiteral("&");
                break;
            default:
                used = false;
                break;
            }
            if (used) {
                out += text;
                ++i;
                continue;
            }
        }
        if (c == QLatin1Char('{') && part.mid(i, 2) == QLatin1String("{$")) {
            const qsizetype end = part.indexOf(QLatin1Char('}'), i + 2);
            if (end > 0) {
                bool known = false;
                const QString text = placeholder(part.mid(i + 2, end - i - 2), v, &known);
                if (known) {
                    out += text;
                    i = end;
                    continue;
                }
            }
        }
        out += c;
    }
    return out;
}

} // namespace tessel
