// Answers and real-time records full of junk reach every handler of the
// window: nothing may crash, and the charts and lists keep their order.
#include "SimWindow.h"
#include "app/MainWindow.h"
#include "app/chart/ChartFacet.h"
#include "app/core/LogFacet.h"
#include "app/market/ProgFacet.h"
#include "app/market/QuoteFacet.h"
#include "app/market/StockFacet.h"
#include "app/market/TickFacet.h"
#include "app/trading/AccountFacet.h"
#include "broker/XingApi.h"
#include "chart/CandleChart.h"
#include "chart/ChartModel.h"
#include "market/Ticks.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <random>

namespace {

// A pool of texts a broken or hostile answer might carry.
class TJunk {
public:
    explicit TJunk(unsigned seed) : FRng(seed) {}
    QString Code;  // the current stock: some records must name it to get far
    QString Text(const QString& field)
    {
        static const char* const kPool[] = {
            "", " ", "0", "-1", "1", "70000", "+70000", "-70000", "70,000", "1e308", "-1e308", "nan", "inf",
            "9999999999999999999999", "abc", "20261210", "2026121", "20261310", "093000", "0930", "2400",
            "235959", "0000", "A005930", "005930", "000660", "\xe3\x85\x81", "\t", "12.5", "+", "-", "00000",
            "전송제한", "2", "5", "3",
        };
        const int pick = Int(0, int(std::size(kPool)) + 3);
        if (pick == int(std::size(kPool)) && !Code.isEmpty())
            return Code;
        if (pick == int(std::size(kPool)) + 1 && field.contains(QLatin1String("date")))
            return QStringLiteral("202612%1").arg(Int(1, 12), 2, 10, QLatin1Char('0'));
        if (pick > int(std::size(kPool))) {
            QString s;
            for (int i = Int(0, 20); i > 0; --i)
                s += QChar(u'0' + Int(0, 9));
            return s;
        }
        return QString::fromUtf8(kPool[pick]);
    }
    int Count()
    {
        static const int kCounts[] = {0, 1, 2, 5, 30, 300, -1};
        return kCounts[Int(0, int(std::size(kCounts)) - 1)];
    }
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(FRng); }

private:
    std::mt19937 FRng;
};

class TJunkQuery : public TXAQuery {
public:
    explicit TJunkQuery(TJunk& j) : FJ(j) {}
    void SetResFileName(const QString& p) override { FRes = p; }
    QString ResFileName() const override { return FRes; }
    void SetFieldData(const QString&, const QString&, int, const QString&) override {}
    QString GetFieldData(const QString&, const QString& field, int) const override { return FJ.Text(field); }
    int GetBlockCount(const QString&) const override { return FJ.Count(); }
    int Decompress(const QString&) override { return FJ.Count(); }
    QString GetBlockData(const QString& b) const override { return FJ.Text(b); }
    // Every request is taken; its answer is whatever the pool gives.
    int Request(bool) override { return ++FId; }
    int AnswerId() const override { return FId; }
    int GetTRCountBaseSec(const QString&) const override { return 1; }
    int GetTRCountPerSec(const QString&) const override { return 1; }
    int GetTRCountLimit(const QString&) const override { return 0; }

private:
    TJunk& FJ;
    QString FRes;
    int FId = 0;
};

class TJunkReal : public TXAReal {
public:
    explicit TJunkReal(TJunk& j) : FJ(j) {}
    void SetResFileName(const QString& p) override { FRes = p; }
    QString ResFileName() const override { return FRes; }
    void SetFieldData(const QString&, const QString&, const QString&) override {}
    void AdviseRealData() override {}
    void UnadviseRealData() override {}
    void UnadviseRealDataWithKey(const QString&) override {}
    QString GetFieldData(const QString&, const QString& field) const override { return FJ.Text(field); }

private:
    TJunk& FJ;
    QString FRes;
};

template <class T>
bool Ascending(const QVector<T>& bars)
{
    return std::is_sorted(bars.begin(), bars.end(), [](const T& a, const T& b) { return a.D < b.D; });
}

} // namespace

TEST(MalformedAnswers, NoHandlerCrashesAndOrderIsKept)
{
    SimWindow f;
    TfrmMain& w = *f.w;
    ASSERT_TRUE(w.Ctx().FLogged);
    TJunk junk(20261210);
    junk.Code = w.Ctx().FCode;
    TJunkQuery q(junk);
    TJunkReal r(junk);

    // Each query is asked for by its owner as the user's actions would (so
    // the answer belongs to a current request), then answered with junk.
    using B = TBrokerObjects;
    struct Q { TXAQuery* B::*Member; const char* Tr; std::function<void()> Ask; };
    const Q queries[] = {
        {&B::qMaster, "t8430", [&] { w.Stock->ReqMaster(); }},
        {&B::qPrice, "t1101", [&] { w.Quote->ReqPrice(); }},
        {&B::qDay, "t8410", [&] { w.Charts->ReqDay(); }},
        {&B::qDayW, "t8410", [&] { w.Charts->FDayPer = 1; w.Charts->ReqDayW(); }},
        {&B::qMin, "t8412", [&] { w.Charts->StartMinBars(); }},
        {&B::qProg, "t1637", [&] { w.Prog->ReqProg(false, true); }},
        {&B::qProgPg, "t1637", [&] { w.Prog->ReqProg(false, false); }},
        {&B::qTick, "t1301", [&] { w.Ticks->ReqTicks(false); }},
        {&B::qBal, "CSPAQ12300", [&] { w.Account->ReqBal(); }},
        {&B::qMiche, "t0425", [&] { w.Account->ReqMiche(); }},
        {&B::qFill, "t0425", [&] { w.Account->ReqFills(); }},
        {&B::qTime, "t0167", [&] { w.LogClock->ReqTime(); }},
    };
    struct R { TXAReal* TBrokerObjects::*Member; const char* Tr; };
    const R reals[] = {
        {&TBrokerObjects::rS3, "S3_"}, {&TBrokerObjects::rK3, "K3_"}, {&TBrokerObjects::rH1, "H1_"}, {&TBrokerObjects::rHA, "HA_"},
        {&TBrokerObjects::rSC0, "SC0"}, {&TBrokerObjects::rSC1, "SC1"}, {&TBrokerObjects::rSC3, "SC3"},
    };

    for (int round = 0; round < 150; ++round) {
        for (const Q& x : queries) {
            TXAQuery* real = w.Ctx().B.*(x.Member);
            w.Ctx().B.*(x.Member) = &q;
            x.Ask();
            for (int i = 0; i < 20 && w.Ctx().FQ->Count() > 0; ++i) {
                f.clock.Advance(1100);
                w.Ctx().FQ->Tick();
            }
            w.OnQueryData(&q, QString::fromLatin1(x.Tr));
            w.OnQueryMsg(&q, junk.Int(0, 1) == 1, junk.Text(QString()), junk.Text(QString()));
            w.Ctx().B.*(x.Member) = real;
            w.Charts->FDayPer = 0;
        }
        for (const R& x : reals) {
            TXAReal* real = w.Ctx().B.*(x.Member);
            w.Ctx().B.*(x.Member) = &r;
            w.OnRealData(&r, QString::fromLatin1(x.Tr));
            w.Ctx().B.*(x.Member) = real;
        }
        if (round % 10 == 0)
            f.Run(100);  // timers, queue, repaints
        ASSERT_TRUE(Ascending(w.Charts->chMin->Model().Bars())) << "round " << round;
        ASSERT_TRUE(Ascending(w.Charts->chDay->Model().Bars())) << "round " << round;
        ASSERT_LE(w.Ticks->FTicks.Count(), kMaxTicks);
    }
    // Still a working window: the real answers of a fresh request land.
    w.SelectStock(QStringLiteral("005930"));
    f.Run(3000);
    EXPECT_EQ(w.Ctx().FCode, QStringLiteral("005930"));
    EXPECT_GT(w.Quote->FHoga.Price, 0);
    EXPECT_GT(w.Charts->chMin->Model().Count(), 0);
}
