#include "signals/MinVol.h"

#include <gtest/gtest.h>

namespace {

const QString KPrev = QStringLiteral("20261209");
const QString KToday = QStringLiteral("20261210");

// Bars of one day from..to (end-stamped hhmm), each of `vol` shares traded at
// `price`; the open of each bar is its own hhmm, so a test can tell which bar
// an entry price came from.
QVector<TVolRow> Bars(const QString& day, int from, int to, qint64 vol, double price)
{
    QVector<TVolRow> rows;
    for (int hm = from; hm >= 0 && hm <= to; hm = AddMinutes(hm, 1)) {
        const auto r = VolRowOf(day, QStringLiteral("%1").arg(hm, 4, 10, QLatin1Char('0')), hm, price, price,
                                price, vol, price * double(vol));
        rows.append(*r);
    }
    return rows;
}

TMinVol Day(const QString& day, int from, int to, qint64 vol, double price)
{
    return BuildMinVol(Bars(day, from, to, vol, price), day);
}

TSigRow Sig(const char* t, int kind, const char* code = "005930")
{
    TSigRow r;
    r.T = QString::fromUtf8(t);
    r.Kind = quint8(kind);
    r.Code = QString::fromUtf8(code);
    r.Key = QStringLiteral("%1:%2:%3").arg(kind).arg(r.Code, r.T);
    return r;
}

// The usual pair: 100 shares a minute the day before, 300 today at the same
// price, so the multiple is exactly 3.00 and the price equals the average.
struct Pair {
    TMinVol prev = Day(KPrev, 901, 1530, 100, 10000);
    TMinVol today = Day(KToday, 901, 1400, 300, 10000);
};

} // namespace

TEST(MinVol, MinuteArithmetic)
{
    struct Case { int hhmm; int min; };
    for (const Case c : {Case{0, 0}, {931, 571}, {959, 599}, {1000, 600}, {2359, 1439}, {2400, 1440}, {960, -1},
                         {2401, -1}, {2500, -1}, {-1, -1}, {99, -1}}) {
        EXPECT_EQ(HhmmToMin(c.hhmm), c.min) << c.hhmm;
        if (c.min >= 0) {
            EXPECT_EQ(MinToHhmm(c.min), c.hhmm);
        }
    }
    EXPECT_EQ(MinToHhmm(-1), -1);
    EXPECT_EQ(MinToHhmm(1441), -1);

    struct Add { int hhmm, n, want; };
    for (const Add a : {Add{959, 2, 1001}, {959, 1, 1000}, {1001, -2, 959}, {905, 0, 905}, {2359, 1, 2400},
                        {2359, 2, -1}, {0, -1, -1}, {961, 1, -1}})
        EXPECT_EQ(AddMinutes(a.hhmm, a.n), a.want) << a.hhmm << "+" << a.n;
}

TEST(MinVol, BarRows)
{
    // The average from the amount lies inside the bar: it is the bar's price.
    auto r = VolRowOf(QStringLiteral(" 20261210 "), QStringLiteral("093100"), 100, 110, 90, 100, 10, 1050);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Key, QStringLiteral("202612100931"));
    EXPECT_DOUBLE_EQ(r->PV, 1050);
    // Amount in thousands: same average.
    r = VolRowOf(KToday, QStringLiteral("0931"), 50000, 50500, 49500, 50000, 100, 5010);
    EXPECT_DOUBLE_EQ(r->PV, 5010000);
    // The average lies outside the bar: the typical price counts.
    r = VolRowOf(KToday, QStringLiteral("0931"), 100, 110, 90, 100, 10, 1250);
    EXPECT_DOUBLE_EQ(r->PV, 1000);
    r = VolRowOf(KToday, QStringLiteral("0931"), 100, 110, 95, 105, 10, 0);
    EXPECT_DOUBLE_EQ(r->PV, (110 + 95 + 105) / 3.0 * 10);
    // No high and low: close times volume.
    r = VolRowOf(KToday, QStringLiteral("0931"), 100, 0, 0, 105, 10, 1050);
    EXPECT_DOUBLE_EQ(r->PV, 1050);
    // Garbage numbers read as nothing traded rather than as negative value.
    r = VolRowOf(KToday, QStringLiteral("0931"), -1, qQNaN(), 90, 100, -10, 1000);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Vol, 0);
    EXPECT_EQ(r->PV, 0);
    EXPECT_EQ(r->Open, 0);

    for (const char* bad : {"", "093", "0960", "2400", "ab31", "9:31"})
        EXPECT_FALSE(VolRowOf(KToday, QString::fromUtf8(bad), 1, 1, 1, 1, 1, 1)) << bad;
    for (const char* bad : {"", "2026121", "2026121x", "202612100"})
        EXPECT_FALSE(VolRowOf(QString::fromUtf8(bad), QStringLiteral("0931"), 1, 1, 1, 1, 1, 1)) << bad;
}

TEST(MinVol, SeriesOfADay)
{
    QVector<TVolRow> rows;
    auto add = [&rows](const char* d, const char* t, qint64 v, double c) {
        rows.append(*VolRowOf(QString::fromUtf8(d), QString::fromUtf8(t), c, c, c, c, v, c * v));
    };
    add("20261210", "0902", 20, 110);
    add("20261209", "1530", 999, 90);  // the day before
    add("20261210", "0859", 500, 100); // pre-market: not kept
    add("20261210", "0901", 10, 100);
    add("20261210", "0905", 7, 120);
    add("20261210", "0902", 30, 115);  // same bar again: the later row counts
    add("20261208", "1000", 1, 80);

    const TMinVol v = BuildMinVol(rows, KToday);
    EXPECT_TRUE(v.Loaded);
    EXPECT_EQ(v.Hm, (QVector<int>{901, 902, 905}));
    EXPECT_EQ(v.Cum, (QVector<qint64>{10, 40, 47}));
    EXPECT_DOUBLE_EQ(v.CumPV.last(), 1000 + 30 * 115 + 7 * 120);
    EXPECT_EQ(v.Cl, (QVector<double>{100, 115, 120}));
    EXPECT_EQ(v.PClose, 120);

    struct At { int hhmm; qint64 cum; };
    for (const At a : {At{900, 0}, {901, 10}, {904, 40}, {905, 47}, {1530, 47}})
        EXPECT_EQ(CumAt(v, a.hhmm), a.cum) << a.hhmm;

    EXPECT_EQ(PrevDayOf(rows, KToday), KPrev);
    EXPECT_EQ(PrevDayOf(rows, KPrev), QStringLiteral("20261208"));
    EXPECT_TRUE(PrevDayOf(rows, QStringLiteral("20261208")).isEmpty());

    const TMinVol none = BuildMinVol(rows, QStringLiteral("20261211"));
    EXPECT_TRUE(none.Loaded);
    EXPECT_TRUE(none.Hm.isEmpty());
    EXPECT_EQ(CumAt(none, 1000), 0);
}

TEST(MinVol, SameTimeRatio)
{
    const Pair p;
    TMinVol empty;
    const TMinVol latePrev = Day(KPrev, 1001, 1630, 100, 10000);
    struct Case { const TMinVol* prev; const TMinVol* today; int asOf; const char* t; double want; };
    const Case cases[] = {
        {&p.prev, &p.today, 1400, "0931", 300},   // minute 09:32 on both days
        {&p.prev, &p.today, 1000, "0959", 300},   // 09:59 is read at 10:00, not at "0960"
        {&p.prev, &p.today, 959, "0959", -1},     // today's bars were asked before that minute
        {&p.prev, &p.today, 932, "0931", 300},
        {&p.prev, &p.today, 1400, "0859", -1},    // no volume the day before by 09:00
        {&p.prev, &p.today, 1400, "", -1},
        {&p.prev, &p.today, 1400, "0960", -1},
        {&p.prev, nullptr, 1400, "0931", -1},
        {&empty, &p.today, 1400, "0931", -1},     // never loaded
        {&latePrev, &p.today, 1400, "1031", -1},  // the day before opened at 10:00
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(SameTimeRatio(c.prev, c.today, c.asOf, QString::fromUtf8(c.t)), c.want) << c.t << " " << c.asOf;
}

// The DT rule at its edges; the pair gives exactly 3.00 times at the average.
TEST(MinVol, DtRule)
{
    const Pair p;
    const TSigQuoteLite noQuote;
    struct Case {
        const char* t; int kind; int now; TSigQuoteLite q; bool dt; const char* outcome;
    };
    const Case cases[] = {
        {"0904", 1, 1400, noQuote, false, ""},               // before the window: no verdict
        {"0905", 1, 1400, noQuote, true, "→ 데트"},
        {"1000", 1, 1400, noQuote, true, "→ 데트"},
        {"1000", 3, 1400, noQuote, true, "→ 데트"},           // buy streak
        {"1001", 1, 1400, noQuote, false, ""},               // after it
        {"0931", 2, 1400, noQuote, false, ""},               // sell capture never
        // Before 10:07 the quote decides: 3 x 6,600 shares by 10:06 at the average.
        {"0931", 1, 1006, {10000, 19800, 198000000, true}, true, "→ 데트"},
        {"0931", 1, 1006, {10000, 19799, 197990000, true}, false, "→ 제외(배수<3)"},
        {"0931", 1, 1006, {9990, 19800, 198000000, true}, false, "→ 제외(평균가 밑)"},
        // From 10:07 on the quote is passed over for the bars up to 10:06.
        {"0931", 1, 1007, {10000, 100, 1000000, true}, true, "→ 데트"},
    };
    for (const Case& c : cases) {
        const QVector<TSigRow> rows{Sig(c.t, c.kind)};
        const TDtEval ev = EvalDt(QStringLiteral("005930"), rows, &p.prev, &p.today, c.q, c.now);
        EXPECT_EQ(ev.Dt, c.dt) << c.t << " now " << c.now << " " << ev.Verdict.toStdString();
        if (*c.outcome)
            EXPECT_TRUE(ev.Verdict.endsWith(QString::fromUtf8(c.outcome)))
                << c.t << " now " << c.now << ": " << ev.Verdict.toStdString();
        else
            EXPECT_TRUE(ev.Verdict.isEmpty()) << c.t << ": " << ev.Verdict.toStdString();
        EXPECT_FALSE(ev.Final);
    }

    const TDtEval bars = EvalDt(QStringLiteral("005930"), {Sig("0905", 1), Sig("0931", 3)}, &p.prev, &p.today,
                                noQuote, 1400);
    EXPECT_EQ(bars.Verdict, QStringLiteral("분봉(마지막 1400) 0905 · lastm 1006 · 오늘누적 19,800 / 전일같은시각 "
                                           "6,600 = 3.00배 · 현재가 10,000 vs 평균가 10,000 → 데트"));
    EXPECT_EQ(bars.First, QStringLiteral("0905"));
    EXPECT_EQ(bars.Last, QStringLiteral("0931"));
    EXPECT_EQ(bars.Entry, 907);  // open of the 09:07 bar
    EXPECT_EQ(bars.Info, QStringLiteral("3.0|0.00|0.00|10000|09:05 포착 · 09:31 스트릭"));
    EXPECT_EQ(bars.Mark, QStringLiteral("0907|데트 09:05 3.0배"));

    const TDtEval live = EvalDt(QStringLiteral("005930"), {Sig("0931", 1)}, &p.prev, &p.today,
                                {10000, 19800, 198000, true}, 1006);  // amount in thousands
    EXPECT_TRUE(live.Verdict.startsWith(QStringLiteral("실시간 0931 · lastm 1006 ·"))) << live.Verdict.toStdString();
    EXPECT_TRUE(live.Dt);

    // A signal at 09:59 enters two minutes later, at 10:01 (not at "0961").
    const TDtEval late = EvalDt(QStringLiteral("005930"), {Sig("0959", 1)}, &p.prev, &p.today, noQuote, 1400);
    EXPECT_EQ(late.Entry, 1001);
    EXPECT_TRUE(late.Mark.startsWith(QStringLiteral("1001|")));
}

TEST(MinVol, DtWaitsAndExclusions)
{
    const Pair p;
    const TMinVol none;
    const QVector<TSigRow> rows{Sig("0931", 1)};
    const QString code = QStringLiteral("005930");

    TDtEval ev = EvalDt(code, rows, &none, &p.today, {}, 1400);
    EXPECT_EQ(ev.Verdict, QStringLiteral("대기: 전일 1분봉 아직 못 받음"));
    ev = EvalDt(code, rows, nullptr, &p.today, {}, 1400);
    EXPECT_EQ(ev.Verdict, QStringLiteral("대기: 전일 1분봉 아직 못 받음"));
    ev = EvalDt(code, rows, &p.prev, &none, {}, 1400);
    EXPECT_EQ(ev.Verdict, QStringLiteral("대기: 오늘 1분봉 아직 못 받음"));
    // A quote without a usable amount needs the bars as well.
    ev = EvalDt(code, rows, &p.prev, nullptr, {10000, 19800, 0, true}, 1000);
    EXPECT_EQ(ev.Verdict, QStringLiteral("대기: 오늘 1분봉 아직 못 받음"));
    EXPECT_FALSE(ev.Dt);

    // Either day opening at 10:00 ends the question for the day.
    const TMinVol latePrev = Day(KPrev, 1001, 1630, 100, 10000);
    const TMinVol lateToday = Day(KToday, 1001, 1010, 3000, 10000);
    for (const auto& [prev, today] : {std::pair{&latePrev, &p.today}, std::pair{&p.prev, &lateToday}}) {
        ev = EvalDt(code, {Sig("1000", 1)}, prev, today, {10000, 30000, 300000000, true}, 1005);
        EXPECT_FALSE(ev.Dt);
        EXPECT_TRUE(ev.Final);
        EXPECT_TRUE(ev.Verdict.endsWith(QStringLiteral("→ 제외(개장 시각 다름)"))) << ev.Verdict.toStdString();
        EXPECT_EQ(DtVerdictShort(ev.Verdict), QStringLiteral("→ 제외(개장 시각 다름)"));
    }
    // A stock that did not trade in the first hour the day before, on a day
    // that closed at the usual time, is no late opening.
    const TMinVol quietPrev = Day(KPrev, 1001, 1530, 100, 10000);
    ev = EvalDt(code, {Sig("1000", 1)}, &quietPrev, &p.today, {}, 1400);
    EXPECT_FALSE(ev.Final);
    EXPECT_TRUE(ev.Dt);

    // Nothing traded the day before by then: no verdict at all.
    ev = EvalDt(code, rows, &quietPrev, &p.today, {10000, 300, 3000000, true}, 935);
    EXPECT_FALSE(ev.Dt);
    EXPECT_TRUE(ev.Verdict.isEmpty());
}

TEST(MinVol, VerdictShortForm)
{
    EXPECT_EQ(DtVerdictShort(QStringLiteral("대기: 오늘 1분봉 아직 못 받음")), QStringLiteral("대기: 오늘 1분봉 아직 못 받음"));
    EXPECT_EQ(DtVerdictShort(QStringLiteral("분봉 0931 · 2.00배 → x → 제외(배수<3)")), QStringLiteral("→ 제외(배수<3)"));
    EXPECT_EQ(DtVerdictShort(QStringLiteral("실시간 … → 데트")), QStringLiteral("→ 데트"));
}

// Several stocks at once: DT rows listed by minute, the larger multiple first,
// and placed ahead of the signals of their minute.
TEST(MinVol, DtRowsInTheList)
{
    const Pair p;
    const TMinVol fourTimes = Day(KToday, 901, 1400, 400, 10000);
    const TMinVol below = BuildMinVol(Bars(KToday, 901, 1400, 500, 9000) + Bars(KToday, 901, 902, 500, 20000), KToday);
    QHash<QString, const TMinVol*> today{{QStringLiteral("000001"), &p.today},
                                         {QStringLiteral("000002"), &fourTimes},
                                         {QStringLiteral("000003"), &fourTimes},
                                         {QStringLiteral("000004"), &p.today}};

    QVector<TSigRow> sigs{Sig("1002", 1, "000009"), Sig("0931", 1, "000001"), Sig("0931", 1, "000002"),
                          Sig("0931", 2, "000005"), Sig("0920", 3, "000003"), Sig("0910", 1, "000003"),
                          Sig("0904", 1, "000004"), Sig("0931", 2, "000004")};
    TSigRow stale = Sig("0931", 5, "000007");
    stale.Key = QStringLiteral("DT|000007");
    sigs.insert(1, stale);

    QVector<TSigRow> dt;
    const QVector<TDtEval> evs = EvalDtAll(
        sigs, [&p](const QString&) { return &p.prev; },
        [&today](const QString& c) { return today.value(c, nullptr); },
        [](const QString&) { return TSigQuoteLite{}; }, 1400, &dt);
    QStringList codes;
    for (const TDtEval& e : evs)
        codes << e.Code;
    EXPECT_EQ(codes, (QStringList{"000001", "000002", "000003"}));  // 0904 and sell rows are no candidates
    ASSERT_EQ(dt.size(), 3);
    EXPECT_EQ(dt.at(0).Key, QStringLiteral("DT|000002"));  // 09:31, 4.0 before 3.0
    EXPECT_EQ(dt.at(0).Val, QStringLiteral("4.0"));
    EXPECT_EQ(dt.at(1).Key, QStringLiteral("DT|000001"));
    EXPECT_EQ(dt.at(2).Key, QStringLiteral("DT|000003"));  // T = earliest qualifying signal
    EXPECT_EQ(dt.at(2).T, QStringLiteral("0910"));
    EXPECT_EQ(dt.at(2).Ep, 912);
    for (const TSigRow& r : dt)
        EXPECT_EQ(r.Kind, 5);

    InsertDtRows(sigs, dt);
    QStringList keys;
    for (const TSigRow& r : sigs)
        keys << r.Key;
    EXPECT_EQ(keys, (QStringList{"1:000009:1002", "DT|000002", "DT|000001", "1:000001:0931", "1:000002:0931",
                                 "2:000005:0931", "3:000003:0920", "DT|000003", "1:000003:0910", "1:000004:0904",
                                 "2:000004:0931"}));
    // Again with no DT: the kind-5 rows go, the rest stays.
    InsertDtRows(sigs, {});
    EXPECT_EQ(sigs.size(), 8);

    // A stock below its average is listed as excluded, with no row.
    today.insert(QStringLiteral("000001"), &below);
    EvalDtAll(sigs, [&p](const QString&) { return &p.prev; },
              [&today](const QString& c) { return today.value(c, nullptr); }, nullptr, 1400, &dt);
    for (const TSigRow& r : dt)
        EXPECT_NE(r.Code, QStringLiteral("000001"));
}

TEST(MinVol, DtAlerts)
{
    TDtAlerts al;
    TSigRow r = Sig("0931", 5);
    r.Val = QStringLiteral("3.2");
    const QVector<TSigRow> dt{r};
    const QHash<QString, QString> last{{QStringLiteral("005930"), QStringLiteral("0940")}};
    const auto name = [](const QString&) { return QStringLiteral("삼성전자"); };

    EXPECT_EQ(al.Alerts(dt, last, 950, 0, name), QStringList{QStringLiteral("★ 데트집중: 삼성전자  09:31  거래량 3.2배")});
    EXPECT_TRUE(al.Alerts(dt, last, 951, 60000, name).isEmpty());   // still DT: once per becoming DT
    EXPECT_TRUE(al.Alerts({}, last, 951, 61000, name).isEmpty());   // dropped out
    EXPECT_TRUE(al.Alerts(dt, last, 952, 120000, name).isEmpty());  // back within 3 minutes of the alert
    EXPECT_TRUE(al.Alerts(dt, last, 955, 400000, name).isEmpty());  // still the same becoming
    al.Alerts({}, last, 955, 401000, name);
    EXPECT_EQ(al.Alerts(dt, last, 955, 402000, name).size(), 1);     // back after 3 minutes

    // Freshness: at most 15 minutes after the latest qualifying signal (the
    // row's own minute when none is given), counted across the hour.
    struct Case { int now; const char* lastT; bool rings; };
    for (const Case c : {Case{955, "0940", true}, {956, "0940", false}, {1001, "0946", true}, {1002, "0946", false},
                         {946, "", true}, {947, "", false}}) {
        TDtAlerts fresh;
        QHash<QString, QString> lt;
        if (*c.lastT)
            lt.insert(QStringLiteral("005930"), QString::fromUtf8(c.lastT));
        EXPECT_EQ(fresh.Alerts(dt, lt, c.now, 0, nullptr).size(), c.rings ? 1 : 0) << c.now << " " << c.lastT;
    }

    al.Reset();
    EXPECT_EQ(al.Alerts(dt, last, 950, 402500, name).size(), 1);  // a new day forgets the last alert
}
