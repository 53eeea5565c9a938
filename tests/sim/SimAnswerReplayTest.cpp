// The history answers (t1637, t1301, t8412, t8410) read what the market
// recorded as it traded; they must be exactly the answers of playing the
// session again from its start (ReplayReference.h) - same rows, same
// values, same continuation keys - for any stock, hour and trade rate, on a
// market followed since the open or started in the middle of the day, and
// page after page.
#include "ReplayReference.h"
#include "core/Clock.h"
#include "sim/SimBackend.h"
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString Res(const QString& tr) { return QStringLiteral(KESTREL_RES_DIR) + tr + QStringLiteral(".res"); }

using TIn = QList<QPair<QString, QString>>;

// The first difference between two answers; empty when they are the same.
QString Difference(const TSimReply& a, const TSimReply& b)
{
    auto messages = [](const QVector<TSimMessage>& m) {
        QStringList out;
        for (const TSimMessage& x : m)
            out << x.Code + ':' + x.Text;
        return out.join('|');
    };
    if (a.HasData != b.HasData)
        return QStringLiteral("HasData %1 / %2").arg(a.HasData).arg(b.HasData);
    if (messages(a.Before) != messages(b.Before) || messages(a.After) != messages(b.After))
        return QStringLiteral("messages %1 %2 / %3 %4")
            .arg(messages(a.Before), messages(a.After), messages(b.Before), messages(b.After));
    if (a.Compressed != b.Compressed)
        return QStringLiteral("compressed blocks differ");
    if (a.Blocks.size() != b.Blocks.size())
        return QStringLiteral("%1 / %2 blocks").arg(a.Blocks.size()).arg(b.Blocks.size());
    for (int i = 0; i < a.Blocks.size(); ++i) {
        const TSimBlockData& x = a.Blocks[i];
        const TSimBlockData& y = b.Blocks[i];
        if (x.Name != y.Name || x.Fields != y.Fields)
            return QStringLiteral("block %1 / %2").arg(x.Name, y.Name);
        if (x.Rows.size() != y.Rows.size())
            return QStringLiteral("%1: %2 / %3 rows").arg(x.Name).arg(x.Rows.size()).arg(y.Rows.size());
        for (int r = 0; r < x.Rows.size(); ++r)
            for (int f = 0; f < x.Fields.size(); ++f)
                if (x.Rows[r][f] != y.Rows[r][f])
                    return QStringLiteral("%1 row %2 %3: %4 / %5").arg(x.Name).arg(r).arg(x.Fields[f], x.Rows[r][f], y.Rows[r][f]);
    }
    return {};
}

QString Field(const TSimReply& r, const QString& block, const QString& field, int row = 0)
{
    const TSimBlockData* b = r.Block(block);
    const int f = b ? b->IndexOf(field) : -1;
    return b && f >= 0 && row < b->Rows.size() ? b->Rows[row][f] : QString();
}

int RowCount(const TSimReply& r, const QString& block)
{
    const TSimBlockData* b = r.Block(block);
    return b ? int(b->Rows.size()) : 0;
}

// An exchange and the plain replay over the same market.
struct TRig {
    TTestClock Clock;
    std::unique_ptr<TSimBackend> Backend;
    std::unique_ptr<SimReplay::TAnswers> Replay;
    QHash<QString, TResLayout> Layouts;

    TRig(const QDateTime& at, double rate, bool alwaysOpen) : Clock(at)
    {
        TSimConfig cfg;
        cfg.PumpMs = 0;
        cfg.AnswerDelayMs = 0;
        cfg.TradesPerSec = rate;
        cfg.AlwaysOpen = alwaysOpen;
        Backend = CreateSimBackend(cfg, Clock);
        Replay = std::make_unique<SimReplay::TAnswers>(Backend->Exchange().Engine());
        for (const char* tr : {"t1637", "t1301", "t8412", "t8410"})
            EXPECT_TRUE(LoadResLayout(Res(QString::fromLatin1(tr)), Layouts[QString::fromLatin1(tr)]));
    }

    TSimExchange& Ex() { return Backend->Exchange(); }

    static TSimInputs Inputs(const QString& tr, const TIn& in)
    {
        TSimInputs out;
        for (const auto& [field, value] : in)
            out.insert(TSimExchange::InputKey(tr + QStringLiteral("InBlock"), field, 0), value);
        return out;
    }

    // Asks both; the exchange's answer, after checking it equals the replay's.
    TSimReply Same(const QString& tr, const TIn& in, const std::string& what)
    {
        const TSimReply got = Ex().Answer(tr, Layouts[tr], Inputs(tr, in));
        const TSimReply want = Replay->Answer(tr, Layouts[tr], Inputs(tr, in));
        EXPECT_TRUE(got.HasData) << what << " " << tr.toStdString();
        EXPECT_EQ(Difference(got, want), QString()) << what << " " << tr.toStdString();
        return got;
    }

    // Follows the continuation keys of a first page for up to `pages` pages.
    template <typename TNext>
    void Pages(const QString& tr, TIn in, int pages, const std::string& what, TNext next)
    {
        for (int p = 0; p < pages; ++p) {
            const TSimReply r = Same(tr, in, what + " page " + std::to_string(p));
            if (!next(r, in))
                return;
        }
    }

    // Every kind of history answer about today, and their next pages.
    void CompareAll(const QString& code, int pages, bool pastDays, const std::string& what)
    {
        const QString day = Ex().Engine().MarketDate().toString(QStringLiteral("yyyyMMdd"));

        // Program trading: page after page by the last row's time.
        const TIn prog{{"gubun1", "0"}, {"gubun2", "0"}, {"shcode", code}, {"date", day}, {"time", ""},
                       {"cts_idx", ""}, {"exchgubun", "U"}};
        Pages("t1637", prog, pages, what + " program", [](const TSimReply& r, TIn& in) {
            const int n = RowCount(r, "t1637OutBlock1");
            in[4].second = n > 0 ? Field(r, "t1637OutBlock1", "time", n - 1) : QString();
            return n > 0;
        });
        const TSimReply first = Ex().Answer("t1637", Layouts["t1637"], Inputs("t1637", prog));
        if (RowCount(first, "t1637OutBlock1") > 2) {
            TIn byTime = prog;
            byTime[4].second = Field(first, "t1637OutBlock1", "time", 2);
            Same("t1637", byTime, what + " program by time");
        }

        // Ticks: all of them, the big ones only, and those of one earlier stretch.
        const TIn ticks{{"shcode", code}, {"cvolume", ""}, {"starttime", ""}, {"endtime", ""}, {"cts_time", ""}};
        auto tickNext = [](const TSimReply& r, TIn& in) {
            in[4].second = Field(r, "t1301OutBlock", "cts_time");
            return !in[4].second.isEmpty();
        };
        Pages("t1301", ticks, pages, what + " ticks", tickNext);
        const TSimReply top = Ex().Answer("t1301", Layouts["t1301"], Inputs("t1301", ticks));
        if (RowCount(top, "t1301OutBlock1") > 0) {
            qint64 big = 0;
            for (int i = 0; i < RowCount(top, "t1301OutBlock1"); ++i)
                big = std::max(big, Field(top, "t1301OutBlock1", "cvolume", i).toLongLong());
            TIn large = ticks;
            large[1].second = QString::number(big / 2);
            Pages("t1301", large, pages, what + " large ticks", tickNext);
            const int last = Field(top, "t1301OutBlock1", "chetime").left(4).toInt();
            const int lastMin = last / 100 * 60 + last % 100;
            const int from = std::max(0, lastMin - 40), to = std::max(0, lastMin - 25);
            // Keys on a minute's first trade and just around it.
            const int earlier = std::max(0, lastMin - 3);
            const QString minute = QString::asprintf("%02d%02d", earlier / 60, earlier % 60);
            for (const QString& key : {minute + "000000", minute + "000001", minute + "005999", minute + "595999"}) {
                TIn at = ticks;
                at[4].second = key;
                Same("t1301", at, what + " ticks from " + key.toStdString());
            }
            TIn stretch = ticks;
            stretch[2].second = QString::asprintf("%02d%02d", from / 60, from % 60);
            stretch[3].second = QString::asprintf("%02d%02d", to / 60, to % 60);
            Pages("t1301", stretch, pages, what + " ticks of a stretch", tickNext);
        }

        // Minute bars of today whole, and page by page in 3-minute bars.
        const TIn minutes{{"shcode", code}, {"ncnt", "1"}, {"qrycnt", "2000"}, {"nday", "1"}, {"edate", day},
                          {"cts_date", ""}, {"cts_time", ""}, {"comp_yn", "Y"}};
        Same("t8412", minutes, what + " minutes");
        TIn small = minutes;
        small[1].second = "3";
        small[2].second = "40";
        if (pastDays)
            small[3].second = "2";
        Pages("t8412", small, pages, what + " 3-minute bars", [](const TSimReply& r, TIn& in) {
            in[5].second = Field(r, "t8412OutBlock", "cts_date");
            in[6].second = Field(r, "t8412OutBlock", "cts_time");
            return !in[5].second.isEmpty();
        });

        if (pastDays) {
            // Day bars up to today, the replayed past days among them.
            Same("t8410", {{"shcode", code}, {"gubun", "2"}, {"qrycnt", "500"}, {"edate", day}, {"comp_yn", "N"}},
                 what + " days");
            // Program trading of a past day, and of days beyond the minute history.
            const QDate market = Ex().Engine().MarketDate();
            for (const int back : {1, 22, 23}) {
                QDate d = market;
                for (int i = 0; i < back; ++i)
                    d = PrevTradingDay(d);
                TIn past = prog;
                past[3].second = d.toString(QStringLiteral("yyyyMMdd"));
                Same("t1637", past, what + " program " + std::to_string(back) + " days back");
            }
        }
    }
};

TEST(SimAnswerReplay, AnswersEqualTheReplayOverStocksHoursAndRates)
{
    const QDate thu(2026, 12, 10), sat(2026, 12, 12);
    struct Case {
        const char* code;
        QDateTime at;
        double rate;
        bool alwaysOpen;
        int pages;
        bool pastDays;   // also day bars and past days (replayed whole: slow at high rates)
    } cases[] = {
        {"005930", {thu, QTime(8, 30)}, 2, false, 2, true},            // before the open: nothing traded
        {"005930", {thu, QTime(9, 0)}, 50, false, 3, false},           // the opening print's moment
        {"005930", {thu, QTime(9, 0, 0, 400)}, 50, false, 3, false},
        {"005930", {thu, QTime(9, 2)}, 5, false, 40, false},           // ticks paged back to the opening print
        {"005930", {thu, QTime(12, 0)}, 50, false, 2, false},
        {"069500", {thu, QTime(15, 20)}, 30, false, 2, false},         // an ETF
        {"247540", {thu, QTime(11, 7, 31)}, 20, false, 3, false},      // KOSDAQ
        {"207940", {thu, QTime(14, 0)}, 50, false, 3, false},          // a thin stock
        {"000660", {thu, QTime(15, 30)}, 2, false, 25, true},          // the closing print; program paged to the open
        {"005930", {thu, QTime(16, 10)}, 3, false, 3, true},           // after the close
        {"005930", {sat, QTime(11, 0)}, 2, false, 3, false},           // a day off: Friday's session
        {"005930", {thu, QTime(0, 0, 30)}, 50, true, 3, false},        // always open, just begun
        {"035720", {thu, QTime(23, 59, 30)}, 3, true, 3, false},       // always open, at the end
        {"005930", {thu, QTime(23, 59, 59, 500)}, 1, true, 3, false},  // always open, closed
    };
    for (const Case& c : cases) {
        TRig rig(c.at, c.rate, c.alwaysOpen);
        const std::string what = std::string(c.code) + " " + c.at.toString("ddd hh:mm:ss.zzz").toStdString() + " rate "
            + std::to_string(int(c.rate)) + (c.alwaysOpen ? " always open" : "");
        rig.CompareAll(QString::fromLatin1(c.code), c.pages, c.pastDays, what);
    }
}

TEST(SimAnswerReplay, AnswersEqualTheReplayAsTheMarketMovesAndAfterARestart)
{
    // A subscribed stock followed by the pump from before the open, answered
    // between uneven steps; then an exchange started afresh at the same
    // moment answers the same.
    const QDate thu(2026, 12, 10);
    const QString code = QStringLiteral("005930");
    TRig rig({thu, QTime(8, 59, 58)}, 20, false);
    rig.Ex().Engine().Subscribe(code);
    rig.Ex().Pump();
    int step = 0;
    for (const qint64 ms : {1000, 1000, 1, 599, 7000, 52400, 60000, 61000, 180000, 1000, 1020000, 6000, 6000}) {
        rig.Clock.Advance(ms);
        rig.Ex().Pump();
        const std::string what = "step " + std::to_string(step++) + " "
            + rig.Clock.Now().time().toString("hh:mm:ss.zzz").toStdString();
        const QString day = thu.toString(QStringLiteral("yyyyMMdd"));
        rig.Same("t1637", {{"gubun1", "0"}, {"gubun2", "0"}, {"shcode", code}, {"date", day}, {"exchgubun", "U"}}, what);
        rig.Pages("t1301", {{"shcode", code}, {"cts_time", ""}}, 2, what, [](const TSimReply& r, TIn& in) {
            in[1].second = Field(r, "t1301OutBlock", "cts_time");
            return !in[1].second.isEmpty();
        });
        rig.Same("t8412", {{"shcode", code}, {"ncnt", "1"}, {"qrycnt", "2000"}, {"nday", "1"}, {"edate", day}, {"comp_yn", "Y"}},
                 what);
    }
    TRig restarted(rig.Clock.Now(), 20, false);
    for (const QString tr : {"t1637", "t1301", "t8412"}) {
        const TIn in{{"shcode", code}, {"gubun2", "0"}, {"ncnt", "1"}, {"qrycnt", "2000"}, {"nday", "1"}, {"comp_yn", "Y"}};
        const TSimReply a = rig.Ex().Answer(tr, rig.Layouts[tr], TRig::Inputs(tr, in));
        const TSimReply b = restarted.Ex().Answer(tr, restarted.Layouts[tr], TRig::Inputs(tr, in));
        EXPECT_GT(a.Blocks.size() > 1 ? a.Blocks[1].Rows.size() : 0, 0) << tr.toStdString();
        EXPECT_EQ(Difference(a, b), QString()) << tr.toStdString();
    }
    restarted.CompareAll(code, 3, false, "restarted");
}

} // namespace
