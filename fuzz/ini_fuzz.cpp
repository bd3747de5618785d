// Feeds arbitrary text to the ini reader: reading every section and key must
// not crash, and writing a key back must keep every other value as it was.
#include "common/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    tessel::IniDocument doc(text);
    const QStringList sections = doc.sections();
    if (sections.isEmpty())
        return 0;
    // Every lookup scans the text: a few keys of the first and last section
    // keep each run short.
    const QString first = sections.first();
    const QStringList keys = doc.keys(first).mid(0, 8);
    for (const QString &k : doc.keys(sections.last()).mid(0, 8))
        (void)doc.value(sections.last(), k);
    tessel::IniDocument again(doc.text());
    again.setValue(first, QStringLiteral("FuzzKey"), QStringLiteral("1"));
    if (again.value(first, QStringLiteral("FuzzKey")) != QStringLiteral("1"))
        std::abort();
    for (const QString &k : keys)
        if (k.compare(QStringLiteral("FuzzKey"), Qt::CaseInsensitive) != 0 &&
            again.value(first, k) != doc.value(first, k))
            std::abort();
    return 0;
}
