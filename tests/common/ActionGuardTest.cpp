// The one guard between the instrument and the event loop: what a failing
// action shows, logs and recovers, and the application's last resort.
#include "common/ActionGuard.h"
#include "common/Errors.h"
#include "common/Log.h"
#include "common/MessageService.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace tessel;

TEST(ActionGuard, ShowsLogsAndRecoversOnceWhateverIsRaised) {
    const std::tuple<const char *, std::function<void()>, QString, QString> cases[] = {
        {"port error", [] { throw ETesselError("Write error (Error: 5) "); }, "", "Write error (Error: 5) "},
        {"with the action's own text", [] { throw ETesselError("Read error (Error: 5) "); },
         "Unable to get device information", "Unable to get device information"},
        {"any other exception", [] { throw std::runtime_error("bad_alloc"); }, "", "bad_alloc"},
    };
    for (const auto &[name, action, message, shown] : cases) {
        test::TestDir dir;
        OpenLog(dir.path("logfile.txt"));
        RecordingMessageService messages;
        ScopedMessageService scope(&messages);
        int recovered = 0;
        SetGuardRecovery([&] {
            ++recovered;
            throw ETesselError("the search failed as well"); // logged, never shown or raised
        });
        EXPECT_FALSE(RunGuarded(action, message)) << name;
        EXPECT_EQ(messages.texts(), QStringList{shown}) << name;
        EXPECT_EQ(recovered, 1) << name;
        CloseLog();
        const QString log = test::ReadTextFile(dir.path("logfile.txt"));
        EXPECT_TRUE(log.contains("Failed: ")) << name;
        EXPECT_TRUE(log.contains("the search failed as well")) << name;
        // Success shows nothing and recovers nothing.
        EXPECT_TRUE(RunGuarded([] {}));
        EXPECT_EQ(messages.entries.size(), 1u);
        EXPECT_EQ(recovered, 1);
    }
    SetGuardRecovery(nullptr);
}

TEST(ActionGuard, TheApplicationReportsWhatEscapedAnEventAndGoesOn) {
    RecordingMessageService messages;
    ScopedMessageService scope(&messages);
    int recovered = 0;
    SetGuardRecovery([&] { ++recovered; });
    bool later = false;
    QTimer::singleShot(0, [] { throw ETesselError("Write error (Error: 5) "); });
    QTimer::singleShot(0, [&] { later = true; });
    for (int i = 0; i < 5 && !later; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(later);
    EXPECT_EQ(messages.texts(), QStringList{"Write error (Error: 5) "});
    EXPECT_EQ(recovered, 1);
    SetGuardRecovery(nullptr);
}
