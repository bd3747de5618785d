#pragma once

namespace tessel {

class TfrmMain;
class TCommonObjs;
struct TEnvSetup;

// Connects the main window to the command link: Device ID and the reconnect
// timer, Device Info, Set Device, Communication..., the Test Keys commands,
// the link's events (status panels, configuration of the new type), opening
// the port at the first show, "SP" at closing, the port settings with the
// window's own settings.
void WireDeviceCommands(TfrmMain &main, TCommonObjs &common, TEnvSetup *env);

} // namespace tessel
