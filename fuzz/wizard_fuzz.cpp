// Any bytes as a wizard file: load, trigger passes and expansion end in
// orderly errors only.
#include "authoring/WizardFile.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace tessel;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    TWizardFile w(QStringLiteral("fuzz.wzd"));
    try {
        w.LoadLines(text.split(QLatin1Char('\n')));
        TWizardFieldValues fields(w);
        w.TriggerPass(fields);
        w.CheckAndStore(fields);
        w.Expand();
    } catch (const ETesselError &) {
    }
    return 0;
}
