#include "app/widgets/DeviceCommands.h"

#include "app/CommonObjs.h"
#include "app/InstrumentConfig.h"
#include "app/widgets/MainWindow.h"
#include "common/ActionGuard.h"
#include "common/AppPaths.h"
#include "common/MessageService.h"
#include "device/widgets/DeviceDialogs.h"

#include <QAction>
#include <QLabel>

namespace tessel {

namespace {
// The port and the instrument type stay as they are while a transfer runs.
bool RefusedWhileBusy(const TCommunication &link) {
    if (!link.InExchange())
        return false;
    Messages().warning(QStringLiteral("The instrument is busy with a transfer. Wait until it ends, then try again."));
    return true;
}
} // namespace

void WireDeviceCommands(TfrmMain &main, TCommonObjs &common, TEnvSetup *env) {
    TCommunication &comm = *common.Comm;
    TfrmMain *w = &main;
    TCommonObjs *c = &common;
    InstallSetupDialog(common.Connection, w);
    InstallProgressWindow(common.Connection);

    // After a failure under any instrument action the controls go idle, and
    // an instrument that is gone is searched for as after a lost line.
    SetGuardRecovery([w, c, env] {
        if (!c->Comm->Connected()) {
            w->Panel(1)->setText(QStringLiteral("Not connected"));
            if (env && env->AutoReconnect)
                w->ReconnectTimer().start();
        }
        w->SetIdleState();
    });
    QObject::connect(w, &QObject::destroyed, [] { SetGuardRecovery(nullptr); });

    auto deviceId = Guarded([w, c, env] {
        TConnectionManager &link = c->Connection;
        link.Connect(true, WantsWakeUp(link.DefaultDevice()));
        if (env && env->AutoReconnect && !link.Link().Connected())
            w->ReconnectTimer().start();
        else
            w->ReconnectTimer().stop();
    });
    QObject::connect(w->Action("mniDeviceID"), &QAction::triggered, w, deviceId);
    QObject::connect(&w->ReconnectTimer(), &QTimer::timeout, w, deviceId);
    QObject::connect(w->Action("mniDeviceInfo"), &QAction::triggered, w, Guarded([w, c] {
                         TfrmDeviceInfo dlg([c] { return TCommonObjs::DeviceInfoOf(c->Session.Configuration()); }, w);
                         dlg.exec();
                     }));
    QObject::connect(w->Action("mniSetDevice"), &QAction::triggered, w, Guarded([w, c] {
                         if (RefusedWhileBusy(*c->Comm))
                             return;
                         TfrmSetDevice dlg(
                             c->Connection,
                             [c](TDevice d) { c->AppSettings.SetValue(QStringLiteral("DefaultDevice"), int(d)); }, w);
                         dlg.exec();
                     }));
    QObject::connect(w->Action("mniCommunication"), &QAction::triggered, w, Guarded([c] {
                         if (!RefusedWhileBusy(*c->Comm))
                             c->Connection.ShowSetup();
                     }));

    const std::pair<const char *, std::function<bool(TCommandSet &)>> keys[] = {
        {"mniActFlash1", [](TCommandSet &l) { return l.ActinicFlash(); }},
        {"mniActFlash2", [](TCommandSet &l) { return l.Flash2(); }},
        {"mniMeasFlash", [](TCommandSet &l) { return l.MeasuringFlash(); }},
        {"mniAux1", [](TCommandSet &l) { return l.Aux(1); }},
        {"mniAux2", [](TCommandSet &l) { return l.Aux(2); }},
        {"mniAux3", [](TCommandSet &l) { return l.Aux(3); }},
        {"mniAux4", [](TCommandSet &l) { return l.Aux(4); }},
        {"mniAux5", [](TCommandSet &l) { return l.Aux(5); }},
        {"mniAux6", [](TCommandSet &l) { return l.Aux(6); }},
        // The unlabelled Window-toolbar button: the one-byte macro 80.
        {"btnMacro", [](TCommandSet &l) { return l.SendMacro(QByteArray("\x01\x50", 2)); }},
    };
    for (const auto &[id, send] : keys) {
        // Copied by name: clang 14 does not capture a structured binding.
        QObject::connect(w->Action(QLatin1String(id)), &QAction::triggered, w,
                         Guarded([c, send = send] { send(c->Commands); }));
    }

    common.Connection.OnMessage = [w](TCustomComm *, const QString &msg) { w->Panel(7)->setText(msg); };
    // The cable pulled or the instrument switched off: the port is closed, the
    // window says so, and the reconnect timer looks for the instrument.
    comm.OnLineLost = [w, c, env](TCustomComm *) {
        TCommunication &link = *c->Comm;
        w->Panel(1)->setText(QStringLiteral("Not connected"));
        w->Panel(7)->setText(QStringLiteral("Connection lost on %1").arg(link.DeviceName()));
        if (env && env->AutoReconnect)
            w->ReconnectTimer().start();
    };
    comm.OnConnectedChanged = [w, c](TCustomComm *) {
        BusyCursor busy;
        w->SetIdleState();
        TCommunication &link = *c->Comm;
        if (!link.Connected())
            w->Panel(1)->setText(QStringLiteral("Not connected"));
        if (link.Connected() && c->Session.ReadDeviceInfo() == TInstrumentSession::TDeviceInfoRead::Failed) {
            if (c->Connection.DeviceInfoError().contains(QLatin1String("outside"))) {
                Messages().error(QStringLiteral("Device information refused: %1. The configured values stay.")
                                     .arg(c->Connection.DeviceInfoError()));
            } else {
                Messages().error(QStringLiteral("Unable to get device information"));
            }
        }
    };
    comm.OnDeviceChanged = [w, c](TCustomComm *) {
        c->ReadInstrumentConfig();
        TCommunication &link = *c->Comm;
        if (!link.Connected()) {
            const TDeviceInfo &info = DeviceInfo(link.Device());
            w->Panel(7)->setText(QStringLiteral("Device not connected, acting as %1, $%2")
                                     .arg(QLatin1String(info.identification))
                                     .arg(info.version, 4, 16, QChar('0')));
            w->Panel(1)->setText(QStringLiteral("Not connected"));
        }
    };

    main.OpenDeviceLink = [w, c] {
        TConnectionManager &link = c->Connection;
        link.LoadBaudRates(AppPaths::iniPath());
        link.LoadSettings(w->Store().KeyName());
        if (link.Link().Connected())
            c->StatusTimer.start();
    };
    // An identified instrument keeps its type; the stored choice applies offline.
    main.ApplyDefaultDevice = [c] {
        TConnectionManager &link = c->Connection;
        if (!link.Link().Connected())
            link.SetDevice(c->DefaultDeviceToApply(link.KnownDevices(), link.DefaultDevice()));
    };
    main.SendStop = Guarded([c] { c->Commands.StopMeasurement(); });
    main.SaveLinkSettings = [w, c] { c->Connection.SaveSettings(w->Store().KeyName()); };
}

} // namespace tessel
