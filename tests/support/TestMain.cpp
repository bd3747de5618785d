// Test entry: a QApplication on the offscreen platform and a recording
// message service, so that no test ever opens a real dialog.
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "common/widgets/Application.h"
#include "support/RecordingServices.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThreadPool>
#include <gtest/gtest.h>
#include <memory>

namespace {
// ctest gives every suite private folders. A binary started by hand gets its
// own throw-away ones, so it never writes the user's settings, state or log,
// nor takes the user's "TesselStart" socket (local sockets live in TMPDIR).
// Child processes (tessel-cli, tessel-sim) inherit them.
std::unique_ptr<QTemporaryDir> PrivateFoldersUnlessGiven() {
    if (qEnvironmentVariableIsSet("TESSEL_CONFIG_DIR"))
        return nullptr;
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        qFatal("no temporary folder for the test run");
    const QByteArray root = dir->path().toLocal8Bit();
    const QDir base(dir->path());
    for (const char *sub : {"config", "state", "runtime", "tmp"})
        if (!base.mkdir(QString::fromLatin1(sub), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            qFatal("cannot create %s/%s", root.constData(), sub);
    qputenv("TESSEL_CONFIG_DIR", root + "/config");
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_STATE_HOME", root + "/state");
    qputenv("XDG_RUNTIME_DIR", root + "/runtime");
    qputenv("TMPDIR", root + "/tmp");
    return dir;
}
} // namespace

int main(int argc, char **argv) {
    // Before anything asks Qt for a folder.
    const auto folders = PrivateFoldersUnlessGiven();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tessel::TApplication app(argc, argv);
    tessel::RecordingMessageService messages;
    tessel::SetMessageService(&messages);
    tessel::RecordingFileDialogService dialogs;
    tessel::SetFileDialogService(&dialogs);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    // Qt scales and converts large images (window grabs) on its global thread
    // pool. Its idle threads would otherwise still be ending while the process
    // exits, and the leak check at exit can catch one half torn down.
    QThreadPool::globalInstance()->waitForDone();
    tessel::SetMessageService(nullptr);
    tessel::SetFileDialogService(nullptr);
    return rc;
}
