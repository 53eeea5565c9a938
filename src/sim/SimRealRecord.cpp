#include "sim/SimRealRecord.h"
#include "sim/MarketEngine.h"
#include <QHash>
#include <utility>
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

// Field name to id. A record is read field by field, forty-odd names a
// book record: the table is found by a cheap hash of the name's length and
// three of its letters, and one comparison.
class TFieldIds {
public:
    TFieldIds()
    {
        const std::pair<const char*, int> names[] = {
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
        for (const auto& [n, id] : names)
            Add(QString::fromLatin1(n), id);
        for (int i = 0; i < kBookLevels; ++i) {
            const QString n = QString::number(i + 1);
            Add("offerho" + n, FOfferhoN + i);
            Add("bidho" + n, FBidhoN + i);
            Add("offerrem" + n, FOfferremN + i);
            Add("bidrem" + n, FBidremN + i);
        }
    }
    int Find(QStringView name) const
    {
        for (quint32 h = Hash(name);; ++h) {
            const TSlot& s = FSlots[h % kSlots];
            if (s.Id < 0)
                return -1;
            if (s.Name == name)
                return s.Id;
        }
    }

private:
    static constexpr quint32 kSlots = 512;   // well over the ~70 names: short probes
    struct TSlot {
        QString Name;
        int Id = -1;
    };
    static quint32 Hash(QStringView n)
    {
        if (n.isEmpty())
            return 0;
        const quint32 a = n.front().unicode(), z = n.back().unicode(), m = n[n.size() / 2].unicode();
        return quint32(n.size()) * 131u + a * 31u + z * 17u + m * 7u + (n.size() > 1 ? n[n.size() - 2].unicode() : 0u);
    }
    void Add(const QString& name, int id)
    {
        for (quint32 h = Hash(name);; ++h) {
            TSlot& s = FSlots[h % kSlots];
            if (s.Id < 0) {
                s.Name = name;
                s.Id = id;
                return;
            }
        }
    }
    TSlot FSlots[kSlots];
};

int FieldId(QStringView name)
{
    static const TFieldIds ids;
    return ids.Find(name);
}

// Plain decimal digits, as QString::number(v) writes them, without its
// locale machinery: a book record formats forty-odd numbers.
QString FormatNum(qint64 v)
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

// The same, kept for the numbers of the last records: consecutive book
// records repeat most of their prices and many of their quantities, and a
// kept text is shared rather than written again.
QString Num(qint64 v)
{
    struct TSlot {
        qint64 V = 0;
        QString S;
    };
    static thread_local TSlot kept[512];
    TSlot& s = kept[(quint64(v) * 0x9E3779B97F4A7C15ull) >> 55];
    if (s.S.isNull() || s.V != v) {
        s.V = v;
        s.S = FormatNum(v);
    }
    return s.S;
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
    if (Kind == TSimRealKind::Account || Kind == TSimRealKind::News)
        return Feed;
    const bool kq = Market == TSimMarket::Kosdaq;
    if (Kind == TSimRealKind::Trade)
        return kq ? QStringLiteral("K3_") : QStringLiteral("S3_");
    return kq ? QStringLiteral("HA_") : QStringLiteral("H1_");
}

QString TSimRealRecord::Field(const QString& name) const
{
    if (Kind == TSimRealKind::Account || Kind == TSimRealKind::News)
        return Fields.value(name);
    const int id = FieldId(name);
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
