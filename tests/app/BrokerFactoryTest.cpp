// hts.ini's [SIM] section sets up the simulated exchange.
#include "app/BrokerFactory.h"
#include "core/Clock.h"
#include "sim/SimBackend.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void Write(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}
}

TEST(BrokerFactory, SimSectionSettings)
{
    QTemporaryDir dir;
    TTestClock clock;
    Write(dir.filePath("mini.csv"), "code,isin,name,market,price,volume\n"
                                    "005930,KR7005930003,삼성전자,KOSPI,70000,1000000\n"
                                    "035720,KR7035720002,카카오,KOSPI,40000,500000\n");
    struct Case {
        QByteArray sim;
        int universe;  // 0: the built-in one
        int delay;
        bool alwaysOpen;
        bool problem;
    } cases[] = {
        {"", 0, 20, false, false},
        {"[SIM]\nUNIVERSE=mini.csv\nDELAY=0\nALWAYSOPEN=1\nSTATE=\n", 2, 0, true, false},
        {"[SIM]\nUNIVERSE=missing.csv\nDELAY=-5\n", 0, 0, false, true},
    };
    for (const Case& c : cases) {
        Write(dir.filePath("hts.ini"), c.sim);
        QStringList problems;
        auto b = CreateBrokerBackend(TConfig{}, dir.filePath("hts.ini"), clock, &problems);
        auto& ex = dynamic_cast<TSimBackend&>(*b).Exchange();
        if (c.universe)
            EXPECT_EQ(ex.Engine().Universe().Size(), c.universe) << c.sim.constData();
        else
            EXPECT_GT(ex.Engine().Universe().Size(), 2000) << c.sim.constData();
        EXPECT_EQ(ex.Config().AnswerDelayMs, c.delay);
        EXPECT_EQ(ex.Config().AlwaysOpen, c.alwaysOpen);
        EXPECT_EQ(!problems.isEmpty(), c.problem) << problems.join("; ").toStdString();
    }
}
