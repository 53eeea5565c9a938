// The per-minute series and top-list pages: the service's answers from the
// loopback host of the simulated world, a repeated download that changes
// nothing, marks that compare downloads of one kind, and a change of stock
// that drops the series.
#include "SimContext.h"
#include "app/UiKit.h"
#include "app/news/NewsList.h"
#include "app/signals/LumenFacet.h"
#include "chart/ChartModel.h"
#include "core/AppState.h"
#include "core/ServiceHost.h"
#include "sim/SimBackend.h"
#include "sim/SimExchange.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

struct LmFixture {
    SimContext sc;
    TTabSet tabs;
    TLumenFacet f{*sc.ctx};
    TChartModel chart;

    LmFixture()
    {
        GFormAlive = true;   // service answers are handed over only to a live window
        f.BuildPages(&tabs);
        f.MinChart = [this] { return &chart; };
    }
    ~LmFixture() { GFormAlive = false; }
    bool Wait(const std::function<bool()>& done) { return sc.Wait(done); }
};

QByteArray Top(const char* made, const std::vector<std::tuple<const char*, int, int>>& items)
{
    QByteArray b = "{\"date\":\"20261210\",\"upto\":\"0950\",\"made\":\"" + QByteArray(made) + "\",\"items\":[";
    bool first = true;
    for (const auto& [code, buy, sell] : items) {
        if (!first)
            b += ',';
        first = false;
        b += "{\"code\":\"" + QByteArray(code) + "\",\"b\":" + QByteArray::number(buy) + ",\"s\":" + QByteArray::number(sell) + "}";
    }
    return b + "]}";
}

}  // namespace

TEST(LumenFacet, TopListMarksCompareDownloadsOfOneKindAndARepeatChangesNothing)
{
    LmFixture x;
    x.f.OnLmTop(Top("a", {{"005930", 900, 100}, {"000660", 800, 100}, {"035420", 700, 100}}));
    ASSERT_EQ(x.f.FLmRank.Shown().size(), 3);
    EXPECT_TRUE(x.f.lbLmTopSum->text().startsWith(QStringLiteral("12/10 09:50 기준 · 전체 3종목 중 상위 30")));
    // 035420 climbs to the top, 051910 enters.
    x.f.OnLmTop(Top("b", {{"005930", 900, 100}, {"000660", 800, 100}, {"035420", 1000, 100}, {"051910", 850, 0}}));
    ASSERT_EQ(x.f.FLmRank.Shown().size(), 4);
    EXPECT_EQ(x.f.FLmRank.Shown()[0].T, "035420");
    EXPECT_EQ(x.f.FLmRank.Move()[0], 2);
    EXPECT_TRUE(x.f.FLmRank.New()[2]);   // 051910 at rank 3
    // The same stamp again: nothing is ranked anew, the marks stay.
    x.f.OnLmTop(Top("b", {{"005930", 900, 100}}));
    EXPECT_EQ(x.f.FLmRank.Shown().size(), 4);
    EXPECT_EQ(x.f.FLmRank.Move()[0], 2);
    // Another sort kind shows no marks until the next download.
    x.f.cbLmTopKind->setCurrentIndex(1);
    x.f.LmTopRebuild(false);
    for (int i = 0; i < x.f.FLmRank.Shown().size(); ++i) {
        EXPECT_FALSE(x.f.FLmRank.New()[i]);
        EXPECT_EQ(x.f.FLmRank.Move()[i], 0);
    }
    // Garbage keeps the list.
    x.f.OnLmTop("<html>");
    EXPECT_EQ(x.f.FLmRank.Shown().size(), 4);
}

TEST(LumenFacet, SeriesBelongsToItsStockAndShowsChangesOnly)
{
    LmFixture x;
    x.sc.ctx->FCode = QStringLiteral("005930");
    const QByteArray body = R"({"date":"20261210","rows":[["0931",10,5],["0932",10,5],["0933",14,5],["2001",99,99]]})";
    // An answer for a stock no longer selected is dropped.
    x.f.OnLmSeries(QStringLiteral("000660"), body);
    EXPECT_TRUE(x.f.FLm.isEmpty());
    x.f.OnLmSeries(QStringLiteral("005930"), body);
    ASSERT_EQ(x.f.FLm.size(), 3);   // rows after 20:00 are not the day's
    EXPECT_EQ(x.f.FLm[0].T, "0933");
    x.f.chkLmChg->setChecked(true);
    x.f.RebuildLmView();
    EXPECT_EQ(x.f.FLmView, QVector<int>({0, 2}));   // 09:32 repeats 09:31; the oldest always shows
    x.f.chkLmChg->setChecked(false);
    x.f.RebuildLmView();
    EXPECT_EQ(x.f.FLmView.size(), 3);
    EXPECT_TRUE(x.f.lbLmSum->text().contains(QStringLiteral("09:33 까지")));
    // A click marks the minute on the minute chart, on the bar that holds
    // it (named by its end, as the signal marks are).
    x.f.lbLM->OnClick(0);
    EXPECT_EQ(x.chart.NewsD(), "202612100934");
    EXPECT_EQ(x.chart.NewsLab(), QStringLiteral("루멘 09:33"));
    // Another stock: the series goes.
    x.sc.ctx->FCode = QStringLiteral("000660");
    x.f.OnStockChanged();
    EXPECT_TRUE(x.f.FLm.isEmpty());
    EXPECT_TRUE(x.f.FLmCode.isEmpty());
}

// The loopback host of the simulated world answers both pages.
TEST(LumenFacet, TheSimulatedServiceFillsBothPages)
{
    LmFixture x;
    x.sc.clock.SetWall(QDateTime(QDate(2026, 12, 10), QTime(10, 30, 0)));
    ASSERT_TRUE(x.Wait([&] {
        if (!x.f.FLmTopBusy && x.f.FLmRank.Shown().isEmpty())
            x.f.FetchLmTop();
        return !x.f.FLmRank.Shown().isEmpty();
    })) << "no top list from the loopback service: "
        << x.sc.ctx->ServiceHost().GetSync(QStringLiteral("/lumen/pub?n=lmtop&t=1"), TFetchOptions()).Text().left(300).toStdString();
    EXPECT_LE(x.f.FLmRank.Shown().size(), 30);
    const QString code = x.f.FLmRank.Shown()[0].T;
    x.sc.ctx->FCode = code;
    x.f.OnStockChanged();
    x.tabs.setCurrentWidget(x.f.tsLM);
    ASSERT_TRUE(x.Wait([&] {
        if (!x.f.FLmBusy && x.f.FLm.isEmpty())
            x.f.FetchLM();
        return !x.f.FLm.isEmpty();
    })) << "no series for " << code.toStdString();
    EXPECT_EQ(x.f.FLmCode, code);
    // cumulative sums never fall as minutes go back
    for (int i = 1; i < x.f.FLm.size(); ++i) {
        EXPECT_GE(x.f.FLm[i - 1].B, x.f.FLm[i].B);
        EXPECT_GE(x.f.FLm[i - 1].S, x.f.FLm[i].S);
    }
}
