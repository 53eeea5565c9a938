// The chart's data side: bar keys of live trades, day/week/month updates,
// derived series, marks, drawings and the view-window rules.
#include "chart/ChartModel.h"

#include <QDate>
#include <gtest/gtest.h>

namespace {

TBar Bar(const QString& d, double o, double h, double l, double c, qint64 v, double pv = 0)
{
    TBar b;
    b.D = d;
    b.O = o;
    b.H = h;
    b.L = l;
    b.C = c;
    b.V = v;
    b.PV = pv;
    return b;
}

// n minute bars of one day from 09:01 on, close = 100 + i.
QVector<TBar> MinuteBars(const QString& day, int n, int startMin = 9 * 60 + 1)
{
    QVector<TBar> r;
    for (int i = 0; i < n; ++i) {
        const int m = startMin + i;
        const QString k = day + QStringLiteral("%1%2").arg(m / 60, 2, 10, QLatin1Char('0'))
                                    .arg(m % 60, 2, 10, QLatin1Char('0'));
        r.append(Bar(k, 100 + i, 101 + i, 99 + i, 100 + i, 10));
    }
    return r;
}

QVector<TBar> DayBars(int n)
{
    QVector<TBar> r;
    QDate d(2025, 1, 1);
    for (int i = 0; i < n; ++i, d = d.addDays(1))
        r.append(Bar(d.toString("yyyyMMdd"), 10, 11, 9, 10, 1000));
    return r;
}

struct TRepaintCounter {
    int N = 0;
    void Attach(TChartModel& m) { m.OnRepaint = [this] { ++N; }; }
};

} // namespace

TEST(ChartModel, CreateDefaults)
{
    TChartModel m;
    EXPECT_EQ(m.Period(), 1);
    EXPECT_EQ(m.BarW(), 7);
    EXPECT_EQ(m.Offset(), 0);
    EXPECT_EQ(m.Sel(), -1);
    EXPECT_EQ(m.Count(), 0);
    EXPECT_TRUE(m.GetDraws().isEmpty());
    EXPECT_TRUE(m.Tool().isNull());
}

TEST(ChartModel, MinuteKeyOfATrade)
{
    struct Case {
        int period;
        const char* time;
        const char* key;
    } cases[] = {
        {1, "090000", "202503120901"}, {1, "090059", "202503120901"},
        {1, "090100", "202503120902"}, {5, "090459", "202503120905"},
        {5, "090500", "202503120910"}, {30, "093000", "202503121000"},
        {30, "092959", "202503120930"}, {1, "235930", "202503122400"},
        {1, "ab", "202503120001"},      {0, "090000", "202503120901"},
        {3, "153000", "202503121533"},
    };
    for (const Case& c : cases) {
        TChartModel m;
        m.SetIsMinute(true);
        m.SetPeriod(c.period);
        ASSERT_TRUE(m.Tick("20250312", c.time, 70000, 0, 0, 0, 0, 3)) << c.time;
        ASSERT_EQ(m.Count(), 1);
        EXPECT_EQ(m.Bars()[0].D, QString(c.key)) << c.period << " " << c.time;
    }
}

TEST(ChartModel, MinuteTicksUpdateOrOpenBars)
{
    TChartModel m;
    m.SetIsMinute(true);
    TRepaintCounter rc;
    rc.Attach(m);

    ASSERT_TRUE(m.Tick("20250312", "090000", 100, 0, 0, 0, 500, 10));
    ASSERT_TRUE(m.Tick("20250312", "090030", 104, 0, 0, 0, 520, 20));
    ASSERT_TRUE(m.Tick("20250312", "090059", 98, 0, 0, 0, 540, 5));
    ASSERT_EQ(m.Count(), 1);
    TBar b = m.Bars()[0];
    EXPECT_EQ(b.D, "202503120901");
    EXPECT_EQ(b.O, 100);
    EXPECT_EQ(b.H, 104);
    EXPECT_EQ(b.L, 98);
    EXPECT_EQ(b.C, 98);
    EXPECT_EQ(b.V, 35);  // trade volumes, not the day's cumulative volume
    EXPECT_DOUBLE_EQ(b.PV, 100 * 10 + 104 * 20 + 98 * 5);

    ASSERT_TRUE(m.Tick("20250312", "090100", 101, 0, 0, 0, 550, 7));
    ASSERT_EQ(m.Count(), 2);
    EXPECT_EQ(m.Bars()[1].D, "202503120902");
    EXPECT_EQ(m.Bars()[1].V, 7);
    EXPECT_EQ(rc.N, 4);

    // Older than the last bar: dropped, no repaint, series untouched.
    EXPECT_FALSE(m.Tick("20250312", "090030", 500, 0, 0, 0, 0, 100));
    EXPECT_EQ(m.Count(), 2);
    EXPECT_EQ(m.Bars()[0].H, 104);
    EXPECT_EQ(rc.N, 4);

    // No price: ignored entirely.
    EXPECT_FALSE(m.Tick("20250312", "090200", 0, 0, 0, 0, 0, 100));
    EXPECT_FALSE(m.Tick("20250312", "090200", -5, 0, 0, 0, 0, 100));
    EXPECT_EQ(m.Count(), 2);
    EXPECT_EQ(rc.N, 4);
}

TEST(ChartModel, NewMinuteBarKeepsScrolledView)
{
    TChartModel m;
    m.SetIsMinute(true);
    m.SetBars(MinuteBars("20250312", 40));
    m.SetOffset(5);
    ASSERT_TRUE(m.Tick("20250312", "094500", 100, 0, 0, 0, 0, 1));  // opens 0946
    EXPECT_EQ(m.Offset(), 6);
    ASSERT_TRUE(m.Tick("20250312", "094510", 101, 0, 0, 0, 0, 1));  // same bar
    EXPECT_EQ(m.Offset(), 6);
    m.SetOffset(0);
    ASSERT_TRUE(m.Tick("20250312", "094600", 100, 0, 0, 0, 0, 1));
    EXPECT_EQ(m.Offset(), 0);
}

TEST(ChartModel, HistoryBarWithoutPvGetsEstimateOnFirstTrade)
{
    TChartModel m;
    m.SetIsMinute(true);
    m.SetBars({Bar("202503120901", 100, 110, 90, 105, 40)});
    ASSERT_TRUE(m.Tick("20250312", "090010", 120, 0, 0, 0, 0, 10));
    const TBar& b = m.Bars()[0];
    EXPECT_EQ(b.H, 120);
    EXPECT_EQ(b.V, 50);
    // typical price after the trade (120 + 90 + 120) / 3 x the 40 shares before, then the trade
    EXPECT_DOUBLE_EQ(b.PV, (120.0 + 90 + 120) / 3 * 40 + 120.0 * 10);
}

TEST(ChartModel, DayChartTicks)
{
    TChartModel m;
    TRepaintCounter rc;
    rc.Attach(m);
    m.SetBars({Bar("20250311", 100, 110, 95, 105, 1000), Bar("20250312", 106, 108, 104, 107, 500)});
    rc.N = 0;

    // Today's bar: open, high, low from the day's values, volume from the cumulative volume.
    ASSERT_TRUE(m.Tick("20250312", "100000", 109, 103, 112, 101, 2500, 7));
    TBar b = m.Bars().last();
    EXPECT_EQ(b.O, 103);
    EXPECT_EQ(b.H, 112);
    EXPECT_EQ(b.L, 101);
    EXPECT_EQ(b.C, 109);
    EXPECT_EQ(b.V, 2500);
    // Zero open/low/cumulative volume leave those alone; the price still moves high and low.
    ASSERT_TRUE(m.Tick("20250312", "100001", 99, 0, 0, 0, 0, 7));
    b = m.Bars().last();
    EXPECT_EQ(b.O, 103);
    EXPECT_EQ(b.L, 99);
    EXPECT_EQ(b.V, 2500);

    // A new day appends.
    ASSERT_TRUE(m.Tick("20250313", "090000", 111, 0, 0, 0, 30, 30));
    ASSERT_EQ(m.Count(), 3);
    b = m.Bars().last();
    EXPECT_EQ(b.D, "20250313");
    EXPECT_EQ(b.O, 111);
    EXPECT_EQ(b.L, 111);
    EXPECT_EQ(b.V, 30);
    EXPECT_EQ(b.PV, 0);

    // An older day changes nothing but still repaints.
    const int before = rc.N;
    EXPECT_TRUE(m.Tick("20250310", "090000", 500, 0, 0, 0, 1, 1));
    EXPECT_EQ(m.Count(), 3);
    EXPECT_EQ(m.Bars()[0].H, 110);
    EXPECT_EQ(rc.N, before + 1);
    EXPECT_TRUE(m.Vwap().isEmpty());
}

TEST(ChartModel, WeekAndMonthBarsTakeTradesOfTheirPeriod)
{
    // Monday 2025-03-10; the week bar is keyed with that day.
    TChartModel w;
    w.SetDayGroup(1);
    w.SetBars({Bar("20250303", 90, 95, 85, 92, 9000), Bar("20250310", 100, 110, 95, 105, 7000)});
    ASSERT_TRUE(w.Tick("20250312", "100000", 112, 50, 113, 90, 99999, 1));  // Wednesday
    ASSERT_EQ(w.Count(), 2);
    TBar b = w.Bars().last();
    EXPECT_EQ(b.D, "20250310");
    EXPECT_EQ(b.O, 100);  // open and volume stay
    EXPECT_EQ(b.V, 7000);
    EXPECT_EQ(b.H, 113);
    EXPECT_EQ(b.L, 90);
    EXPECT_EQ(b.C, 112);
    ASSERT_TRUE(w.Tick("20250316", "100000", 111, 0, 0, 0, 0, 1));  // Sunday, same week
    EXPECT_EQ(w.Count(), 2);
    ASSERT_TRUE(w.Tick("20250317", "090000", 120, 118, 121, 117, 300, 1));  // next Monday
    ASSERT_EQ(w.Count(), 3);
    EXPECT_EQ(w.Bars().last().D, "20250317");
    EXPECT_EQ(w.Bars().last().O, 118);
    EXPECT_EQ(w.Bars().last().V, 300);

    TChartModel mo;
    mo.SetDayGroup(2);
    mo.SetBars({Bar("20250303", 90, 95, 85, 92, 9000)});
    ASSERT_TRUE(mo.Tick("20250331", "100000", 80, 0, 0, 0, 5, 1));
    ASSERT_EQ(mo.Count(), 1);
    EXPECT_EQ(mo.Bars()[0].L, 80);
    ASSERT_TRUE(mo.Tick("20250401", "100000", 81, 0, 0, 0, 5, 1));
    EXPECT_EQ(mo.Count(), 2);

    // Day grouping never merges days.
    TChartModel d;
    d.SetBars({Bar("20250310", 100, 110, 95, 105, 7000)});
    ASSERT_TRUE(d.Tick("20250311", "100000", 101, 0, 0, 0, 5, 1));
    EXPECT_EQ(d.Count(), 2);
}

TEST(ChartModel, MovingAverages)
{
    TChartModel m;
    QVector<TBar> bars;
    for (int i = 1; i <= 25; ++i)
        bars.append(Bar(QString("202501%1").arg(i, 2, 10, QLatin1Char('0')), i, i, i, i, 1));
    m.SetBars(bars);
    ASSERT_EQ(m.MA(0).size(), 25);
    ASSERT_EQ(m.MA(1).size(), 25);
    ASSERT_EQ(m.MA(2).size(), 25);
    EXPECT_EQ(m.MA(0)[3], 0);
    EXPECT_DOUBLE_EQ(m.MA(0)[4], 3);    // (1..5) / 5
    EXPECT_DOUBLE_EQ(m.MA(0)[24], 23);  // (21..25) / 5
    EXPECT_EQ(m.MA(1)[18], 0);
    EXPECT_DOUBLE_EQ(m.MA(1)[19], 10.5);
    EXPECT_DOUBLE_EQ(m.MA(1)[24], 15.5);
    EXPECT_EQ(m.MA(2)[24], 0);

    // A live trade moves the last close and the averages with it.
    m.Tick("20250125", "150000", 30, 0, 0, 0, 0, 1);
    EXPECT_DOUBLE_EQ(m.MA(0)[24], 24);
    m.Clear();
    EXPECT_TRUE(m.MA(0).isEmpty());
    EXPECT_TRUE(m.MA(2).isEmpty());
}

TEST(ChartModel, VwapRestartsEachDay)
{
    TChartModel m;
    m.SetIsMinute(true);
    m.SetBars({
        Bar("202503110901", 100, 100, 100, 100, 10, 0),      // typical 100
        Bar("202503111530", 100, 130, 110, 120, 30, 3900),  // PV given: 130 a share
        Bar("202503120901", 200, 210, 180, 195, 0, 0),      // no volume yet
        Bar("202503120902", 200, 220, 190, 200, 20, 4200),  // 210 a share
    });
    ASSERT_EQ(m.Vwap().size(), 4);
    EXPECT_DOUBLE_EQ(m.Vwap()[0], 100);
    EXPECT_DOUBLE_EQ(m.Vwap()[1], (1000.0 + 3900) / 40);
    EXPECT_EQ(m.Vwap()[2], 0);
    EXPECT_DOUBLE_EQ(m.Vwap()[3], 210);
    EXPECT_DOUBLE_EQ(m.TodayVwap("20250312"), 210);
    EXPECT_EQ(m.TodayVwap("20250313"), 0);  // last bar is from an earlier day

    m.Tick("20250312", "090130", 240, 0, 0, 0, 0, 20);
    EXPECT_DOUBLE_EQ(m.TodayVwap("20250312"), (4200.0 + 240 * 20) / 40);

    TChartModel day;  // no VWAP series on a day chart
    day.SetBars({Bar("20250312", 1, 1, 1, 1, 1, 1)});
    EXPECT_TRUE(day.Vwap().isEmpty());
    EXPECT_EQ(day.TodayVwap("20250312"), 0);
}

TEST(ChartModel, BarIndexAtAndShiftKey)
{
    TChartModel m;
    EXPECT_EQ(m.BarIndexAt("20250101"), -1);
    m.SetBars({Bar("20250103", 1, 1, 1, 1, 1), Bar("20250106", 1, 1, 1, 1, 1),
               Bar("20250107", 1, 1, 1, 1, 1)});
    struct Case {
        const char* k;
        int idx;
    } cases[] = {{"20250101", 0}, {"20250103", 0}, {"20250104", 1}, {"20250107", 2}, {"20250199", 2}};
    for (const Case& c : cases)
        EXPECT_EQ(m.BarIndexAt(c.k), c.idx) << c.k;
    EXPECT_EQ(m.ShiftKey("20250104", 1), "20250107");
    EXPECT_EQ(m.ShiftKey("20250104", 5), "20250107");
    EXPECT_EQ(m.ShiftKey("20250104", -4), "20250103");
}

TEST(ChartModel, GeometryHelpers)
{
    TChartModel m;
    m.SetBars(DayBars(30));
    m.SetGeo(QRect(10, 20, 600, 200), 120, 80, 29);
    // The pane's right edge is exclusive: x 610.
    EXPECT_EQ(m.BarX(29), 610 - 0 - 3 - 1);
    EXPECT_EQ(m.BarX(27), 610 - 14 - 3 - 1);
    EXPECT_EQ(m.PriceY(120), 20);
    EXPECT_EQ(m.PriceY(80), 220);
    EXPECT_EQ(m.PriceY(100), 120);
    m.SetGeo(QRect(10, 20, 600, 200), 100, 100, 29);
    EXPECT_EQ(m.PriceY(55), 20);
}

TEST(ChartModel, ViewWindowFillAndClamp)
{
    struct Case {
        int count, width, barW, offset;
        int wantBarW, wantOffset, wantI0, wantI1;
    } cases[] = {
        {30, 600, 7, 0, 20, 0, 0, 29},       // fill the width
        {30, 2000, 7, 0, 40, 0, 0, 29},      // fill capped at 40
        {5, 600, 7, 3, 40, 0, 0, 4},         // never past count - 10, never below 0
        {200, 700, 7, 30, 7, 30, 70, 169},   // inside: untouched
        {200, 700, 7, 195, 7, 100, 0, 99},   // no empty space left of the oldest bar
        {100, 700, 7, 50, 7, 0, 0, 99},      // exactly fits
    };
    for (const Case& c : cases) {
        TChartModel m;
        m.SetBars(DayBars(c.count));
        m.SetBarW(c.barW);
        m.SetOffset(c.offset);
        TViewWindow v;
        ASSERT_TRUE(m.SettleView(QRect(0, 0, c.width, 300), &v));
        EXPECT_EQ(m.BarW(), c.wantBarW) << c.count << "/" << c.width << "/" << c.offset;
        EXPECT_EQ(m.Offset(), c.wantOffset) << c.count << "/" << c.width << "/" << c.offset;
        EXPECT_EQ(v.I0, c.wantI0) << c.count << "/" << c.width << "/" << c.offset;
        EXPECT_EQ(v.I1, c.wantI1) << c.count << "/" << c.width << "/" << c.offset;
    }

    TChartModel none;
    EXPECT_FALSE(none.SettleView(QRect(0, 0, 600, 300)));
    TChartModel small;
    small.SetBars(DayBars(30));
    EXPECT_FALSE(small.SettleView(QRect(0, 0, 600, 19)));
    EXPECT_EQ(small.BarW(), 7);

    // A day chart painted while it held only today's live bar widens to 40;
    // the history that follows is shown at the normal width again.
    TChartModel day;
    day.SetBars(DayBars(1));
    ASSERT_TRUE(day.SettleView(QRect(0, 0, 600, 300)));
    EXPECT_EQ(day.BarW(), 40);
    day.SetBars(DayBars(300));
    ASSERT_TRUE(day.SettleView(QRect(0, 0, 600, 300)));
    EXPECT_EQ(day.BarW(), 7);
}

TEST(ChartModel, ViewWindowMinuteRequests)
{
    // Automatic fit after SetBars on a minute chart without a user width.
    struct Case {
        int width, wantBarW;
    } fits[] = {{600, 10}, {200, 6}, {3000, 16}};
    for (const Case& c : fits) {
        TChartModel m;
        m.SetIsMinute(true);
        m.SetBars(MinuteBars("20250312", 400));
        EXPECT_TRUE(m.FitPending());
        m.SetOffset(20);
        ASSERT_TRUE(m.SettleView(QRect(0, 0, c.width, 300)));
        EXPECT_EQ(m.BarW(), c.wantBarW) << c.width;
        EXPECT_EQ(m.Offset(), 0);
        EXPECT_FALSE(m.FitPending());
    }

    // A user width wins and no fit is requested.
    TChartModel u;
    u.SetIsMinute(true);
    u.SetUserBarW(9);
    u.SetBars(MinuteBars("20250312", 400));
    EXPECT_FALSE(u.FitPending());
    EXPECT_EQ(u.BarW(), 9);

    // Fit from a key: every bar from it on fills the width.
    QVector<TBar> twoDays = MinuteBars("20250311", 100) + MinuteBars("20250312", 50);
    TChartModel f;
    f.SetIsMinute(true);
    f.SetBars(twoDays);
    f.SetOffset(30);
    f.FitFrom("202503110931");  // 70 bars of the 11th + 50 of the 12th
    EXPECT_FALSE(f.FitPending());
    ASSERT_TRUE(f.SettleView(QRect(0, 0, 600, 300)));
    EXPECT_EQ(f.BarW(), 5);
    EXPECT_EQ(f.Offset(), 0);
    EXPECT_TRUE(f.FitFromKey().isEmpty());
    // A key past the last bar means the same time on the latest day.
    f.FitFrom("202503130931");  // -> 202503120931: 20 bars
    ASSERT_TRUE(f.SettleView(QRect(0, 0, 600, 300)));
    EXPECT_EQ(f.BarW(), 30);

    // Show from a key: that bar becomes the leftmost one.
    TChartModel s;
    s.SetIsMinute(true);
    s.SetUserBarW(10);
    s.SetBars(MinuteBars("20250312", 300));
    s.ShowFrom("202503120951");  // index 50
    TViewWindow v;
    ASSERT_TRUE(s.SettleView(QRect(0, 0, 600, 300), &v));
    EXPECT_EQ(v.I0, 50);
    EXPECT_EQ(s.Offset(), 300 - 50 - 60);
    EXPECT_TRUE(s.ShowFromKey().isEmpty());

    // News focus: the news bar sits a fifth of the width from the left.
    TChartModel n;
    n.SetIsMinute(true);
    n.SetNewsMark("202503121101", "뉴스 11:00", false);
    n.SetBars(MinuteBars("20250312", 300));  // 09:01 .. 14:00; 11:01 is index 120
    EXPECT_TRUE(n.NewsFocus());
    ASSERT_TRUE(n.SettleView(QRect(0, 0, 600, 300), &v));
    EXPECT_EQ(n.BarW(), 10);
    EXPECT_EQ(v.I0, 108);
    EXPECT_EQ(v.I1, 167);
    EXPECT_FALSE(n.NewsFocus());
    EXPECT_FALSE(n.FitPending());

    // News of a day the chart does not hold stays pending.
    TChartModel p;
    p.SetIsMinute(true);
    p.SetNewsMark("202503131101", "뉴스", true);
    p.SetBars(MinuteBars("20250312", 300));
    ASSERT_TRUE(p.SettleView(QRect(0, 0, 600, 300)));
    EXPECT_TRUE(p.NewsFocus());
}

TEST(ChartModel, FocusDay)
{
    TChartModel m;
    TRepaintCounter rc;
    rc.Attach(m);
    m.SetBars(DayBars(300));
    m.SetClientWidth(770);  // before the first paint: 700 px -> 100 slots, margin 10
    const QString d150 = m.Bars()[150].D;

    m.FocusDay(d150);  // outside the window (200..299): re-centred
    EXPECT_EQ(m.DayMark(), d150);
    EXPECT_EQ(m.Offset(), 299 - (150 + 75));
    const int shown = m.Offset();
    m.FocusDay(m.Bars()[170].D);  // well inside: no scroll
    EXPECT_EQ(m.Offset(), shown);
    m.FocusDay(m.Bars()[216].D);  // within the margin of the right edge (224 - 10)
    EXPECT_EQ(m.Offset(), 299 - (216 + 75));
    m.FocusDay(m.Bars()[290].D);  // near the newest bar: right clamps to the last
    EXPECT_EQ(m.Offset(), 0);

    // After a paint the pane width counts.
    m.SetGeo(QRect(0, 0, 350, 200), 1, 0, 299);  // 50 slots, margin 5
    m.FocusDay(m.Bars()[250].D);                 // 250..299 shown, 250 within the margin
    EXPECT_EQ(m.Offset(), 299 - (250 + 37));
    const int n = rc.N;
    m.FocusDay("");  // only clears the mark
    EXPECT_TRUE(m.DayMark().isEmpty());
    EXPECT_EQ(m.Offset(), 299 - 287);
    EXPECT_EQ(rc.N, n + 1);
}

TEST(ChartModel, SetBarsResetsViewAndKeepsMarks)
{
    TChartModel m;
    m.SetIsMinute(true);
    m.SetBars(MinuteBars("20250312", 50));
    m.SetOffset(12);
    m.SetAvg(70000, 10);
    m.SetDraws({TDrawObj{QLatin1Char('H'), "202503120905", "", 101, 0}});
    m.SetTitle("1분봉");
    m.SetBars(MinuteBars("20250312", 60));
    EXPECT_EQ(m.Offset(), 0);
    EXPECT_EQ(m.Count(), 60);
    m.SetOffset(4);
    m.Clear();
    EXPECT_EQ(m.Count(), 0);
    EXPECT_EQ(m.Offset(), 0);
    EXPECT_TRUE(m.Vwap().isEmpty());
    EXPECT_EQ(m.Avg(), 70000);
    EXPECT_EQ(m.GetDraws().size(), 1);
    EXPECT_EQ(m.Title(), "1분봉");

    TChartModel b;
    b.SetBars({Bar("20250310", 1, 1, 1, 1, 1), Bar("20250311", 1, 1, 1, 1, 1),
               Bar("20250312", 1, 1, 1, 1, 1)});
    const QVector<TBar> after = b.BarsAfter("20250310");
    ASSERT_EQ(after.size(), 2);
    EXPECT_EQ(after[0].D, "20250311");
    EXPECT_TRUE(b.BarsAfter("20250312").isEmpty());
}

TEST(ChartModel, MarksAndProperties)
{
    TChartModel m;
    m.SetIsMinute(true);
    TRepaintCounter rc;
    rc.Attach(m);

    m.SetAvg(71000, 0);
    EXPECT_EQ(m.Avg(), 0);
    m.SetAvg(71000, -3);
    EXPECT_EQ(m.Avg(), 0);
    m.SetAvg(71000, 5);
    EXPECT_EQ(m.Avg(), 71000);
    EXPECT_EQ(m.AvgQty(), 5);

    rc.N = 0;
    m.SetExtVwap(100.00005);
    EXPECT_EQ(rc.N, 1);
    m.SetExtVwap(100.00009);
    EXPECT_EQ(rc.N, 1);
    EXPECT_DOUBLE_EQ(m.ExtVwap(), 100.00005);
    m.SetExtVwap(100.0002);
    EXPECT_EQ(rc.N, 2);

    rc.N = 0;
    m.SetDtMark("202503120931", "DT");
    m.SetDtMark("202503120931", "DT");
    EXPECT_EQ(rc.N, 1);
    m.SetDtMark("202503120931", "DT2");
    EXPECT_EQ(rc.N, 2);
    m.SetDayMark("20250312");
    m.SetDayMark("20250312");
    EXPECT_EQ(rc.N, 3);

    rc.N = 0;
    m.SetNewsMark("", "x", true);  // both empty: nothing
    EXPECT_EQ(rc.N, 0);
    EXPECT_TRUE(m.NewsLab().isEmpty());
    m.SetNewsMark("202503121001", "뉴스 10:00", true);
    EXPECT_TRUE(m.NewsFocus());
    m.SetNewsMark("202503121001", "뉴스 10:00", false);
    EXPECT_FALSE(m.NewsFocus());
    m.SetNewsMark("", "", true);  // clears the stored mark
    EXPECT_TRUE(m.NewsD().isEmpty());
    EXPECT_FALSE(m.NewsFocus());
    EXPECT_EQ(rc.N, 3);

    TChartModel day;  // no news focus on a day chart
    day.SetNewsMark("20250312", "x", true);
    EXPECT_FALSE(day.NewsFocus());

    m.SetFills({TFillMark{"202503120901", 100, true}});
    m.SetSigs({TSigMark{"202503120902", 101, false, "S"}});
    EXPECT_EQ(m.Fills().size(), 1);
    EXPECT_EQ(m.Sigs()[0].Lab, "S");
    m.SetFills({});
    EXPECT_TRUE(m.Fills().isEmpty());
}

TEST(ChartModel, Drawings)
{
    TChartModel m;
    int changed = 0;
    m.OnDrawsChange = [&] { ++changed; };
    const TDrawObj h{QLatin1Char('H'), "20250312", "", 71000, 0};
    const TDrawObj l{QLatin1Char('L'), "20250310", "20250312", 70000, 72000};

    m.UndoDraw();
    m.ClearDraws();
    m.DeleteSel();
    EXPECT_EQ(changed, 0);

    m.SetTool(QLatin1Char('L'));
    m.SetPend("20250310", 70000);
    m.SetSel(0);  // no drawing 0: stays -1
    EXPECT_EQ(m.Sel(), -1);
    m.SetDraws({h, l});
    EXPECT_EQ(changed, 0);  // SetDraws does not notify
    EXPECT_TRUE(m.Tool().isNull());
    EXPECT_FALSE(m.Pend());
    EXPECT_EQ(m.GetDraws(), (QVector<TDrawObj>{h, l}));

    m.SetTool(QLatin1Char('C'));
    m.SetPend("20250310", 1);
    m.SetTool(QLatin1Char('H'));  // drops the half-placed anchor
    EXPECT_FALSE(m.Pend());

    m.AddDraw(TDrawObj{QLatin1Char('V'), "20250311", "", 0, 0});
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(m.GetDraws().size(), 3);
    m.SetSel(2);
    m.UndoDraw();
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(m.Sel(), -1);
    EXPECT_EQ(m.GetDraws(), (QVector<TDrawObj>{h, l}));

    m.SetSel(0);
    m.DeleteSel();
    EXPECT_EQ(changed, 3);
    EXPECT_EQ(m.GetDraws(), (QVector<TDrawObj>{l}));
    EXPECT_EQ(m.Sel(), -1);

    m.SetSel(0);
    m.ClearDraws();
    EXPECT_EQ(changed, 4);
    EXPECT_TRUE(m.GetDraws().isEmpty());
    EXPECT_EQ(m.Sel(), -1);
}

TEST(ChartModel, LiveSeriesMatchAFullRecompute)
{
    // Trades update the series of the last bar only; the result must equal
    // recomputing everything, across new bars and a change of day.
    TChartModel m;
    m.SetIsMinute(true);
    QVector<TBar> hist = MinuteBars("20250311", 70);
    hist[10].PV = 1234.5;
    m.SetBars(hist);
    const QStringList times[2] = {{"100959", "101000", "101030", "101100"},
                                  {"091000", "091000", "091130", "091131", "091200", "093000"}};
    for (int day = 0; day < 2; ++day) {
        const QString today = day == 0 ? "20250311" : "20250312";
        for (int i = 0; i < times[day].size(); ++i) {
            ASSERT_TRUE(m.Tick(today, times[day][i], 100.1 + i * 0.37, 0, 0, 0, 0, 3 + i)) << i;
            QVector<double> ma[3] = {m.MA(0), m.MA(1), m.MA(2)};
            const QVector<double> vwap = m.Vwap();
            m.RecalcSeries();
            for (int k = 0; k < 3; ++k)
                ASSERT_EQ(ma[k], m.MA(k)) << day << " " << i << " " << k;
            ASSERT_EQ(vwap, m.Vwap()) << day << " " << i;
        }
    }
    EXPECT_EQ(m.Count(), 70 + 2 + 4);

    TChartModel d;
    d.SetDayGroup(1);
    d.SetBars(DayBars(70));  // 2025-01-01 .. 2025-03-11
    const char* days[] = {"20250311", "20250312", "20250316", "20250317", "20250318", "20250401"};
    for (const char* day : days) {
        ASSERT_TRUE(d.Tick(day, "100000", 10.3, 0, 12.7, 8.1, 500, 1));
        QVector<double> ma[3] = {d.MA(0), d.MA(1), d.MA(2)};
        d.RecalcSeries();
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(ma[k], d.MA(k)) << day << " " << k;
    }
    EXPECT_EQ(d.Count(), 70 + 2);
}
