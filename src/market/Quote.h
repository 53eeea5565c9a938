#pragma once
// The current stock's live snapshot: price, limits, volume and the ten best
// asks and bids, filled by the quote query and kept live by the trade and
// order-book feeds. Records of another stock are dropped.
#include <QColor>
#include <QString>
#include <array>

class TXAQuery;
class TXAReal;

struct THogaData {
    QString Code, Name;
    int Price = 0, PrevClose = 0, UpLmt = 0, DnLmt = 0;
    qint64 Volume = 0;
    std::array<int, 10> Ask{}, Bid{};
    std::array<qint64, 10> AskQ{}, BidQ{};
    qint64 TotAsk = 0, TotBid = 0;
};

struct TDayOHL {
    int Open = 0, High = 0, Low = 0;
};

// One trade as the feed delivers it.
struct TTradeRec {
    QString Time;  // HHMMSS
    int Price = 0, Open = 0, High = 0, Low = 0;
    qint64 Volume = 0, CVolume = 0;
    char Side = 0;  // '+' buy, '-' sell, 0 none
};

// The t1101 answer into the snapshot.
void ApplyPriceAnswer(const TXAQuery& q, THogaData& h, TDayOHL& d);
// An S3_/K3_ record. False when it is for another stock or has no price.
bool ApplyTradeReal(const TXAReal& r, THogaData& h, TDayOHL& d, TTradeRec* out = nullptr);
// An H1_/HA_ record. False when it is for another stock.
bool ApplyBookReal(const TXAReal& r, THogaData& h);

// What the quote header shows.
struct TQuoteHeader {
    QString Name, Px, Chg, Open, Vol;
    QColor PxColor, OpenColor, VolColor;
};
TQuoteHeader MakeQuoteHeader(const THogaData& h, const TDayOHL& d, qint64 prevVol);
