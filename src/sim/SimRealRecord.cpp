#include "sim/SimRealRecord.h"
#include "sim/MarketEngine.h"
#include <QHash>
#include <cmath>

namespace {

enum TFieldId : int {
    FChetime, FSign, FChange, FDrate, FPrice, FOpentime, FOpen, FHightime, FHigh, FLowtime, FLow,
    FCgubun, FCvolume, FVolume, FValue, FMdvolume, FMdchecnt, FMsvolume, FMschecnt, FCpower,
    FWavrg, FOfferho, FBidho, FStatus, FShcode, FExchname, FHotime, FTotoffer, FTotbid,
    FDonsi, FAlloc,
    // book levels: base + level (0..9)
    FOfferhoN = 100, FBidhoN = 110, FOfferremN = 120, FBidremN = 130,
};

const QHash<QString, int>& FieldIds()
{
    static const QHash<QString, int> ids = [] {
        QHash<QString, int> h{
            {"chetime", FChetime}, {"sign", FSign}, {"change", FChange}, {"drate", FDrate},
            {"price", FPrice}, {"opentime", FOpentime}, {"open", FOpen}, {"hightime", FHightime},
            {"high", FHigh}, {"lowtime", FLowtime}, {"low", FLow}, {"cgubun", FCgubun},
            {"cvolume", FCvolume}, {"volume", FVolume}, {"value", FValue}, {"mdvolume", FMdvolume},
            {"mdchecnt", FMdchecnt}, {"msvolume", FMsvolume}, {"mschecnt", FMschecnt},
            {"cpower", FCpower}, {"w_avrg", FWavrg}, {"offerho", FOfferho}, {"bidho", FBidho},
            {"status", FStatus}, {"shcode", FShcode}, {"exchname", FExchname}, {"hotime", FHotime},
            {"totofferrem", FTotoffer}, {"totbidrem", FTotbid}, {"donsigubun", FDonsi},
            {"alloc_gubun", FAlloc},
        };
        for (int i = 0; i < kBookLevels; ++i) {
            const QString n = QString::number(i + 1);
            h.insert("offerho" + n, FOfferhoN + i);
            h.insert("bidho" + n, FBidhoN + i);
            h.insert("offerrem" + n, FOfferremN + i);
            h.insert("bidrem" + n, FBidremN + i);
        }
        return h;
    }();
    return ids;
}

// Plain decimal digits, as QString::number(v) writes them, without its
// locale machinery: a book record formats forty-odd numbers.
QString Num(qint64 v)
{
    char buf[24];
    char* const end = buf + sizeof buf;
    char* p = end;
    quint64 u = v < 0 ? 0 - quint64(v) : quint64(v);
    do {
        *--p = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (v < 0)
        *--p = '-';
    return QString::fromLatin1(p, end - p);
}

} // namespace

QString SimHhmmss(int ms)
{
    return QString::number(HhmmssOf(ms)).rightJustified(6, QLatin1Char('0'));
}

QString SimRate(double pct)
{
    double r = std::round(pct * 100.0) / 100.0;
    if (r == 0)
        r = 0;  // no "-0.00"
    return QString::number(r, 'f', 2);
}

QString TSimRealRecord::FeedCode() const
{
    if (Kind == TSimRealKind::Account)
        return Feed;
    const bool kq = Market == TSimMarket::Kosdaq;
    if (Kind == TSimRealKind::Trade)
        return kq ? QStringLiteral("K3_") : QStringLiteral("S3_");
    return kq ? QStringLiteral("HA_") : QStringLiteral("H1_");
}

QString TSimRealRecord::Field(const QString& name) const
{
    if (Kind == TSimRealKind::Account)
        return Fields.value(name);
    const int id = FieldIds().value(name, -1);
    if (id < 0)
        return {};
    if (id == FShcode)
        return Code;
    if (id == FVolume)
        return Num(Volume);
    if (Kind == TSimRealKind::Book) {
        if (id >= FOfferhoN && id < FOfferhoN + kBookLevels)
            return Num(Book.Ask[id - FOfferhoN]);
        if (id >= FBidhoN && id < FBidhoN + kBookLevels)
            return Num(Book.Bid[id - FBidhoN]);
        if (id >= FOfferremN && id < FOfferremN + kBookLevels)
            return Num(Book.AskQ[id - FOfferremN]);
        if (id >= FBidremN && id < FBidremN + kBookLevels)
            return Num(Book.BidQ[id - FBidremN]);
        switch (id) {
        case FHotime: return SimHhmmss(Book.TimeMs);
        case FTotoffer: return Num(Book.TotAsk);
        case FTotbid: return Num(Book.TotBid);
        case FDonsi: return QStringLiteral("0");
        case FAlloc: return QStringLiteral("0");
        default: return {};
        }
    }
    const TSimTrade& t = Trade;
    switch (id) {
    case FChetime: return SimHhmmss(t.TimeMs);
    case FSign: return QString(QLatin1Char(PriceSign(t.Price, PrevClose, UpLimit, DnLimit)));
    case FChange: return Num(t.Price - PrevClose);
    case FDrate: return SimRate(PrevClose > 0 ? (t.Price - PrevClose) * 100.0 / PrevClose : 0.0);
    case FPrice: return Num(t.Price);
    case FOpentime: return SimHhmmss(t.OpenTimeMs);
    case FOpen: return Num(t.Open);
    case FHightime: return SimHhmmss(t.HighTimeMs);
    case FHigh: return Num(t.High);
    case FLowtime: return SimHhmmss(t.LowTimeMs);
    case FLow: return Num(t.Low);
    case FCgubun: return QString(QLatin1Char(t.Side));
    case FCvolume: return Num(t.Qty);
    // The broker sends the cumulative trading value in millions of won.
    case FValue: return Num(SimMillions(t.Amount));
    case FMdvolume: return Num(t.SellVolume);
    case FMdchecnt: return Num(t.SellCount);
    case FMsvolume: return Num(t.BuyVolume);
    case FMschecnt: return Num(t.BuyCount);
    case FCpower: return SimRate(t.SellVolume > 0 ? t.BuyVolume * 100.0 / t.SellVolume : 0.0);
    case FWavrg: return Num(t.Volume > 0 ? qRound64(double(t.Amount) / t.Volume) : 0);
    case FOfferho: return Num(t.Ask);
    case FBidho: return Num(t.Bid);
    case FStatus: return QStringLiteral("00");
    case FExchname: return QStringLiteral("KRX");
    default: return {};
    }
}
