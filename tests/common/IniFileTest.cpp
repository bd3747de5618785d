#include "common/IniFile.h"
#include "common/FileDialogService.h"
#include "common/MessageService.h"
#include "common/NumberText.h"
#include "support/RecordingServices.h"
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::TestDir;

namespace {
class IniTest : public ::testing::Test {
protected:
    TestDir dir;
    QString path = dir.path("t.ini");
    RecordingMessageService messages;
    ScopedMessageService scope{&messages};
    void write(const QString &text) { test::WriteTextFile(path, text); }
};
} // namespace

TEST_F(IniTest, ReadIntegerAndBoolForms) {
    write("[S]\nhex=0X1F\nshort=0x\nbad=12abc\nblank=   12\ndollar=$ff\nnegdollar=-$10\nbig=2147483648\n"
          "wrap=0xFFFFFFFF\nempty=\nword=yes\nzero=0\n");
    TIniFile2 ini(path);
    const std::pair<const char *, int32_t> cases[] = {{"hex", 31},     {"short", -5},      {"bad", -5}, {"blank", 12},
                                                      {"dollar", 255}, {"negdollar", -16}, {"big", -5}, {"wrap", -1},
                                                      {"empty", -5},   {"missing", -5}};
    for (const auto &[key, expected] : cases)
        EXPECT_EQ(ini.ReadInteger("S", key, -5), expected) << key;
    // Booleans are integers; a word keeps the default.
    for (const auto &[key, def, expected] :
         {std::tuple{"dollar", false, true}, {"zero", true, false}, {"word", true, true}, {"word", false, false}})
        EXPECT_EQ(ini.ReadBool("S", key, def), expected) << key;
}

TEST_F(IniTest, ReadFloatAndReport) {
    write("[S]\nexp=1.5e-7\ncomma=1,5e-7\n");
    TIniFile2 ini(path);
    ini.Report = true;
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "exp", 0), 1.5e-7);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "missing", 1e-7), 1e-7);
    EXPECT_TRUE(messages.entries.empty());
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "comma", 1e-7), 1e-7);
    ASSERT_EQ(messages.entries.size(), 1u);
    EXPECT_EQ(messages.entries[0].text,
              "Error in Ini File: " + path + "\n\r Section: S,  Key: comma  , Read: 1,5e-7  , Default 1e-07");
    ini.Report = false;
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "comma", 2), 2);
    EXPECT_EQ(messages.entries.size(), 1u);
}

TEST_F(IniTest, NamesIgnoreCaseAndGarbageIsSkipped) {
    write("garbage line\n; comment=1\n[Sec One]\n  Key = value with blanks  \n=novalue\n[other]\nkey=2\nlong=" +
          QString(2000, 'x') + "\n");
    TIniFile2 ini(path);
    EXPECT_EQ(ini.ReadString("sec one", "KEY", "d"), "value with blanks");
    EXPECT_EQ(ini.ReadString("Other", "key", "d"), "2");
    EXPECT_EQ(ini.ReadSections(), QStringList({"Sec One", "other"}));
    EXPECT_EQ(ini.ReadString("other", "long", "").size(), 1023); // a longer value is cut
}

TEST_F(IniTest, WriteKeepsOtherLines) {
    write("; header comment\n[A]\nx=1\n; keep me\ny=2\n\n[B]\nz=3\n");
    TIniFile2 ini(path);
    ini.WriteString("A", "y", "20");
    ini.WriteInteger("A", "new", 5);
    ini.WriteBool("C", "flag", true);
    EXPECT_EQ(test::ReadTextFile(path),
              "; header comment\n[A]\nx=1\n; keep me\ny=20\nnew=5\n\n[B]\nz=3\n\n[C]\nflag=1\n");
}

// Numbers for machines: arithmetic noise goes, meaningful digits stay.
TEST(NumberText, MachineNumbers) {
    const std::pair<double, const char *> cases[] = {
        {30.299999999999997, "30.3"},
        {1e-7, "1e-07"},
        {123456.789012345, "123456.789012345"},
        {-0.0, "0"},
        {1e21, "1e+21"},
    };
    for (const auto &[v, text] : cases)
        EXPECT_EQ(FormatMachine(v), text) << text;
    const QJsonObject o{{"a", QJsonArray{0.1 + 0.2, "x"}}, {"b", QJsonObject{{"c", 30.299999999999997}}}};
    EXPECT_EQ(QJsonDocument(MachineJson(o).toObject()).toJson(QJsonDocument::Compact),
              R"({"a":[0.3,"x"],"b":{"c":30.3}})");
}

TEST(FileDialogService, FilterConversion) {
    EXPECT_EQ(ToQtFilter("Binary Files|*.bin|All Files|*.*"), "Binary Files (*.bin);;All Files (*.*)");
    EXPECT_EQ(ToQtFilter("Text|*.txt;*.asc"), "Text (*.txt *.asc)");
    EXPECT_EQ(ToQtFilter(""), "");
}
