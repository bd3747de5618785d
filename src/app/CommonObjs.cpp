#include "app/CommonObjs.h"

#include "common/AppPaths.h"

namespace tessel {

TCommonObjs::TCommonObjs(std::function<QString()> deviceText, QObject *parent)
    : QObject(parent), m_deviceText(std::move(deviceText)) {
    StatusTimer.setInterval(1000);
    StatusTimer.stop();
    AppSettings.Register(QStringLiteral("DefaultDevice"), SettingKind::Integer, 0);
    AppSettings.Restore();
    ReadInstrumentConfig();
}

TCommonObjs::~TCommonObjs() { AppSettings.Save(); }

void TCommonObjs::ReadInstrumentConfig() {
    Config().Instrument = tessel::ReadInstrumentConfig(AppPaths::iniPath(), m_deviceText());
}

int32_t TCommonObjs::StoredDefaultDevice() const { return AppSettings.Integer(QStringLiteral("DefaultDevice")); }

} // namespace tessel
