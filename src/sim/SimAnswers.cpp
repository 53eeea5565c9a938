#include "sim/SimAnswers.h"
#include "core/NumFmt.h"
#include "sim/MarketEngine.h"
#include "sim/SimAccount.h"
#include "sim/SimBoard.h"
#include "sim/SimExchange.h"
#include "sim/SimHistoryAnswers.h"
#include "sim/SimNews.h"
#include "sim/SimRankAnswers.h"
#include "sim/SimRealRecord.h"
#include "sim/SimTrading.h"
#include <QMap>
#include <algorithm>
#include <cmath>

namespace {

TSimMessage Msg(const QString& code, const QString& text) { return SimMsgOf(code, text); }

QString Digits(const QString& s)
{
    QString out;
    for (QChar c : s)
        if (c.isDigit())
            out += c;
    return out;
}

TSimReply Data(QVector<TSimBlockData> blocks, const TSimMessage& after)
{
    TSimReply r;
    r.HasData = true;
    r.Blocks = std::move(blocks);
    r.After.append(after);
    return r;
}


const TResBlock* Out(const TResLayout& layout, const QString& name) { return OutBlock(layout, name); }


} // namespace

TSimAnswers::TSimAnswers(TMarketEngine& engine, TSimAccount& account, TSimTrading& trading,
                         const TSimConfig& cfg, TClock& clock)
    : FEngine(engine), FAccount(account), FTrading(trading), FCfg(cfg), FClock(clock),
      FHistory(std::make_unique<TSimHistoryAnswers>(engine))
{
}

TSimAnswers::~TSimAnswers() = default;

TSimHistory& TSimAnswers::History()
{
    return FHistory->History();
}

QString TSimAnswers::In(const QHash<QString, QString>& in, const QString& block, const QString& field) const
{
    return in.value(TSimExchange::InputKey(block, field, 0)).trimmed();
}

TSimReply TSimAnswers::CheckNext(const QString& tr, const QHash<QString, QString>& in, bool next)
{
    if (!next)
        return {};
    // The key fields of each paged transaction; all must be given.
    static const struct {
        const char* Tr;
        const char* Keys[2];
    } kKeys[] = {
        {"t0425", {"cts_ordno", nullptr}}, {"t1301", {"cts_time", nullptr}},
        {"t8410", {"cts_date", nullptr}},  {"t8412", {"cts_date", "cts_time"}},
        {"t1637", {"time", nullptr}},
    };
    auto refuse = [&tr](const QString& why) {
        return MessageOnly(SimMsg::kNoNextKey, QStringLiteral("연속조회 키가 없습니다 (%1): %2").arg(tr, why));
    };
    if (tr == QLatin1String("t0150") || tr == QLatin1String("t0424"))
        return refuse(QStringLiteral("한 번에 모두 조회되어 다음 내역이 없습니다."));
    for (const auto& k : kKeys) {
        if (tr != QLatin1String(k.Tr))
            continue;
        const QString ib = tr + QStringLiteral("InBlock");
        for (const char* key : k.Keys) {
            if (!key)
                continue;
            const QString v = in.value(TSimExchange::InputKey(ib, QString::fromLatin1(key), 0)).trimmed();
            // t0425's first page asks with 0 / empty; 99999999 is t8410's "latest", never a key.
            const bool none = v.isEmpty() || (tr == QLatin1String("t0425") && v.toLongLong() <= 0)
                              || (tr.startsWith(QLatin1String("t841")) && v == QLatin1String("99999999"));
            if (none)
                return refuse(QStringLiteral("이전 응답의 %1 값을 넣고 다음 조회를 하세요.").arg(QLatin1String(key)));
        }
    }
    return {};
}

TSimReply TSimAnswers::Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in, bool next)
{
    TSimReply noKey = CheckNext(tr, in, next);
    if (!noKey.Before.isEmpty())
        return noKey;
    if (tr == QLatin1String("t0167"))
        return T0167(layout);
    if (tr == QLatin1String("t8430"))
        return T8430(layout, In(in, "t8430InBlock", "gubun"));
    if (tr == QLatin1String("t1101"))
        return T1101(layout, In(in, "t1101InBlock", "shcode"));
    if (tr == QLatin1String("t1102"))
        return T1102(layout, In(in, "t1102InBlock", "shcode"));
    if (tr == QLatin1String("t8407"))
        return T8407(layout, in);
    if (tr == QLatin1String("CSPAQ12300"))
        return Cspaq12300(layout, in);
    if (tr == QLatin1String("CSPAT00600") || tr == QLatin1String("CSPAT00700") || tr == QLatin1String("CSPAT00800"))
        return Order(tr, layout, in);
    if (tr == QLatin1String("t0425"))
        return T0425(layout, in);
    if (tr == QLatin1String("t0150"))
        return T0150(layout, in);
    if (tr == QLatin1String("t0424"))
        return T0424(layout, in);
    if (TSimHistoryAnswers::Serves(tr))
        return FHistory->Answer(tr, layout, in);
    if (TSimRankAnswers::Serves(tr))
        return TSimRankAnswers(FEngine, FClock).Answer(tr, layout, in);
    if (TSimBoard::Serves(tr))
        return TSimBoard(FEngine, FClock).Answer(tr, layout, in, next);
    if (tr == QLatin1String("t3102") && FNews)
        return SimNewsBodyAnswer(*FNews, layout, In(in, "t3102InBlock", "sNewsno"));
    return MessageOnly(SimMsg::kNoService,
                       QStringLiteral("모의 거래소에는 아직 없는 조회 서비스입니다 (%1).").arg(tr));
}

TSimReply TSimAnswers::T0167(const TResLayout& layout)
{
    const TResBlock* ob = Out(layout, "t0167OutBlock");
    if (!ob)
        return LayoutLacks("t0167OutBlock");
    const QDateTime t = FClock.Now().addMSecs(FCfg.ClockOffsetMs);
    TSimBlockFill f(*ob);
    f.NewRow();
    f.Set("dt", t.toString(QStringLiteral("yyyyMMdd")));
    // HHMMSS, milliseconds, then microseconds (always 0 here).
    f.Set("time", t.toString(QStringLiteral("HHmmsszzz")) + QStringLiteral("000"));
    return Data({f.Take()}, Msg(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
}

TSimReply TSimAnswers::T8430(const TResLayout& layout, const QString& gubun)
{
    const TResBlock* ob = Out(layout, "t8430OutBlock");
    if (!ob)
        return LayoutLacks("t8430OutBlock");
    if (gubun != QLatin1String("0") && gubun != QLatin1String("1") && gubun != QLatin1String("2") && !gubun.isEmpty())
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("구분 값이 올바르지 않습니다 (%1): 0 전체, 1 코스피, 2 코스닥").arg(gubun));
    TSimBlockFill f(*ob);
    for (const TSimStock& s : FEngine.Universe().Stocks()) {
        if ((gubun == QLatin1String("1") && s.Market != TSimMarket::Kospi)
            || (gubun == QLatin1String("2") && s.Market != TSimMarket::Kosdaq))
            continue;
        const TSimDayInfo d = FEngine.DayInfo(s.Code);
        f.NewRow();
        f.Set("hname", s.Name);
        f.Set("shcode", s.Code);
        f.Set("expcode", s.Isin);
        f.Set("etfgubun", s.Etf ? QStringLiteral("1") : QStringLiteral("0"));
        f.Set("uplmtprice", d.UpLimit);
        f.Set("dnlmtprice", d.DnLimit);
        f.Set("jnilclose", d.PrevClose);
        f.Set("memedan", QStringLiteral("00001"));
        f.Set("recprice", d.PrevClose);
        f.Set("gubun", s.Gubun());
    }
    return Data({f.Take()}, Msg(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
}

namespace {
// The quote fields t1101, t1102 and t8407 share: name, code, price, change, volume.
void FillQuoteHead(TSimBlockFill& f, const TSimQuote& q)
{
    f.Set("hname", q.Name);
    f.Set("shcode", q.Code);
    f.Set("price", q.Price);
    f.Set("sign", QString(QLatin1Char(q.Sign)));
    f.Set("change", q.Change);
    f.SetReal("diff", q.Diff, 2);
    f.Set("volume", q.Volume);
}
} // namespace

TSimReply TSimAnswers::T1101(const TResLayout& layout, const QString& code)
{
    const TResBlock* ob = Out(layout, "t1101OutBlock");
    if (!ob)
        return LayoutLacks("t1101OutBlock");
    TSimQuote q;
    if (code.isEmpty() || !FEngine.Quote(code, &q))
        return MessageOnly(SimMsg::kUnknownStock,
                           QStringLiteral("종목코드를 확인하세요. 상장되지 않은 종목입니다 (%1).").arg(code));
    TSimBlockFill f(*ob);
    f.NewRow();
    FillQuoteHead(f, q);
    f.Set("jnilclose", q.PrevClose);
    f.Set("uplmtprice", q.UpLimit);
    f.Set("dnlmtprice", q.DnLimit);
    f.Set("open", q.Open);
    f.Set("high", q.High);
    f.Set("low", q.Low);
    const TSimBook& b = q.Book;
    for (int i = 0; i < kBookLevels; ++i) {
        const QString n = QString::number(i + 1);
        f.Set("offerho" + n, b.Ask[i]);
        f.Set("bidho" + n, b.Bid[i]);
        f.Set("offerrem" + n, b.AskQ[i]);
        f.Set("bidrem" + n, b.BidQ[i]);
        f.Set("preoffercha" + n, b.AskCha[i]);
        f.Set("prebidcha" + n, b.BidCha[i]);
    }
    f.Set("offer", b.TotAsk);
    f.Set("bid", b.TotBid);
    f.Set("preoffercha", b.TotAskCha);
    f.Set("prebidcha", b.TotBidCha);
    // hhmmss and hundredths (the real-time book's hotime has no hundredths).
    f.Set("hotime", SimHhmmss(b.TimeMs) + QStringLiteral("%1").arg(b.TimeMs % 1000 / 10, 2, 10, QLatin1Char('0')));
    return Data({f.Take()}, Msg(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
}

bool TSimAnswers::UsesPastDays(const QString& tr)
{
    return TSimHistoryAnswers::Serves(tr) || tr == QLatin1String("t1102");
}

TSimReply TSimAnswers::T1102(const TResLayout& layout, const QString& code)
{
    const TResBlock* ob = Out(layout, "t1102OutBlock");
    if (!ob)
        return LayoutLacks("t1102OutBlock");
    const TSimStock* listed = FEngine.Universe().Find(code);
    TSimQuote q;
    if (code.isEmpty() || !listed || !FEngine.Quote(code, &q))
        return MessageOnly(SimMsg::kUnknownStock,
                           QStringLiteral("종목코드를 확인하세요. 상장되지 않은 종목입니다 (%1).").arg(code));
    // The previous trading day as the day bars have it: the sum of its
    // minute bars.
    const TSimStock s = *listed;
    const QDate prev = PrevTradingDay(q.Date);
    const QVector<TSimBar> prevBar = History().DayBars(s, prev, prev);
    const qint64 prevVolume = prevBar.isEmpty() ? 0 : prevBar.last().Volume;
    const TSimTrade& t = q.LastTrade;
    TSimBlockFill f(*ob);
    f.NewRow();
    FillQuoteHead(f, q);
    f.Set("recprice", q.PrevClose);
    f.Set("avg", q.Volume > 0 ? qint64(std::llround(double(q.Amount) / q.Volume)) : qint64(0));
    f.Set("uplmtprice", q.UpLimit);
    f.Set("dnlmtprice", q.DnLimit);
    f.Set("jnilvolume", prevVolume);
    f.Set("volumediff", q.Volume - prevVolume);
    f.Set("open", q.Open);
    f.Set("high", q.High);
    f.Set("low", q.Low);
    if (q.Volume > 0) {
        f.Set("opentime", SimHhmmss(t.OpenTimeMs));
        f.Set("hightime", SimHhmmss(t.HighTimeMs));
        f.Set("lowtime", SimHhmmss(t.LowTimeMs));
    }
    f.Set("listing", SimThousands(s.Shares));
    f.Set("memedan", QStringLiteral("00001"));
    f.Set("value", SimMillions(q.Amount));
    SimBrokerTopFive(f, FEngine.Daily().Seed(), q.Code, q.Date, q.Volume, q.Volume > 0 ? t.Qty : 0);
    return Data({f.Take()}, Msg(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
}

TSimReply TSimAnswers::T8407(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* ob = Out(layout, "t8407OutBlock1");
    if (!ob)
        return LayoutLacks("t8407OutBlock1");
    constexpr int kMaxCodes = 50;
    const QString countText = In(in, "t8407InBlock", "nrec");
    bool ok = false;
    const int count = countText.toInt(&ok);
    if (!ok || count < 1 || count > kMaxCodes)
        return MessageOnly(SimMsg::kBadInput,
                           QStringLiteral("건수 값이 올바르지 않습니다 (%1): 1~%2 종목").arg(countText).arg(kMaxCodes));
    const QString codes = In(in, "t8407InBlock", "shcode");
    if (codes.size() < count * 6)
        return MessageOnly(SimMsg::kBadInput,
                           QStringLiteral("종목코드가 건수보다 적습니다: %1종목에 %2자 (종목마다 6자)").arg(count).arg(codes.size()));
    TSimBlockFill f(*ob);
    for (int i = 0; i < count; ++i) {
        const QString code = codes.mid(i * 6, 6);
        TSimQuote q;
        if (!FEngine.Universe().Find(code) || !FEngine.Quote(code, &q))
            continue;
        const TSimTrade& t = q.LastTrade;
        f.NewRow();
        FillQuoteHead(f, q);
        f.Set("offerho", q.Book.Ask[0]);
        f.Set("bidho", q.Book.Bid[0]);
        f.Set("cvolume", q.Volume > 0 ? t.Qty : qint64(0));
        f.SetReal("chdegree", t.SellVolume > 0 ? 100.0 * double(t.BuyVolume) / double(t.SellVolume) : 0.0, 2);
        f.Set("open", q.Open);
        f.Set("high", q.High);
        f.Set("low", q.Low);
        f.Set("value", SimMillions(q.Amount));
        f.Set("offerrem", q.Book.AskQ[0]);
        f.Set("bidrem", q.Book.BidQ[0]);
        f.Set("totofferrem", q.Book.TotAsk);
        f.Set("totbidrem", q.Book.TotBid);
        f.Set("jnilclose", q.PrevClose);
        f.Set("uplmtprice", q.UpLimit);
        f.Set("dnlmtprice", q.DnLimit);
    }
    if (f.RowCount() == 0)
        return MessageOnly(SimMsg::kUnknownStock,
                           QStringLiteral("종목코드를 확인하세요. 상장된 종목이 없습니다 (%1).").arg(codes.left(count * 6)));
    return Data({f.Take()}, Msg(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
}

TSimReply TSimAnswers::Cspaq12300(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* o1 = Out(layout, "CSPAQ12300OutBlock1");
    const TResBlock* o2 = Out(layout, "CSPAQ12300OutBlock2");
    const TResBlock* o3 = Out(layout, "CSPAQ12300OutBlock3");
    if (!o1 || !o2 || !o3)
        return LayoutLacks("CSPAQ12300OutBlock1..3");
    const QString ib = QStringLiteral("CSPAQ12300InBlock1");
    const QString acct = Digits(In(in, ib, "AcntNo"));
    const QString pw = in.value(TSimExchange::InputKey(ib, "Pwd", 0));
    const bool main = acct == FCfg.AccountNo;
    if (acct.isEmpty() || (!main && acct != FCfg.ExtraAccountNo))
        return MessageOnly(SimMsg::kUnknownAcct, QStringLiteral("계좌번호를 확인하세요. 등록되지 않은 계좌입니다."));
    if (pw != FCfg.AccountPw)
        return MessageOnly(SimMsg::kBadAcctPw, QStringLiteral("계좌 비밀번호가 틀립니다. 비밀번호를 확인하세요."));

    TSimBlockFill f1(*o1);
    f1.NewRow();
    for (const char* name : {"RecCnt", "AcntNo", "Pwd", "BalCreTp", "CmsnAppTpCode", "D2balBaseQryTp", "UprcTpCode"})
        f1.Set(name, in.value(TSimExchange::InputKey(ib, name, 0)));
    f1.Set("Pwd", QStringLiteral("********"));

    // Holdings valued at the current price.
    TSimBlockFill f3(*o3);
    qint64 evalSum = 0, buySum = 0;
    if (main) {
        // A copy: bringing a stock up to the clock may fill an order and
        // replace the account's holdings.
        const QVector<TSimHolding> holdings = FAccount.Holdings();
        for (const TSimHolding& h : holdings) {
            TSimQuote q;
            const bool listed = FEngine.Quote(h.Code, &q);
            const int now = listed ? q.Price : 0;
            const qint64 buy = qRound64(h.AvgPrice * h.Qty);
            const qint64 eval = qint64(now) * h.Qty;
            evalSum += eval;
            buySum += buy;
            f3.NewRow();
            f3.Set("IsuNo", QStringLiteral("A") + h.Code);
            f3.Set("IsuNm", listed ? q.Name : h.Code);
            f3.Set("SecBalPtnCode", QStringLiteral("00"));
            f3.Set("SecBalPtnNm", QStringLiteral("유가증권"));
            f3.Set("BalQty", h.Qty);
            f3.Set("BnsBaseBalQty", h.Qty);
            f3.Set("SellAbleQty", FTrading.Sellable(h.Code));
            f3.SetReal("BuyPrc", h.AvgPrice, 4);
            f3.SetReal("AvrUprc", h.AvgPrice, 2);
            f3.SetReal("NowPrc", now, 2);
            f3.SetReal("PrdayCprc", listed ? q.PrevClose : 0, 2);
            f3.Set("PchsAmt", buy);
            f3.Set("BalEvalAmt", eval);
            f3.Set("EvalPnl", eval - buy);
            f3.SetReal("PnlRat", buy > 0 ? (eval - buy) * 100.0 / buy : 0.0, 6);
            f3.Set("RegMktCode", listed && q.Market == TSimMarket::Kosdaq ? QStringLiteral("20") : QStringLiteral("10"));
        }
    }
    const qint64 cash = main ? FAccount.Cash() : 0;
    const qint64 orderable = main ? FTrading.OrderableCash() : 0;
    TSimBlockFill f2(*o2);
    f2.NewRow();
    f2.Set("RecCnt", 1);
    f2.Set("BrnNm", QStringLiteral("모의투자지점"));
    f2.Set("AcntNm", QStringLiteral("모의투자"));
    // Open buy orders hold back what they may cost; the deposit is the cash itself.
    for (const char* name : {"MnyOrdAbleAmt", "MnyoutAbleAmt", "SeOrdAbleAmt", "KdqOrdAbleAmt", "HtsOrdAbleAmt",
                             "MgnRat100pctOrdAbleAmt"})
        f2.Set(name, orderable);
    for (const char* name : {"Dps", "D1Dps", "D2Dps"})
        f2.Set(name, cash);
    f2.Set("BalEvalAmt", evalSum);
    f2.Set("PchsAmt", buySum);
    f2.Set("EvalPnlSum", evalSum - buySum);
    f2.Set("InvstOrgAmt", buySum);
    f2.Set("InvstPlAmt", evalSum - buySum);
    f2.SetReal("PnlRat", buySum > 0 ? (evalSum - buySum) * 100.0 / buySum : 0.0, 6);
    f2.Set("DpsastTotamt", cash + evalSum);
    f2.Set("OrdDt", FEngine.MarketDate().toString(QStringLiteral("yyyyMMdd")));

    TSimReply r;
    r.Before.append(Msg(SimMsg::kAcctDone, QStringLiteral("조회가 완료되었습니다.")));
    r.HasData = true;
    r.Blocks = {f1.Take(), f2.Take(), f3.Take()};
    return r;
}

// ---- orders ---------------------------------------------------------------

namespace {

// The 6-character code of an IsuNo/expcode text: "A005930" and "005930"
// both give "005930"; longer texts give their last six characters.
QString CodeOf(const QString& text)
{
    QString t = text.trimmed();
    if (t.size() == 7 && (t[0] == QLatin1Char('A') || t[0] == QLatin1Char('a')))
        t = t.mid(1);
    else if (t.size() > 6)
        t = t.right(6);
    return t;
}

// A whole number of won from a price text ("70000" or "70000.00"); 0 when it is not one.
int PriceOf(const QString& text)
{
    bool ok = false;
    const double p = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(p) || p < 1 || p > double(kSimMaxOrderPrice) || std::fabs(p - std::round(p)) > 1e-9)
        return 0;
    return int(std::llround(p));
}

// A quantity text; -1 when it is not a whole number.
qint64 QtyOf(const QString& text)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? n : -1;
}

QString OrdTime9(int ms)
{
    return SimHhmmss(ms) + QString::number(ms % 1000).rightJustified(3, QLatin1Char('0'));
}

} // namespace

TSimReply TSimAnswers::CheckAccount(const QString& acct, const QString& pw, bool* extra) const
{
    const QString digits = Digits(acct);
    if (extra)
        *extra = !FCfg.ExtraAccountNo.isEmpty() && digits == FCfg.ExtraAccountNo;
    if (digits.isEmpty() || (digits != FCfg.AccountNo && !(extra && *extra)))
        return MessageOnly(SimMsg::kUnknownAcct, QStringLiteral("계좌번호를 확인하세요. 등록되지 않은 계좌입니다."));
    if (pw != FCfg.AccountPw)
        return MessageOnly(SimMsg::kBadAcctPw, QStringLiteral("계좌 비밀번호가 틀립니다. 비밀번호를 확인하세요."));
    return {};
}

TSimReply TSimAnswers::Order(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in)
{
    const QString ib = tr + QStringLiteral("InBlock1");
    const TResBlock* o1 = Out(layout, tr + QStringLiteral("OutBlock1"));
    const TResBlock* o2 = Out(layout, tr + QStringLiteral("OutBlock2"));
    if (!o1 || !o2)
        return LayoutLacks(tr + QStringLiteral("OutBlock1..2"));
    // Orders go to the main account only (the listed second account is empty).
    TSimReply bad = CheckAccount(In(in, ib, "AcntNo"), in.value(TSimExchange::InputKey(ib, "InptPwd", 0)));
    if (!bad.Before.isEmpty())
        return bad;

    const QString isu = In(in, ib, "IsuNo");
    const QString code = CodeOf(isu);
    const qint64 qty = QtyOf(In(in, ib, "OrdQty"));
    const bool isNew = tr == QLatin1String("CSPAT00600");
    const bool isCancel = tr == QLatin1String("CSPAT00800");
    if (isNew && code.isEmpty())
        return MessageOnly(SimMsg::kUnknownStock, QStringLiteral("종목번호를 넣어 주세요."));
    if (!isCancel) {
        const QString ptn = In(in, ib, "OrdprcPtnCode");
        if (!ptn.isEmpty() && ptn != QLatin1String("00"))
            return MessageOnly(SimMsg::kOrdPriceType,
                               QStringLiteral("모의 거래소는 지정가(00) 주문만 받습니다 (호가유형 %1).").arg(ptn));
    }
    if (qty <= 0 || qty > TSimTrading::kMaxOrderQty)
        return MessageOnly(SimMsg::kOrdQty, QStringLiteral("주문수량을 확인하세요. 1주 이상 %1주 이하여야 합니다 (%2).")
                                                .arg(FmtNum(TSimTrading::kMaxOrderQty), In(in, ib, "OrdQty")));
    int price = 0;
    if (!isCancel) {
        price = PriceOf(In(in, ib, "OrdPrc"));
        if (price <= 0)
            return MessageOnly(SimMsg::kOrdPrice, QStringLiteral("주문가격을 확인하세요. 1원 이상, 원 단위여야 합니다 (%1).")
                                                      .arg(In(in, ib, "OrdPrc")));
    }

    TSimOrderAnswer a;
    qint64 orgNo = 0;
    if (isNew) {
        const QString side = In(in, ib, "BnsTpCode");
        if (side != QLatin1String("1") && side != QLatin1String("2"))
            return MessageOnly(SimMsg::kOrdSide, QStringLiteral("매매구분을 확인하세요 (1 매도, 2 매수)."));
        a = FTrading.Place(code, side[0].toLatin1(), qty, price);
    } else {
        bool ok = false;
        orgNo = In(in, ib, "OrgOrdNo").toLongLong(&ok);
        if (!ok || orgNo <= 0)
            return MessageOnly(SimMsg::kOrdUnknown, QStringLiteral("원주문번호를 확인하세요 (%1).").arg(In(in, ib, "OrgOrdNo")));
        a = isCancel ? FTrading.Cancel(orgNo, code, qty) : FTrading.Modify(orgNo, code, qty, price);
    }
    if (!a.Ok)
        return MessageOnly(a.Msg.Code, a.Msg.Text);

    const TSimOrder& o = a.Order;
    const TSimStock* s = FEngine.Universe().Find(o.Code);
    const bool kq = s && s->Market == TSimMarket::Kosdaq;

    // OutBlock1: the input as taken.
    TSimBlockFill f1(*o1);
    f1.NewRow();
    for (const TResField& fld : layout.Block(ib) ? layout.Block(ib)->Fields : TResFields())
        f1.Set(fld.Name, in.value(TSimExchange::InputKey(ib, fld.Name, 0)).trimmed());
    f1.Set("RecCnt", 1);
    f1.Set("InptPwd", QStringLiteral("********"));
    f1.Set("IsuNo", QStringLiteral("A") + o.Code);
    f1.Set("OrdQty", isNew ? o.Qty : qty);
    if (!isCancel)
        f1.SetReal("OrdPrc", price, 2);
    f1.Set("OrdprcPtnCode", QStringLiteral("00"));
    f1.Set("CommdaCode", QStringLiteral("40"));
    if (isNew) {
        f1.Set("MgntrnCode", QStringLiteral("000"));
        f1.Set("OrdCndiTpCode", QStringLiteral("0"));
        f1.Set("MbrNo", In(in, ib, "MbrNo").isEmpty() ? QStringLiteral("KRX") : In(in, ib, "MbrNo"));
    } else {
        f1.Set("OrgOrdNo", orgNo);
        f1.Set("OrdCndiTpCode", QStringLiteral("0"));
    }

    // OutBlock2: the order made.
    TSimBlockFill f2(*o2);
    f2.NewRow();
    f2.Set("RecCnt", 1);
    f2.Set("OrdNo", o.OrdNo);
    f2.Set("PrntOrdNo", orgNo);
    f2.Set("OrdTime", OrdTime9(o.TimeMs));
    f2.Set("OrdMktCode", kq ? QStringLiteral("20") : QStringLiteral("10"));
    f2.Set("OrdPtnCode", o.IsBuy() ? QStringLiteral("02") : QStringLiteral("01"));
    f2.Set("ShtnIsuNo", QStringLiteral("A") + o.Code);
    f2.Set("BnsTpCode", QString(QLatin1Char(o.Side)));
    f2.Set("MgntrnCode", QStringLiteral("000"));
    f2.Set("MgempNo", QString());
    f2.Set("SpareOrdNo", o.OrdNo);
    if (!isCancel) {
        f2.Set("OrdAmt", o.Qty * o.Price);
        f2.Set("MnyOrdAmt", o.IsBuy() ? o.Qty * o.Price : 0);
    }
    f2.Set("AcntNm", QStringLiteral("모의투자"));
    f2.Set("IsuNm", s ? s->Name : o.Code);

    TSimReply r;
    r.Before.append(a.Msg);
    r.HasData = true;
    r.Blocks = {f1.Take(), f2.Take()};
    return r;
}

TSimReply TSimAnswers::T0425(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* ob = Out(layout, "t0425OutBlock");
    const TResBlock* ob1 = Out(layout, "t0425OutBlock1");
    if (!ob || !ob1)
        return LayoutLacks("t0425OutBlock, t0425OutBlock1");
    const QString ib = QStringLiteral("t0425InBlock");
    bool extra = false;
    TSimReply bad = CheckAccount(In(in, ib, "accno"), in.value(TSimExchange::InputKey(ib, "passwd", 0)), &extra);
    if (!bad.Before.isEmpty())
        return bad;
    QString chegb = In(in, ib, "chegb"), medosu = In(in, ib, "medosu"), sortgb = In(in, ib, "sortgb");
    if (chegb.isEmpty())
        chegb = QStringLiteral("0");
    if (medosu.isEmpty())
        medosu = QStringLiteral("0");
    if (sortgb.isEmpty())
        sortgb = QStringLiteral("1");
    if (!QStringList{"0", "1", "2"}.contains(chegb))
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("체결구분 값이 올바르지 않습니다 (%1): 0 전체, 1 체결, 2 미체결").arg(chegb));
    if (!QStringList{"0", "1", "2"}.contains(medosu))
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("매매구분 값이 올바르지 않습니다 (%1): 0 전체, 1 매도, 2 매수").arg(medosu));
    if (sortgb != QLatin1String("1") && sortgb != QLatin1String("2"))
        return MessageOnly(SimMsg::kBadInput, QStringLiteral("정렬순서 값이 올바르지 않습니다 (%1): 1 역순, 2 순").arg(sortgb));
    const QString code = CodeOf(In(in, ib, "expcode"));
    qint64 cts = 0;
    if (!In(in, ib, "cts_ordno").isEmpty()) {
        bool ok = false;
        cts = In(in, ib, "cts_ordno").toLongLong(&ok);
        if (!ok || cts < 0)
            return MessageOnly(SimMsg::kBadInput, QStringLiteral("연속조회 주문번호가 올바르지 않습니다 (%1).").arg(In(in, ib, "cts_ordno")));
    }

    auto wanted = [&](const TSimOrder& o) {
        if (!code.isEmpty() && o.Code != code)
            return false;
        if (medosu != QLatin1String("0") && o.Side != medosu[0].toLatin1())
            return false;
        if (chegb == QLatin1String("1"))
            return o.Filled > 0;
        if (chegb == QLatin1String("2"))
            return o.Rem() > 0;
        return true;
    };
    // Current prices first: bringing a stock up to the clock may fill orders.
    QHash<QString, int> now;
    if (!extra) {
        QSet<QString> codes;
        for (const TSimOrder& o : FTrading.Orders())
            if (wanted(o))
                codes.insert(o.Code);
        for (const QString& c : std::as_const(codes)) {
            TSimQuote q;
            now.insert(c, FEngine.Quote(c, &q) ? q.Price : 0);
        }
    }
    QVector<TSimOrder> rows;
    if (!extra)
        for (const TSimOrder& o : FTrading.Orders())
            if (wanted(o))
                rows.append(o);
    const bool desc = sortgb == QLatin1String("1");
    std::sort(rows.begin(), rows.end(), [desc](const TSimOrder& a, const TSimOrder& b) {
        return desc ? a.OrdNo > b.OrdNo : a.OrdNo < b.OrdNo;
    });

    TSimBlockFill f(*ob);
    f.NewRow();
    qint64 tqty = 0, tche = 0, trem = 0, cmss = 0, tamt = 0, tmd = 0, tms = 0, tax = 0;
    for (const TSimOrder& o : rows) {
        if (o.Kind != TSimOrdKind::Cancel) {
            tqty += o.Qty;
            tamt += o.Qty * o.Price;
        }
        tche += o.Filled;
        trem += o.Rem();
        cmss += o.Fee;
        tax += o.Tax;
        (o.IsBuy() ? tms : tmd) += o.FillAmt;
    }
    f.Set("tqty", tqty);
    f.Set("tcheqty", tche);
    f.Set("tordrem", trem);
    f.Set("cmss", cmss);
    f.Set("tamt", tamt);
    f.Set("tmdamt", tmd);
    f.Set("tmsamt", tms);
    f.Set("tax", tax);

    TSimBlockFill f1(*ob1);
    const int page = qMax(1, FCfg.OrderListRows);
    int start = 0;
    if (cts > 0)
        while (start < rows.size() && (desc ? rows[start].OrdNo >= cts : rows[start].OrdNo <= cts))
            ++start;
    int end = qMin<int>(rows.size(), start + page);
    for (int i = start; i < end; ++i) {
        const TSimOrder& o = rows[i];
        f1.NewRow();
        f1.Set("ordno", o.OrdNo);
        f1.Set("expcode", o.Code);
        f1.Set("medosu", o.IsBuy() ? QStringLiteral("매수") : QStringLiteral("매도"));
        f1.Set("qty", o.Qty);
        f1.Set("price", o.Price);
        f1.Set("cheqty", o.Filled);
        f1.Set("cheprice", o.AvgFillPrice());
        f1.Set("ordrem", o.Rem());
        f1.Set("cfmqty", o.Kind == TSimOrdKind::New ? 0 : o.Qty);
        f1.Set("status", o.Status());
        f1.Set("orgordno", o.OrgOrdNo);
        f1.Set("ordgb", o.KindText());
        // HHMMSS and hundredths of a second.
        f1.Set("ordtime", SimHhmmss(o.TimeMs) + QString::number(o.TimeMs % 1000 / 10).rightJustified(2, QLatin1Char('0')));
        f1.Set("ordermtd", QStringLiteral("모의투자"));
        f1.Set("sysprocseq", o.OrdNo);
        f1.Set("hogagb", QStringLiteral("00"));
        f1.Set("price1", now.value(o.Code));
        f1.Set("orggb", o.IsBuy() ? QStringLiteral("02") : QStringLiteral("01"));
        f1.Set("singb", QStringLiteral("00"));
        f1.Set("exchname", QStringLiteral("KRX"));
    }
    f.Set("cts_ordno", end < rows.size() && end > start ? QString::number(rows[end - 1].OrdNo) : QString());
    return Data({f.Take(), f1.Take()}, Msg(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
}

TSimReply TSimAnswers::T0150(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* ob = Out(layout, "t0150OutBlock");
    const TResBlock* ob1 = Out(layout, "t0150OutBlock1");
    if (!ob || !ob1)
        return LayoutLacks("t0150OutBlock, t0150OutBlock1");
    const QString acct = Digits(In(in, "t0150InBlock", "accno"));
    const bool main = acct == FCfg.AccountNo;
    if (!main && (acct.isEmpty() || acct != FCfg.ExtraAccountNo))
        return MessageOnly(SimMsg::kUnknownAcct, QStringLiteral("계좌번호를 확인하세요. 등록되지 않은 계좌입니다."));

    // One row per side and stock: sells first, then buys, each by code.
    struct TSum {
        qint64 Qty = 0, Amt = 0, Fee = 0, Tax = 0;
    };
    QMap<QString, TSum> sums[2];   // 0 sells, 1 buys
    if (main)
        for (const TSimOrder& o : FTrading.Orders()) {
            if (o.Filled <= 0)
                continue;
            TSum& x = sums[o.IsBuy() ? 1 : 0][o.Code];
            x.Qty += o.Filled;
            x.Amt += o.FillAmt;
            x.Fee += o.Fee;
            x.Tax += o.Tax;
        }
    TSimBlockFill f1(*ob1);
    TSum tot[2];
    for (int side = 0; side < 2; ++side) {
        for (auto it = sums[side].cbegin(); it != sums[side].cend(); ++it) {
            const TSum& x = it.value();
            f1.NewRow();
            f1.Set("medosu", side == 0 ? QStringLiteral("매도") : QStringLiteral("매수"));
            f1.Set("expcode", it.key());
            f1.Set("qty", x.Qty);
            f1.Set("price", x.Qty > 0 ? qRound64(double(x.Amt) / x.Qty) : 0);
            f1.Set("amt", x.Amt);
            f1.Set("fee", x.Fee);
            f1.Set("tax", x.Tax);
            f1.Set("argtax", 0);
            f1.Set("adjamt", side == 0 ? x.Amt - x.Fee - x.Tax : x.Amt + x.Fee);
            f1.Set("middiv", QStringLiteral("모의투자"));
            tot[side].Qty += x.Qty;
            tot[side].Amt += x.Amt;
            tot[side].Fee += x.Fee;
            tot[side].Tax += x.Tax;
        }
    }
    const TSum& md = tot[0];
    const TSum& ms = tot[1];
    TSimBlockFill f(*ob);
    f.NewRow();
    f.Set("mdqty", md.Qty);
    f.Set("mdamt", md.Amt);
    f.Set("mdfee", md.Fee);
    f.Set("mdtax", md.Tax);
    f.Set("mdargtax", 0);
    f.Set("tmdtax", md.Fee + md.Tax);
    f.Set("mdadjamt", md.Amt - md.Fee - md.Tax);
    f.Set("msqty", ms.Qty);
    f.Set("msamt", ms.Amt);
    f.Set("msfee", ms.Fee);
    f.Set("tmstax", ms.Fee);
    f.Set("msadjamt", ms.Amt + ms.Fee);
    f.Set("tqty", md.Qty + ms.Qty);
    f.Set("tamt", md.Amt + ms.Amt);
    f.Set("tfee", md.Fee + ms.Fee);
    f.Set("tottax", md.Tax);
    f.Set("targtax", 0);
    f.Set("ttax", md.Fee + md.Tax + ms.Fee);
    f.Set("tadjamt", (md.Amt - md.Fee - md.Tax) - (ms.Amt + ms.Fee));
    return Data({f.Take(), f1.Take()}, Msg(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
}

TSimReply TSimAnswers::T0424(const TResLayout& layout, const QHash<QString, QString>& in)
{
    const TResBlock* ob = Out(layout, "t0424OutBlock");
    const TResBlock* ob1 = Out(layout, "t0424OutBlock1");
    if (!ob || !ob1)
        return LayoutLacks("t0424OutBlock, t0424OutBlock1");
    const QString ib = QStringLiteral("t0424InBlock");
    bool extra = false;
    TSimReply bad = CheckAccount(In(in, ib, "accno"), in.value(TSimExchange::InputKey(ib, "passwd", 0)), &extra);
    if (!bad.Before.isEmpty())
        return bad;

    // Today's buys and sells per stock, and the realized profit.
    struct TDay {
        qint64 BuyAmt = 0, BuyQty = 0, SellAmt = 0, SellQty = 0, Fee = 0, Tax = 0;
    };
    QHash<QString, TDay> day;
    qint64 realized = 0;
    if (!extra)
        for (const TSimOrder& o : FTrading.Orders()) {
            if (o.Filled <= 0)
                continue;
            TDay& d = day[o.Code];
            (o.IsBuy() ? d.BuyAmt : d.SellAmt) += o.FillAmt;
            (o.IsBuy() ? d.BuyQty : d.SellQty) += o.Filled;
            d.Fee += o.Fee;
            d.Tax += o.Tax;
            realized += o.Realized;
        }

    TSimBlockFill f1(*ob1);
    qint64 evalSum = 0, buySum = 0;
    QVector<TSimHolding> holds = extra ? QVector<TSimHolding>() : FAccount.Holdings();
    std::sort(holds.begin(), holds.end(), [](const TSimHolding& a, const TSimHolding& b) { return a.Code < b.Code; });
    QVector<qint64> evals;
    for (const TSimHolding& h : holds) {
        TSimQuote q;
        evals << (FEngine.Quote(h.Code, &q) ? qint64(q.Price) * h.Qty : 0);
        evalSum += evals.last();
    }
    for (int i = 0; i < holds.size(); ++i) {
        const TSimHolding& h = holds[i];
        TSimQuote q;
        const bool listed = FEngine.Quote(h.Code, &q);
        const qint64 buy = qRound64(h.AvgPrice * h.Qty);
        const qint64 eval = evals[i];
        const TDay d = day.value(h.Code);
        buySum += buy;
        f1.NewRow();
        f1.Set("expcode", h.Code);
        f1.Set("jangb", QStringLiteral("현금"));
        f1.Set("janqty", h.Qty);
        f1.Set("mdposqt", FTrading.Sellable(h.Code));
        f1.Set("pamt", qRound64(h.AvgPrice));
        f1.Set("mamt", buy);
        f1.Set("msat", d.BuyAmt);
        f1.Set("mpms", d.BuyQty > 0 ? qRound64(double(d.BuyAmt) / d.BuyQty) : 0);
        f1.Set("mdat", d.SellAmt);
        f1.Set("mpmd", d.SellQty > 0 ? qRound64(double(d.SellAmt) / d.SellQty) : 0);
        f1.Set("hname", listed ? q.Name : h.Code);
        f1.Set("marketgb", listed && q.Market == TSimMarket::Kosdaq ? QStringLiteral("2") : QStringLiteral("1"));
        f1.Set("jonggb", QStringLiteral("3"));
        f1.SetReal("janrt", evalSum > 0 ? eval * 100.0 / evalSum : 0.0, 2);
        f1.Set("price", listed ? q.Price : 0);
        f1.Set("appamt", eval);
        f1.Set("dtsunik", eval - buy);
        f1.SetReal("sunikrt", buy > 0 ? (eval - buy) * 100.0 / buy : 0.0, 2);
        f1.Set("fee", d.Fee);
        f1.Set("tax", d.Tax);
    }
    const qint64 cash = extra ? 0 : FAccount.Cash();
    TSimBlockFill f(*ob);
    f.NewRow();
    f.Set("sunamt", cash + evalSum);
    f.Set("dtsunik", realized);
    f.Set("mamt", buySum);
    f.Set("sunamt1", cash);
    f.Set("cts_expcode", QString());
    f.Set("tappamt", evalSum);
    f.Set("tdtsunik", evalSum - buySum);
    return Data({f.Take(), f1.Take()}, Msg(SimMsg::kDone, QStringLiteral("조회가 완료되었습니다.")));
}
