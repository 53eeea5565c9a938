#include "sim/SimTrading.h"
#include "core/NumFmt.h"
#include "sim/SimAnswers.h"
#include <algorithm>
#include <cmath>

namespace {

QString N(qint64 v) { return QString::number(v); }

// Order time as the broker writes it: HHMMSSmmm.
QString OrdTime(int ms)
{
    return SimHhmmss(ms) + QString::number(ms % 1000).rightJustified(3, QLatin1Char('0'));
}

} // namespace

qint64 TSimTrading::Fee(qint64 amount)
{
    return amount > 0 ? qint64(std::floor(double(amount) * kFeeRate + 1e-9)) : 0;
}

qint64 TSimTrading::SellTax(qint64 amount)
{
    return amount > 0 ? qint64(std::floor(double(amount) * kSellTaxRate + 1e-9)) : 0;
}

TSimTrading::TSimTrading(TMarketEngine& engine, TSimAccount& account, const QString& accountNo)
    : FEngine(engine), FAccount(account), FAccountNo(accountNo)
{
}

TSimTrading::~TSimTrading()
{
    for (const QString& code : std::as_const(FWatched))
        FEngine.Unwatch(code);
}

void TSimTrading::BeginDay(const QDate& date)
{
    FDate = date;
    const TSimAccountState& st = FAccount.State();
    if (st.OrdersDate.isValid() && st.OrdersDate != date) {
        TSimAccountState next = st;
        next.Orders.clear();
        next.OrdersDate = QDate();
        if (!FAccount.Commit(next, true))
            FSaveProblem = FAccount.SaveError();
    }
    Rewatch();
}

const TSimOrder* TSimTrading::Order(qint64 ordNo) const
{
    const int i = IndexOf(ordNo);
    return i >= 0 ? &FAccount.Orders()[i] : nullptr;
}

int TSimTrading::IndexOf(qint64 ordNo) const
{
    const auto& os = FAccount.Orders();
    for (int i = 0; i < os.size(); ++i)
        if (os[i].OrdNo == ordNo)
            return i;
    return -1;
}

qint64 TSimTrading::OrderableCash() const
{
    qint64 held = 0;
    for (const TSimOrder& o : FAccount.Orders())
        if (o.IsBuy() && o.Rem() > 0)
            held += BuyReserve(o.Rem(), o.Price);
    return qMax<qint64>(0, FAccount.Cash() - held);
}

qint64 TSimTrading::OpenSellQty(const QString& code) const
{
    qint64 n = 0;
    for (const TSimOrder& o : FAccount.Orders())
        if (!o.IsBuy() && o.Code == code)
            n += o.Rem();
    return n;
}

qint64 TSimTrading::Sellable(const QString& code) const
{
    const TSimHolding* h = FAccount.Holding(code);
    return qMax<qint64>(0, (h ? h->Qty : 0) - OpenSellQty(code));
}

std::optional<TSimOrderAnswer> TSimTrading::PriceReject(const QString& code, int price,
                                                        const QString& badPriceText) const
{
    const QString bad = CheckPrice(code, price);
    if (bad.isEmpty())
        return std::nullopt;
    const TSimDayInfo info = FEngine.DayInfo(code);
    if (bad == SimMsg::kOrdTick)
        return Reject(bad, QStringLiteral("호가단위가 맞지 않습니다. %1원은 %2원 단위로 주문하세요.")
                               .arg(FmtNum(price), FmtNum(TickSize(price))));
    if (bad == SimMsg::kOrdUpLimit)
        return Reject(bad, QStringLiteral("주문가격이 상한가(%1원)를 넘습니다.").arg(FmtNum(info.UpLimit)));
    if (bad == SimMsg::kOrdDnLimit)
        return Reject(bad, QStringLiteral("주문가격이 하한가 미달입니다."));
    return Reject(bad, badPriceText);
}

TSimOrderAnswer TSimTrading::Reject(const QString& code, const QString& text) const
{
    TSimOrderAnswer a;
    a.Msg = {false, code, text};
    return a;
}

QString TSimTrading::CheckPrice(const QString& code, int price) const
{
    if (price <= 0)
        return SimMsg::kOrdPrice;
    if (price % TickSize(price) != 0)
        return SimMsg::kOrdTick;
    const TSimDayInfo info = FEngine.DayInfo(code);
    if (info.UpLimit > 0 && price > info.UpLimit)
        return SimMsg::kOrdUpLimit;
    if (info.DnLimit > 0 && price < info.DnLimit)
        return SimMsg::kOrdDnLimit;
    return {};
}

TSimOrderAnswer TSimTrading::Place(const QString& code, char side, qint64 qty, int price)
{
    const TSimStock* stock = FEngine.Universe().Find(code);
    if (!stock)
        return Reject(SimMsg::kUnknownStock, QStringLiteral("종목코드를 확인하세요. 상장되지 않은 종목입니다 (%1).").arg(code));
    if (side != '1' && side != '2')
        return Reject(SimMsg::kOrdSide, QStringLiteral("매매구분을 확인하세요 (1 매도, 2 매수)."));
    if (qty <= 0 || qty > kMaxOrderQty)
        return Reject(SimMsg::kOrdQty, QStringLiteral("주문수량을 확인하세요. 1주 이상 %1주 이하여야 합니다.")
                                           .arg(FmtNum(kMaxOrderQty)));
    if (FEngine.Phase() == TSessionPhase::Closed)
        return Reject(SimMsg::kOrdClosed, QStringLiteral("장이 끝나 주문을 받을 수 없습니다."));
    if (auto r = PriceReject(code, price, QStringLiteral("주문가격을 확인하세요.")))
        return *r;

    // The stock up to the clock first: fills due by now come before this order.
    TSimQuote q;
    FEngine.Quote(code, &q);
    if (side == '1') {
        const qint64 can = Sellable(code);
        if (qty > can)
            return Reject(SimMsg::kOrdNoShares, QStringLiteral("매도가능수량이 부족합니다 (주문 %1주, 가능 %2주).")
                                                    .arg(FmtNum(qty), FmtNum(can)));
    } else {
        const qint64 need = BuyReserve(qty, price);
        const qint64 can = OrderableCash();
        if (need > can)
            return Reject(SimMsg::kOrdNoCash, QStringLiteral("주문가능금액이 부족합니다 (필요 %1원, 가능 %2원).")
                                                  .arg(FmtNum(need), FmtNum(can)));
    }

    TSimAccountState next = FAccount.State();
    TSimOrder o;
    o.OrdNo = next.NextOrdNo++;
    o.Kind = TSimOrdKind::New;
    o.Code = code;
    o.Side = side;
    o.Price = price;
    o.Qty = qty;
    o.TimeMs = q.TimeMs;
    next.Orders.append(o);
    next.OrdersDate = FDate;
    if (!FAccount.Commit(next, false))
        return Reject(SimMsg::kOrdNotSaved, QStringLiteral("모의 계좌 파일을 저장하지 못해 주문을 받지 않았습니다: %1")
                                                .arg(FAccount.SaveError()));
    EmitOrderEvent(QStringLiteral("SC0"), o, QStringLiteral("01"));
    if (FEngine.Phase() == TSessionPhase::Open)
        MatchOnEntry(o.OrdNo, q.Book);
    Rewatch();

    TSimOrderAnswer a;
    a.Ok = true;
    a.Msg = {false, side == '2' ? SimMsg::kBuyDone : SimMsg::kSellDone,
             side == '2' ? QStringLiteral("매수 주문이 완료되었습니다.") : QStringLiteral("매도 주문이 완료되었습니다.")};
    a.Order = *Order(o.OrdNo);
    return a;
}

TSimOrderAnswer TSimTrading::Modify(qint64 orgOrdNo, const QString& code, qint64 qty, int price)
{
    int i = IndexOf(orgOrdNo);
    if (i < 0 || FAccount.Orders()[i].Kind == TSimOrdKind::Cancel)
        return Reject(SimMsg::kOrdUnknown, QStringLiteral("원주문번호를 확인하세요. 없는 주문입니다 (#%1).").arg(orgOrdNo));
    const TSimOrder org0 = FAccount.Orders()[i];
    if (!code.isEmpty() && code != org0.Code)
        return Reject(SimMsg::kOrdOtherStock, QStringLiteral("원주문의 종목(%1)과 다른 종목입니다 (%2).").arg(org0.Code, code));
    if (qty <= 0 || qty > kMaxOrderQty)
        return Reject(SimMsg::kOrdQty, QStringLiteral("정정수량을 확인하세요. 1주 이상 %1주 이하여야 합니다.")
                                           .arg(FmtNum(kMaxOrderQty)));
    if (FEngine.Phase() == TSessionPhase::Closed)
        return Reject(SimMsg::kOrdClosed, QStringLiteral("장이 끝나 정정할 수 없습니다."));
    if (auto r = PriceReject(org0.Code, price, QStringLiteral("정정가격을 확인하세요.")))
        return *r;

    TSimQuote q;
    FEngine.Quote(org0.Code, &q);   // fills due by now first
    i = IndexOf(orgOrdNo);
    const TSimOrder org = FAccount.Orders()[i];
    if (org.Rem() <= 0)
        return Reject(SimMsg::kOrdNothingLeft,
                      QStringLiteral("정정할 잔량이 없습니다 (#%1: 이미 체결되었거나 정정·취소된 주문).").arg(orgOrdNo));
    const qint64 move = qMin(qty, org.Rem());
    if (org.IsBuy()) {
        const qint64 need = BuyReserve(move, price);
        const qint64 can = OrderableCash() + BuyReserve(move, org.Price);
        if (need > can)
            return Reject(SimMsg::kOrdNoCash, QStringLiteral("주문가능금액이 부족합니다 (필요 %1원, 가능 %2원).")
                                                  .arg(FmtNum(need), FmtNum(can)));
    }

    TSimAccountState next = FAccount.State();
    next.Orders[i].Moved += move;
    TSimOrder o;
    o.OrdNo = next.NextOrdNo++;
    o.OrgOrdNo = org.OrdNo;
    o.Kind = TSimOrdKind::Modify;
    o.Code = org.Code;
    o.Side = org.Side;
    o.Price = price;
    o.Qty = move;
    o.TimeMs = q.TimeMs;
    next.Orders.append(o);
    if (!FAccount.Commit(next, false))
        return Reject(SimMsg::kOrdNotSaved, QStringLiteral("모의 계좌 파일을 저장하지 못해 정정을 받지 않았습니다: %1")
                                                .arg(FAccount.SaveError()));
    EmitOrderEvent(QStringLiteral("SC0"), o, QStringLiteral("02"));
    EmitOrderEvent(QStringLiteral("SC3"), o, QStringLiteral("12"));
    if (FEngine.Phase() == TSessionPhase::Open)
        MatchOnEntry(o.OrdNo, q.Book);
    Rewatch();

    TSimOrderAnswer a;
    a.Ok = true;
    a.Msg = {false, SimMsg::kModifyDone, QStringLiteral("정정 주문이 완료되었습니다.")};
    a.Order = *Order(o.OrdNo);
    a.Original = *Order(org.OrdNo);
    return a;
}

TSimOrderAnswer TSimTrading::Cancel(qint64 orgOrdNo, const QString& code, qint64 qty)
{
    int i = IndexOf(orgOrdNo);
    if (i < 0 || FAccount.Orders()[i].Kind == TSimOrdKind::Cancel)
        return Reject(SimMsg::kOrdUnknown, QStringLiteral("원주문번호를 확인하세요. 없는 주문입니다 (#%1).").arg(orgOrdNo));
    const QString orgCode = FAccount.Orders()[i].Code;
    if (!code.isEmpty() && code != orgCode)
        return Reject(SimMsg::kOrdOtherStock, QStringLiteral("원주문의 종목(%1)과 다른 종목입니다 (%2).").arg(orgCode, code));
    if (qty <= 0)
        return Reject(SimMsg::kOrdQty, QStringLiteral("취소수량을 확인하세요. 1주 이상이어야 합니다."));
    TSimQuote q;
    FEngine.Quote(orgCode, &q);   // fills due by now first
    i = IndexOf(orgOrdNo);
    const TSimOrder org = FAccount.Orders()[i];
    if (org.Rem() <= 0)
        return Reject(SimMsg::kOrdNothingLeft,
                      QStringLiteral("취소할 잔량이 없습니다 (#%1: 이미 체결되었거나 정정·취소된 주문).").arg(orgOrdNo));
    const qint64 take = qMin(qty, org.Rem());

    TSimAccountState next = FAccount.State();
    next.Orders[i].Moved += take;
    TSimOrder o;
    o.OrdNo = next.NextOrdNo++;
    o.OrgOrdNo = org.OrdNo;
    o.Kind = TSimOrdKind::Cancel;
    o.Code = org.Code;
    o.Side = org.Side;
    o.Price = org.Price;
    o.Qty = take;
    o.TimeMs = q.TimeMs;
    next.Orders.append(o);
    if (!FAccount.Commit(next, false))
        return Reject(SimMsg::kOrdNotSaved, QStringLiteral("모의 계좌 파일을 저장하지 못해 취소를 받지 않았습니다: %1")
                                                .arg(FAccount.SaveError()));
    EmitOrderEvent(QStringLiteral("SC0"), o, QStringLiteral("03"));
    EmitOrderEvent(QStringLiteral("SC3"), o, QStringLiteral("13"));
    Rewatch();

    TSimOrderAnswer a;
    a.Ok = true;
    a.Msg = {false, SimMsg::kCancelDone, QStringLiteral("취소주문이 완료되었습니다.")};
    a.Order = o;
    a.Original = *Order(org.OrdNo);
    return a;
}

void TSimTrading::MatchOnEntry(qint64 ordNo, const TSimBook& book)
{
    const TSimOrder* o = Order(ordNo);
    if (!o)
        return;
    const bool buy = o->IsBuy();
    const int limit = o->Price, timeMs = o->TimeMs;
    for (int lv = 0; lv < kBookLevels; ++lv) {
        const TSimOrder* cur = Order(ordNo);
        if (!cur || cur->Rem() <= 0)
            break;
        const int px = buy ? book.Ask[lv] : book.Bid[lv];
        const qint64 shown = buy ? book.AskQ[lv] : book.BidQ[lv];
        if (px <= 0 || shown <= 0 || (buy ? px > limit : px < limit))
            break;
        if (!Fill(ordNo, qMin(cur->Rem(), shown), px, timeMs))
            break;
    }
}

void TSimTrading::OnMarketTrade(const QString& code, const TSimTrade& t)
{
    if (!FDate.isValid() || FEngine.MarketDate() != FDate || t.Price <= 0)
        return;
    // Our open orders of this stock the trade reaches, best price first, then
    // by number. A trade at or before the one that last filled an order has
    // been applied already (a restart replays the day).
    QVector<TSimOrder> hit;
    for (const TSimOrder& o : FAccount.Orders())
        if (o.Code == code && o.Rem() > 0 && o.TimeMs < t.TimeMs && t.Volume > o.SeenVol
            && (o.IsBuy() ? t.Price <= o.Price : t.Price >= o.Price))
            hit.append(o);
    if (hit.isEmpty())
        return;
    std::sort(hit.begin(), hit.end(), [](const TSimOrder& a, const TSimOrder& b) {
        if (a.Price != b.Price)
            return a.IsBuy() ? a.Price > b.Price : a.Price < b.Price;
        return a.OrdNo < b.OrdNo;
    });
    qint64 atLimit = t.Qty;   // what a trade exactly at the limit can give
    for (const TSimOrder& o : hit) {
        const TSimOrder* cur = Order(o.OrdNo);
        if (!cur || cur->Rem() <= 0)
            continue;
        // An auction print fills every order it reaches at the one auction
        // price; in continuous trading a price beyond the limit took the
        // order at its limit first.
        const int px = t.Auction ? t.Price : o.Price;
        if (t.Price != o.Price) {
            Fill(o.OrdNo, cur->Rem(), px, t.TimeMs, t.Volume);
        } else if (atLimit > 0) {
            const qint64 n = qMin(cur->Rem(), atLimit);
            if (Fill(o.OrdNo, n, px, t.TimeMs, t.Volume))
                atLimit -= n;
        }
    }
    Rewatch();
}

bool TSimTrading::Fill(qint64 ordNo, qint64 qty, int price, int timeMs, qint64 seenVol)
{
    const int i = IndexOf(ordNo);
    if (i < 0 || qty <= 0 || price <= 0)
        return false;
    TSimAccountState next = FAccount.State();
    TSimOrder& o = next.Orders[i];
    qty = qMin(qty, o.Rem());
    int h = -1;
    for (int k = 0; k < next.Holdings.size(); ++k)
        if (next.Holdings[k].Code == o.Code)
            h = k;
    if (!o.IsBuy())
        qty = qMin(qty, h >= 0 ? next.Holdings[h].Qty : 0);   // the holding was changed by hand
    if (qty <= 0)
        return false;
    const qint64 amt = qty * price;
    const qint64 fee = Fee(amt);
    const qint64 tax = o.IsBuy() ? 0 : SellTax(amt);
    if (o.IsBuy()) {
        if (next.Cash < amt + fee)
            return false;   // cash taken by hand meanwhile
        next.Cash -= amt + fee;
        if (h >= 0) {
            TSimHolding& x = next.Holdings[h];
            const qint64 n = x.Qty + qty;
            x.AvgPrice = (x.AvgPrice * x.Qty + double(amt)) / n;
            x.Qty = n;
        } else {
            next.Holdings.append({o.Code, qty, double(price)});
        }
    } else {
        next.Cash += amt - fee - tax;
        TSimHolding& x = next.Holdings[h];
        o.Realized += amt - fee - tax - qRound64(x.AvgPrice * qty);
        x.Qty -= qty;
        if (x.Qty == 0)
            next.Holdings.removeAt(h);
    }
    o.Filled += qty;
    o.FillAmt += amt;
    if (seenVol >= 0)
        o.SeenVol = seenVol;
    o.Fee += fee;
    o.Tax += tax;
    const TSimOrder filled = o;
    if (!FAccount.Commit(next, true)) {
        FSaveProblem = FAccount.SaveError();
        if (FAccount.State().Orders.value(i).Filled != filled.Filled)
            return false;   // refused as inconsistent: nothing happened
    } else {
        FSaveProblem.clear();
    }

    // SC1: one fill.
    TSimRealRecord rec;
    rec.Kind = TSimRealKind::Account;
    rec.Feed = QStringLiteral("SC1");
    AddCommon(rec, filled);
    auto& f = rec.Fields;
    f.insert("ordxctptncode", QStringLiteral("11"));
    f.insert("execno", N(++FExecNo));
    f.insert("exectime", OrdTime(timeMs));
    f.insert("rcptexectime", OrdTime(timeMs));
    f.insert("execqty", N(qty));
    f.insert("execprc", N(price));
    f.insert("spotexecqty", N(qty));
    f.insert("mnyexecamt", N(amt));
    f.insert("cmsnamtexecamt", N(amt));
    f.insert("ordavrexecprc", N(filled.AvgFillPrice()));
    if (FEmit)
        FEmit(std::move(rec));
    return true;
}

void TSimTrading::Rewatch()
{
    QSet<QString> want;
    for (const TSimOrder& o : FAccount.Orders())
        if (o.Rem() > 0)
            want.insert(o.Code);
    const QSet<QString> had = FWatched;
    for (const QString& c : had)
        if (!want.contains(c)) {
            FWatched.remove(c);
            FEngine.Unwatch(c);
        }
    for (const QString& c : std::as_const(want))
        if (!FWatched.contains(c)) {
            FWatched.insert(c);
            FEngine.Watch(c);   // may fill at once (trades since the order, after a restart)
        }
}

void TSimTrading::AddCommon(TSimRealRecord& rec, const TSimOrder& o) const
{
    const TSimStock* s = FEngine.Universe().Find(o.Code);
    const bool kq = s && s->Market == TSimMarket::Kosdaq;
    const TSimHolding* h = FAccount.Holding(o.Code);
    const TSimOrder* org = o.OrgOrdNo > 0 ? Order(o.OrgOrdNo) : nullptr;
    auto& f = rec.Fields;
    f.insert("accno", FAccountNo);
    f.insert("accno1", FAccountNo);
    f.insert("ordacntno", FAccountNo);
    f.insert("acntnm", QStringLiteral("모의투자"));
    f.insert("user", QStringLiteral("demo"));
    f.insert("userid", QStringLiteral("demo"));
    f.insert("ordno", N(o.OrdNo));
    f.insert("orgordno", N(o.OrgOrdNo));
    f.insert("prntordno", N(o.OrgOrdNo > 0 ? o.OrgOrdNo : o.OrdNo));
    f.insert("Isuno", QStringLiteral("A") + o.Code);
    f.insert("shtnIsuno", QStringLiteral("A") + o.Code);
    f.insert("stdIsuno", s ? s->Isin : QString());
    f.insert("Isunm", s ? s->Name : o.Code);
    f.insert("bnstp", QString(QLatin1Char(o.Side)));
    f.insert("ordptncode", o.IsBuy() ? QStringLiteral("02") : QStringLiteral("01"));
    f.insert("ordmktcode", kq ? QStringLiteral("20") : QStringLiteral("10"));
    f.insert("regmktcode", kq ? QStringLiteral("20") : QStringLiteral("10"));
    f.insert("ordprcptncode", QStringLiteral("00"));
    f.insert("mgntrncode", QStringLiteral("000"));
    f.insert("ordtrdptncode", QStringLiteral("00"));
    f.insert("ordcndi", QStringLiteral("0"));
    f.insert("ordqty", N(o.Qty));
    f.insert("ordprc", N(o.Price));
    f.insert("ordamt", N(o.Qty * o.Price));
    f.insert("unercqty", N(o.Rem()));
    f.insert("orgordunercqty", N(org ? org->Rem() : 0));
    f.insert("orgordmdfyqty", N(o.Kind == TSimOrdKind::Modify ? o.Qty : 0));
    f.insert("orgordcancqty", N(o.Kind == TSimOrdKind::Cancel ? o.Qty : 0));
    f.insert("deposit", N(FAccount.Cash()));
    f.insert("ordablemny", N(OrderableCash()));
    f.insert("secbalqty", N(h ? h->Qty : 0));
    f.insert("secbalqtyd2", N(h ? h->Qty : 0));
    f.insert("sellableqty", N(Sellable(o.Code)));
    f.insert("unercsellordqty", N(OpenSellQty(o.Code)));
    f.insert("avrpchsprc", h ? QString::number(h->AvgPrice, 'f', 2) : QStringLiteral("0.00"));
    f.insert("pchsant", N(h ? qRound64(h->AvgPrice * h->Qty) : 0));
    f.insert("msgcode", QStringLiteral("0000"));
}

void TSimTrading::EmitOrderEvent(const QString& feed, const TSimOrder& o, const QString& chegb)
{
    if (!FEmit)
        return;
    TSimRealRecord rec;
    rec.Kind = TSimRealKind::Account;
    rec.Feed = feed;
    AddCommon(rec, o);
    auto& f = rec.Fields;
    const TSimStock* s = FEngine.Universe().Find(o.Code);
    if (feed == QLatin1String("SC0")) {
        // The acceptance layout names several fields its own way.
        f.insert("ordchegb", chegb);
        f.insert("trcode", chegb == QLatin1String("01")   ? QStringLiteral("SONAT000")
                           : chegb == QLatin1String("02") ? QStringLiteral("SONAT001")
                                                          : QStringLiteral("SONAT002"));
        f.insert("marketgb", f.value("ordmktcode"));
        f.insert("ordgb", f.value("ordptncode"));
        f.insert("expcode", s ? s->Isin : o.Code);
        f.insert("shtcode", QStringLiteral("A") + o.Code);
        f.insert("hname", s ? s->Name : o.Code);
        f.insert("ordprice", N(o.Price));
        f.insert("hogagb", QStringLiteral("0"));
        f.insert("etfhogagb", QStringLiteral("00"));
        f.insert("singb", QStringLiteral("000"));
        f.insert("ordtm", OrdTime(o.TimeMs));
        f.insert("orgordundrqty", f.value("orgordunercqty"));
        f.insert("ordordcancelqty", f.value("orgordcancqty"));
        f.insert("mnyordamt", N(o.IsBuy() && o.Kind != TSimOrdKind::Cancel ? o.Qty * o.Price : 0));
        f.insert("pchsamt", f.value("pchsant"));
        f.insert("passwd", QStringLiteral("********"));
    } else {
        // SC3: the modify or cancel confirmed.
        f.insert("ordxctptncode", chegb);
        f.insert("trcode", QStringLiteral("SONAS100"));
        f.insert("exectime", OrdTime(o.TimeMs));
        if (o.Kind == TSimOrdKind::Modify) {
            f.insert("mdfycnfqty", N(o.Qty));
            f.insert("mdfycnfprc", N(o.Price));
        } else {
            f.insert("canccnfqty", N(o.Qty));
        }
    }
    FEmit(std::move(rec));
}
