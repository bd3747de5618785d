#include "settings/CommaText.h"

namespace tessel {

namespace {
bool needsQuotes(const QString &s) {
    for (QChar c : s)
        if (c.unicode() <= ' ' || c == ',' || c == '"')
            return true;
    return false;
}
} // namespace

QString ToCommaText(const QStringList &items) {
    if (items.size() == 1 && items.first().isEmpty())
        return QStringLiteral("\"\"");
    QStringList parts;
    for (const QString &item : items) {
        if (needsQuotes(item)) {
            QString q = item;
            q.replace('"', QStringLiteral("\"\""));
            parts.append('"' + q + '"');
        } else {
            parts.append(item);
        }
    }
    return parts.join(',');
}

QStringList FromCommaText(const QString &text) {
    QStringList out;
    int i = 0;
    const int n = int(text.size());
    auto skipBlanks = [&] {
        while (i < n && text[i].unicode() <= ' ')
            ++i;
    };
    skipBlanks();
    while (i < n) {
        QString item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < n && text[i].unicode() > ' ' && text[i] != ',')
                item += text[i++];
        }
        out.append(item);
        skipBlanks();
        if (i < n && text[i] == ',') {
            ++i;
            skipBlanks();
            if (i >= n)
                out.append(QString());
        }
    }
    return out;
}

} // namespace tessel
