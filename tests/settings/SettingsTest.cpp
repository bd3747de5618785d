#include "settings/CommaText.h"
#include "settings/EnvSetup.h"
#include "settings/RecentFiles.h"
#include "settings/Registry.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::TestDir;

TEST(CommaText, RoundTripsAndExactForms) {
    struct {
        QStringList items;
        QString text;
    } cases[] = {
        {{}, ""},
        {{""}, "\"\""},
        {{"say \"hi\"", "c,d"}, "\"say \"\"hi\"\"\",\"c,d\""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ToCommaText(c.items), c.text);
        EXPECT_EQ(FromCommaText(c.text), c.items) << c.text.toStdString();
    }
    // Unquoted blanks separate items, as in the stored form's reader.
    EXPECT_EQ(FromCommaText("a b,c"), QStringList({"a", "b", "c"}));
}

TEST(SettingsStore, KeyNamesAndStoredForms) {
    EXPECT_EQ(StoreKeyName("KRT", "Tessel", "2.90", "EnvSetup"), "Software\\KRT\\Tessel\\2.90\\EnvSetup");
    EXPECT_EQ(StoreKeyName("", "Tessel", "", "frmMain"), "Software\\Tessel\\frmMain");
    EXPECT_EQ(EncodeBoolean(false), QByteArray::fromHex("0400000000"));
    EXPECT_EQ(EncodeTextList({"a b", "c"}), QByteArray::fromHex("070000000700000022612062222c63"));
    EXPECT_EQ(DecodeBoolean(QByteArray::fromHex("0400000001")), true);
    for (const char *bad : {"", "04000000", "050000000001", "0300000001"})
        EXPECT_FALSE(DecodeBoolean(QByteArray::fromHex(bad)).has_value()) << bad;
}

TEST(SettingsStore, RoundTripOfEveryKind) {
    TestDir dir;
    TEnvSetup env;
    env.AutoScaleAfterStop = env.CreateExp = env.ShowWizard = env.AutoReconnect = true;
    env.ShowDialogs = env.ExcludeCh = false;
    env.PrintNotes = env.PrintData = true;
    env.ReorderOnNew = 3;
    env.LastDir = dir.path();
    env.Save();

    TEnvSetup back;
    back.Restore();
    EXPECT_EQ(std::tie(back.AutoScaleAfterStop, back.CreateExp, back.ShowWizard, back.AutoReconnect, back.ShowDialogs,
                       back.ExcludeCh, back.PrintNotes, back.PrintData, back.ReorderOnNew),
              std::make_tuple(true, true, true, true, false, false, false, false, 3)); // print choices are never stored
    EXPECT_EQ(back.LastDir, dir.path());

    // The stored kinds are those of the original store: booleans as 5 bytes.
    EXPECT_EQ(TPRegistry().ReadBinary("Software\\KRT\\Tessel\\2.90\\EnvSetup", "ShowWizard"), EncodeBoolean(true));

    TPFormSettings main("frmMain", TPFormSettings::Values::All);
    main.EnableMRU(9);
    main.SetWindow({10, 20, 800, 600, true, 2, "1920x1080"});
    main.SetValue("MRUList", QStringList{"/a b/x.exp", "/y.exp"});
    main.Save();
    TPFormSettings main2("frmMain", TPFormSettings::Values::All);
    main2.EnableMRU(9);
    main2.Restore();
    const WindowValues w = main2.Window();
    EXPECT_EQ(std::tie(w.Left, w.Height, w.MainForm, w.State, w.ScreenRes),
              std::make_tuple(10, 600, true, 2, QString("1920x1080")));
    EXPECT_EQ(main2.TextList("MRUList"), QStringList({"/a b/x.exp", "/y.exp"}));
}

TEST(SettingsStore, DamagedOrWronglyTypedValuesGiveDefaults) {
    TestDir dir;
    test::WriteTextFile(TPRegistry::storeFile(),
                        "[Software]\nKRT\\Tessel\\2.90\\EnvSetup\\ShowDialogs=garbage\n"
                        "KRT\\Tessel\\2.90\\EnvSetup\\ReorderOnNew=notanumber\n\x01\x02\xff junk\n");
    TEnvSetup env;
    env.ShowDialogs = false; // restore must overwrite
    env.ReorderOnNew = 2;
    env.Restore();
    EXPECT_TRUE(env.ShowDialogs);
    EXPECT_EQ(env.ReorderOnNew, 0);
    EXPECT_EQ(StartDir(env), QDir::currentPath()); // no stored folder
}

TEST(RecentFiles, MostRecentFirstAndBounded) {
    TRecentFiles mru(3);
    mru.SetItems({"x", "", "x", "y", "z", "w"});
    EXPECT_EQ(mru.Items(), QStringList({"x", "y", "z"}));
    mru.Add("y"); // moves to the front
    mru.Add("d"); // the oldest drops out
    EXPECT_EQ(mru.Items(), QStringList({"d", "y", "x"}));
    EXPECT_EQ(TRecentFiles::Caption(0, "/x.exp"), "&1 /x.exp");
}
