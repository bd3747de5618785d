#include "common/Log.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tessel;

TEST(Log, CreatedAnewWithHeaderAndFlushedPerLineOrOff) {
    test::TestDir dir;
    const QString path = dir.path("logfile.txt");
    test::WriteTextFile(path, "old content\n");
    OpenLog(path);
    ASSERT_TRUE(LogEnabled());
    WriteLog("first");
    // Flushed at once: readable before the log is closed.
    const QStringList lines = test::ReadTextFile(path).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("LogFile created: "));
    EXPECT_EQ(lines[1], "first");
    CloseLog();
    // A file that cannot be made turns logging off.
    OpenLog(dir.path("missing/folder/logfile.txt"));
    EXPECT_FALSE(LogEnabled());
    WriteLog("ignored"); // must not crash
}
