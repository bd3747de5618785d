#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace tessel {

// Header and footer templates. "&l", "&c" and "&r" start the left, centred
// and right part; within a part "&f"/"&F" stand for the document's file name
// without/with its folder, "&d"/"&D" for its date in the locale's short/long
// form, "&t"/"&T" for its time, "&i" for the title, "&p" for the page number
// and "&&" for one "&". Parts may also hold the per-page placeholders
// "{$PAGE}", "{$LINE}", "{$DATE}", "{$TIME}" and "{$TITLE}".
struct TTemplateParts {
    QString Left, Center, Right;
    bool operator==(const TTemplateParts &o) const = default;
};

// The text after each part's code up to the next part code (or the end),
// trimmed; a part whose code is missing is empty. "&&" never starts a code.
TTemplateParts SplitTemplate(const QString &text);
// The form the page setup dialog writes back: "&l " + left + " &c " + centre
// + " &r " + right.
QString JoinTemplate(const TTemplateParts &parts);

// What the codes and placeholders of one page stand for.
struct TTemplateValues {
    QString FileName;
    QDateTime Date, Time;
    QString Title;
    int Page = 1;
    int Line = 1;
    QLocale Locale;
};

// The text of one part on a page. Inserted values are never read as codes
// again, so a title holding "&p" or "{$PAGE}" prints as it is.
QString RenderTemplatePart(const QString &part, const TTemplateValues &v);

} // namespace tessel
