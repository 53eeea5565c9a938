#include "market/Quote.h"

#include "broker/XingApi.h"
#include "core/NumFmt.h"

#include <array>

namespace {
const QColor kRise(229, 57, 53), kFall(30, 136, 229), kFlat(48, 48, 48), kGrey(80, 80, 80);

int Px(const QString& s) { return ParseInt32(s); }

// The ten levels' field names, made once: a book record reads forty of them.
struct TLevelNames {
    std::array<QString, 10> Ask, Bid, AskQ, BidQ;
    TLevelNames()
    {
        for (int i = 0; i < 10; ++i) {
            const QString n = QString::number(i + 1);
            Ask[i] = QStringLiteral("offerho") + n;
            Bid[i] = QStringLiteral("bidho") + n;
            AskQ[i] = QStringLiteral("offerrem") + n;
            BidQ[i] = QStringLiteral("bidrem") + n;
        }
    }
};

const TLevelNames& LevelNames()
{
    static const TLevelNames names;
    return names;
}

template <class Get>
void ReadLevels(Get get, THogaData& h)
{
    const TLevelNames& f = LevelNames();
    for (int i = 0; i < 10; ++i) {
        h.Ask[i] = Px(get(f.Ask[i]));
        h.Bid[i] = Px(get(f.Bid[i]));
        h.AskQ[i] = ParseInt(get(f.AskQ[i]));
        h.BidQ[i] = ParseInt(get(f.BidQ[i]));
    }
}
}

void ApplyPriceAnswer(const TXAQuery& q, THogaData& h, TDayOHL& d)
{
    const QString b = QStringLiteral("t1101OutBlock");
    auto get = [&](const QString& f) { return q.GetFieldData(b, f, 0); };
    const QString name = get(QStringLiteral("hname")).trimmed();
    if (!name.isEmpty())
        h.Name = name;
    h.Price = Px(get(QStringLiteral("price")));
    h.PrevClose = Px(get(QStringLiteral("jnilclose")));
    h.Volume = ParseInt(get(QStringLiteral("volume")));
    d.Open = Px(get(QStringLiteral("open")));
    d.High = Px(get(QStringLiteral("high")));
    d.Low = Px(get(QStringLiteral("low")));
    h.UpLmt = Px(get(QStringLiteral("uplmtprice")));
    h.DnLmt = Px(get(QStringLiteral("dnlmtprice")));
    ReadLevels(get, h);
    h.TotAsk = ParseInt(get(QStringLiteral("offer")));
    h.TotBid = ParseInt(get(QStringLiteral("bid")));
}

bool ApplyTradeReal(const TXAReal& r, THogaData& h, TDayOHL& d, TTradeRec* out)
{
    // Field names made once: a busy stock trades many times a second.
    static const QString b = QStringLiteral("OutBlock"), fShcode = QStringLiteral("shcode"),
                         fChetime = QStringLiteral("chetime"), fPrice = QStringLiteral("price"),
                         fOpen = QStringLiteral("open"), fHigh = QStringLiteral("high"), fLow = QStringLiteral("low"),
                         fVolume = QStringLiteral("volume"), fCvolume = QStringLiteral("cvolume"),
                         fCgubun = QStringLiteral("cgubun");
    auto get = [&](const QString& f) { return r.GetFieldData(b, f); };
    if (get(fShcode).trimmed() != h.Code)
        return false;
    TTradeRec t;
    t.Time = get(fChetime).trimmed();
    t.Price = ParseInt32(get(fPrice));
    t.Open = ParseInt32(get(fOpen));
    t.High = ParseInt32(get(fHigh));
    t.Low = ParseInt32(get(fLow));
    t.Volume = ParseInt(get(fVolume));
    t.CVolume = ParseInt(get(fCvolume));
    const QString side = get(fCgubun).trimmed();
    t.Side = side == QStringLiteral("+") ? '+' : side == QStringLiteral("-") ? '-' : 0;
    if (t.Price <= 0)
        return false;
    h.Price = t.Price;
    h.Volume = t.Volume;
    if (t.Open > 0) d.Open = t.Open;
    if (t.High > 0) d.High = t.High;
    if (t.Low > 0) d.Low = t.Low;
    if (out)
        *out = t;
    return true;
}

bool ApplyBookReal(const TXAReal& r, THogaData& h)
{
    static const QString b = QStringLiteral("OutBlock"), shcode = QStringLiteral("shcode"),
                         totAsk = QStringLiteral("totofferrem"), totBid = QStringLiteral("totbidrem");
    auto get = [&](const QString& f) { return r.GetFieldData(b, f); };
    if (get(shcode).trimmed() != h.Code)
        return false;
    ReadLevels(get, h);
    h.TotAsk = ParseInt(get(totAsk));
    h.TotBid = ParseInt(get(totBid));
    return true;
}

TQuoteHeader MakeQuoteHeader(const THogaData& h, const TDayOHL& d, qint64 prevVol)
{
    TQuoteHeader q;
    q.Name = h.Name + QStringLiteral("  ") + h.Code;
    if (h.Price <= 0)
        return q;
    const qint64 diff = qint64(h.Price) - h.PrevClose;
    const double pct = h.PrevClose < 1 ? 0.0 : double(diff) / h.PrevClose * 100.0;
    q.PxColor = diff > 0 ? kRise : diff < 0 ? kFall : kFlat;
    const QString sign = diff > 0 ? QStringLiteral("+") : QString();
    q.Px = FmtNum(h.Price);
    q.Chg = QStringLiteral("%1%2  (%3%)").arg(sign, FmtNum(diff),
                                              FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), pct));
    if (d.Open >= 1) {
        const double r = (double(h.Price) / d.Open - 1.0) * 100.0;
        q.OpenColor = r > 0 ? kRise : r < 0 ? kFall : kFlat;
        q.Open = QStringLiteral("시가比 %1%").arg(FormatFloat(QStringLiteral("+0.00;-0.00;0.00"), r));
    }
    if (prevVol > 0) {
        q.Vol = QStringLiteral("거래량 %1   전일 %2   전일比 %3%")
                    .arg(FmtNum(h.Volume), FmtNum(prevVol),
                         FormatFloat(QStringLiteral("0.0"), double(h.Volume) / double(prevVol) * 100.0));
        q.VolColor = h.Volume < prevVol ? kFall : kRise;
    } else {
        q.Vol = QStringLiteral("거래량 ") + FmtNum(h.Volume);
        q.VolColor = kGrey;
    }
    return q;
}
