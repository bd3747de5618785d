#include "app/widgets/ServiceCommands.h"

#include "app/CommonObjs.h"
#include "app/MeasurementRun.h"
#include "app/widgets/MainWindow.h"
#include "app/widgets/ServiceWindows.h"
#include "common/ActionGuard.h"
#include "common/Finally.h"
#include "graph/widgets/Navigator.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>

namespace tessel {

TServiceCommands::TServiceCommands(TfrmMain &main, TCommonObjs &common, TEnvSetup &env, TfrmTestKeys &testKeys,
                                   TNavigator *navigator, TMeasurementRun *run)
    : QObject(&main), m_main(main), m_common(common), m_env(env), m_testKeys(testKeys) {
    testKeys.ShowHelp = [this] { m_main.btnHelpClick(); };
    connect(main.Action(QStringLiteral("mniTestKeys")), &QAction::triggered, this, Guarded([this] { RunTestKeys(); }));
    connect(main.Action(QStringLiteral("mniTestUnit")), &QAction::triggered, this, Guarded([this] { RunTestUnit(); }));
    connect(main.Action(QStringLiteral("mniUpdateBIOS")), &QAction::triggered, this,
            Guarded([this] { UpdateImage(TImageKind::Boot); }));
    connect(main.Action(QStringLiteral("mniUpdateFirmware")), &QAction::triggered, this,
            Guarded([this] { UpdateImage(TImageKind::Firmware); }));
    // The navigator follows the menu's rule: no key test while a run owns the link.
    if (navigator)
        navigator->OpenTestKeys = Guarded([this] {
            if (m_main.Action(QStringLiteral("mniTestKeys"))->isEnabled())
                RunTestKeys();
        });
    if (run)
        run->Host().ResetKeySliders = [this] { m_testKeys.ResetFlashLevels(); };
}

void TServiceCommands::RunTestKeys() { m_testKeys.exec(); }

void TServiceCommands::RunTestUnit() {
    QTimer &timer = m_common.StatusTimer;
    timer.stop();
    Finally resume([this, &timer] {
        if (m_common.Comm->Connected())
            timer.start();
    });
    TfrmTestUnit window(m_common.Commands, &m_main);
    if (OnTestUnitCreated)
        OnTestUnitCreated(window);
    window.exec();
}

TUploadResult TServiceCommands::UpdateImage(TImageKind kind) {
    TUploadHost host;
    host.SetStatus = [this](const QString &text) { m_main.Panel(1)->setText(text); };
    host.RepaintStatus = [this] { m_main.statusBar()->repaint(); };
    // A whole image takes minutes on a slow line: show how far it got.
    host.Progress = [this](int32_t sent, int32_t total) {
        m_main.Panel(6)->setText(QStringLiteral("Sent %1 of %2 KB").arg(sent / 1024).arg(total / 1024));
        m_main.Panel(6)->repaint();
    };
    Finally clear([this] { m_main.Panel(6)->clear(); });
    TFirmwareUpload upload(m_common.Commands, &m_common.StatusTimer, &m_env, std::move(host));
    return upload.Run(kind);
}

} // namespace tessel
