#include "common/FileDialogService.h"

#include <gtest/gtest.h>

using namespace tessel;

TEST(FileDialogService, FilterConversion) {
    EXPECT_EQ(ToQtFilter("Binary Files|*.bin|All Files|*.*"), "Binary Files (*.bin);;All Files (*.*)");
    EXPECT_EQ(ToQtFilter("Text|*.txt;*.asc"), "Text (*.txt *.asc)");
    EXPECT_EQ(ToQtFilter(""), "");
}
