#include "sim/SimAnswers.h"
#include "sim/MarketEngine.h"
#include "sim/SimAccount.h"
#include "sim/SimExchange.h"
#include "sim/SimRealRecord.h"

namespace {

TSimMessage Msg(const QString& code, const QString& text) { return {false, code, text}; }

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

TSimReply MessageOnly(const QString& code, const QString& text)
{
    TSimReply r;
    r.Before.append(Msg(code, text));
    return r;
}

// The output block named `name`; a layout without it cannot be answered.
const TResBlock* Out(const TResLayout& layout, const QString& name)
{
    const TResBlock* b = layout.Block(name);
    return b && !b->Input ? b : nullptr;
}

TSimReply LayoutLacks(const QString& block)
{
    return MessageOnly(SimMsg::kBadInput, QStringLiteral("결과 형식 파일에 %1 블록이 없습니다.").arg(block));
}

} // namespace

TSimAnswers::TSimAnswers(TMarketEngine& engine, TSimAccount& account, const TSimConfig& cfg, TClock& clock)
    : FEngine(engine), FAccount(account), FCfg(cfg), FClock(clock)
{
}

QString TSimAnswers::In(const QHash<QString, QString>& in, const QString& block, const QString& field) const
{
    return in.value(TSimExchange::InputKey(block, field, 0)).trimmed();
}

TSimReply TSimAnswers::Answer(const QString& tr, const TResLayout& layout, const QHash<QString, QString>& in)
{
    if (tr == QLatin1String("t0167"))
        return T0167(layout);
    if (tr == QLatin1String("t8430"))
        return T8430(layout, In(in, "t8430InBlock", "gubun"));
    if (tr == QLatin1String("t1101"))
        return T1101(layout, In(in, "t1101InBlock", "shcode"));
    if (tr == QLatin1String("CSPAQ12300"))
        return Cspaq12300(layout, in);
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
    f.Set("hname", q.Name);
    f.Set("shcode", q.Code);
    f.Set("price", q.Price);
    f.Set("sign", QString(QLatin1Char(q.Sign)));
    f.Set("change", q.Change);
    f.SetReal("diff", q.Diff, 2);
    f.Set("volume", q.Volume);
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
    f.Set("hotime", SimHhmmss(b.TimeMs));
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
        for (const TSimHolding& h : FAccount.Holdings()) {
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
            f3.Set("SellAbleQty", h.Qty);
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
    TSimBlockFill f2(*o2);
    f2.NewRow();
    f2.Set("RecCnt", 1);
    f2.Set("BrnNm", QStringLiteral("모의투자지점"));
    f2.Set("AcntNm", QStringLiteral("모의투자"));
    for (const char* name : {"MnyOrdAbleAmt", "MnyoutAbleAmt", "SeOrdAbleAmt", "KdqOrdAbleAmt", "HtsOrdAbleAmt",
                             "MgnRat100pctOrdAbleAmt", "Dps", "D1Dps", "D2Dps"})
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
