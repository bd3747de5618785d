#pragma once

#include "app/FirmwareUpload.h"

#include <QObject>
#include <functional>

namespace tessel {

class TCommonObjs;
class TMeasurementRun;
class TNavigator;
class TfrmMain;
class TfrmTestKeys;
class TfrmTestUnit;
struct TEnvSetup;

// The instrument service commands of the main window: "Test &Keys ..." (also
// from the navigator), "&Test Unit", "&Update BIOS" and "Update &Firmware",
// and the key test sliders that a ModelW run resets.
class TServiceCommands : public QObject {
public:
    TServiceCommands(TfrmMain &main, TCommonObjs &common, TEnvSetup &env, TfrmTestKeys &testKeys, TNavigator *navigator,
                     TMeasurementRun *run);

    // The key test window, modally.
    void RunTestKeys();
    // Status polling off, the self test window modally, polling on again.
    void RunTestUnit();
    TUploadResult UpdateImage(TImageKind kind);

    // Called with the self test window once it exists (tests drive it).
    std::function<void(TfrmTestUnit &)> OnTestUnitCreated;

private:
    TfrmMain &m_main;
    TCommonObjs &m_common;
    TEnvSetup &m_env;
    TfrmTestKeys &m_testKeys;
};

} // namespace tessel
