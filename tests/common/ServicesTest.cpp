#include "common/FileDialogService.h"
#include "common/MessageService.h"

#include <gtest/gtest.h>

using namespace tessel;

TEST(MessageService, RecordsAndAnswersFromScript) {
    RecordingMessageService rec;
    ScopedMessageService scope(&rec);
    rec.answer(mbNo);
    EXPECT_EQ(Messages().confirm("Clear Current ?"), mbNo);
    EXPECT_EQ(Messages().confirm("Again ?", mbYes | mbNo | mbCancel), mbYes);
    Messages().error("boom");
    ASSERT_EQ(rec.entries.size(), 3u);
    EXPECT_EQ(rec.entries[2].type, MsgType::Error);
    EXPECT_EQ(rec.texts(), QStringList({"Clear Current ?", "Again ?", "boom"}));
    {
        BusyCursor busy;
        EXPECT_EQ(rec.busyDepth, 1);
    }
    EXPECT_EQ(rec.busyDepth, 0);
}

TEST(FileDialogService, FilterConversion) {
    EXPECT_EQ(ToQtFilter("Binary Files|*.bin|All Files|*.*"), "Binary Files (*.bin);;All Files (*.*)");
    EXPECT_EQ(ToQtFilter("Text|*.txt;*.asc"), "Text (*.txt *.asc)");
    EXPECT_EQ(ToQtFilter(""), "");
}
