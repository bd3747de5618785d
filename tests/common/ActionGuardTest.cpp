// The one guard between the instrument and the event loop: what a failing
// action shows, logs and recovers.
#include "common/ActionGuard.h"
#include "common/Errors.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;

TEST(ActionGuard, ShowsLogsAndRecoversOnceWhateverIsRaised) {
    test::TestDir dir;
    test::WriteTextFile(dir.path("logfile.txt"), "old content\n");
    OpenLog(dir.path("logfile.txt")); // made anew
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    int recovered = 0;
    SetGuardRecovery([&] {
        ++recovered;
        throw ETesselError("the search failed as well"); // logged, never shown or raised
    });
    // A port error, one shown as the action's own text, any other exception.
    EXPECT_FALSE(RunGuarded([] { throw ETesselError("Write error (Error: 5) "); }, ""));
    EXPECT_FALSE(RunGuarded([] { throw ETesselError("Read error (Error: 5) "); }, "Unable to get device information"));
    EXPECT_FALSE(RunGuarded([] { throw std::runtime_error("bad_alloc"); }, ""));
    // Success shows nothing and recovers nothing.
    EXPECT_TRUE(RunGuarded([] {}));
    const QString log = test::ReadTextFile(dir.path("logfile.txt")); // flushed per line: readable while open
    CloseLog();
    EXPECT_EQ(messages.texts(),
              (QStringList{"Write error (Error: 5) ", "Unable to get device information", "bad_alloc"}));
    EXPECT_EQ(recovered, 3);
    EXPECT_TRUE(log.startsWith("LogFile created: ")) << log.toStdString();
    EXPECT_EQ(log.count("Failed: "), 3);
    EXPECT_EQ(log.count("the search failed as well"), 3);
    SetGuardRecovery(nullptr);
    // A log file that cannot be made turns logging off.
    OpenLog(dir.path("missing/folder/logfile.txt"));
    EXPECT_FALSE(LogEnabled());
    WriteLog("ignored"); // must not crash
}
