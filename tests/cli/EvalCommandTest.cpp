#include "CliTestSupport.h"

#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

TEST(CliEval, PrintsValuesAndErrors) {
    struct {
        QStringList args;
        int rc;
        QString out, err;
    } cases[] = {
        {{"eval", "1+2*3"}, 0, "7\n", ""},
        {{"eval", "1/1e8"}, 0, "1e-08\n", ""},
        {{"eval", "--", "-7 # 2"}, 0, "-3\n", ""},
        {{"eval", "gain*2", "--var", "Gain=4"}, 0, "8\n", ""},
        {{"eval", "a-b", "--var", "a=1.5", "--var", "b=0.25"}, 0, "1.25\n", ""},
        {{"eval", "1/0"}, 1, "", "Arithmetic error: division by zero.\n"},
    };
    for (const auto &c : cases) {
        const CliRun r = RunCliCommand(c.args);
        EXPECT_EQ(r.rc, c.rc) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.out, c.out) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, c.err) << c.args.join(' ').toStdString();
    }
}

TEST(CliEval, JsonAndUsage) {
    const CliRun r = RunCliCommand({"eval", "round(2.5)", "--json"});
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.json()["value"].toDouble(), 2);
    EXPECT_EQ(r.json()["expression"].toString(), "round(2.5)");
    for (const QStringList &args :
         {QStringList{"eval"}, QStringList{"eval", "1", "2"}, QStringList{"eval", "x", "--var", "x"},
          QStringList{"eval", "x", "--var", "x=abc"}, QStringList{"eval", "x", "--var", "=1"}})
        EXPECT_EQ(RunCliCommand(args).rc, 2) << args.join(' ').toStdString();
}
