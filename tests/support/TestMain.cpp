// Test entry: a QApplication on the offscreen platform and a recording
// message service, so that no test ever opens a real dialog.
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "common/widgets/Application.h"
#include "support/RecordingServices.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tessel::TApplication app(argc, argv);
    tessel::RecordingMessageService messages;
    tessel::SetMessageService(&messages);
    tessel::RecordingFileDialogService dialogs;
    tessel::SetFileDialogService(&dialogs);
    ::testing::InitGoogleTest(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    tessel::SetMessageService(nullptr);
    tessel::SetFileDialogService(nullptr);
    return rc;
}
