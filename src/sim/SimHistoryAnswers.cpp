#include "sim/SimHistoryAnswers.h"
#include "sim/PriceGrid.h"
#include "sim/SimAnswers.h"
#include "sim/SimExchange.h"
#include "sim/SimRealRecord.h"
#include "sim/StockDay.h"
#include <algorithm>
#include <cmath>

namespace {

TSimMessage Msg(const QString& code, const QString& text) { return SimMsgOf(code, text); }


TSimReply Done(QVector<TSimBlockData> blocks, QStringList compressed = {})
{
    TSimReply r;
    r.HasData = true;
    r.Blocks = std::move(blocks);
    r.Compressed = std::move(compressed);
    r.After.append(Msg(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
    return r;
}

const TResBlock* Out(const TResLayout& layout, const QString& name) { return OutBlock(layout, name); }


QString In(const QHash<QString, QString>& in, const QString& block, const QString& field)
{
    return in.value(TSimExchange::InputKey(block, field, 0)).trimmed();
}

QString Ymd(const QDate& d)
{
    // Arithmetic for the years a market has (QDate's formatting costs a
    // microsecond, and a page has up to 2000 dates).
    if (d.isValid() && d.year() >= 1000 && d.year() <= 9999)
        return QString::number(d.year() * 10000 + d.month() * 100 + d.day());
    return d.toString(QStringLiteral("yyyyMMdd"));
}

// A date input: empty (and "99999999", the broker's "latest") gives a null
// date; false when the text is not a date.
bool DateIn(const QString& text, QDate* out)
{
    *out = QDate();
    if (text.isEmpty() || text == QLatin1String("99999999"))
        return true;
    if (text.size() != 8)
        return false;
    for (QChar c : text)
        if (!c.isDigit())
            return false;
    *out = QDate::fromString(text, QStringLiteral("yyyyMMdd"));
    return out->isValid();
}

// A whole-number input; `empty` when blank, -1 when not a number.
int IntIn(const QString& text, int empty)
{
    if (text.isEmpty())
        return empty;
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok ? n : -1;
}

TSimReply BadInput(const QString& what, const QString& value)
{
    return MessageOnly(SimMsg::kBadInput, QStringLiteral("%1 값이 올바르지 않습니다 (%2).").arg(what, value));
}

TSimReply UnknownStock(const QString& code)
{
    return MessageOnly(SimMsg::kUnknownStock, QStringLiteral("종목코드를 확인하세요. 상장되지 않은 종목입니다 (%1).").arg(code));
}

// The request count of a bar query: 1..500, up to 2000 compressed.
int BarCount(const QString& text, bool compressed)
{
    const int max = compressed ? 2000 : 500;
    const int n = IntIn(text, max);
    return n <= 0 || n > max ? -1 : n;
}

// The key of the period (week, month, year) a day belongs to.
int PeriodOf(const QDate& d, int gubun)
{
    switch (gubun) {
    case 3: return int(d.toJulianDay() - (d.dayOfWeek() - 1));   // that week's Monday
    case 4: return d.year() * 12 + d.month();
    case 5: return d.year();
    default: return int(d.toJulianDay());
    }
}

// The earliest date that can belong to the n periods ending with `upper`'s,
// and one more (to tell whether older data exists).
QDate SpanStart(const QDate& upper, int gubun, int n)
{
    switch (gubun) {
    case 3: return upper.addDays(-(upper.dayOfWeek() - 1) - 7LL * n);
    case 4: return QDate(upper.year(), upper.month(), 1).addMonths(-n);
    case 5: return QDate(upper.year() - n, 1, 1);
    default: return upper.addDays(-(qint64(n + 1) * 7 / 5 + 10));
    }
}

QVector<TSimBar> Group(const QVector<TSimBar>& days, int gubun)
{
    if (gubun == 2)
        return days;
    QVector<TSimBar> out;
    int key = -1;
    for (const TSimBar& d : days) {
        const int k = PeriodOf(d.Date, gubun);
        if (out.isEmpty() || k != key) {
            out.append(d);
            key = k;
            continue;
        }
        TSimBar& b = out.last();
        b.Date = d.Date;
        if (d.Volume > 0 || b.Volume == 0) {
            if (b.Volume == 0) {
                b.Open = d.Open;
                b.High = d.High;
                b.Low = d.Low;
            }
            b.High = std::max(b.High, d.High);
            b.Low = std::min(b.Low, d.Low);
            b.Close = d.Close;
        }
        b.Volume += d.Volume;
        b.Amount += d.Amount;
    }
    return out;
}

// The session's first and last time of day, hhmmss.
QString SessionTime(int ms) { return SimHhmmss(ms); }

} // namespace

bool TSimHistoryAnswers::Serves(const QString& tr)
{
    return tr == QLatin1String("t8410") || tr == QLatin1String("t8412") || tr == QLatin1String("t1301")
           || tr == QLatin1String("t1637");
}

TSimReply TSimHistoryAnswers::Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in)
{
    if (tr == QLatin1String("t8410"))
        return T8410(layout, in);
    if (tr == QLatin1String("t8412"))
        return T8412(layout, in);
    if (tr == QLatin1String("t1301"))
        return T1301(layout, in);
    return T1637(layout, in);
}

// ---- t8410 ------------------------------------------------------------------

TSimReply TSimHistoryAnswers::T8410(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* ob = Out(layout, "t8410OutBlock");
    const TResBlock* ob1 = Out(layout, "t8410OutBlock1");
    if (!ob || !ob1)
        return LayoutLacks("t8410OutBlock, t8410OutBlock1");
    const QString ib = QStringLiteral("t8410InBlock");
    const QString code = In(in, ib, "shcode");
    const TSimStock* found = FEngine.Universe().Find(code);
    if (code.isEmpty() || !found)
        return UnknownStock(code);
    const TSimStock s = *found;
    const QString g = In(in, ib, "gubun").isEmpty() ? QStringLiteral("2") : In(in, ib, "gubun");
    if (!QStringList{"2", "3", "4", "5"}.contains(g))
        return BadInput(QStringLiteral("주기구분 (2 일, 3 주, 4 월, 5 년)"), g);
    const int gubun = g.toInt();
    const bool comp = In(in, ib, "comp_yn").compare(QLatin1String("Y"), Qt::CaseInsensitive) == 0;
    const int n = BarCount(In(in, ib, "qrycnt"), comp);
    if (n < 0)
        return BadInput(QStringLiteral("요청건수 (1~500, 압축 2000)"), In(in, ib, "qrycnt"));
    QDate sdate, edate, cts;
    if (!DateIn(In(in, ib, "sdate"), &sdate))
        return BadInput(QStringLiteral("시작일자"), In(in, ib, "sdate"));
    if (!DateIn(In(in, ib, "edate"), &edate))
        return BadInput(QStringLiteral("종료일자"), In(in, ib, "edate"));
    if (!DateIn(In(in, ib, "cts_date"), &cts))
        return BadInput(QStringLiteral("연속일자"), In(in, ib, "cts_date"));

    const QDate market = FEngine.MarketDate();
    QDate upper = edate.isValid() ? std::min(edate, market) : market;
    if (cts.isValid())
        upper = std::min(upper, cts);
    QDate from = SpanStart(upper, gubun, n);
    if (sdate.isValid())
        from = std::max(from, sdate);
    const QVector<TSimBar> bars = Group(FHistory.DayBars(s, from, upper), gubun);
    const int first = std::max(0, int(bars.size()) - n);

    TSimBlockFill f1(*ob1);
    for (int i = first; i < bars.size(); ++i) {
        const TSimBar& b = bars[i];
        f1.NewRow();
        f1.Set("date", Ymd(b.Date));
        f1.Set("open", b.Open);
        f1.Set("high", b.High);
        f1.Set("low", b.Low);
        f1.Set("close", b.Close);
        f1.Set("jdiff_vol", b.Volume);
        f1.Set("value", SimMillions(b.Amount));
        f1.Set("ratevalue", SimMillions(b.Amount));
        f1.Set("jongchk", 0);
        f1.SetReal("rate", 0, 2);
        f1.Set("pricechk", 0);
        // Day bars: against the day before with its limits; longer bars
        // against the bar before.
        const int prev = i > 0 ? bars[i - 1].Close
                               : (gubun == 2 ? FEngine.Daily().PrevClose(s, b.Date) : b.Open);
        const bool day = gubun == 2;
        f1.Set("sign", QString(QLatin1Char(PriceSign(b.Close, prev, day ? UpperLimit(prev) : 0, day ? LowerLimit(prev) : 0))));
    }

    TSimBlockFill f(*ob);
    f.NewRow();
    f.Set("shcode", s.Code);
    const QVector<TSimBar> recent = FHistory.DayBars(s, PrevTradingDay(market), market);
    if (!recent.isEmpty()) {
        const TSimBar& t = recent.last();
        const TSimBar* p = recent.size() > 1 ? &recent[recent.size() - 2] : nullptr;
        if (p) {
            f.Set("jisiga", p->Open);
            f.Set("jihigh", p->High);
            f.Set("jilow", p->Low);
            f.Set("jiclose", p->Close);
            f.Set("jivolume", p->Volume);
        }
        f.Set("disiga", t.Open);
        f.Set("dihigh", t.High);
        f.Set("dilow", t.Low);
        f.Set("diclose", t.Close);
    }
    const TSimDayInfo info = FEngine.DayInfo(s.Code);
    f.Set("highend", info.UpLimit);
    f.Set("lowend", info.DnLimit);
    f.Set("svi_uplmtprice", info.UpLimit);
    f.Set("svi_dnlmtprice", info.DnLimit);
    f.Set("cts_date", first > 0 ? Ymd(bars[first - 1].Date) : QString());
    f.Set("s_time", SessionTime(FEngine.SessionStartMs()));
    f.Set("e_time", SessionTime(FEngine.SessionEndMs()));
    f.Set("dshmin", QStringLiteral("10"));
    f.Set("rec_count", f1.RowCount());
    return Done({f.Take(), f1.Take()}, comp ? QStringList{ob1->Name} : QStringList{});
}

// ---- t8412 ------------------------------------------------------------------

TSimReply TSimHistoryAnswers::T8412(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* ob = Out(layout, "t8412OutBlock");
    const TResBlock* ob1 = Out(layout, "t8412OutBlock1");
    if (!ob || !ob1)
        return LayoutLacks("t8412OutBlock, t8412OutBlock1");
    const QString ib = QStringLiteral("t8412InBlock");
    const QString code = In(in, ib, "shcode");
    const TSimStock* found = FEngine.Universe().Find(code);
    if (code.isEmpty() || !found)
        return UnknownStock(code);
    const TSimStock s = *found;
    const int ncnt = IntIn(In(in, ib, "ncnt"), 1);
    if (ncnt < 1 || ncnt > 1440)
        return BadInput(QStringLiteral("단위(n분)"), In(in, ib, "ncnt"));
    const bool comp = In(in, ib, "comp_yn").compare(QLatin1String("Y"), Qt::CaseInsensitive) == 0;
    const int n = BarCount(In(in, ib, "qrycnt"), comp);
    if (n < 0)
        return BadInput(QStringLiteral("요청건수 (1~500, 압축 2000)"), In(in, ib, "qrycnt"));
    const int nday = IntIn(In(in, ib, "nday"), 0);
    if (nday < 0)
        return BadInput(QStringLiteral("조회영업일수"), In(in, ib, "nday"));
    QDate sdate, edate, ctsDate;
    if (!DateIn(In(in, ib, "sdate"), &sdate))
        return BadInput(QStringLiteral("시작일자"), In(in, ib, "sdate"));
    if (!DateIn(In(in, ib, "edate"), &edate))
        return BadInput(QStringLiteral("종료일자"), In(in, ib, "edate"));
    if (!DateIn(In(in, ib, "cts_date"), &ctsDate))
        return BadInput(QStringLiteral("연속일자"), In(in, ib, "cts_date"));
    const QString ctsText = In(in, ib, "cts_time");
    int ctsTime = 999999;
    if (ctsDate.isValid()) {
        const int t = IntIn(ctsText.left(6), 999999);
        if (t < 0)
            return BadInput(QStringLiteral("연속시간"), ctsText);
        ctsTime = t;
    }

    // The days asked for, newest first: nday business days ending at edate.
    const QDate market = FEngine.MarketDate();
    QVector<QDate> days;
    QDate d = edate.isValid() && edate < market ? TradingDayOnOrBefore(edate) : market;
    while (d.isValid() && FHistory.HasIntraday(d) && (!sdate.isValid() || d >= sdate)
           && (nday <= 0 || days.size() < nday)) {
        days.append(d);
        d = PrevTradingDay(d);
    }

    // Bars newest first, starting at the continuation key.
    QVector<TSimBar> bars;
    bool more = false;
    for (const QDate& day : std::as_const(days)) {
        if (ctsDate.isValid() && day > ctsDate)
            continue;
        QVector<TSimBar> grouped;
        for (const TSimBar& m : FHistory.MinuteBars(s, day)) {
            const int mins = m.Hhmm / 100 * 60 + m.Hhmm % 100;
            const int e = ncnt * ((mins - 1) / ncnt + 1);
            const int key = e / 60 * 100 + e % 60;
            if (grouped.isEmpty() || grouped.last().Hhmm != key) {
                grouped.append(m);
                grouped.last().Hhmm = key;
                continue;
            }
            TSimBar& b = grouped.last();
            b.High = std::max(b.High, m.High);
            b.Low = std::min(b.Low, m.Low);
            b.Close = m.Close;
            b.Volume += m.Volume;
            b.Amount += m.Amount;
        }
        for (int i = grouped.size() - 1; i >= 0; --i) {
            const TSimBar& b = grouped[i];
            if (ctsDate.isValid() && day == ctsDate && b.Hhmm * 100 > ctsTime)
                continue;
            if (bars.size() == n) {
                more = true;
                bars.append(b);   // the next older bar: the continuation key
                break;
            }
            bars.append(b);
        }
        if (more)
            break;
    }
    TSimBar next;
    if (more)
        next = bars.takeLast();
    std::reverse(bars.begin(), bars.end());

    TSimBlockFill f1(*ob1);
    QHash<QDate, int> prevClose;
    for (const TSimBar& b : std::as_const(bars)) {
        if (!prevClose.contains(b.Date))
            prevClose.insert(b.Date, FEngine.Daily().PrevClose(s, b.Date));
        const int pc = prevClose.value(b.Date);
        f1.NewRow();
        f1.Set("date", Ymd(b.Date));
        f1.Set("time", QString::number(b.Hhmm * 100).rightJustified(6, QLatin1Char('0')));
        f1.Set("open", b.Open);
        f1.Set("high", b.High);
        f1.Set("low", b.Low);
        f1.Set("close", b.Close);
        f1.Set("jdiff_vol", b.Volume);
        f1.Set("value", SimMillions(b.Amount));
        f1.Set("jongchk", 0);
        f1.SetReal("rate", 0, 2);
        f1.Set("sign", QString(QLatin1Char(PriceSign(b.Close, pc, UpperLimit(pc), LowerLimit(pc)))));
    }

    TSimBlockFill f(*ob);
    f.NewRow();
    f.Set("shcode", s.Code);
    const QVector<TSimBar> recent = FHistory.DayBars(s, PrevTradingDay(market), market);
    if (!recent.isEmpty()) {
        const TSimBar& t = recent.last();
        if (recent.size() > 1) {
            const TSimBar& p = recent[recent.size() - 2];
            f.Set("jisiga", p.Open);
            f.Set("jihigh", p.High);
            f.Set("jilow", p.Low);
            f.Set("jiclose", p.Close);
            f.Set("jivolume", p.Volume);
        }
        f.Set("disiga", t.Open);
        f.Set("dihigh", t.High);
        f.Set("dilow", t.Low);
        f.Set("diclose", t.Close);
    }
    const TSimDayInfo info = FEngine.DayInfo(s.Code);
    f.Set("highend", info.UpLimit);
    f.Set("lowend", info.DnLimit);
    f.Set("cts_date", more ? Ymd(next.Date) : QString());
    f.Set("cts_time", more ? QString::number(next.Hhmm * 100).rightJustified(6, QLatin1Char('0')) : QString());
    f.Set("s_time", SessionTime(FEngine.SessionStartMs()));
    f.Set("e_time", SessionTime(FEngine.SessionEndMs()));
    f.Set("dshmin", QStringLiteral("10"));
    f.Set("rec_count", f1.RowCount());
    return Done({f.Take(), f1.Take()}, comp ? QStringList{ob1->Name} : QStringList{});
}

// ---- t1301 ------------------------------------------------------------------

TSimReply TSimHistoryAnswers::T1301(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* ob = Out(layout, "t1301OutBlock");
    const TResBlock* ob1 = Out(layout, "t1301OutBlock1");
    if (!ob || !ob1)
        return LayoutLacks("t1301OutBlock, t1301OutBlock1");
    const QString ib = QStringLiteral("t1301InBlock");
    const QString code = In(in, ib, "shcode");
    const TSimStock* found = FEngine.Universe().Find(code);
    if (code.isEmpty() || !found)
        return UnknownStock(code);
    const TSimStock s = *found;
    const qint64 minQty = IntIn(In(in, ib, "cvolume"), 0);
    if (minQty < 0)
        return BadInput(QStringLiteral("특이거래량"), In(in, ib, "cvolume"));
    const int startHhmm = IntIn(In(in, ib, "starttime"), 0);
    const int endHhmm = IntIn(In(in, ib, "endtime"), 9999);
    if (startHhmm < 0 || endHhmm < 0)
        return BadInput(QStringLiteral("시작/종료시간 (HHMM)"), In(in, ib, "starttime") + '/' + In(in, ib, "endtime"));
    const QString ctsText = In(in, ib, "cts_time");
    qint64 cts = -1;
    if (!ctsText.isEmpty()) {
        bool ok = false;
        cts = ctsText.toLongLong(&ok);
        if (!ok || cts < 0)
            return BadInput(QStringLiteral("시간CTS"), ctsText);
    }

    // Today's trades newest first from the continuation key, each keyed by
    // its second and its place in that second: one more than a page tells
    // the next page's key. The tape plays back only the minutes the page
    // shows (a minute with no trade that passes the filters is skipped).
    struct TTick {
        qint64 Key;
        TSimTrade T;
    };
    QVector<TTick> ticks, minute;
    const TStockDay* day = FHistory.Today(s);
    for (int m = day ? day->FirstMinute() + day->TapeMinutes() - 1 : -1;
         day && m >= day->FirstMinute() && ticks.size() <= kTickRows; --m) {
        const int first = HhmmssOf(m * 60000);
        if (first / 100 < startHhmm || first / 100 > endHhmm || (cts >= 0 && qint64(first) * 10000 > cts)
            || (minQty > 0 && day->LargestTrade(m) <= minQty))
            continue;
        minute.clear();
        int lastSec = -1, ord = 0;
        day->ReplayMinute(m, [&](const TSimTrade& t) {
            const int sec = HhmmssOf(t.TimeMs);
            ord = sec == lastSec ? ord + 1 : 0;
            lastSec = sec;
            const qint64 key = qint64(sec) * 10000 + std::min(ord, 9999);
            if ((minQty > 0 && t.Qty <= minQty) || (cts >= 0 && key > cts))
                return;
            minute.append({key, t});
        });
        for (int i = minute.size() - 1; i >= 0 && ticks.size() <= kTickRows; --i)
            ticks.append(minute[i]);
    }

    const TSimDayInfo info = FEngine.DayInfo(s.Code);
    const int pc = info.PrevClose;
    TSimBlockFill f1(*ob1);
    for (int i = 0; i < ticks.size() && i < kTickRows; ++i) {
        const TSimTrade& t = ticks[i].T;
        f1.NewRow();
        f1.Set("chetime", SimHhmmss(t.TimeMs));
        f1.Set("price", t.Price);
        f1.Set("sign", QString(QLatin1Char(PriceSign(t.Price, pc, info.UpLimit, info.DnLimit))));
        f1.Set("change", t.Price - pc);
        f1.SetReal("diff", pc > 0 ? (t.Price - pc) * 100.0 / pc : 0.0, 2);
        f1.Set("cvolume", t.Qty);
        f1.SetReal("chdegree", t.SellVolume > 0 ? t.BuyVolume * 100.0 / t.SellVolume : 0.0, 2);
        f1.Set("volume", t.Volume);
        f1.Set("mdvolume", t.SellVolume);
        f1.Set("mdchecnt", t.SellCount);
        f1.Set("msvolume", t.BuyVolume);
        f1.Set("mschecnt", t.BuyCount);
        f1.Set("revolume", t.BuyVolume - t.SellVolume);
        f1.Set("rechecnt", t.BuyCount - t.SellCount);
    }
    TSimBlockFill f(*ob);
    f.NewRow();
    f.Set("cts_time", ticks.size() > kTickRows ? QString::number(ticks[kTickRows].Key).rightJustified(10, QLatin1Char('0'))
                                               : QString());
    return Done({f.Take(), f1.Take()});
}

// ---- t1637 ------------------------------------------------------------------

TSimReply TSimHistoryAnswers::T1637(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* ob = Out(layout, "t1637OutBlock");
    const TResBlock* ob1 = Out(layout, "t1637OutBlock1");
    if (!ob || !ob1)
        return LayoutLacks("t1637OutBlock, t1637OutBlock1");
    const QString ib = QStringLiteral("t1637InBlock");
    const QString code = In(in, ib, "shcode");
    const TSimStock* found = FEngine.Universe().Find(code);
    if (code.isEmpty() || !found)
        return UnknownStock(code);
    const TSimStock s = *found;
    const QString g1 = In(in, ib, "gubun1"), g2 = In(in, ib, "gubun2");
    if (!g1.isEmpty() && g1 != QLatin1String("0") && g1 != QLatin1String("1"))
        return BadInput(QStringLiteral("수량금액구분 (0 수량, 1 금액)"), g1);
    if (g2 == QLatin1String("1"))
        return MessageOnly(SimMsg::kNoService, QStringLiteral("모의 거래소의 프로그램매매 추이는 시간대별(0)만 조회됩니다."));
    if (!g2.isEmpty() && g2 != QLatin1String("0"))
        return BadInput(QStringLiteral("시간일별구분 (0 시간, 1 일자)"), g2);
    QDate date;
    if (!DateIn(In(in, ib, "date"), &date))
        return BadInput(QStringLiteral("일자"), In(in, ib, "date"));
    const QDate market = FEngine.MarketDate();
    if (!date.isValid() || date > market)
        date = market;
    const int before = IntIn(In(in, ib, "time").left(6), -2);
    if (before == -1)
        return BadInput(QStringLiteral("시간"), In(in, ib, "time"));
    // cts_idx is only the chart flag (9999); paging goes by time alone.
    if (IntIn(In(in, ib, "cts_idx"), 0) < 0)
        return BadInput(QStringLiteral("IDXCTS"), In(in, ib, "cts_idx"));

    const QVector<TSimProgramRow> rows = FHistory.ProgramRows(s, date);
    const TDailyModel& model = FEngine.Daily();
    const int pc = model.PrevClose(s, date);
    const int up = UpperLimit(pc), dn = LowerLimit(pc);
    // A row is named by the end of its minute (09:00:xx is 090100), as the
    // minute bars are; the closing print belongs to the session's last minute.
    const int endMs = FEngine.SessionEndMs();
    auto label = [endMs](int minute) { return SimMinuteKey(minute * 60000, endMs) * 100; };
    TSimBlockFill f1(*ob1);
    int i = rows.size() - 1;
    while (i >= 0 && before >= 0 && label(rows[i].Minute) >= before)
        --i;
    for (; i >= 0 && f1.RowCount() < kProgRows; --i) {
        const TSimProgramRow& r = rows[i];
        // Rows are cumulative: of two rows under one name the newer one stands.
        if (i + 1 < rows.size() && label(rows[i + 1].Minute) == label(r.Minute))
            continue;
        f1.NewRow();
        f1.Set("date", Ymd(date));
        f1.Set("time", QString::number(label(r.Minute)).rightJustified(6, QLatin1Char('0')));
        f1.Set("price", r.Price);
        f1.Set("sign", QString(QLatin1Char(PriceSign(r.Price, pc, up, dn))));
        f1.Set("change", std::abs(r.Price - pc));
        f1.SetReal("diff", pc > 0 ? (r.Price - pc) * 100.0 / pc : 0.0, 2);
        f1.Set("volume", r.Volume);
        f1.Set("svalue", SimThousands(r.BuyAmt) - SimThousands(r.SellAmt));
        f1.Set("offervalue", SimThousands(r.SellAmt));
        f1.Set("stksvalue", SimThousands(r.BuyAmt));
        f1.Set("svolume", r.BuyQty - r.SellQty);
        f1.Set("offervolume", r.SellQty);
        f1.Set("stksvolume", r.BuyQty);
        f1.Set("shcode", s.Code);
        f1.Set("ex_shcode", s.Code);
    }
    TSimBlockFill f(*ob);
    f.NewRow();
    f.Set("cts_idx", 0);
    return Done({f.Take(), f1.Take()});
}
