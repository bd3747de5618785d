#include "common/AppPaths.h"
#include "common/UserIni.h"
#include "support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace tessel;

TEST(UserIni, MergeAddsWhatIsNewAndKeepsWhatTheUserDid) {
    const struct {
        const char *what, *user, *shipped, *previous, *expected;
    } cases[] = {
        {"new section arrives with its comment", "[Main]\nMaxSignals=12\n",
         "[Main]\nMaxSignals=10\n; New type\n[ModelX Consts]\nA=1\n", "[Main]\nMaxSignals=10\n",
         "[Main]\nMaxSignals=12\n\n; New type\n[ModelX Consts]\nA=1\n"},
        {"a section the user deleted stays deleted", "[Main]\nA=1\n",
         "[Main]\nA=1\n[Wizard4]\nFileName=x\n[New]\nB=2\n", "[Main]\nA=1\n[Wizard4]\nFileName=x\n",
         "[Main]\nA=1\n\n[New]\nB=2\n"},
        {"new key joins its section, edited and deleted keys stay as the user left them", "[Main]\nA=7\n; mine\nC=3\n",
         "[Main]\nA=1\nB=2\nC=3\nD=4\n", "[Main]\nA=1\nB=2\nC=3\n", "[Main]\nA=7\n; mine\nC=3\nD=4\n"},
        {"comments that lead into the next section are not taken along", "[A]\nk=1\n",
         "[A]\nk=1\n[B]\nv=1\n; about C\n[C]\nw=2\n", "[A]\nk=1\n", "[A]\nk=1\n\n[B]\nv=1\n\n; about C\n[C]\nw=2\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MergeShippedIni(c.user, c.shipped, c.previous), QString::fromLatin1(c.expected)) << c.what;
}

// The same program in its two layouts: a self-contained folder writes beside
// itself; an installed tree reads share/tessel and writes per-user only.
TEST(AppPaths, SelfContainedFolderAndInstalledTree) {
    test::TestDir dir;
    const QString root = dir.path("root");
    for (const char *folder : {"/usr/bin", "/usr/share/tessel", "/portable"})
        QDir().mkpath(root + folder);
    test::WriteTextFile(root + "/usr/share/tessel/Tessel.ini", "[Main]\nIncludeDir=\n");
    test::WriteTextFile(root + "/portable/Tessel.ini", "[Main]\n");
    qputenv("XDG_STATE_HOME", dir.path("state").toUtf8());
    AppPaths::setConfigDir(dir.path("config"));

    const auto paths = [] {
        return QStringList{AppPaths::dataDir(), AppPaths::libraryDir(), AppPaths::docDir(), AppPaths::iniPath(),
                           AppPaths::logPath()};
    };
    AppPaths::setProgramDir(root + "/portable");
    const QString portable = root + "/portable/";
    EXPECT_EQ(paths(),
              (QStringList{portable, portable, portable + "doc/", portable + "Tessel.ini", portable + "logfile.txt"}));

    AppPaths::setProgramDir(root + "/usr/bin");
    EXPECT_EQ(paths(),
              (QStringList{root + "/usr/share/tessel/", root + "/usr/lib/tessel/", root + "/usr/share/doc/tessel/",
                           dir.path("config") + "/Tessel.ini", dir.path("state") + "/KRT/Tessel/logfile.txt"}));
    EXPECT_EQ(test::ReadTextFile(AppPaths::iniPath()), "[Main]\nIncludeDir=\n") << "seeded from the shipped copy";
    // Wizard and picture names in the user's ini still point at the shipped files.
    EXPECT_EQ(AppPaths::resourceBase(AppPaths::iniPath()), root + "/usr/share/tessel/");
    EXPECT_EQ(AppPaths::resourceBase(dir.path("elsewhere/Tessel.ini")), dir.path("elsewhere") + "/");

    AppPaths::setConfigDir({});
    qunsetenv("XDG_STATE_HOME");
}
